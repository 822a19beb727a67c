#include "ripmarrow/rip_proof.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "engine/verify/accuraterip_id.h"
#include "engine/verify/accuraterip_verdict.h"
#include "ripmarrow/accuraterip_check.h"
#include "ripmarrow/drive_offsets.h"
#include "ripmarrow/engine_session.h"

#ifndef RIPMARROW_VERSION
#define RIPMARROW_VERSION "unknown"
#endif

namespace ripmarrow {
namespace {

std::string signedText(long value) { return (value > 0 ? "+" : "") + std::to_string(value); }

std::string hex8(uint32_t value, const char* format = "%08x") {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

RipProof::RipProof(IAudioCDRipper2* engine, RipProofSettings settings)
    : engine_(engine), report_(engine), settings_(std::move(settings)) {}

bool RipProof::begin(long audioTracks, std::ostream& out, std::ostream& err) {
  audioTracks_ = audioTracks;
  BSTR name = nullptr;
  engine_->get_driveName(&name);
  log_.drive = takeText(name);
  log_.programVersion = std::string("ripmarrow ") + RIPMARROW_VERSION;
  log_.date = RipLogDateNow();
  log_.mode = settings_.mode;
  log_.settings = settings_.settings;

  const std::optional<long> kept = DriveOffsets::offsetOf(log_.drive);
  const long offset = settings_.offset.value_or(kept.value_or(0));
  if (!report_.putReadOffsetSamples(offset)) {
    if (offset != 0) {
      err << "The engine cannot apply a read offset.\n";
      return false;
    }
  }
  log_.readOffset = offset;
  out << "Read offset: " << signedText(offset) << " samples"
      << (settings_.offset ? " (--offset)" : kept ? " (drives.ini)" : " (none kept for this drive)") << "\n";

  LONG cddb = 0;
  engine_->get_cdID(&cddb);
  cddbId_ = static_cast<uint32_t>(cddb);
  log_.cddbId = hex8(cddbId_);
  if (const auto layout = report_.audioLayout(audioTracks)) log_.layout = *layout;
  const auto id1 = report_.accurateRipId1();
  const auto id2 = report_.accurateRipId2();
  if (id1 && id2) {
    log_.accurateRipIdentity = engine::verify::AccurateRipIdentity(
        engine::verify::AccurateRipDiscId{static_cast<uint32_t>(audioTracks), *id1, *id2, cddbId_});
  }
  log_.musicBrainzId = report_.musicBrainzDiscId();
  return true;
}

std::optional<uint32_t> RipProof::lastCopyCrc() const {
  const auto proof = report_.lastTrack();
  if (!proof) return std::nullopt;
  return proof->copyCrc;
}

void RipProof::addTrack(long track, const std::string& path, bool ripped, const std::string& failure, bool tested,
                        std::optional<uint32_t> testCrc, long retries) {
  RipLogTrack entry;
  entry.number = track;
  entry.file = path.empty() ? std::string() : std::filesystem::path(path).filename().string();
  entry.ripped = ripped;
  entry.failure = failure;
  entry.testCrc = testCrc;
  entry.retries = retries;
  if (const auto proof = report_.lastTrack(); proof && ripped) {
    entry.copyCrc = proof->copyCrc;
    entry.copyCrcSkipZero = proof->copyCrcSkipZero;
    entry.accurateRipV1 = proof->accurateRipV1;
    entry.accurateRipV2 = proof->accurateRipV2;
  }
  com::ComPtr<IAudioCDRipperReport> report;
  LONG unconfirmed = 0;
  if (SUCCEEDED(engine_->QueryInterface(IID_IAudioCDRipperReport, report.putVoid())) &&
      SUCCEEDED(report->get_framesUnconfirmed(&unconfirmed))) {
    entry.unconfirmedFrames = unconfirmed;
  }
  if (tested && ripped && !entry.testCrc) {
    entry.ripped = false;
    entry.failure = "the test read failed";
  } else if (entry.testCrc && ripped && *entry.testCrc != entry.copyCrc) {
    entry.ripped = false;
    entry.failure = "the test read's CRC " + hex8(*entry.testCrc, "%08X") + " differs from the copy's";
  }
  log_.tracks.push_back(std::move(entry));
}

bool RipProof::finish(const std::string& folder, std::ostream& out, std::ostream& err) {
  engine::verify::AccurateRipLookup lookup;
  lookup.status = engine::verify::LookupStatus::kNoAnswer;
  lookup.detail = "the disc's identity is unknown";
  const auto id1 = report_.accurateRipId1();
  const auto id2 = report_.accurateRipId2();
  if (id1 && id2 && !log_.tracks.empty()) {
    const engine::verify::AccurateRipDiscId disc{static_cast<uint32_t>(audioTracks_), *id1, *id2, cddbId_};
    lookup = lookUpDisc(settings_.server, disc);
    out << "AccurateRip " << engine::verify::AccurateRipIdentity(disc) << ": " << lookupText(lookup) << "\n";
  }
  log_.accurateRipLookup = lookupText(lookup);
  for (RipLogTrack& track : log_.tracks) {
    if (track.ripped) {
      track.verdict = engine::verify::AccurateRipVerdict(lookup, static_cast<size_t>(track.number - 1),
                                                         track.accurateRipV1, track.accurateRipV2);
    }
    out << "  Track " << track.number << ": copy CRC " << hex8(track.copyCrc, "%08X");
    if (track.testCrc) out << ", test CRC " << hex8(*track.testCrc, "%08X");
    out << ", AccurateRip " << (track.ripped ? VerdictText(track.verdict) : "not checked (" + track.failure + ")")
        << "\n";
  }
  std::string why;
  const std::string path = WriteRipLog(folder, log_, why);
  if (path.empty()) {
    err << "The rip log was not written: " << why << "\n";
  } else {
    out << "Log: " << path << "\n";
  }
  const bool all = log_.allAccurate();
  if (all) {
    out << "Every track is accurate.\n";
  } else if (lookup.status != engine::verify::LookupStatus::kFound) {
    out << "Not every track is accurate: AccurateRip could confirm none, " << lookupText(lookup) << ".\n";
  } else {
    const auto accurate = std::count_if(log_.tracks.begin(), log_.tracks.end(),
                                        [](const RipLogTrack& track) { return track.accurate(); });
    out << "Not every track is accurate: " << accurate << " of " << log_.tracks.size() << ".\n";
  }
  return all;
}

}  // namespace ripmarrow
