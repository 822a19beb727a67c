// Looking a disc up in the CUETools database: one HTTP GET of
// lookup2.php?version=3&ctdb=1&fuzzy=1&toc=... (the track starts without
// the 150-frame lead-in, colon-separated, data tracks marked with a leading
// "-", then the lead-out), its XML read through pugixml, and each ripped
// track judged against the entries' per-track CRCs at the drive's offset
// or any shift within 5879 samples. The entries' parity fields are kept for
// a later repair step. Every failure ends in a status; nothing waits past
// the time-out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/http_get.h"
#include "proof/disc_layout.h"

namespace client {

inline constexpr const char* kDefaultCtdbServer = "http://db.cuetools.net";
inline constexpr int kCtdbTimeoutMs = 3000;

// Where the database is asked: a server and the path the lookup script
// lies under ("" for the root), or nothing at all ("none").
struct CtdbServer {
  bool none = false;
  HttpServer server;
  std::string pathPrefix;
  bool https = false;  // asked over TLS (port 443 unless given)
};
// "http[s]://HOST[:PORT][/PATH]", "HOST[:PORT]" or "none"; nothing for
// anything else (the error says why).
std::optional<CtdbServer> ParseCtdbServer(std::string_view text, std::string& error);
// $RIPMARROW_CTDB_SERVER when set, else kDefaultCtdbServer.
std::string DefaultCtdbServer();

struct CtdbEntry {
  uint32_t id = 0;
  uint32_t crc32 = 0;        // the whole disc's
  long confidence = 0;       // submissions that agree
  long npar = 0;             // parity words a column (8 or 16)
  long stride = 0;           // always 5880
  std::string hasParity;     // where the parity data lies
  std::string syndrome;      // base64
  std::string toc;
  std::vector<uint32_t> trackCrcs;  // one a track, in disc order
};

// The entries of a <ctdb> answer; nothing (and why) when it is not one.
std::optional<std::vector<CtdbEntry>> ParseCtdbAnswer(std::string_view xml, std::string& error);

// "0:16032:32072:47282:62810", data tracks with a leading "-".
std::string CtdbToc(const proof::DiscLayout& layout);

enum class CtdbStatus { kFound, kNotInDatabase, kNoAnswer, kNotAsked };
struct CtdbLookup {
  CtdbStatus status = CtdbStatus::kNotAsked;
  std::vector<CtdbEntry> entries;
  std::string why;  // kNoAnswer: what went wrong
};
CtdbLookup LookUpCtdb(const CtdbServer& server, const proof::DiscLayout& layout, const HttpLimits& limits = {});

// A track's verdict: the best confidence among entries whose CRC for this
// track (`audioIndex`, from 0 among the audio tracks) is one of `crcs` (the
// track's CRCs at the shifts tried); 0 when none matches.
long CtdbTrackConfidence(const CtdbLookup& lookup, size_t audioIndex, const std::vector<uint32_t>& crcs);

// "accurate (CTDB), confidence N", "not accurate (CTDB)", "disc not in CTDB", "no answer".
std::string CtdbVerdictText(const CtdbLookup& lookup, long confidence);

}  // namespace client
