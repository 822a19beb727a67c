// Feeds arbitrary answers to the AccurateRip answer reader, the verdict and
// the HTTP head reader: they must stay inside their input and end in a status.
#include <cstddef>
#include <cstdint>

#include "engine/verify/accuraterip_answer.h"
#include "engine/verify/accuraterip_verdict.h"
#include "engine/verify/http_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace engine::verify;
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
  bool bad = false;
  if (const auto head = ReadHttpHead({reinterpret_cast<const char*>(data), size}, bad)) {
    if (head->headBytes > size || head->status < 100 || head->status > 599) __builtin_trap();
  }
  return 0;
}
