#include "frontend/batch_proof.h"
#include "engine/verify/accuraterip_lookup.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "engine/verify/accuraterip_verdict.h"
#include "frontend/engine_link.h"
#include "frontend/settings/settings_store.h"
#include "ripmarrow/drive_offsets.h"
#include "ripmarrow/rip_report.h"

#ifndef QUAVERN_VERSION
#define QUAVERN_VERSION "unknown"
#endif

namespace quavern {

namespace {

using engine::verify::LookupStatus;
using engine::verify::VerdictKind;

// The detail of a look-up that was never made.
constexpr char kNotAsked[] = "not asked";

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

std::string lookupText(const engine::verify::AccurateRipLookup& lookup) {
  switch (lookup.status) {
    case LookupStatus::kFound:
      return "found " + std::to_string(lookup.records.size()) +
             (lookup.records.size() == 1 ? " record" : " records");
    case LookupStatus::kNotInDatabase:
      return "disc not in database";
    case LookupStatus::kNoAnswer:
      return "no answer (" + lookup.detail + ")";
    case LookupStatus::kBadAnswer:
      return "bad answer (" + lookup.detail + ")";
  }
  return "no answer";
}

std::string confidenceText(uint32_t low, uint32_t high) {
  return low == high ? "confidence " + std::to_string(low)
                     : "confidence " + std::to_string(low) + " to " + std::to_string(high);
}

}  // namespace

std::optional<engine::verify::HttpServer> accurateRipServer(SettingsStore& settings,
                                                            std::string& text) {
  text = settings.readText("accuraterip", "server", engine::verify::DefaultAccurateRipServer());
  if (text.empty() || text == "none") return std::nullopt;
  return engine::verify::ParseHttpServer(text, 80);
}

engine::verify::AccurateRipLookup lookUpAccurateRip(const engine::verify::HttpServer& server,
                                                    const engine::verify::AccurateRipDiscId& disc) {
  engine::verify::HttpLimits limits;
  limits.timeoutMs = kAccurateRipTimeoutMs;
  return engine::verify::LookUpAccurateRip(server, disc, limits);
}

BatchProof::BatchProof(IAudioCDRipper2* engine, long audioTracks, std::string mode,
                       std::vector<std::pair<std::string, std::string>> settings,
                       std::string server)
    : engine_(engine), audioTracks_(audioTracks) {
  engine_->QueryInterface(IID_IAudioCDRipperReport, report_.putVoid());
  log_.programVersion = std::string("quavern ") + QUAVERN_VERSION;
  log_.date = ripmarrow::RipLogDateNow();
  BSTR name = nullptr;
  engine_->get_driveName(&name);
  log_.drive = takeText(name);
  log_.readOffset = ripmarrow::DriveOffsets::offsetOf(log_.drive).value_or(0);
  log_.mode = std::move(mode);
  log_.settings = std::move(settings);
  log_.settings.emplace_back("AccurateRip server", server.empty() ? "none" : server);

  LONG cddb = 0;
  engine_->get_cdID(&cddb);
  log_.cddbId = hex8(static_cast<uint32_t>(cddb));
  if (!report_) return;
  // The disc as the engine's report tells it, read as ripmarrow reads it.
  const ripmarrow::RipReport disc(engine_);
  if (audioTracks > 0) {
    if (auto layout = disc.audioLayout(audioTracks)) log_.layout = std::move(*layout);
  }
  const auto id1 = disc.accurateRipId1();
  const auto id2 = disc.accurateRipId2();
  if (id1 && id2 && audioTracks > 0 && (*id1 != 0 || *id2 != 0)) {
    disc_ = engine::verify::AccurateRipDiscId{static_cast<uint32_t>(audioTracks), *id1, *id2,
                                              static_cast<uint32_t>(cddb)};
    log_.accurateRipIdentity = engine::verify::AccurateRipIdentity(*disc_);
  }
  log_.musicBrainzId = disc.musicBrainzDiscId();
}

void BatchProof::putReadOffset() const {
  if (report_) report_->put_readOffsetSamples(log_.readOffset);
}

void BatchProof::addTrack(long number, const std::string& file, bool ripped,
                          const std::string& failure) {
  ripmarrow::RipLogTrack track;
  track.number = number;
  track.file = file.empty() ? std::string() : std::filesystem::path(file).filename().string();
  track.ripped = ripped;
  track.failure = failure;
  if (report_) {
    LONG value = 0;
    if (ripped) {
      if (SUCCEEDED(report_->get_trackCopyCRC(&value)))
        track.copyCrc = static_cast<uint32_t>(value);
      if (SUCCEEDED(report_->get_trackCopyCRCSkipZero(&value)))
        track.copyCrcSkipZero = static_cast<uint32_t>(value);
      if (SUCCEEDED(report_->get_trackAccurateRipV1(&value)))
        track.accurateRipV1 = static_cast<uint32_t>(value);
      if (SUCCEEDED(report_->get_trackAccurateRipV2(&value)))
        track.accurateRipV2 = static_cast<uint32_t>(value);
    }
    if (SUCCEEDED(report_->get_retries(&value))) track.retries = value;
    if (SUCCEEDED(report_->get_framesUnconfirmed(&value))) track.unconfirmedFrames = value;
  }
  log_.tracks.push_back(std::move(track));
}

std::optional<engine::verify::AccurateRipDiscId> BatchProof::disc() const {
  return disc_;
}

bool BatchProof::anyRipped() const {
  return std::any_of(log_.tracks.begin(), log_.tracks.end(),
                     [](const auto& track) { return track.ripped; });
}

std::vector<std::string> BatchProof::finish(const engine::verify::AccurateRipLookup& lookup,
                                            const std::string& folder) {
  log_.accurateRipLookup = lookupText(lookup);
  for (ripmarrow::RipLogTrack& track : log_.tracks) {
    if (track.ripped && track.number >= 1 && track.number <= audioTracks_) {
      track.verdict = engine::verify::AccurateRipVerdict(
          lookup, static_cast<size_t>(track.number - 1), track.accurateRipV1, track.accurateRipV2);
    }
  }
  std::vector<std::string> lines = verificationOutcome(log_, lookup);
  std::string why;
  logPath_ = ripmarrow::WriteRipLog(folder, log_, why);
  lines.push_back(logPath_.empty() ? "The rip log could not be written: " + why + "."
                                   : "Rip log: " + logPath_);
  return lines;
}

engine::verify::AccurateRipLookup notAsked() {
  engine::verify::AccurateRipLookup lookup;
  lookup.status = LookupStatus::kNoAnswer;
  lookup.detail = kNotAsked;
  return lookup;
}

bool wasAsked(const engine::verify::AccurateRipLookup& lookup) {
  return !(lookup.status == LookupStatus::kNoAnswer && lookup.detail == kNotAsked);
}

std::vector<std::string> verificationOutcome(const ripmarrow::RipLog& log,
                                             const engine::verify::AccurateRipLookup& lookup) {
  std::vector<const ripmarrow::RipLogTrack*> ripped;
  for (const ripmarrow::RipLogTrack& track : log.tracks) {
    if (track.ripped) ripped.push_back(&track);
  }
  if (ripped.empty()) return {};
  switch (lookup.status) {
    case LookupStatus::kNoAnswer:
      if (lookup.detail == kNotAsked) return {"AccurateRip was not asked (no server is set)."};
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
  for (const ripmarrow::RipLogTrack* track : ripped) {
    if (track->verdict.kind == VerdictKind::kAccurate) {
      ++accurate;
      low = std::min(low, track->verdict.confidence);
      high = std::max(high, track->verdict.confidence);
    } else {
      lines.push_back("Track " + std::to_string(track->number) +
                      " not accurate (AccurateRip, best confidence " +
                      std::to_string(track->verdict.confidence) + ").");
    }
  }
  if (accurate == ripped.size()) {
    const std::string which = ripped.size() == 1
                                  ? "Track " + std::to_string(ripped.front()->number)
                                  : "All " + std::to_string(ripped.size()) + " tracks";
    return {which + " accurately ripped (AccurateRip, " + confidenceText(low, high) + ")."};
  }
  if (accurate > 0) {
    lines.push_back(std::to_string(accurate) + " of " + std::to_string(ripped.size()) +
                    " tracks accurately ripped (AccurateRip, " + confidenceText(low, high) + ").");
  }
  return lines;
}

}  // namespace quavern
