// RipJob: the state of one rip, from the entry sequence that opens its
// output to the end sequence that closes it; its RipSession owns it
// (rip_session.h). The entry fills it on the
// client's thread before the rip thread starts; the rip thread owns it
// afterwards, except the PCM buffer, the two events and progressBytes,
// which the timer thread's pump shares while the engine's converting flag
// is set.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <memory>
#include <optional>

#include "engine/device/track_buffer.h"
#include "engine/rip/offset_window.h"
#include "proof/ctdb_crc.h"
#include "proof/track_checksums.h"
#include "engine/rip/pcm_buffer.h"
#include "engine/rip/track_loudness.h"
#include "engine/rip/wav_writer.h"
#include "platform/sync/event.h"

namespace engine {

struct RipJob {
  bool encoded = false;
  WavWriter wav;                  // WAV rips
  PcmBuffer pcm;                  // encoded rips: the ring between the rip thread and the pump
  platform::Event ripOver;        // rip thread → pump: nothing more will be appended
  platform::Event convertOver;    // pump → rip thread: everything appended was handed on
  std::atomic<int64_t> progressBytes{0};  // both threads add
  std::atomic<int32_t> encoderFailed{0};  // a WriteSamples call failed (timer or rip thread)
  bool pumpStarted = false;       // rip thread: the pump was switched on

  // A range rip's frames instead of the current track's: set by the entry
  // before the rip thread starts.
  bool range = false;
  uint32_t rangeFirst = 0;
  uint32_t rangeFrames = 0;

  // Rip thread only.
  uint32_t startLba = 0;
  uint32_t endLba = 0;            // one past the track's last frame
  uint32_t leadOutLba = 0;        // the disc's lead-out from the TOC; 0 when it has none
  int32_t trackFrames = 1;
  int64_t bytesPerPercent = 0;
  uint32_t blockMs = 0;
  device::TrackBufferPtr readBuffer, spareBuffer, jitterBuffer, scratchBuffer;
  // Exact reads (exact_read.h): the confirmed audio just before the next
  // block (empty: the next block is an anchor), and the audio the block
  // reads may reach into around the track.
  std::string tail;
  uint32_t readableFirst = 0;
  uint32_t readableEnd = 0;  // one past
  bool unpaced = false;      // the drive answers at once: no pacing, no spin-up
  // SECURE and PARANOID read with C2 error pointers (c2_reads.h); the last
  // read's pointers.
  bool c2 = false;
  std::vector<uint8_t> c2Bits;
  // The read offset's window over the frames read (startLba .. endLba), and
  // the checksums of what it hands on to the output.
  OffsetWindow window;
  std::optional<proof::TrackChecksums> checksums;
  std::optional<proof::CtdbTrackCrc> ctdb;  // a track rip's CUETools database CRC (not a range's)
  // The ReplayGain meter, when the client asked for it: fed with what the
  // window hands on; a track rip that reached its end hands it to the
  // engine's disc loudness (audio_cd_ripper.h).
  std::shared_ptr<TrackLoudness> loudness;

  // What a cache-defeating read of the overlapped modes reads: the seek is
  // what empties a drive's cache, not the frames it reads there.
  static constexpr uint32_t kCacheDefeatFrames = 1;

  // Where a cache-defeating read of `frames` frames for the block at `cur`
  // goes: 2000 frames ahead, or, when that lies past the lead-out (a drive
  // refuses such a read without moving, and its cache stays as it was),
  // 2000 frames back, or, on a short disc, whichever end of it lies farther.
  uint32_t cacheDefeatAddress(uint32_t cur, uint32_t frames) const {
    constexpr uint32_t kDistance = 2000;
    if (leadOutLba == 0 || uint64_t{cur} + kDistance + frames <= leadOutLba) return cur + kDistance;
    if (cur > kDistance) return cur - kDistance;
    const uint32_t lastStart = leadOutLba > frames ? leadOutLba - frames : 0;
    return lastStart > cur && lastStart - cur > cur ? lastStart : 0;
  }

  void resetForRip(bool encodedRip) {
    encoded = encodedRip;
    ripOver.reset();
    convertOver.reset();
    progressBytes.store(0);
    encoderFailed.store(0);
    pumpStarted = false;
    pcm.release();
    tail.clear();
    range = false;
    checksums.reset();
    loudness.reset();
  }
  void freeBuffers() {
    readBuffer.reset();
    spareBuffer.reset();
    jitterBuffer.reset();
    scratchBuffer.reset();
    pcm.release();
  }
};

}  // namespace engine
