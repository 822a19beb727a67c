#include "client/rip_report.h"

#include <algorithm>

#include "platform/com/bstr_text.h"

namespace client {
namespace {

// Calls `get` on the report; its value, nothing when the call failed.
template <typename Get>
std::optional<LONG> value(IAudioCDRipperReport* report, Get get) {
  LONG got = 0;
  if (report == nullptr || FAILED((report->*get)(&got))) return std::nullopt;
  return got;
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

std::optional<long> RipReport::retries() const {
  return value(report_.get(), &IAudioCDRipperReport::get_retries);
}

std::optional<long> RipReport::framesUnconfirmed() const {
  return value(report_.get(), &IAudioCDRipperReport::get_framesUnconfirmed);
}

std::optional<long> RipReport::framesRetried() const {
  return value(report_.get(), &IAudioCDRipperReport::get_framesRetried);
}

std::optional<uint32_t> RipReport::accurateRipId1() const {
  const auto id = value(report_.get(), &IAudioCDRipperReport::get_accurateRipId1);
  return id ? std::optional<uint32_t>(static_cast<uint32_t>(*id)) : std::nullopt;
}

std::optional<uint32_t> RipReport::accurateRipId2() const {
  const auto id = value(report_.get(), &IAudioCDRipperReport::get_accurateRipId2);
  return id ? std::optional<uint32_t>(static_cast<uint32_t>(*id)) : std::nullopt;
}

std::string RipReport::musicBrainzDiscId() const {
  BSTR id = nullptr;
  if (!report_ || FAILED(report_->get_musicBrainzDiscId(&id))) return {};
  return com::TakeUtf8(id);
}

DiscTitles RipReport::cdTextTitles(long audioTracks) const {
  DiscTitles titles;
  if (!report_) return titles;
  using Getter = HRESULT (STDMETHODCALLTYPE IAudioCDRipperReport::*)(LONG, BSTR*);
  const auto text = [this](Getter get, long track) {
    BSTR value = nullptr;
    return SUCCEEDED((report_.get()->*get)(static_cast<LONG>(track), &value)) ? com::TakeUtf8(value) : std::string();
  };
  titles.album = text(&IAudioCDRipperReport::get_cdTextTitle, 0);
  titles.artist = text(&IAudioCDRipperReport::get_cdTextPerformer, 0);
  titles.barcode = text(&IAudioCDRipperReport::get_cdTextCode, 0);
  bool any = !titles.album.empty() || !titles.artist.empty();
  for (long t = 1; t <= audioTracks; ++t) {
    titles.trackTitles.push_back(text(&IAudioCDRipperReport::get_cdTextTitle, t));
    titles.trackArtists.push_back(text(&IAudioCDRipperReport::get_cdTextPerformer, t));
    titles.trackIsrcs.push_back(text(&IAudioCDRipperReport::get_cdTextCode, t));
    any = any || !titles.trackTitles.back().empty();
  }
  if (any) titles.source = "CD-TEXT";
  return titles;
}

std::optional<proof::DiscLayout> RipReport::audioLayout(long audioTracks) const {
  if (!report_) return std::nullopt;
  proof::DiscLayout layout;
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
    // The last track's length is read through the current track, which is
    // the caller's: it is put back as it was.
    LONG current = 0;
    const bool hadCurrent = SUCCEEDED(engine_->get_trackNum(&current));
    LONG samples = 0;
    engine_->put_trackNum(static_cast<LONG>(audioTracks));
    const bool read = SUCCEEDED(engine_->get_trackSamples(&samples));
    if (hadCurrent) engine_->put_trackNum(current);
    if (read && samples > 0) {
      const uint32_t lastEnd = layout.tracks.back().startLba + static_cast<uint32_t>(samples) / 588;
      const uint32_t dataStart = lastEnd + proof::kSessionGapFrames;
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

bool RipReport::storeTitles(const DiscTitles& titles) const {
  if (!report_) return false;
  std::string lines;
  for (std::string title : titles.trackTitles) {
    std::replace(title.begin(), title.end(), '\r', ' ');
    std::replace(title.begin(), title.end(), '\n', ' ');
    lines += title + "\n";
  }
  const com::Bstr artist(titles.artist);
  const com::Bstr album(titles.album);
  const com::Bstr trackTitles(lines);
  VARIANT_BOOL stored = VARIANT_FALSE;
  return SUCCEEDED(report_->StoreDiscTitles(artist.get(), album.get(), trackTitles.get(), &stored)) &&
         stored != VARIANT_FALSE;
}

HRESULT RipReport::ripRangeToAudioFile2Format(long firstLba, long frames, const std::string& path) const {
  BSTR file = com::NewBstr(path);
  const HRESULT hr = engine_->RipRangeToAudioFile2Format(static_cast<LONG>(firstLba), static_cast<LONG>(frames), file);
  SysFreeString(file);
  return hr;
}

std::optional<long> RipReport::framesRead() const {
  return value(report_.get(), &IAudioCDRipperReport::get_framesRead);
}

std::optional<long> RipReport::c2ErrorFrames() const {
  return value(report_.get(), &IAudioCDRipperReport::get_c2ErrorFrames);
}

std::optional<bool> RipReport::c2Used() const {
  VARIANT_BOOL used = VARIANT_FALSE;
  if (!report_ || FAILED(report_->get_c2Used(&used))) return std::nullopt;
  return used != VARIANT_FALSE;
}

bool RipReport::putC2Mode(long mode) const { return report_ && SUCCEEDED(report_->put_c2Mode(mode)); }

std::optional<bool> RipReport::driveC2() const {
  VARIANT_BOOL says = VARIANT_FALSE;
  if (!report_ || FAILED(report_->get_driveC2(&says))) return std::nullopt;
  return says != VARIANT_FALSE;
}

std::optional<uint32_t> RipReport::ctdbCrc() const {
  const auto crc = value(report_.get(), &IAudioCDRipperReport::get_trackCtdbCRC);
  return crc ? std::optional<uint32_t>(static_cast<uint32_t>(*crc)) : std::nullopt;
}

bool RipReport::putReplayGain(bool measure) const {
  return report_ && SUCCEEDED(report_->put_replayGain(measure ? VARIANT_TRUE : VARIANT_FALSE));
}

namespace {

std::optional<ReplayGain> gainOf(double gainDb, double peak) {
  if (peak < 0) return std::nullopt;  // not measured
  return ReplayGain{gainDb, peak, kReplayGainReferenceLufs - gainDb};
}

}  // namespace

std::optional<ReplayGain> RipReport::trackReplayGain() const {
  double gain = 0;
  double peak = -1;
  if (!report_ || FAILED(report_->get_trackGainDb(&gain)) || FAILED(report_->get_trackPeak(&peak)))
    return std::nullopt;
  return gainOf(gain, peak);
}

std::optional<ReplayGain> RipReport::albumReplayGain(const std::vector<long>& tracks) const {
  if (!report_ || tracks.empty()) return std::nullopt;
  std::string list;
  for (const long t : tracks) list += (list.empty() ? "" : " ") + std::to_string(t);
  BSTR text = com::NewBstr(list);
  double gain = 0;
  double peak = -1;
  const bool ok = SUCCEEDED(report_->get_albumGainDb(text, &gain)) && SUCCEEDED(report_->get_albumPeak(text, &peak));
  SysFreeString(text);
  return ok ? gainOf(gain, peak) : std::nullopt;
}

}  // namespace client
