#include "ripmarrow/hidden_track.h"

#include <algorithm>
#include <filesystem>

#include "ripmarrow/deemphasis.h"
#include "ripmarrow/wave_reader.h"

namespace ripmarrow {

bool HiddenTrack::isDigitalSilence(const std::vector<int16_t>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; });
}

HiddenTrack::Outcome HiddenTrack::rip(IAudioCDRipper2* engine, const RipInto& rip,
                                      const RipCommand::Options& options, uint32_t frames,
                                      const std::string& name, bool deemphasise,
                                      std::ostream& out) {
  Outcome outcome;
  // The engine's rips of the chosen format use the codec object's format:
  // it is theirs again whatever happens here.
  struct Restore {
    IAudioCDRipper2* engine;
    const RipCommand::Options& options;
    ~Restore() {
      if (options.format != RipCommand::Format::kWav)
        CodecOutput::setFormat(engine, options.format, options.flacLevel, options.encoders ? &*options.encoders : nullptr);
    }
  } restore{engine, options};
  const TemporaryWave wave(options.folder);
  if (wave.path().empty()) {
    out << "  FAILED: no room for the hidden track's WAV in " << options.folder << "\n";
    outcome.ok = false;
    return outcome;
  }
  const LONG count = static_cast<LONG>(frames);
  auto ripRange = [engine, count](BSTR file) {
    return engine->RipRangeToAudioFile2Format(0, count, file);
  };
  std::string failure = CodecOutput::setFormat(engine, RipCommand::Format::kWav, options.flacLevel);
  if (!failure.empty()) {
    out << "  FAILED: " << failure << "\n";
    outcome.ok = false;
    return outcome;
  }
  if (!rip(ripRange, wave.path(), false)) {
    outcome.ok = false;
    return outcome;
  }
  WaveReader reader;
  if (!reader.open(wave.path())) {
    out << "  FAILED: the hidden track's WAV could not be read back\n";
    outcome.ok = false;
    return outcome;
  }
  std::vector<int16_t> samples(44100 * 2);
  bool silent = true;
  for (size_t read; silent && (read = reader.read(samples.data(), samples.size())) > 0;) {
    samples.resize(read);
    silent = isDigitalSilence(samples);
  }
  if (silent) {
    out << "  digital silence: not ripped\n";
    return outcome;
  }

  const std::string path = RipCommand::reservePath(options.folder, name);
  out << "  audio found: " << std::filesystem::path(path).filename().string() << "\n";
  if (deemphasise) {
    failure = CodecOutput::setFormat(engine, options.format, options.flacLevel, options.encoders ? &*options.encoders : nullptr);
    if (failure.empty()) failure = Deemphasis::writeFiltered(engine, wave.path(), path);
    if (failure.empty()) {
      std::error_code ec;
      out << "  written de-emphasised: " << path << " (" << std::filesystem::file_size(path, ec)
          << " bytes)\n";
    }
  } else {
    failure = CodecOutput::setFormat(engine, options.format, options.flacLevel, options.encoders ? &*options.encoders : nullptr);
    if (failure.empty() && !rip(ripRange, path, true)) {
      outcome.ok = false;
      return outcome;
    }
  }
  if (!failure.empty()) {
    out << "  FAILED: " << failure << "\n";
    std::error_code ec;
    std::filesystem::remove(path, ec);
    outcome.ok = false;
    return outcome;
  }
  outcome.path = path;
  return outcome;
}

}  // namespace ripmarrow
