// Feeds arbitrary answers to the AccurateRip answer reader and the verdict:
// they must stay inside their input and end in a status.
#include <cstddef>
#include <cstdint>

#include "proof/accuraterip_answer.h"
#include "proof/accuraterip_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace proof;
  const std::span<const uint8_t> bytes(data, size);
  const AccurateRipAnswer any = ParseAccurateRipAnswer(bytes);
  // The disc the first record names, so the identity check passes as often
  // as it can.
  AccurateRipDiscId disc{};
  if (!any.records.empty()) disc = any.records.front().disc;
  AccurateRipLookup lookup;
  AccurateRipAnswer answer = ParseAccurateRipAnswer(bytes, disc);
  lookup.status = answer.status == AnswerStatus::kOk ? LookupStatus::kFound : LookupStatus::kBadAnswer;
  lookup.records = std::move(answer.records);
  for (size_t track = 0; track <= disc.audioTracks; ++track) {
    AccurateRipVerdict(lookup, track, size > 0 ? data[0] : 0, uint32_t(size));
  }
  return 0;
}
