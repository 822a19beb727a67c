#include "ripmarrow/codec_output.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "client/engine_session.h"

namespace ripmarrow {

namespace {

constexpr long kRate = 44100;
// Samples handed to the codec per call: a second of audio.
constexpr size_t kChunkSamples = kRate * CodecOutput::kChannels;

com::ComPtr<IAudioFile2> codecOf(IAudioCDRipper2* engine) {
  com::ComPtr<IUnknown> object;
  com::ComPtr<IAudioFile2> codec;
  if (FAILED(engine->GetAudioFile2Interface(object.put())) || !object || FAILED(object.as(&codec)))
    return {};
  return codec;
}

std::string lastError(IAudioFile2* codec, const std::string& what) {
  BSTR text = nullptr;
  codec->get_LastError(&text);
  const std::string reason = com::TakeUtf8(text);
  return what + (reason.empty() ? "" : ": " + reason);
}

std::string channelsText(LONG channels) { return channels == 1 ? "mono" : "stereo"; }

// The encoder settings' format through the engine, which holds it in its
// codec object; "" when it was taken.
std::string handOver(IAudioCDRipper2* engine, RipCommand::Format format, const client::EncoderSettings& e) {
  switch (format) {
    case RipCommand::Format::kMp3: {
      // A settings object of its own, as the desktop program's batch hands
      // over: SetFormatMP3Ex copies every one of its properties.
      com::ComPtr<IAudioCDRipperLameMP3Encoder2> mp3;
      if (FAILED(CoCreateInstance(CLSID_AudioCDRipperLameMP3Encoder2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IAudioCDRipperLameMP3Encoder2, mp3.putVoid())) ||
          !mp3) {
        return "the engine offers no MP3 settings object";
      }
      if (client::HandMp3ToEngine(engine, mp3.get(), e.mp3)) return {};
      return "this MP3 format is not supported: " + std::to_string(e.mp3.frequencyHz) + " Hz, " +
             std::to_string(e.mp3.bitrateKbps) + " kbit/s, " + channelsText(e.mp3.channels);
    }
    case RipCommand::Format::kOgg:
      if (client::HandOggToEngine(engine, e.ogg)) return {};
      return "this OGG format is not supported: " + std::to_string(e.ogg.frequencyHz) + " Hz, " +
             std::to_string(e.ogg.nominalKbps) + " kbit/s (" + std::to_string(e.ogg.minKbps) + "-" +
             std::to_string(e.ogg.maxKbps) + "), " + channelsText(e.ogg.channels);
    case RipCommand::Format::kWma:
      client::HandWmaToEngine(engine, e.wmaProfile);
      return {};
    default:
      return {};
  }
}

}  // namespace

std::string CodecOutput::setFormat(IAudioCDRipper2* engine, RipCommand::Format format, long flacLevel,
                                   const client::EncoderSettings* encoders) {
  if (encoders != nullptr && (format == RipCommand::Format::kMp3 || format == RipCommand::Format::kOgg ||
                              format == RipCommand::Format::kWma)) {
    return handOver(engine, format, *encoders);
  }
  const com::ComPtr<IAudioFile2> codec = codecOf(engine);
  if (!codec) return "the engine has no codec component";
  const long channels = static_cast<long>(kChannels);
  HRESULT hr = S_OK;
  switch (format) {
    case RipCommand::Format::kWav:
      hr = codec->SetFormatPCM(kRate, channels, 16);
      break;
    case RipCommand::Format::kMp3:
      hr = codec->SetFormatMP3(kRate, 128, channels);
      break;
    case RipCommand::Format::kMp2:
      hr = codec->SetFormatMP2(kRate, 192, channels);
      break;
    case RipCommand::Format::kOgg:
      hr = codec->SetFormatOGG(kRate, channels, 128, 0, 0, -1);
      break;
    case RipCommand::Format::kWma:
      codec->put_codecOption(VARIANT_TRUE);
      hr = codec->SetFormatWMA(39);
      break;
    case RipCommand::Format::kFlac:
      hr = codec->SetFormatFLAC(flacLevel);
      break;
  }
  if (hr != S_OK) return lastError(codec.get(), "the codec component refused the format");
  return {};
}

CodecOutput::~CodecOutput() {
  if (path_.empty()) return;
  codec_->CloseFile();
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

std::string CodecOutput::fail(const std::string& what) {
  const std::string failure = lastError(codec_.get(), what);
  codec_->CloseFile();
  std::error_code ec;
  std::filesystem::remove(path_, ec);
  path_.clear();
  return failure;
}

std::string CodecOutput::create(const std::string& path) {
  codec_ = codecOf(engine_);
  if (!codec_) return "the engine has no codec component";
  BSTR name = com::NewBstr(path);
  codec_->SetInputFormat(kRate, static_cast<LONG>(kChannels));
  codec_->CreateOutputFile(name, 0);
  SysFreeString(name);
  LONG status = -1;
  codec_->get_FileStatus(&status);
  if (status != 0) return lastError(codec_.get(), "cannot create " + path);
  path_ = path;
  codec_->SetInputFormat(kRate, static_cast<LONG>(kChannels));
  return {};
}

std::string CodecOutput::write(const int16_t* samples, size_t count) {
  if (path_.empty()) return "no file is open";
  for (size_t at = 0; at < count; at += kChunkSamples) {
    const size_t n = std::min(kChunkSamples, count - at);
    SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(n));
    if (array == nullptr) return fail("out of memory");
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::memcpy(data, samples + at, n * sizeof(int16_t));
    SafeArrayUnaccessData(array);
    const HRESULT hr = codec_->WriteSamples(array);
    SafeArrayDestroy(array);
    if (FAILED(hr)) return fail("cannot write " + path_);
  }
  return {};
}

std::string CodecOutput::finish() {
  if (path_.empty()) return "no file is open";
  if (FAILED(codec_->CloseFile())) return fail("cannot finish " + path_);
  path_.clear();
  return {};
}

}  // namespace ripmarrow
