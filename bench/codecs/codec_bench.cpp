// Encodes one WAV file with our MP3, OGG, WMA and FLAC writers at the
// settings the reference tools are run with (MP3 128 kbit/s joint stereo
// quality 5, OGG quality 3, WMA 128 kbit/s, FLAC level 5) and prints the seconds each took,
// one "name seconds" line each.
// Each run goes through the codec component's interface as its callers
// use it, the converter's way: one AudioFile2 reads the WAV a second at a
// time (ReadSamples), another encodes each block (WriteSamples), so the
// SAFEARRAYs handed across are part of what is timed, as reading the WAV
// and writing the file are part of the tools' times.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "components/wavesmith2.h"
#include "outside/wavesmith2/audio_file2.h"
#include "outside/wavesmith2/audio_file2_lame_enc.h"
#include "platform/com/bstr_text.h"

namespace {

using com::ComPtr;

using com::Bstr;

LONG longOf(IAudioFile2* f, HRESULT (STDMETHODCALLTYPE IAudioFile2::*get)(LONG*)) {
  LONG value = 0;
  return SUCCEEDED((f->*get)(&value)) ? value : 0;
}

double encode(const std::string& in, const std::string& out, const std::function<HRESULT(IAudioFile2*)>& choose) {
  const auto start = std::chrono::steady_clock::now();
  ComPtr<IAudioFile2> reader(new wavesmith::AudioFile2), writer(new wavesmith::AudioFile2);
  if (choose(writer.get()) != S_OK || FAILED(reader->OpenRead(Bstr(in).get(), 0, 1)) ||
      FAILED(writer->CreateOutputFile(Bstr(out).get(), 0))) {
    std::fprintf(stderr, "cannot set up %s\n", out.c_str());
    return -1;
  }
  const LONG rate = longOf(reader.get(), &IAudioFile2::get_sampleRate);
  const LONG channels = longOf(reader.get(), &IAudioFile2::get_channelCount);
  writer->SetInputFormat(rate, channels);
  for (;;) {
    SAFEARRAY* block = nullptr;
    if (FAILED(reader->ReadSamples(rate * channels, &block)) || block == nullptr) return -1;
    LONG upper = -1;
    SafeArrayGetUBound(block, 1, &upper);
    const HRESULT written = upper >= 0 ? writer->WriteSamples(block) : S_OK;
    SafeArrayDestroy(block);
    if (FAILED(written)) return -1;
    if (upper < 0) break;
  }
  reader->CloseFile();
  if (FAILED(writer->CloseFile())) return -1;
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
  auto run = [&](const char* name, const char* file, const std::function<HRESULT(IAudioFile2*)>& choose) {
    if (only.empty() || only == name) std::printf("%s %.3f\n", name, encode(in, dir + "/" + file, choose));
  };
  // lame's own choices at -b 128 -q 5: joint stereo (the settings object's
  // default is simple stereo, which costs LAME about 40 % more work) and the
  // Xing/LAME header.
  run("mp3", "ours.mp3", [](IAudioFile2* f) {
    ComPtr<IAudioFile2LameEnc> mp3(new wavesmith::AudioFile2LameEnc);
    mp3->put_Bitrate(128);
    mp3->put_EncoderQuality(5);
    mp3->put_TypeStereo(static_cast<LONG>(wavesmith::StereoMode::kJoint));
    mp3->put_WritingVBRHeader(TRUE);
    return f->SetLameEncoder(mp3.get());
  });
  run("ogg", "ours.ogg", [](IAudioFile2* f) { return f->SetFormatOGG(44100, 2, 128, 0, 0, 300); });
  run("wma", "ours.wma", [](IAudioFile2* f) { return f->SetFormatWMA(10); });
  run("flac", "ours.flac", [](IAudioFile2* f) { return f->SetFormatFLAC(5); });
  return 0;
}
