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
  std::optional<client::CtdbLookup> found = client::LookUpCtdbBy(settings_.run.ctdbServer, recorder_.log().layout);
  if (!found) return std::nullopt;
  const client::CtdbLookup& ctdb = *found;
  out << "CTDB " << client::CtdbToc(recorder_.log().layout) << ": "
      << (ctdb.status == client::CtdbStatus::kFound ? "found " + std::to_string(ctdb.entries.size()) +
                                                          (ctdb.entries.size() == 1 ? " entry" : " entries")
          : ctdb.status == client::CtdbStatus::kNotInDatabase ? std::string("disc not in database")
                                                               : "no answer (" + ctdb.why + ")")
      << "\n";
  return found;
}

bool RipProof::lookUpFirst(std::ostream& out) {
  lookedUp_ = true;
  found_.accurateRip = lookUpAccurateRip(out);
  found_.ctdb = lookUpCtdb(out);
  recorder_.addSetting(client::kVerifiedModeSetting, client::VerifiedModeText(found_));
  return client::DatabasesKnowDisc(found_);
}

bool RipProof::lastTrackConfirmed() const {
  const client::RipLog& log = recorder_.log();
  return !log.tracks.empty() && client::TrackConfirmed(found_, log.tracks.back());
}

bool RipProof::finish(const std::string& folder, std::ostream& out, std::ostream& err) {
  proof::AccurateRipLookup lookup = found_.accurateRip;
  std::optional<client::CtdbLookup> ctdb = found_.ctdb;
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
