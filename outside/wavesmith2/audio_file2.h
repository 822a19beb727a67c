// AudioFile2: the codec component's COM class, an AudioFile behind
// IAudioFile2. Format choices that cannot be written answer S_FALSE (not an
// error: callers raise exceptions on errors); the refusal shows in
// FormatString and makes the next CreateOutputFile fail with a non-zero
// FileStatus, which every caller checks.
#pragma once

#include <atomic>

#include "components/wavesmith2.h"
#include "outside/wavesmith2/audio_file.h"

namespace wavesmith {

class AudioFile2 final : public com::ComObject<AudioFile2, IAudioFile2> {
 public:
  static const com::DispatchTable& dispatchTable();

  HRESULT STDMETHODCALLTYPE OpenRead(BSTR fileName, LONG reserved1, LONG reserved2) override;
  HRESULT STDMETHODCALLTYPE CloseFile() override;
  HRESULT STDMETHODCALLTYPE CreateOutputFile(BSTR fileName, LONG reserved) override;
  HRESULT STDMETHODCALLTYPE WriteSamples(SAFEARRAY* samples) override;
  HRESULT STDMETHODCALLTYPE ReadSamples(LONG count, SAFEARRAY** samples) override;
  HRESULT STDMETHODCALLTYPE get_LastError(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE IsAvailableFormatMP3(LONG frequencyHz, LONG bitrateKbps, LONG channels,
                                                 VARIANT_BOOL* available) override;
  HRESULT STDMETHODCALLTYPE IsAvailableFormatOGG(LONG frequencyHz, LONG channels, LONG nominalKbps, LONG minKbps,
                                                 LONG maxKbps, VARIANT_BOOL* available) override;
  HRESULT STDMETHODCALLTYPE SetInputFormat(LONG sampleRateHz, LONG channels) override;
  HRESULT STDMETHODCALLTYPE get_inputSampleRate(LONG* sampleRateHz) override;
  HRESULT STDMETHODCALLTYPE get_inputChannels(LONG* channels) override;
  HRESULT STDMETHODCALLTYPE IsAvailableFormatWMA(LONG profile, VARIANT_BOOL* available) override;
  HRESULT STDMETHODCALLTYPE SetFormatPCM(LONG sampleRateHz, LONG channels, LONG bitsPerSample) override;
  HRESULT STDMETHODCALLTYPE Reserved20() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved21() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved22() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved23() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved24() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved25() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved26() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetFormatMP2(LONG frequencyHz, LONG bitrateKbps, LONG channels) override;
  HRESULT STDMETHODCALLTYPE SetFormatMP3(LONG frequencyHz, LONG bitrateKbps, LONG channels) override;
  HRESULT STDMETHODCALLTYPE SetLameEncoder(IDispatch* lameEncoder) override;
  HRESULT STDMETHODCALLTYPE SetFormatOGG(LONG frequencyHz, LONG channels, LONG nominalKbps, LONG minKbps,
                                         LONG maxKbps, SHORT quality) override;
  HRESULT STDMETHODCALLTYPE SetFormatWMA(LONG profile) override;
  HRESULT STDMETHODCALLTYPE Reserved32() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved33() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved34() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_lengthSamples(LONG* frames) override;
  HRESULT STDMETHODCALLTYPE Reserved36() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_isOpen(VARIANT_BOOL* open) override;
  HRESULT STDMETHODCALLTYPE get_frameSize(LONG* elements) override;
  HRESULT STDMETHODCALLTYPE get_FormatString(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE Reserved40() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved41() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_durationMs(LONG* ms) override;
  HRESULT STDMETHODCALLTYPE get_FileStatus(LONG* status) override;
  HRESULT STDMETHODCALLTYPE get_channelCount(LONG* channels) override;
  HRESULT STDMETHODCALLTYPE get_sampleRate(LONG* sampleRateHz) override;
  HRESULT STDMETHODCALLTYPE Reserved46() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_codecOption(VARIANT_BOOL* option) override;
  HRESULT STDMETHODCALLTYPE put_codecOption(VARIANT_BOOL option) override;
  HRESULT STDMETHODCALLTYPE SetFormatFLAC(LONG level) override;

 private:
  // The largest ReadSamples answer, in array elements (ten seconds of
  // 48 kHz stereo): a caller asking for more gets it in several calls.
  static constexpr LONG kMaxReadElements = 960000;

  AudioFile file_;  // thread-safe on its own
  // The last SetInputFormat, as asked (0: none yet).
  std::atomic<LONG> inputRateHz_{0};
  std::atomic<LONG> inputChannels_{0};
  std::atomic<VARIANT_BOOL> codecOption_{VARIANT_FALSE};
};

}  // namespace wavesmith
