// FLAC files through libFLAC: 16-bit samples at a compression level 0 … 8,
// with libFLAC's verify mode on (every frame is decoded again while it is
// encoded and compared with its input), the MD5 signature of the audio and
// its length in STREAMINFO, and a seek table.
//
// A lossless file keeps the caller's layout: until the first samples arrive
// the writer takes whatever layout its caller announces (adoptLayout), so
// nothing is resampled on the way in. The encoder starts with the first
// samples (or at close, for a file without audio).
//
// Encoding runs on a thread of the writer's own: write() widens the samples
// and queues them (at most kQueuedBlocks slices, a few seconds of audio), so
// the caller fetches its next samples while the last ones are encoded. The
// MD5 signature is summed by write() too, on the caller's side, and put
// into STREAMINFO after libFLAC has finished the file: libFLAC's own sum
// would add about an eighth to the encoder's thread, the one that sets the
// pace. An encoder or disk failure shows at the next write() or at close().
// The encoder's thread touches the encoder and the seek-table bookkeeping only
// between start() and the join in close(); the caller touches them only
// before and after.
//
// The seek table: the length is unknown while the file is written, so room
// for kSeekPoints points is reserved at the start; at close they are set one
// every ten seconds (further apart for a long file), the unused rest left as
// placeholders, which readers skip.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "outside/wavesmith2/audio_writer.h"

namespace wavesmith {

struct FlacSettings {
  PcmLayout layout;     // until the caller's own layout is adopted
  int level = 5;        // 0 (fastest) … 8 (smallest)
};

class FlacWriter final : public AudioWriter {
 public:
  static constexpr int kDefaultLevel = 5;
  static constexpr uint32_t kSeekPoints = 100;
  static constexpr int kSeekSpacingSeconds = 10;
  static constexpr size_t kSliceFrames = 16384;  // sample frames per queued slice
  static constexpr size_t kQueuedBlocks = 8;

  explicit FlacWriter(const FlacSettings& settings);
  ~FlacWriter() override;

  PcmLayout layout() const override { return settings_.layout; }
  bool adoptLayout(PcmLayout layout) override;
  bool open(const std::string& path, std::string& error) override;
  bool write(const int16_t* samples, size_t frames, std::string& error) override;
  bool close(std::string& error) override;

  // Empty when libFLAC takes the level and layout, else why not.
  static std::string probe(const FlacSettings& settings);

 private:
  struct State;
  bool start(std::string& error);  // initialises the encoder: writes the metadata blocks
  void fillSeekTable();

  FlacSettings settings_;
  std::unique_ptr<State> state_;  // present while a file is open
};

}  // namespace wavesmith
