#include "ripmarrow/rip_proof.h"

#include <algorithm>
#include <cstdio>

#include "platform/version/product_version.h"

namespace ripmarrow {
namespace {

std::string signedText(long value) { return (value > 0 ? "+" : "") + std::to_string(value); }

std::string hexText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

}  // namespace

RipProof::RipProof(IAudioCDRipper2* engine, RipProofSettings settings)
    : recorder_(engine, std::string("ripmarrow ") + platform::productVersion()), settings_(std::move(settings)) {}

bool RipProof::begin(long audioTracks, std::ostream& out, std::ostream& err) {
  if (!recorder_.begin(audioTracks, settings_.offset, settings_.run)) {
    err << "The engine cannot apply a read offset.\n";
    return false;
  }
  const char* source = "";
  switch (recorder_.offsetSource()) {
    case client::OffsetSource::kGiven: source = " (--offset)"; break;
    case client::OffsetSource::kDrivesIni: source = " (drives.ini)"; break;
    case client::OffsetSource::kNone: source = " (none kept for this drive)"; break;
  }
  out << "Read offset: " << signedText(recorder_.readOffset()) << " samples" << source << "\n";
  return true;
}

proof::AccurateRipLookup RipProof::lookUpAccurateRip(std::ostream& out) {
  proof::AccurateRipLookup lookup;
  lookup.status = proof::LookupStatus::kNoAnswer;
  lookup.detail = "the disc's identity is unknown";
  if (const auto disc = recorder_.disc()) {
    std::optional<client::HttpServer> server;
    client::ParseAccurateRipServer(settings_.run.accurateRipServer, server);
    lookup = client::LookUpDisc(server, *disc);
    out << "AccurateRip " << proof::AccurateRipIdentity(*disc) << ": " << client::LookupText(lookup) << "\n";
  }
  return lookup;
}

// The CUETools database, asked by the disc's table of contents; nothing
// when no server is to be asked.
std::optional<client::CtdbLookup> RipProof::lookUpCtdb(std::ostream& out) {
  if (settings_.run.ctdbServer.empty()) return std::nullopt;
  std::string error;
  const auto server = client::ParseCtdbServer(settings_.run.ctdbServer, error);
  if (!server || server->none) return std::nullopt;
  client::CtdbLookup ctdb = client::LookUpCtdb(*server, recorder_.log().layout);
  out << "CTDB " << client::CtdbToc(recorder_.log().layout) << ": "
      << (ctdb.status == client::CtdbStatus::kFound ? "found " + std::to_string(ctdb.entries.size()) +
                                                          (ctdb.entries.size() == 1 ? " entry" : " entries")
          : ctdb.status == client::CtdbStatus::kNotInDatabase ? std::string("disc not in database")
                                                               : "no answer (" + ctdb.why + ")")
      << "\n";
  return ctdb;
}

bool RipProof::lookUpFirst(std::ostream& out) {
  lookedUp_ = true;
  accurateRip_ = lookUpAccurateRip(out);
  ctdb_ = lookUpCtdb(out);
  const bool arKnows = accurateRip_.status == proof::LookupStatus::kFound;
  const bool ctdbKnows = ctdb_ && ctdb_->status == client::CtdbStatus::kFound;
  recorder_.addSetting("verified mode", arKnows && ctdbKnows ? "AccurateRip and CTDB know the disc"
                                        : arKnows           ? "AccurateRip knows the disc, CTDB does not"
                                        : ctdbKnows         ? "CTDB knows the disc, AccurateRip does not"
                                                            : "neither database knows the disc: secure from the start");
  return arKnows || ctdbKnows;
}

bool RipProof::lastTrackConfirmed() const {
  const client::RipLog& log = recorder_.log();
  if (log.tracks.empty() || log.tracks.back().number < 1) return false;
  const client::RipLogTrack& track = log.tracks.back();
  const size_t index = static_cast<size_t>(track.number - 1);
  const proof::TrackVerdict ar =
      proof::AccurateRipVerdict(accurateRip_, index, track.accurateRipV1, track.accurateRipV2);
  if (ar.kind == proof::VerdictKind::kAccurate && ar.version == 2 && ar.confidence >= 2) return true;
  return ctdb_ && client::CtdbTrackConfidence(*ctdb_, index, {track.ctdbCrc}) >= 2;
}

bool RipProof::finish(const std::string& folder, std::ostream& out, std::ostream& err) {
  proof::AccurateRipLookup lookup = accurateRip_;
  std::optional<client::CtdbLookup> ctdb = ctdb_;
  if (!lookedUp_ && !recorder_.empty()) {
    lookup = lookUpAccurateRip(out);
    ctdb = lookUpCtdb(out);
  } else if (!lookedUp_) {
    lookup.status = proof::LookupStatus::kNoAnswer;
    lookup.detail = "the disc's identity is unknown";
  }
  recorder_.judge(lookup);
  if (ctdb) recorder_.judgeCtdb(*ctdb);
  const client::RipLog& log = recorder_.log();
  for (const client::RipLogTrack& track : log.tracks) {
    out << "  Track " << track.number << ": copy CRC " << hexText(track.copyCrc);
    if (track.testCrc) out << ", test CRC " << hexText(*track.testCrc);
    out << ", AccurateRip "
        << (track.ripped ? client::VerdictText(track.verdict) : "not checked (" + track.failure + ")");
    if (!track.ctdb.empty()) out << ", CTDB: " << track.ctdb;
    out << "\n";
  }
  std::string why;
  const std::string path = recorder_.writeLog(folder, why);
  if (path.empty()) {
    err << "The rip log was not written: " << why << "\n";
  } else {
    out << "Log: " << path << "\n";
  }
  const bool all = log.allAccurate();
  if (all) {
    out << "Every track is accurate.\n";
  } else if (lookup.status != proof::LookupStatus::kFound) {
    out << "Not every track is accurate: AccurateRip could confirm none, " << client::LookupText(lookup) << ".\n";
  } else {
    const auto accurate = std::count_if(log.tracks.begin(), log.tracks.end(),
                                        [](const client::RipLogTrack& track) { return track.accurate(); });
    out << "Not every track is accurate: " << accurate << " of " << log.tracks.size() << ".\n";
  }
  return all;
}

}  // namespace ripmarrow
