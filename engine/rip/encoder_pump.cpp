// AudioCDRipper2: the timer thread's encoder pump. Every tick while the
// converting flag is set it hands the PCM the rip thread has appended to
// the codec in pieces of at most 88200 bytes (half a second), as much as
// lies in one piece of the ring (the rest comes on the next tick), and takes
// part in the end-of-rip handshake: once the rip thread has set RipOver and
// a tick finds nothing left, it sets ConvertOver.
#include <algorithm>
#include <cstring>

#include "engine/com/audio_cd_ripper.h"
#include "engine/rip/rip_job.h"

namespace engine {

namespace {
constexpr size_t kPieceBytes = 88200;
}  // namespace

// The one hand-off of PCM to the codec: a SAFEARRAY of 16-bit samples that
// the engine makes, fills and destroys (the codec keeps its own copy).
bool AudioCDRipper2::writeToCodec(const uint8_t* pcm, size_t bytes) {
  if (!audioFile_) return false;
  SAFEARRAY* samples = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(bytes / 2));
  void* data = nullptr;
  if (samples == nullptr || FAILED(SafeArrayAccessData(samples, &data))) {
    if (samples != nullptr) SafeArrayDestroy(samples);
    return false;
  }
  std::memcpy(data, pcm, bytes);
  SafeArrayUnaccessData(samples);
  const HRESULT written = audioFile_->WriteSamples(samples);
  SafeArrayDestroy(samples);
  return SUCCEEDED(written);
}

void AudioCDRipper2::pumpEncoder() {
  RipJob& job = *pumpJob_.load();
  log().line("Convert In Progress");
  size_t pending = job.pcm.pendingBytes();
  const bool handedNothing = pending == 0;
  {
    std::lock_guard codec(codecLock_);
    // Without a codec the PCM is still taken (and the rip reported failed),
    // so the rip thread never waits on a ring that nobody empties.
    while (pending > 0) {
      const size_t piece = std::min(pending, kPieceBytes);
      if (!writeToCodec(job.pcm.readPointer(), piece)) job.encoderFailed.store(1);
      job.pcm.advanceRead(piece);
      job.progressBytes.fetch_add(static_cast<int64_t>(piece));
      pending -= piece;
    }
  }
  if (handedNothing) log().line("Size is 0!");
  log().line("Wait for RipOverEvent");
  if (job.ripOver.wait(10)) {
    log().line("Rip Is Over!");
    // Looked at again: the rip thread may have appended just before it set RipOver.
    if (handedNothing && job.pcm.pendingBytes() == 0 && (!job.convertOver.isSet() || stopRequested_.load() != 0)) {
      log().line("Set ConvertOverEvent");
      job.convertOver.set();
    }
  }
}

}  // namespace engine
