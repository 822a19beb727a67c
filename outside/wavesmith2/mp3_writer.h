// MP3 files through LAME, every field of LameSettings honoured. The VBR
// (Xing/LAME) header frame is written at the start of the file when it is
// closed, so players know the true length of VBR and ABR files.
#pragma once

#include <cstdio>
#include <vector>

#include "outside/wavesmith2/audio_writer.h"
#include "outside/wavesmith2/lame_settings.h"

struct lame_global_struct;

namespace wavesmith {

class Mp3Writer final : public AudioWriter {
 public:
  explicit Mp3Writer(const LameSettings& settings) : settings_(settings) {}
  ~Mp3Writer() override;

  PcmLayout layout() const override { return {settings_.frequency_hz, settings_.channels}; }
  bool open(const std::string& path, std::string& error) override;
  bool write(const int16_t* samples, size_t frames, std::string& error) override;
  bool close(std::string& error) override;

  // Builds a LAME context for the settings without a file; empty when it
  // would encode them as given, else why not.
  static std::string probe(const LameSettings& settings);

 private:
  LameSettings settings_;
  lame_global_struct* lame_ = nullptr;  // owned while a file is open
  FILE* file_ = nullptr;                // owned while a file is open
  std::vector<unsigned char> out_;
};

}  // namespace wavesmith
