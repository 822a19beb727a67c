#include "ripmarrow/codec_output.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "components/wavesmith2.h"
#include "platform/com/com_ptr.h"
#include "ripmarrow/engine_session.h"

namespace ripmarrow {

namespace {

constexpr long kRate = 44100;
constexpr long kChannels = 2;
// Samples handed to the codec per call: a second of audio.
constexpr size_t kChunkSamples = kRate * kChannels;

com::ComPtr<IAudioFile2> codecOf(IAudioCDRipper2* engine) {
  com::ComPtr<IUnknown> object;
  com::ComPtr<IAudioFile2> codec;
  if (FAILED(engine->GetAudioFile2Interface(object.put())) || !object || FAILED(object.as(&codec))) return {};
  return codec;
}

std::string lastError(IAudioFile2* codec, const std::string& what) {
  BSTR text = nullptr;
  codec->get_LastError(&text);
  const std::string reason = takeText(text);
  return what + (reason.empty() ? "" : ": " + reason);
}

uint32_t little32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) | static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}

}  // namespace

std::string CodecOutput::setFormat(IAudioCDRipper2* engine, RipCommand::Format format, long flacLevel) {
  const com::ComPtr<IAudioFile2> codec = codecOf(engine);
  if (!codec) return "the engine has no codec component";
  HRESULT hr = S_OK;
  switch (format) {
    case RipCommand::Format::kWav: hr = codec->SetFormatPCM(kRate, kChannels, 16); break;
    case RipCommand::Format::kMp3: hr = codec->SetFormatMP3(kRate, 128, kChannels); break;
    case RipCommand::Format::kMp2: hr = codec->SetFormatMP2(kRate, 192, kChannels); break;
    case RipCommand::Format::kOgg: hr = codec->SetFormatOGG(kRate, kChannels, 128, 0, 0, -1); break;
    case RipCommand::Format::kWma:
      codec->put_codecOption(VARIANT_TRUE);
      hr = codec->SetFormatWMA(39);
      break;
    case RipCommand::Format::kFlac: hr = codec->SetFormatFLAC(flacLevel); break;
  }
  if (hr != S_OK) return lastError(codec.get(), "the codec component refused the format");
  return {};
}

std::string CodecOutput::write(IAudioCDRipper2* engine, const std::string& path, const std::vector<int16_t>& samples) {
  const com::ComPtr<IAudioFile2> codec = codecOf(engine);
  if (!codec) return "the engine has no codec component";
  BSTR name = makeBstr(path);
  codec->SetInputFormat(kRate, kChannels);
  codec->CreateOutputFile(name, 0);
  SysFreeString(name);
  LONG status = -1;
  codec->get_FileStatus(&status);
  std::string failure;
  if (status != 0) {
    failure = lastError(codec.get(), "cannot create " + path);
  } else {
    codec->SetInputFormat(kRate, kChannels);
    for (size_t at = 0; at < samples.size() && failure.empty(); at += kChunkSamples) {
      const size_t count = std::min(kChunkSamples, samples.size() - at);
      SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(count));
      if (array == nullptr) {
        failure = "out of memory";
        break;
      }
      void* data = nullptr;
      SafeArrayAccessData(array, &data);
      std::memcpy(data, samples.data() + at, count * sizeof(int16_t));
      SafeArrayUnaccessData(array);
      if (FAILED(codec->WriteSamples(array))) failure = lastError(codec.get(), "cannot write " + path);
      SafeArrayDestroy(array);
    }
    if (FAILED(codec->CloseFile()) && failure.empty()) failure = lastError(codec.get(), "cannot finish " + path);
  }
  if (!failure.empty()) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  return failure;
}

bool CodecOutput::readWave(const std::string& path, std::vector<int16_t>& samples) {
  samples.clear();
  std::ifstream in(path, std::ios::binary);
  char header[12];
  if (!in.read(header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
    return false;
  bool formatOk = false;
  char chunk[8];
  while (in.read(chunk, sizeof chunk)) {
    const uint32_t bytes = little32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      char fmt[16];
      if (bytes < sizeof fmt || !in.read(fmt, sizeof fmt)) return false;
      const unsigned tag = static_cast<uint8_t>(fmt[0]) | static_cast<uint8_t>(fmt[1]) << 8;
      const unsigned channels = static_cast<uint8_t>(fmt[2]) | static_cast<uint8_t>(fmt[3]) << 8;
      const unsigned bits = static_cast<uint8_t>(fmt[14]) | static_cast<uint8_t>(fmt[15]) << 8;
      formatOk = (tag == 1 || tag == 0xFFFE) && channels == kChannels && little32(fmt + 4) == kRate && bits == 16;
      in.seekg(static_cast<std::streamoff>(bytes - sizeof fmt + (bytes & 1)), std::ios::cur);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatOk) return false;
      // A chunk that claims more than the file holds (a rip cut short)
      // gives what is there.
      samples.resize(bytes / sizeof(int16_t));
      in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
      samples.resize(static_cast<size_t>(in.gcount()) / sizeof(int16_t) / kChannels * kChannels);
      // Little-endian on every machine this runs on; swap on others.
      if constexpr (std::endian::native == std::endian::big) {
        for (int16_t& s : samples) s = static_cast<int16_t>(static_cast<uint16_t>(s) >> 8 | static_cast<uint16_t>(s) << 8);
      }
      return true;
    } else {
      in.seekg(static_cast<std::streamoff>(bytes + (bytes & 1)), std::ios::cur);
    }
  }
  return false;
}

}  // namespace ripmarrow
