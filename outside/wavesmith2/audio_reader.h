// Reads MP3, MP2, WAV, WMA, OGG and FLAC files (FFmpeg) as interleaved 16-bit
// samples. The length, frame size, duration, channels and rate it reports
// agree with each other: durationMs = lengthSamples × 1000 / rate, and one
// unit of lengthSamples is frameSize (= channels) array elements.
//
// A file that is not one of these formats, has no decodable audio, or is
// truncated before its first audio fails to open. Reads end (an empty
// result) at the end of the data, after a run of undecodable packets, or
// once more audio came out than the file's size can hold, so no file can
// make a read endless.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "outside/wavesmith2/pcm_layout.h"

namespace wavesmith {

class AudioReader {
 public:
  AudioReader();
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  // Opens `path`. A `requested` layout with a rate and channel count other
  // than 0 makes the reader resample and remix into it.
  bool open(const std::string& path, std::string& error, PcmLayout requested = {0, 0});
  void close();
  bool isOpen() const { return state_ != nullptr; }

  PcmLayout layout() const { return layout_; }
  int64_t lengthFrames() const { return length_frames_; }  // sample frames
  int frameSize() const { return layout_.channels; }        // samples per frame
  int64_t durationMs() const;
  std::string formatName() const { return format_name_; }

  // Up to `max_samples` samples (rounded down to whole frames, at least one
  // frame); empty at the end.
  std::vector<int16_t> read(size_t max_samples);
  // The same into `out`, which holds `capacity` samples: whole frames only,
  // as many as fit; 0 at the end, or when not one frame fits.
  size_t read(int16_t* out, size_t capacity);

 private:
  struct State;
  bool fill(std::string& error);  // decodes until some samples are buffered or the end

  std::unique_ptr<State> state_;
  PcmLayout layout_{0, 0};
  int64_t length_frames_ = 0;
  std::string format_name_;
  std::vector<int16_t> buffered_;  // decoded, not yet read
  size_t buffered_pos_ = 0;
};

}  // namespace wavesmith
