#include "client/proof_recorder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "client/accuraterip_lookup.h"
#include "platform/com/bstr_text.h"
#include "client/drive_offsets.h"

namespace client {
namespace {

using proof::LookupStatus;
using proof::VerdictKind;

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

std::string confidenceText(uint32_t low, uint32_t high) {
  return low == high ? "confidence " + std::to_string(low)
                     : "confidence " + std::to_string(low) + " to " + std::to_string(high);
}

}  // namespace

bool ParseAccurateRipServer(const std::string& text, std::optional<HttpServer>& server) {
  if (text.empty() || text == "none") {
    server.reset();
    return true;
  }
  server = ParseHttpServer(text, 80);
  return server.has_value();
}

proof::AccurateRipLookup NotAsked() {
  proof::AccurateRipLookup lookup;
  lookup.status = LookupStatus::kNotAsked;
  return lookup;
}

proof::AccurateRipLookup LookUpDisc(const std::optional<HttpServer>& server, const proof::AccurateRipDiscId& disc,
                                    const std::atomic<bool>* cancel) {
  if (!server) return NotAsked();
  HttpLimits limits;
  limits.timeoutMs = kAccurateRipTimeoutMs;
  limits.cancel = cancel;
  return LookUpAccurateRip(*server, disc, limits);
}

std::string LookupText(const proof::AccurateRipLookup& lookup) {
  switch (lookup.status) {
    case LookupStatus::kNotAsked:
      // Logs have always said it so; verify reads it back.
      return "no answer (not asked)";
    case LookupStatus::kFound:
      return "found " + std::to_string(lookup.records.size()) + (lookup.records.size() == 1 ? " record" : " records");
    case LookupStatus::kNotInDatabase:
      return "disc not in database";
    case LookupStatus::kNoAnswer:
      return "no answer (" + lookup.detail + ")";
    case LookupStatus::kBadAnswer:
      return "bad answer (" + lookup.detail + ")";
  }
  return "no answer";
}

std::vector<std::string> VerificationOutcome(const RipLog& log, const proof::AccurateRipLookup& lookup) {
  std::vector<const RipLogTrack*> ripped;
  for (const RipLogTrack& track : log.tracks) {
    if (track.ripped) ripped.push_back(&track);
  }
  if (ripped.empty()) return {};
  switch (lookup.status) {
    case LookupStatus::kNotAsked:
      return {"AccurateRip was not asked (no server is set)."};
    case LookupStatus::kNoAnswer:
      return {"AccurateRip could not be reached."};
    case LookupStatus::kBadAnswer:
      return {"AccurateRip's answer could not be read."};
    case LookupStatus::kNotInDatabase:
      return {"Disc not in the AccurateRip database."};
    case LookupStatus::kFound:
      break;
  }
  std::vector<std::string> lines;
  uint32_t low = UINT32_MAX, high = 0;
  size_t accurate = 0;
  for (const RipLogTrack* track : ripped) {
    if (track->verdict.kind == VerdictKind::kAccurate) {
      ++accurate;
      low = std::min(low, track->verdict.confidence);
      high = std::max(high, track->verdict.confidence);
    } else {
      lines.push_back("Track " + std::to_string(track->number) + " not accurate (AccurateRip, best confidence " +
                      std::to_string(track->verdict.confidence) + ").");
    }
  }
  if (accurate == ripped.size()) {
    const std::string which = ripped.size() == 1 ? "Track " + std::to_string(ripped.front()->number)
                                                 : "All " + std::to_string(ripped.size()) + " tracks";
    return {which + " accurately ripped (AccurateRip, " + confidenceText(low, high) + ")."};
  }
  if (accurate > 0) {
    lines.push_back(std::to_string(accurate) + " of " + std::to_string(ripped.size()) +
                    " tracks accurately ripped (AccurateRip, " + confidenceText(low, high) + ").");
  }
  return lines;
}

const char* ModeName(long preset) {
  static const char* const kNames[] = {"play", "burst", "synch", "secure", "paranoid"};
  return preset >= PLAY && preset <= PARANOID ? kNames[preset] : "unknown";
}

const char* OnErrorActionName(long action) {
  static const char* const kNames[] = {"stop", "silence", "cut", "correct"};
  return action >= StopRip && action <= CORRECT ? kNames[action] : "unknown";
}

std::vector<std::pair<std::string, std::string>> SettingsRows(const RunSettings& settings) {
  const std::string theModes = "the mode's";
  std::vector<std::pair<std::string, std::string>> rows;
  rows.emplace_back("format", settings.format);
  if (settings.flacLevel) rows.emplace_back("flac level", std::to_string(*settings.flacLevel));
  rows.emplace_back("retries", settings.retries ? std::to_string(*settings.retries) : theModes);
  rows.emplace_back("on error", settings.onErrorAction ? OnErrorActionName(*settings.onErrorAction) : theModes);
  rows.emplace_back("speed", settings.speedMax ? std::string("max")
                             : settings.speed ? std::to_string(*settings.speed) + "x"
                                              : theModes);
  rows.emplace_back("test and copy", settings.testAndCopy ? "yes" : "no");
  rows.emplace_back("de-emphasis", settings.deemphasis ? "yes" : "no");
  rows.emplace_back("AccurateRip server", settings.accurateRipServer.empty() ? "none" : settings.accurateRipServer);
  if (!settings.titles.empty()) rows.emplace_back("titles", settings.titles);
  if (!settings.coverArt.empty()) rows.emplace_back("cover art", settings.coverArt);
  // Only a run that asks the CUETools database says so (the desktop program asks none yet).
  if (!settings.ctdbServer.empty() && settings.ctdbServer != "none") rows.emplace_back("CTDB server", settings.ctdbServer);
  return rows;
}

ProofRecorder::ProofRecorder(IAudioCDRipper2* engine, std::string program) : engine_(engine), report_(engine) {
  log_.programVersion = std::move(program);
}

bool ProofRecorder::begin(long audioTracks, std::optional<long> given, const RunSettings& settings) {
  audioTracks_ = audioTracks;
  log_.date = RipLogDateNow();
  BSTR name = nullptr;
  engine_->get_driveName(&name);
  log_.drive = com::TakeUtf8(name);
  log_.mode = settings.verified ? "verified" : ModeName(settings.modePreset);
  log_.settings = SettingsRows(settings);

  const std::optional<long> kept = DriveOffsets::offsetOf(log_.drive);
  offsetSource_ = given ? OffsetSource::kGiven : kept ? OffsetSource::kDrivesIni : OffsetSource::kNone;
  log_.readOffset = given.value_or(kept.value_or(0));
  // An engine without the rip report cannot shift its reads: only "no
  // offset" is true of its rips.
  if (!report_.putReadOffsetSamples(log_.readOffset) && log_.readOffset != 0) return false;
  // C2 error pointers as drives.ini sets them for this drive (auto when it does not).
  const long c2Mode = DriveOffsets::c2ModeOf(log_.drive);
  if (report_.putC2Mode(c2Mode)) {
    const std::optional<bool> says = report_.driveC2();
    c2Detail_ = std::string(says && *says ? "the drive has them" : "the drive has none") + "; drives.ini c2: " +
                DriveOffsets::c2ModeName(c2Mode);
    log_.c2 = "not used (" + c2Detail_ + ")";
  }

  LONG cddb = 0;
  engine_->get_cdID(&cddb);
  log_.cddbId = hex8(static_cast<uint32_t>(cddb));
  if (audioTracks <= 0) return true;
  if (auto layout = report_.audioLayout(audioTracks)) log_.layout = std::move(*layout);
  const auto id1 = report_.accurateRipId1();
  const auto id2 = report_.accurateRipId2();
  if (id1 && id2 && (*id1 != 0 || *id2 != 0)) {
    disc_ = proof::AccurateRipDiscId{static_cast<uint32_t>(audioTracks), *id1, *id2, static_cast<uint32_t>(cddb)};
    log_.accurateRipIdentity = proof::AccurateRipIdentity(*disc_);
  }
  log_.musicBrainzId = report_.musicBrainzDiscId();
  return true;
}

void ProofRecorder::putReadOffset() const { report_.putReadOffsetSamples(log_.readOffset); }

std::optional<uint32_t> ProofRecorder::lastCopyCrc() const {
  const auto last = report_.lastTrack();
  if (!last) return std::nullopt;
  return last->copyCrc;
}

void ProofRecorder::addTrack(long number, const std::string& file, bool ripped, const std::string& failure,
                             bool tested, std::optional<uint32_t> testCrc) {
  RipLogTrack track;
  track.number = number;
  track.file = file.empty() ? std::string() : std::filesystem::path(file).filename().string();
  track.ripped = ripped;
  track.failure = failure;
  track.testCrc = testCrc;
  if (const auto last = report_.lastTrack(); last && ripped) {
    track.copyCrc = last->copyCrc;
    track.copyCrcSkipZero = last->copyCrcSkipZero;
    track.accurateRipV1 = last->accurateRipV1;
    track.accurateRipV2 = last->accurateRipV2;
  }
  // The engine's own counts of the rip, as both programs log them.
  track.retries = report_.retries().value_or(0);
  track.unconfirmedFrames = report_.framesUnconfirmed().value_or(0);
  if (const auto read = report_.framesRead(); read && ripped && track.number >= 1) {
    const uint32_t frames = log_.layout.audioTrackFrames(static_cast<size_t>(track.number - 1));
    if (frames > 0) track.readsPerFrame = static_cast<double>(*read) / frames;
  }
  track.c2ErrorFrames = report_.c2ErrorFrames().value_or(0);
  if (ripped) track.ctdbCrc = report_.ctdbCrc().value_or(0);
  if (report_.c2Used().value_or(false) && !c2UsedAny_) {
    c2UsedAny_ = true;
    log_.c2 = "used (" + c2Detail_ + ")";
  }
  if (tested && ripped && !track.testCrc) {
    track.ripped = false;
    track.failure = "the test read failed";
  } else if (track.testCrc && ripped && *track.testCrc != track.copyCrc) {
    char test[16], copy[16];
    std::snprintf(test, sizeof test, "%08X", *track.testCrc);
    std::snprintf(copy, sizeof copy, "%08X", track.copyCrc);
    track.ripped = false;
    track.failure = std::string("the test read's CRC ") + test + " differs from the copy's " + copy;
  }
  log_.tracks.push_back(std::move(track));
}

void ProofRecorder::markDeemphasised() {
  if (!log_.tracks.empty()) log_.tracks.back().deemphasised = true;
}

bool ProofRecorder::anyRipped() const {
  return std::any_of(log_.tracks.begin(), log_.tracks.end(), [](const RipLogTrack& track) { return track.ripped; });
}

void ProofRecorder::judge(const proof::AccurateRipLookup& lookup) {
  log_.accurateRipLookup = LookupText(lookup);
  for (RipLogTrack& track : log_.tracks) {
    if (track.ripped && track.number >= 1 && track.number <= audioTracks_) {
      track.verdict = proof::AccurateRipVerdict(lookup, static_cast<size_t>(track.number - 1), track.accurateRipV1,
                                                track.accurateRipV2);
    }
  }
}

void ProofRecorder::judgeCtdb(const CtdbLookup& lookup) {
  for (RipLogTrack& track : log_.tracks) {
    if (!track.ripped || track.number < 1 || track.number > audioTracks_) continue;
    const long confidence = CtdbTrackConfidence(lookup, static_cast<size_t>(track.number - 1), {track.ctdbCrc});
    track.ctdb = CtdbVerdictText(lookup, confidence);
  }
}

std::string ProofRecorder::writeLog(const std::string& folder, std::string& why) const {
  return WriteRipLog(folder, log_, why);
}

}  // namespace client
