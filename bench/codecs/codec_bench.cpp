// Encodes one WAV file with our MP3, OGG, WMA and FLAC writers at the
// settings the reference tools are run with (MP3 128 kbit/s joint stereo
// quality 5, OGG quality 3, WMA 128 kbit/s, FLAC level 5) and prints the seconds each took,
// one "name seconds" line each.
// Each run reads the WAV and writes the file, as the tools do.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "outside/wavesmith2/audio_file.h"

namespace {

double encode(const std::string& in, const std::string& out, const std::function<bool(wavesmith::AudioFile&)>& choose) {
  const auto start = std::chrono::steady_clock::now();
  wavesmith::AudioFile reader, writer;
  if (!choose(writer) || !reader.openRead(in)) {
    std::fprintf(stderr, "cannot set up %s: %s\n", out.c_str(), writer.formatString().c_str());
    return -1;
  }
  if (writer.createOutputFile(out) != 0) return -1;
  writer.setInputFormat(reader.sampleRate(), reader.channelCount());
  const size_t second = static_cast<size_t>(reader.sampleRate() * reader.channelCount());
  for (auto block = reader.readSamples(second); !block.empty(); block = reader.readSamples(second))
    writer.writeSamples(block.data(), block.size());
  writer.closeFile();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: codec_bench <input.wav> <output folder> [mp3|ogg|wma|flac]\n");
    return 2;
  }
  const std::string in = argv[1], dir = argv[2];
  const std::string only = argc == 4 ? argv[3] : "";  // one format alone, for a profiler
  auto run = [&](const char* name, const char* file, const std::function<bool(wavesmith::AudioFile&)>& choose) {
    if (only.empty() || only == name) std::printf("%s %.3f\n", name, encode(in, dir + "/" + file, choose));
  };
  // lame's own choices at -b 128 -q 5: joint stereo (the settings object's
  // default is simple stereo, which costs LAME about 40 % more work) and the
  // Xing/LAME header.
  wavesmith::LameSettings mp3;
  mp3.bitrate_kbps = 128;
  mp3.encoder_quality = 5;
  mp3.stereo_mode = static_cast<int16_t>(wavesmith::StereoMode::kJoint);
  mp3.write_vbr_header = 1;
  run("mp3", "ours.mp3", [&](auto& f) { return f.setLameSettings(mp3); });
  run("ogg", "ours.ogg", [](auto& f) { return f.setFormatOGG(44100, 2, 128, 0, 0, 300); });
  run("wma", "ours.wma", [](auto& f) { return f.setFormatWMA(10); });
  run("flac", "ours.flac", [](auto& f) { return f.setFormatFLAC(5); });
  return 0;
}
