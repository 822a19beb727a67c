// Encodes one WAV file with our MP3, OGG and WMA writers at the settings the
// reference tools are run with (MP3 128 kbit/s quality 5, OGG quality 3, WMA
// 128 kbit/s) and prints the seconds each took, one "name seconds" line each.
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
  if (argc != 3) {
    std::fprintf(stderr, "usage: codec_bench <input.wav> <output folder>\n");
    return 2;
  }
  const std::string in = argv[1], dir = argv[2];
  wavesmith::LameSettings mp3;
  mp3.bitrate_kbps = 128;
  mp3.encoder_quality = 5;
  mp3.write_vbr_header = 1;
  std::printf("mp3 %.3f\n", encode(in, dir + "/ours.mp3", [&](auto& f) { return f.setLameSettings(mp3); }));
  std::printf("ogg %.3f\n", encode(in, dir + "/ours.ogg", [](auto& f) { return f.setFormatOGG(44100, 2, 128, 0, 0, 300); }));
  std::printf("wma %.3f\n", encode(in, dir + "/ours.wma", [](auto& f) { return f.setFormatWMA(10); }));
  return 0;
}
