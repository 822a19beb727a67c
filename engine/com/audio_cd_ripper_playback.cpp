// AudioCDRipper2: playing a track from the disc through the player component.
//
// The engine reads the track digitally, 25 frames (a third of a second) per
// drive read, and queues it with the player a whole second at a time: two
// seconds when playing starts, four more whenever the player asks. The
// player reports position and levels, which become Timer events, and the end
// of what was queued, which becomes EndTrackPlay once the reader has reached
// the end of the track.
//
// A playback holds the drive as a rip does (busy_ is kPlaying, claimed by
// openPlayback and kept in playback_ while the track plays): rips are
// refused and the disc-change monitor stays away until StopPlay releases it.
// Everything here runs on the client's thread; the player's events reach the
// sink there as well, because the sink was advised from that thread. Each
// step that sends drive commands holds driveLock_ for its duration.
#include <algorithm>
#include <cstring>

#include "engine/com/audio_cd_ripper.h"
#include "engine/com/toc_entries.h"
#include "engine/device/drive_commands.h"
#include "engine/device/handles.h"
#include "engine/device/reads.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {

constexpr int32_t kChunkFrames = 25;
constexpr uint32_t kChunkBytes = kChunkFrames * device::kFrameBytes;       // 58800
constexpr uint32_t kPlayBufferBytes = 76 * device::kFrameBytes;           // 178752
constexpr uint32_t kSecondBytes = 3 * kChunkBytes;                        // 176400
constexpr ULONG kSecondSamples = kSecondBytes / 2;                        // 88200 16-bit values
constexpr int32_t kSamplesPerFrame = 588;                                 // stereo sample frames
constexpr int32_t kReadAttempts = 2;
constexpr int32_t kResetAfterFailures = 9;

LONG argumentAt(const DISPPARAMS* params, UINT index) {
  // Arguments arrive last first.
  VARIANT converted;
  VariantInit(&converted);
  LONG value = 0;
  if (SUCCEEDED(VariantChangeType(&converted, &params->rgvarg[params->cArgs - 1 - index], 0, VT_I4))) {
    value = converted.lVal;
  }
  VariantClear(&converted);
  return value;
}

}  // namespace

HRESULT STDMETHODCALLTYPE AudioCDRipper2::GetAudioPlayer2Interface(IUnknown** ppAudioPlayer2) {
  if (ppAudioPlayer2 == nullptr) return E_POINTER;
  *ppAudioPlayer2 = nullptr;
  if (player_) player_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppAudioPlayer2));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::PlayTrack(SHORT trackNum) {
  log().value("PlayTrack Method. Parameter: ", trackNum);
  if (mediaChangedGuard()) return S_OK;
  if (driveBusy()) {
    raiseError(OPERATION_FAILED);
    return S_OK;
  }
  if (trackNum > trackCount_ || trackCount_ == 0) {
    log().line("Track Num exceeds track count");
    raiseError(OPERATION_FAILED);
    return S_OK;
  }
  put_trackNum(trackNum);  // values below 1 select track 1
  samplesPlayed_.store(0);
  levelLeft_.store(0);
  levelRight_.store(0);
  openPlayback();  // its failures report nothing: the track simply does not play
  return S_OK;
}

