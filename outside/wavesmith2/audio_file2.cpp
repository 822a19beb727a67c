#include "outside/wavesmith2/audio_file2.h"

#include <algorithm>
#include <limits>

#include "outside/wavesmith2/audio_file2_lame_enc.h"
#include "platform/com/bstr_text.h"
#include "outside/wavesmith2/wma_profiles.h"

namespace wavesmith {
namespace {

HRESULT answer(bool chosen) { return chosen ? S_OK : S_FALSE; }

HRESULT putLong(int64_t value, LONG* out) {
  if (out == nullptr) return E_POINTER;
  *out = static_cast<LONG>(std::clamp<int64_t>(value, 0, std::numeric_limits<LONG>::max()));
  return S_OK;
}

HRESULT putBool(bool value, VARIANT_BOOL* out) {
  if (out == nullptr) return E_POINTER;
  *out = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

}  // namespace

HRESULT AudioFile2::OpenRead(BSTR fileName, LONG, LONG) {
  return file_.openRead(com::Utf8Of(fileName)) ? S_OK : E_FAIL;
}

HRESULT AudioFile2::CloseFile() { return file_.closeFile() ? S_OK : E_FAIL; }

HRESULT AudioFile2::CreateOutputFile(BSTR fileName, LONG) {
  return file_.createOutputFile(com::Utf8Of(fileName)) == AudioFile::kStatusOk ? S_OK : E_FAIL;
}

HRESULT AudioFile2::WriteSamples(SAFEARRAY* samples) {
  HRESULT hr = com::checkVector(samples, VT_I2);
  if (FAILED(hr)) return hr;
  int16_t* data = nullptr;
  hr = SafeArrayAccessData(samples, reinterpret_cast<void**>(&data));
  if (FAILED(hr)) return hr;
  const bool written = file_.writeSamples(data, samples->rgsabound[0].cElements);
  SafeArrayUnaccessData(samples);
  return written ? S_OK : E_FAIL;
}

HRESULT AudioFile2::ReadSamples(LONG count, SAFEARRAY** samples) {
  if (samples == nullptr) return E_POINTER;
  *samples = nullptr;
  if (count <= 0) return E_INVALIDARG;
  if (!file_.isOpen()) return E_UNEXPECTED;
  // Whole frames, at least one; the samples go straight into the array,
  // which is cut to what came (at the end of the file).
  const LONG frame = std::max<LONG>(static_cast<LONG>(file_.frameSize()), 1);
  const LONG room = std::max<LONG>(std::min(count, kMaxReadElements) / frame, 1) * frame;
  SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(room));
  if (array == nullptr) return E_OUTOFMEMORY;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return E_UNEXPECTED;
  }
  const size_t got = file_.readSamples(static_cast<int16_t*>(data), static_cast<size_t>(room));
  SafeArrayUnaccessData(array);
  if (got < static_cast<size_t>(room)) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(got), 0};
    if (FAILED(SafeArrayRedim(array, &bound))) {
      SafeArrayDestroy(array);
      return E_OUTOFMEMORY;
    }
  }
  *samples = array;
  return S_OK;
}

HRESULT AudioFile2::get_LastError(BSTR* text) { return com::PutBstr(file_.lastError(), text); }

HRESULT AudioFile2::IsAvailableFormatMP3(LONG frequencyHz, LONG bitrateKbps, LONG channels,
                                         VARIANT_BOOL* available) {
  return putBool(AudioFile::isAvailableFormatMP3(frequencyHz, bitrateKbps, channels), available);
}

HRESULT AudioFile2::IsAvailableFormatOGG(LONG frequencyHz, LONG channels, LONG nominalKbps, LONG minKbps,
                                         LONG maxKbps, VARIANT_BOOL* available) {
  return putBool(AudioFile::isAvailableFormatOGG(frequencyHz, channels, nominalKbps, minKbps, maxKbps), available);
}

HRESULT AudioFile2::SetInputFormat(LONG sampleRateHz, LONG channels) {
  inputRateHz_.store(sampleRateHz);
  inputChannels_.store(channels);
  return file_.setInputFormat(sampleRateHz, channels) ? S_OK : E_INVALIDARG;
}

HRESULT AudioFile2::get_inputSampleRate(LONG* sampleRateHz) { return putLong(inputRateHz_.load(), sampleRateHz); }
HRESULT AudioFile2::get_inputChannels(LONG* channels) { return putLong(inputChannels_.load(), channels); }

HRESULT AudioFile2::IsAvailableFormatWMA(LONG profile, VARIANT_BOOL* available) {
  LavcTarget target;
  std::string made, refusal;
  return putBool(wmaTarget(profile, target, made, refusal), available);
}

HRESULT AudioFile2::SetFormatPCM(LONG sampleRateHz, LONG channels, LONG bitsPerSample) {
  return answer(file_.setFormatPCM(sampleRateHz, channels, bitsPerSample));
}

HRESULT AudioFile2::SetFormatMP2(LONG frequencyHz, LONG bitrateKbps, LONG channels) {
  return answer(file_.setFormatMP2(frequencyHz, bitrateKbps, channels));
}

HRESULT AudioFile2::SetFormatMP3(LONG frequencyHz, LONG bitrateKbps, LONG channels) {
  return answer(file_.setFormatMP3(frequencyHz, bitrateKbps, channels));
}

