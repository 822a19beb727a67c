// Feeds arbitrary text to the MusicBrainz answer reader and ranks what it
// read: a server (or anything on the way) may send any bytes, and the
// reader must end in an answer or a reason.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/musicbrainz_answer.h"
#include "client/musicbrainz_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto answer = client::ParseMusicBrainzAnswer({reinterpret_cast<const char*>(data), size}, error);
  if (!answer) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  const auto ranked = client::RankMusicBrainzReleases(*answer, answer->discId, {200000, 180000}, "GB");
  if (!ranked.empty()) {
    client::MusicBrainzCandidatesDiffer(*answer, ranked);
    client::FindMusicBrainzCandidate(*answer, ranked, "1");
  }
  for (const auto& c : ranked) {
    if (c.release >= answer->releases.size() || c.medium >= answer->releases[c.release].media.size()) __builtin_trap();
  }
  return 0;
}
