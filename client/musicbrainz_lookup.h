// Naming a disc from MusicBrainz: one disc id look-up (with the table of
// contents, so a disc MusicBrainz does not know by id may still be found by
// its track lengths), its answer read and its releases ranked. Requests are
// paced to one a second per program; a 503 (the service's "slow down") is
// asked again after a growing pause; the whole look-up ends within its
// time-out, or sooner when cancelled. Any thread.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/http_get.h"
#include "client/musicbrainz_answer.h"
#include "client/musicbrainz_match.h"
#include "client/request_pacer.h"
#include "proof/disc_layout.h"

namespace client {

inline constexpr const char* kDefaultMusicBrainzServer = "https://musicbrainz.org";
inline constexpr const char* kDefaultCoverArtServer = "https://coverartarchive.org";
// The User-Agent of every request (RipmarrowUserAgent) is http_get.h's.

// A server as users write it: "http[s]://HOST[:PORT][/PATH]", "HOST[:PORT]",
// or "none" (the source off: ""). Nothing for any other text.
std::optional<std::string> ParseServiceServer(std::string_view text);
// $RIPMARROW_MUSICBRAINZ_SERVER / $RIPMARROW_COVERART_SERVER when set, else
// the public services; as given, for ParseServiceServer.
std::string DefaultMusicBrainzServer();
std::string DefaultCoverArtServer();

// What a look-up needs of the disc: its id and table of contents as
// MusicBrainz counts them (the first session only; addresses with the
// 150-frame lead-in), and its audio tracks' lengths.
struct MusicBrainzDisc {
  std::string discId;
  std::string toc;  // "FIRST+LAST+LEADOUT+OFFSET1+..."
  std::vector<uint32_t> trackMs;
};
std::optional<MusicBrainzDisc> MusicBrainzDiscOf(const proof::DiscLayout& layout);

// The page where a user adds the disc to MusicBrainz.
std::string MusicBrainzSubmissionUrl(const std::string& server, const MusicBrainzDisc& disc);

struct MusicBrainzOptions {
  std::string country;     // the user's preference in the ranking; "" none
  int timeoutMs = 10000;   // the whole look-up, pacing and retries included
  size_t maxBodyBytes = 8 * 1024 * 1024;
  const std::atomic<bool>* cancel = nullptr;  // outlives the call; null: never
  RequestPacer* pacer = nullptr;              // null: RequestPacer::musicBrainz()
};

enum class MusicBrainzStatus {
  kFound,     // candidates hold at least one release
  kNotFound,  // the service does not know the disc
  kNoAnswer,  // no usable answer (reason says why)
};

struct MusicBrainzLookup {
  MusicBrainzStatus status = MusicBrainzStatus::kNoAnswer;
  std::string reason;        // kNoAnswer: why; kNotFound: what the service said, if anything
  MusicBrainzAnswer answer;
  std::vector<MusicBrainzCandidate> candidates;  // best first
  bool exact = false;        // found by disc id, not by track lengths
  int requests = 0;          // requests sent
};

// `server`: a base address from ParseServiceServer (not "").
MusicBrainzLookup LookUpMusicBrainz(const std::string& server, const MusicBrainzDisc& disc,
                                    const MusicBrainzOptions& options = {});

const char* MusicBrainzStatusText(MusicBrainzStatus status);

}  // namespace client