// The client learns of a failure here only by not hearing anything; every
// failure releases what was taken, so the drive is free again at once.
void AudioCDRipper2::openPlayback() {
  if (!player_) return;
  // Given back at every return before the player plays: the drive lock
  // goes first, then the claim.
  BusyClaim claim(busy_, Busy::kPlaying);
  if (!claim) return;
  std::unique_lock drive(driveLock_);

  chunkFrames_ = kChunkFrames;
  if (takeDrive(100) != NO_ERRORS) return;
  device::SendPreventAllow(cdHandle_.load(), 1);  // always, whatever lockTray says

  const int32_t frames = trackIndex_ < static_cast<int32_t>(trackFrames_.size()) ? trackFrames_[trackIndex_] : 0;
  playStartLba_ = tocAudioTrackStart(tocEntries_, trackIndex_);
  playEndLba_ = playStartLba_ + static_cast<uint32_t>(std::max(frames, 0));
  playCurLba_ = playStartLba_;
  playReadBuffer_ = device::AllocateTrackBuffer(kChunkFrames);
  playBuffer_.assign(kPlayBufferBytes, 0);
  if (!playReadBuffer_) {
    device::SendPreventAllow(cdHandle_.load(), 0);
    playBuffer_ = {};
    return;
  }
  playReadBuffer_->frameCount = kChunkFrames;
  trackEnded_ = 0;
  playResets_ = 0;

  reloadTransport();
  if (cdHandle_.load() == 0) {
    playReadBuffer_.reset();
    playBuffer_ = {};
    return;
  }
  drive.unlock();

  player_->Flush();  // nothing of an earlier playback is left queued
  player_->SetFormat(44100, 2);
  player_->SetBufferTime(300, &playerBufferMs_);
  player_->Play();
  playStatus_ = AudioPlayer2State{};
  if (FAILED(player_->GetState(&playStatus_)) || playStatus_.status < 0) {
    // A player that cannot play leaves nothing held: the drive is released
    // as StopPlay releases it.
    playback_ = std::move(claim);
    closePlayback();
    return;
  }
  playback_ = std::move(claim);
  paused_.store(0);
  seekBase_ = 0;
  trackEnded_ = 0;
  feed(2);
}

// Stages the next chunk in playBuffer_. The last chunk of a track is as long
// as what is left of it, so every frame of the track is played; a chunk that
// cannot be read is played as silence.
int32_t AudioCDRipper2::readPlayChunk() {
  if (playCurLba_ >= playEndLba_) {
    std::memset(playBuffer_.data(), 0, kSecondBytes);
    trackEnded_ = 1;
    return 0;
  }
  const uint32_t frames = std::min<uint32_t>(chunkFrames_, playEndLba_ - playCurLba_);
  device::TrackBuffer& buffer = *playReadBuffer_;
  bool read = false;
  std::unique_lock drive(driveLock_);
  for (int32_t left = kReadAttempts; left > 0 && !read; --left) {
    log().value("RetryNum = ", left);
    buffer.startFrame = playCurLba_;
    buffer.frameCount = frames;
    buffer.validBytes = 0;
    buffer.dataOffset = 0;
    buffer.status = 0;
    checkTransport();
    const int32_t handle = cdHandle_.load();
    if (handle == 0) break;
    read = device::ReadCDAudioLBA(handle, buffer) == device::kResultOk;
    if (!read && ++playResets_ >= kResetAfterFailures) {
      playResets_ = 0;
      reloadTransport();
    }
  }
  drive.unlock();
  std::memset(playBuffer_.data(), 0, kChunkBytes);
  if (read) {
    const uint32_t bytes = std::min<uint32_t>({buffer.validBytes, frames * device::kFrameBytes, kChunkBytes});
    std::memcpy(playBuffer_.data(), buffer.data() + buffer.dataOffset, bytes);
  }
  playCurLba_ += frames;
  if (playCurLba_ >= playEndLba_) trackEnded_ = 1;
  return static_cast<int32_t>(frames);
}

// Queues one second. The track's last second is queued too, padded with
// silence, so the track's last notes are heard.
bool AudioCDRipper2::feedSecond() {
  if (!playing() || trackEnded_ != 0 || !player_) return true;
  SAFEARRAY* samples = SafeArrayCreateVector(VT_I2, 0, kSecondSamples);
  if (samples == nullptr) return true;
  uint8_t* data = nullptr;
  if (FAILED(SafeArrayAccessData(samples, reinterpret_cast<void**>(&data)))) {
    SafeArrayDestroy(samples);
    return true;
  }
  int32_t framesRead = 0;
  for (uint32_t offset = 0; offset < kSecondBytes && trackEnded_ == 0; offset += kChunkBytes) {
    framesRead += readPlayChunk();
    std::memcpy(data + offset, playBuffer_.data(), kChunkBytes);
  }
  SafeArrayUnaccessData(samples);

  LONG upper = -1;
  if (framesRead == 0 || FAILED(SafeArrayGetUBound(samples, 1, &upper)) || upper < 5) {
    SafeArrayDestroy(samples);
    return true;
  }
  const HRESULT written = player_->WriteSamples(samples);
  SafeArrayDestroy(samples);  // the player keeps its own copy
  playStatus_ = AudioPlayer2State{};
  if (FAILED(written) || FAILED(player_->GetState(&playStatus_)) || playStatus_.status < 0) {
    // The player can take nothing more: end the playback and say so, as the
    // end of a track is said, so that the client's controls return to rest.
    closePlayback();
    fire(DISPID_AudioCDRipper2_EndTrackPlay);
    return false;
  }
  return true;
}

