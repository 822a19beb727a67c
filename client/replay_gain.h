// ReplayGain 2.0 of ripped audio: the loudness of each track measured as
// ITU-R BS.1770 / EBU R128 integrated loudness (libebur128) while its PCM
// passes by, the album's over all its tracks, and the tag texts
// (REPLAYGAIN_TRACK_GAIN "%.2f dB" against the reference of -18 LUFS,
// REPLAYGAIN_TRACK_PEAK "%.6f" linear true peak; album likewise).
//
//   LoudnessMeter meter;                 one per track
//   meter.add(pcm, frames);              16-bit stereo 44.1 kHz, interleaved
//   TrackGain(meter), AlbumGain({&m1, &m2, ...})
//
// A meter belongs to the thread that feeds it; the gains are read once the
// feeding has ended (the caller's hand-over orders the two).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace client {

inline constexpr double kReplayGainReferenceLufs = -18.0;

struct ReplayGain {
  double gainDb = 0;    // reference minus the integrated loudness
  double peak = 0;      // linear true peak, 1.0 = full scale
  double loudness = 0;  // integrated loudness, LUFS
};

class LoudnessMeter {
 public:
  LoudnessMeter();  // two channels at 44.1 kHz
  // Any file's layout (the converter's sources): `channels` interleaved.
  // One channel is measured as one (not as dual mono): the codecs carry a
  // mono source into a stereo file at -3 dB a channel, which measures the
  // same, and FFmpeg's ebur128 measures a mono file so.
  LoudnessMeter(unsigned channels, unsigned long sampleRate);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  // `frames` sample frames of interleaved 16-bit PCM (stereo unless made
  // for another layout).
  void add(const int16_t* pcm, size_t frames);
  // The same from bytes as the disc holds them (little-endian, 4 a frame).
  void addBytes(const uint8_t* bytes, size_t size);
  size_t frames() const { return frames_; }
  unsigned channels() const { return channels_; }
  // The library's state (an ebur128_state*, which its header declares
  // without a name of its own to forward).
  void* state() const { return state_; }

 private:
  void* state_;
  unsigned channels_ = 2;
  size_t frames_ = 0;
  std::vector<int16_t> scratch_;
};

// Nothing for a meter without audio (or shorter than one 400 ms block) or
// when the library fails.
std::optional<ReplayGain> TrackGain(const LoudnessMeter& meter);
std::optional<ReplayGain> AlbumGain(const std::vector<const LoudnessMeter*>& tracks);

// The tags' texts: "-3.12 dB", "0.988525".
std::string GainText(double gainDb);
std::string PeakText(double peak);

}  // namespace client
