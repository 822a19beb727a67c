#include "client/replay_gain_tags.h"

#include "client/release_tags.h"
#include "client/rip_report.h"
#include "platform/com/bstr_text.h"
#include "platform/com/com_ptr.h"

namespace client {

void AddSamples(LoudnessMeter& meter, SAFEARRAY* block) {
  LONG lower = 0;
  LONG upper = -1;
  if (block == nullptr || meter.channels() == 0 || FAILED(SafeArrayGetLBound(block, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(block, 1, &upper)) || upper < lower)
    return;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(block, &data))) return;
  const size_t elements = static_cast<size_t>(upper - lower + 1);
  meter.add(static_cast<const int16_t*>(data), elements / meter.channels());
  SafeArrayUnaccessData(block);
}

std::string WriteReplayGainTags(IAudioInformation2* info, const std::string& path, const ReplayGain& track,
                                const std::optional<ReplayGain>& album) {
  if (info == nullptr) return "the tag component is not registered";
  BSTR file = com::NewBstr(path);
  HRESULT hr = info->ReadInfo(file);
  if (FAILED(hr)) {
    SysFreeString(file);
    return TagLastError(info, "the tag component cannot read the file");
  }
  PutText(info, &IAudioInformation2::put_infoReplayGainTrackGain, GainText(track.gainDb));
  PutText(info, &IAudioInformation2::put_infoReplayGainTrackPeak, PeakText(track.peak));
  if (album) {
    PutText(info, &IAudioInformation2::put_infoReplayGainAlbumGain, GainText(album->gainDb));
    PutText(info, &IAudioInformation2::put_infoReplayGainAlbumPeak, PeakText(album->peak));
  }
  hr = info->WriteInfo(file);
  SysFreeString(file);
  // What the next user of the component puts is its own, not this file's.
  for (auto put : {&IAudioInformation2::put_infoReplayGainTrackGain, &IAudioInformation2::put_infoReplayGainTrackPeak,
                   &IAudioInformation2::put_infoReplayGainAlbumGain, &IAudioInformation2::put_infoReplayGainAlbumPeak})
    PutText(info, put, "");
  if (FAILED(hr)) return TagLastError(info, "the tag component refused the file");
  return {};
}

void ReplayGainBatch::addTrack(long track, const std::string& path, const std::optional<ReplayGain>& gain) {
  if (!gain) return;
  // A track ripped again replaces its earlier file.
  std::erase_if(tracks_, [track](const Track& t) { return t.track == track; });
  tracks_.push_back({track, path, *gain});
}

std::vector<ReplayGainBatch::Failure> ReplayGainBatch::writeTags(const RipReport& report) {
  com::ComPtr<IAudioInformation2> info;
  if (!tracks_.empty())
    CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioInformation2, info.putVoid());
  std::vector<long> numbers;
  for (const Track& t : tracks_) numbers.push_back(t.track);
  album_ = report.albumReplayGain(numbers);
  std::vector<Failure> failures;
  for (const Track& t : tracks_) {
    std::string why = WriteReplayGainTags(info.get(), t.path, t.gain, album_);
    if (!why.empty()) failures.push_back({t.track, t.path, std::move(why)});
  }
  return failures;
}

}  // namespace client