void AudioCDRipper2::feed(int seconds) {
  for (int i = 0; i < seconds; ++i) {
    if (!feedSecond()) return;
  }
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::PauseTrack() {
  if (!playing()) {
    raiseError(OPERATION_FAILED);
    return S_OK;
  }
  if (paused_.load() == 0) {
    paused_.store(1);
    player_->Flush();
    player_->Stop();
    // Reading resumes where the listener is, not where the reader was.
    seekBase_ = samplesPlayed_.load();
    playCurLba_ = playStartLba_ + static_cast<uint32_t>(seekBase_ / kSamplesPerFrame);
    trackEnded_ = playCurLba_ >= playEndLba_ ? 1 : 0;
  } else {
    player_->Flush();
    paused_.store(0);
    // A seek while paused queued audio that the flush has just dropped:
    // read again from the position.
    playCurLba_ = playStartLba_ + static_cast<uint32_t>(seekBase_ / kSamplesPerFrame);
    trackEnded_ = playCurLba_ >= playEndLba_ ? 1 : 0;
    player_->Play();
    feed(2);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SeekTrack(LONG nSamples) {
  if (!playing()) {
    raiseError(OPERATION_FAILED);
    return S_OK;
  }
  // A position outside the track would read another track's audio.
  const int64_t trackSamples = int64_t{static_cast<int32_t>(playEndLba_ - playStartLba_)} * kSamplesPerFrame;
  const LONG position = static_cast<LONG>(std::clamp<int64_t>(nSamples, 0, trackSamples));
  player_->Flush();
  samplesPlayed_.store(position);
  playCurLba_ = playStartLba_ + static_cast<uint32_t>(int64_t{position} * 4 / device::kFrameBytes);
  trackEnded_ = playCurLba_ >= playEndLba_ ? 1 : 0;
  if (!feedSecond()) return S_OK;
  seekBase_ = position;
  playStatus_ = AudioPlayer2State{};
  if (FAILED(player_->GetState(&playStatus_)) || playStatus_.status < 0) {
    closePlayback();
    fire(DISPID_AudioCDRipper2_EndTrackPlay);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::StopPlay() {
  if (!playing()) return S_OK;
  closePlayback();
  return S_OK;
}

void AudioCDRipper2::closePlayback() {
  if (player_) {
    player_->Stop();
    player_->Flush();  // the next playback starts with an empty queue
  }
  playBuffer_ = {};
  playReadBuffer_.reset();
  {
    std::lock_guard drive(driveLock_);
    releaseDrive(true);
  }
  log().flush();
  samplesPlayed_.store(0);
  seekBase_ = 0;
  paused_.store(0);
  playback_.release();
}

void AudioCDRipper2::onPlayerEvent(DISPID id, const DISPPARAMS* params) {
  switch (id) {
    case kPlayerEventMoreWanted:
    case kPlayerEventUnderrun:
      feed(4);
      break;
    case kPlayerEventPosition:
      if (params == nullptr || params->cArgs < 3) break;
      samplesPlayed_.store(seekBase_ + argumentAt(params, 0));
      levelLeft_.store(argumentAt(params, 1));
      levelRight_.store(argumentAt(params, 2));
      fire(DISPID_AudioCDRipper2_Timer, {com::variantI4(samplesPlayed_.load()), com::variantI4(levelLeft_.load()),
                                         com::variantI4(levelRight_.load())});
      break;
    case kPlayerEventEnd:
      // The player also runs dry when the drive falls behind; only the end
      // of the track's audio is the end of the track.
      if (playing() && trackEnded_ != 0 && paused_.load() == 0) fire(DISPID_AudioCDRipper2_EndTrackPlay);
      break;
    default:
      break;  // 2: rendering started
  }
}

}  // namespace engine
