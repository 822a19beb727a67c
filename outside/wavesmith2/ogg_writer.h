// OGG Vorbis files through libvorbisenc: quality mode (a quality value) or
// managed bit-rate mode (nominal, minimum and maximum rates).
#pragma once

#include <cstdio>
#include <memory>

#include "outside/wavesmith2/audio_writer.h"

namespace wavesmith {

struct OggSettings {
  PcmLayout layout;
  int nominal_kbps = 128;  // bit-rate mode; 0 = not given
  int min_kbps = 0;        // bit-rate mode; 0 = no limit
  int max_kbps = 0;        // bit-rate mode; 0 = no limit
  int quality = -1;        // -1: bit-rate mode; -100 … 1000: quality (1000 = best)
};

class OggWriter final : public AudioWriter {
 public:
  explicit OggWriter(const OggSettings& settings);
  ~OggWriter() override;

  PcmLayout layout() const override { return settings_.layout; }
  bool open(const std::string& path, std::string& error) override;
  bool write(const int16_t* samples, size_t frames, std::string& error) override;
  bool close(std::string& error) override;

  // Whether libvorbisenc accepts the settings; empty when it does.
  static std::string probe(const OggSettings& settings);

 private:
  struct State;
  bool flushPages(bool force, std::string& error);
  bool analyse(std::string& error);

  OggSettings settings_;
  std::unique_ptr<State> state_;  // present while a file is open
  int serial_ = 0x52694d72;       // stream serial; bumped per file
};

}  // namespace wavesmith
