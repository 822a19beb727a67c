// The codec component's core: one object is one audio file, opened for
// reading or for writing. The format is chosen first (PCM, MP3, MP2, OGG,
// WMA or FLAC) and serves every file created after it until another is chosen.
// Input PCM arrives in the layout given by setInputFormat (either before or
// after createOutputFile) and is resampled and remixed into the output
// format when they differ; FLAC, being lossless, takes the input layout as
// its own (44100 Hz stereo until one is given).
//
// A format that cannot be written as asked is refused when it is chosen:
// the refusal text becomes formatString() and the next createOutputFile
// fails with a non-zero fileStatus(), so no file is ever written wrongly.
//
// Thread safety: every member takes `lock_`; callers may use one object from
// several threads as long as they keep the calls in order.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "outside/wavesmith2/audio_reader.h"
#include "outside/wavesmith2/audio_writer.h"
#include "outside/wavesmith2/flac_writer.h"
#include "outside/wavesmith2/lame_settings.h"
#include "outside/wavesmith2/lavc_writer.h"
#include "outside/wavesmith2/ogg_writer.h"
#include "outside/wavesmith2/pcm_converter.h"

namespace wavesmith {

class AudioFile {
 public:
  // fileStatus() values.
  static constexpr int kStatusOk = 0;
  static constexpr int kStatusNoFormat = 1;      // no format chosen, or it was refused
  static constexpr int kStatusCannotCreate = 2;  // the path cannot be created
  static constexpr int kStatusWriteFailed = 3;   // an encode or write failed

  AudioFile();
  ~AudioFile();

  // Format choice. Each returns false (and keeps the refusal) when the
  // combination cannot be written.
  bool setFormatPCM(int rate_hz, int channels, int bits);
  bool setFormatMP3(int rate_hz, int bitrate_kbps, int channels);
  bool setFormatMP2(int rate_hz, int bitrate_kbps, int channels);
  bool setLameSettings(const LameSettings& settings);
  LameSettings lameSettings() const;
  bool setFormatOGG(int rate_hz, int channels, int nominal_kbps, int min_kbps, int max_kbps, int quality);
  bool setFormatWMA(int profile);
  // Compression level 0 … 8; -1 = the default, 5.
  bool setFormatFLAC(int level);

  // Truth for the writers: a combination answered true always encodes.
  static bool isAvailableFormatMP3(int rate_hz, int bitrate_kbps, int channels);
  static bool isAvailableFormatOGG(int rate_hz, int channels, int nominal_kbps, int min_kbps, int max_kbps);

  // Writing.
  int createOutputFile(const std::string& path);
  bool setInputFormat(int rate_hz, int channels);
  bool writeSamples(const int16_t* samples, size_t count);  // count in samples (array elements)
  bool closeFile();

  // Reading.
  bool openRead(const std::string& path);
  std::vector<int16_t> readSamples(size_t count);
  // Into `out` (room for `capacity` samples): whole frames, as many as fit.
  size_t readSamples(int16_t* out, size_t capacity);

  bool isOpen() const;
  int64_t lengthSamples() const;  // sample frames of the open file
  int frameSize() const;          // samples per unit of lengthSamples
  int64_t durationMs() const;
  int channelCount() const;
  int sampleRate() const;

  int fileStatus() const;
  std::string formatString() const;  // the chosen format, a refusal, or the last error
  std::string lastError() const;

 private:
  enum class Kind { kNone, kPcm, kMp3, kMp2, kOgg, kWma, kFlac };
  std::unique_ptr<AudioWriter> makeWriter() const;  // for the chosen format
  void choose(Kind kind, std::string description, std::string refusal);
  bool writeConverted(const int16_t* samples, size_t frames);
  bool closeWriter();

  mutable std::mutex lock_;
  // The chosen format (all guarded by lock_).
  Kind kind_ = Kind::kNone;
  std::string format_text_ = "no format chosen";
  std::string refusal_;  // non-empty: the chosen format cannot be written
  LameSettings lame_;
  LavcTarget lavc_;
  OggSettings ogg_;
  FlacSettings flac_;
  // The file being written.
  std::unique_ptr<AudioWriter> writer_;
  std::string output_path_;  // where writer_ writes, and the file it made there
  uint64_t output_device_ = 0;
  uint64_t output_inode_ = 0;
  PcmLayout input_{0, 0};  // 0: same as the output
  PcmConverter converter_;
  std::vector<int16_t> carry_;      // samples short of a whole input frame
  std::vector<int16_t> converted_;  // scratch
  int status_ = kStatusNoFormat;
  std::string error_;
  // The file being read.
  AudioReader reader_;
};

}  // namespace wavesmith
