// AudioFile2LameEnc: the codec component's MP3 settings object, one
// LameSettings behind IAudioFile2LameEnc. It checks nothing; the codec
// judges the values when SetLameEncoder hands them over.
#pragma once

#include <mutex>

#include "components/wavesmith2.h"
#include "outside/wavesmith2/lame_settings.h"

namespace wavesmith {

class AudioFile2LameEnc final : public com::ComObject<AudioFile2LameEnc, IAudioFile2LameEnc> {
 public:
  static const com::DispatchTable& dispatchTable();

  LameSettings settings() const;

  HRESULT STDMETHODCALLTYPE SetParamsFromCommandLine(BSTR commandLine) override;
  HRESULT STDMETHODCALLTYPE SetParamsFromPreset(SHORT preset) override;
  HRESULT STDMETHODCALLTYPE SetParamsFromAltPreset(SHORT preset) override;
  HRESULT STDMETHODCALLTYPE get_VbrBitrate(LONG* kbps) override;
  HRESULT STDMETHODCALLTYPE put_VbrBitrate(LONG kbps) override;
  HRESULT STDMETHODCALLTYPE get_VbrQuality(SHORT* quality) override;
  HRESULT STDMETHODCALLTYPE put_VbrQuality(SHORT quality) override;
  HRESULT STDMETHODCALLTYPE get_VbrCodingMethod(LONG* method) override;
  HRESULT STDMETHODCALLTYPE put_VbrCodingMethod(LONG method) override;
  HRESULT STDMETHODCALLTYPE get_AbrBitrate(SHORT* kbps) override;
  HRESULT STDMETHODCALLTYPE put_AbrBitrate(SHORT kbps) override;
  HRESULT STDMETHODCALLTYPE get_TypeStereo(LONG* mode) override;
  HRESULT STDMETHODCALLTYPE put_TypeStereo(LONG mode) override;
  HRESULT STDMETHODCALLTYPE get_EncoderQuality(SHORT* quality) override;
  HRESULT STDMETHODCALLTYPE put_EncoderQuality(SHORT quality) override;
  HRESULT STDMETHODCALLTYPE get_WritingVBRHeader(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_WritingVBRHeader(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_BitReservoir(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_BitReservoir(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_BlockTypeControl(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_BlockTypeControl(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_ShortBlocks(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_ShortBlocks(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_Emphasis(SHORT* emphasis) override;
  HRESULT STDMETHODCALLTYPE put_Emphasis(SHORT emphasis) override;
  HRESULT STDMETHODCALLTYPE get_StrictISOCompliance(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_StrictISOCompliance(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_StrictlyEnforceMinBitrate(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_StrictlyEnforceMinBitrate(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_ATHControlMode(SHORT* mode) override;
  HRESULT STDMETHODCALLTYPE put_ATHControlMode(SHORT mode) override;
  HRESULT STDMETHODCALLTYPE get_LowPassFrequency(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE put_LowPassFrequency(LONG hz) override;
  HRESULT STDMETHODCALLTYPE get_HighPassFrequency(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE put_HighPassFrequency(LONG hz) override;
  HRESULT STDMETHODCALLTYPE get_LowPassWidth(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE put_LowPassWidth(LONG hz) override;
  HRESULT STDMETHODCALLTYPE get_HighPassWidth(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE put_HighPassWidth(LONG hz) override;
  HRESULT STDMETHODCALLTYPE get_ErrorProtection(BOOL* on) override;
  HRESULT STDMETHODCALLTYPE put_ErrorProtection(BOOL on) override;
  HRESULT STDMETHODCALLTYPE get_Frequency(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE put_Frequency(LONG hz) override;
  HRESULT STDMETHODCALLTYPE get_Channels(LONG* channels) override;
  HRESULT STDMETHODCALLTYPE put_Channels(LONG channels) override;
  HRESULT STDMETHODCALLTYPE get_Bitrate(LONG* kbps) override;
  HRESULT STDMETHODCALLTYPE put_Bitrate(LONG kbps) override;

 private:
  template <class T, class F>
  HRESULT get(T* out, F field) const;
  template <class F>
  HRESULT put(F field);

  // Apartment objects are used from one thread at a time, but the engine
  // calls its codec from several; the lock keeps each call whole.
  mutable std::mutex lock_;
  LameSettings s_;  // guarded by lock_
};

// Reads the 22 parameters of any object with IAudioFile2LameEnc.
HRESULT readLameSettings(IAudioFile2LameEnc* source, LameSettings* out);

}  // namespace wavesmith
