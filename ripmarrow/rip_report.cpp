#include "ripmarrow/rip_report.h"

#include "ripmarrow/bstr_text.h"

namespace ripmarrow {
namespace {

// Calls `get` on the report; its value, nothing when the call failed.
template <typename Get>
std::optional<uint32_t> value(IAudioCDRipperReport* report, Get get) {
  LONG got = 0;
  if (report == nullptr || FAILED((report->*get)(&got))) return std::nullopt;
  return static_cast<uint32_t>(got);
}

}  // namespace

RipReport::RipReport(IAudioCDRipper2* engine) : engine_(engine) {
  if (FAILED(engine->QueryInterface(IID_IAudioCDRipperReport, report_.putVoid()))) report_ = {};
}

std::optional<TrackProof> RipReport::lastTrack() const {
  if (!report_) return std::nullopt;
  LONG copy = 0, skipZero = 0, v1 = 0, v2 = 0, frame450 = 0;
  if (FAILED(report_->get_trackCopyCRC(&copy)) || FAILED(report_->get_trackCopyCRCSkipZero(&skipZero)) ||
      FAILED(report_->get_trackAccurateRipV1(&v1)) || FAILED(report_->get_trackAccurateRipV2(&v2)) ||
      FAILED(report_->get_trackAccurateRipFrame450(&frame450)))
    return std::nullopt;
  return TrackProof{static_cast<uint32_t>(copy), static_cast<uint32_t>(skipZero), static_cast<uint32_t>(v1),
                    static_cast<uint32_t>(v2), static_cast<uint32_t>(frame450)};
}

std::optional<uint32_t> RipReport::accurateRipId1() const {
  return value(report_.get(), &IAudioCDRipperReport::get_accurateRipId1);
}

std::optional<uint32_t> RipReport::accurateRipId2() const {
  return value(report_.get(), &IAudioCDRipperReport::get_accurateRipId2);
}

std::string RipReport::musicBrainzDiscId() const {
  BSTR id = nullptr;
  if (!report_ || FAILED(report_->get_musicBrainzDiscId(&id))) return {};
  return takeText(id);
}

std::optional<engine::verify::DiscLayout> RipReport::audioLayout(long audioTracks) const {
  if (!report_) return std::nullopt;
  engine::verify::DiscLayout layout;
  for (long t = 1; t <= audioTracks; ++t) {
    LONG start = 0;
    if (FAILED(report_->get_trackStartLba(t, &start)) || start < 0) return std::nullopt;
    layout.tracks.push_back({static_cast<uint8_t>(t), static_cast<uint32_t>(start), false});
  }
  LONG leadOut = 0;
  if (FAILED(report_->get_leadOutLba(&leadOut)) || leadOut <= 0) return std::nullopt;
  layout.leadOutLba = static_cast<uint32_t>(leadOut);
  // The lead-out is the last session's. When the last audio track ends a
  // session gap or more before it, a data session follows (CD-Extra): its
  // track starts that gap after the audio, and the audio track's length is
  // its own, not the distance to the lead-out.
  if (audioTracks > 0) {
    LONG samples = 0;
    engine_->put_trackNum(static_cast<LONG>(audioTracks));
    if (SUCCEEDED(engine_->get_trackSamples(&samples)) && samples > 0) {
      const uint32_t lastEnd = layout.tracks.back().startLba + static_cast<uint32_t>(samples) / 588;
      const uint32_t dataStart = lastEnd + engine::verify::kSessionGapFrames;
      if (dataStart < layout.leadOutLba) {
        layout.tracks.push_back({static_cast<uint8_t>(audioTracks + 1), dataStart, true});
      }
    }
  }
  return layout;
}

std::optional<long> RipReport::readOffsetSamples() const {
  LONG samples = 0;
  if (!report_ || FAILED(report_->get_readOffsetSamples(&samples))) return std::nullopt;
  return samples;
}

bool RipReport::putReadOffsetSamples(long samples) const {
  return report_ && SUCCEEDED(report_->put_readOffsetSamples(static_cast<LONG>(samples)));
}

HRESULT RipReport::ripRangeToAudioFile2Format(long firstLba, long frames, const std::string& path) const {
  BSTR file = makeBstr(path);
  const HRESULT hr = engine_->RipRangeToAudioFile2Format(static_cast<LONG>(firstLba), static_cast<LONG>(frames), file);
  SysFreeString(file);
  return hr;
}

}  // namespace ripmarrow