HRESULT AudioFile2::SetLameEncoder(IDispatch* lameEncoder) {
  if (lameEncoder == nullptr) return E_POINTER;
  // Any object with the interface will do, not only ours.
  com::ComPtr<IAudioFile2LameEnc> settings;
  HRESULT hr = lameEncoder->QueryInterface(IID_IAudioFile2LameEnc, settings.putVoid());
  if (FAILED(hr)) return hr;
  LameSettings s;
  hr = readLameSettings(settings.get(), &s);
  if (FAILED(hr)) return hr;
  return answer(file_.setLameSettings(s));
}

HRESULT AudioFile2::SetFormatOGG(LONG frequencyHz, LONG channels, LONG nominalKbps, LONG minKbps, LONG maxKbps,
                                 SHORT quality) {
  return answer(file_.setFormatOGG(frequencyHz, channels, nominalKbps, minKbps, maxKbps, quality));
}

HRESULT AudioFile2::SetFormatWMA(LONG profile) { return answer(file_.setFormatWMA(profile)); }
HRESULT AudioFile2::SetFormatFLAC(LONG level) { return answer(file_.setFormatFLAC(level)); }

HRESULT AudioFile2::get_lengthSamples(LONG* frames) { return putLong(file_.lengthSamples(), frames); }
HRESULT AudioFile2::get_isOpen(VARIANT_BOOL* open) { return putBool(file_.isOpen(), open); }
HRESULT AudioFile2::get_frameSize(LONG* elements) { return putLong(file_.frameSize(), elements); }
HRESULT AudioFile2::get_FormatString(BSTR* text) { return com::PutBstr(file_.formatString(), text); }
HRESULT AudioFile2::get_durationMs(LONG* ms) { return putLong(file_.durationMs(), ms); }
HRESULT AudioFile2::get_FileStatus(LONG* status) { return putLong(file_.fileStatus(), status); }
HRESULT AudioFile2::get_channelCount(LONG* channels) { return putLong(file_.channelCount(), channels); }
HRESULT AudioFile2::get_sampleRate(LONG* sampleRateHz) { return putLong(file_.sampleRate(), sampleRateHz); }

HRESULT AudioFile2::get_codecOption(VARIANT_BOOL* option) {
  if (option == nullptr) return E_POINTER;
  *option = codecOption_.load();
  return S_OK;
}
HRESULT AudioFile2::put_codecOption(VARIANT_BOOL option) {
  codecOption_.store(option);
  return S_OK;
}

const com::DispatchTable& AudioFile2::dispatchTable() {
  using I = IAudioFile2;
#define RM_RESERVED(n) com::method<&I::Reserved##n>("Reserved" #n, n - 6)
  static const com::DispatchTable table(IID_IAudioFile2, {
      com::method<&I::OpenRead>("OpenRead", 0x1),
      com::method<&I::CloseFile>("CloseFile", 0x2),
      com::method<&I::CreateOutputFile>("CreateOutputFile", 0x3),
      com::method<&I::WriteSamples>("WriteSamples", 0x4),
      com::method<&I::ReadSamples>("ReadSamples", 0x5),
      com::propget<&I::get_LastError>("LastError", 0x6),
      com::method<&I::IsAvailableFormatMP3>("IsAvailableFormatMP3", 0x7, {VT_I4, VT_I4, VT_I4, VT_BOOL}),
      com::method<&I::IsAvailableFormatOGG>("IsAvailableFormatOGG", 0x8,
                                            {VT_I4, VT_I4, VT_I4, VT_I4, VT_I4, VT_BOOL}),
      com::method<&I::SetInputFormat>("SetInputFormat", 0x9),
      com::propget<&I::get_inputSampleRate>("inputSampleRate", 0xa),
      com::propget<&I::get_inputChannels>("inputChannels", 0xb),
      com::method<&I::IsAvailableFormatWMA>("IsAvailableFormatWMA", 0xc, {VT_I4, VT_BOOL}),
      com::method<&I::SetFormatPCM>("SetFormatPCM", 0xd),
      RM_RESERVED(20), RM_RESERVED(21), RM_RESERVED(22), RM_RESERVED(23), RM_RESERVED(24), RM_RESERVED(25),
      RM_RESERVED(26),
      com::method<&I::SetFormatMP2>("SetFormatMP2", 0x15),
      com::method<&I::SetFormatMP3>("SetFormatMP3", 0x16),
      com::method<&I::SetLameEncoder>("SetLameEncoder", 0x17),
      com::method<&I::SetFormatOGG>("SetFormatOGG", 0x18),
      com::method<&I::SetFormatWMA>("SetFormatWMA", 0x19),
      RM_RESERVED(32), RM_RESERVED(33), RM_RESERVED(34),
      com::propget<&I::get_lengthSamples>("lengthSamples", 0x1d),
      RM_RESERVED(36),
      com::propget<&I::get_isOpen>("isOpen", 0x1f, {VT_BOOL}),
      com::propget<&I::get_frameSize>("frameSize", 0x20),
      com::propget<&I::get_FormatString>("FormatString", 0x21),
      RM_RESERVED(40), RM_RESERVED(41),
      com::propget<&I::get_durationMs>("durationMs", 0x24),
      com::propget<&I::get_FileStatus>("FileStatus", 0x25),
      com::propget<&I::get_channelCount>("channelCount", 0x26),
      com::propget<&I::get_sampleRate>("sampleRate", 0x27),
      RM_RESERVED(46),
      com::propget<&I::get_codecOption>("codecOption", 0x2a, {VT_BOOL}),
      com::propput<&I::put_codecOption>("codecOption", 0x2a, {VT_BOOL}),
      com::method<&I::SetFormatFLAC>("SetFormatFLAC", 0x2b),
  });
#undef RM_RESERVED
  return table;
}

}  // namespace wavesmith
