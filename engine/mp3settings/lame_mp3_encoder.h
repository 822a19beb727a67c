// AudioCDRipperLameMP3Encoder2: the engine's MP3 settings object, one
// lame::LameRecord behind IAudioCDRipperLameMP3Encoder2. A client fills it
// through its properties, a LAME command line or a preset and hands it to
// the engine's SetFormatMP3Ex. It does no encoding and checks no values:
// out-of-range numbers are stored, cut to the field's width, and only the
// engine's hand-over to the codec normalises them.
//
// Apartment-threaded: one thread at a time uses it, so the record has no
// lock.
#pragma once

#include "components/lame/lame_record.h"
#include "components/trackmill2.h"
#include "platform/com/com.h"

namespace engine {

class AudioCDRipperLameMP3Encoder2 final
    : public com::ComObject<AudioCDRipperLameMP3Encoder2, IAudioCDRipperLameMP3Encoder2> {
 public:
  static const com::DispatchTable& dispatchTable();

  const lame::LameRecord& record() const { return r_; }

  HRESULT STDMETHODCALLTYPE SetParamsFromCommandLine(BSTR CommandLine) override;
  HRESULT STDMETHODCALLTYPE SetParamsFromPreset(SHORT Preset) override;
  HRESULT STDMETHODCALLTYPE SetParamsFromAltPreset(SHORT Preset) override;
  HRESULT STDMETHODCALLTYPE get_VbrBitrate(RipBitrateConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_VbrBitrate(RipBitrateConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_VbrQuality(SHORT* pVal) override;
  HRESULT STDMETHODCALLTYPE put_VbrQuality(SHORT newVal) override;
  HRESULT STDMETHODCALLTYPE get_VbrCodingMethod(Mp3Method* pVal) override;
  HRESULT STDMETHODCALLTYPE put_VbrCodingMethod(Mp3Method newVal) override;
  HRESULT STDMETHODCALLTYPE get_AbrBitrate(SHORT* pVal) override;
  HRESULT STDMETHODCALLTYPE put_AbrBitrate(SHORT newVal) override;
  HRESULT STDMETHODCALLTYPE get_TypeStereo(Mp3TypeStereoContants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_TypeStereo(Mp3TypeStereoContants newVal) override;
  HRESULT STDMETHODCALLTYPE get_EncoderQuality(SHORT* pVal) override;
  HRESULT STDMETHODCALLTYPE put_EncoderQuality(SHORT newVal) override;
  HRESULT STDMETHODCALLTYPE get_WritingVBRHeader(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_WritingVBRHeader(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_BitReservoir(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_BitReservoir(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_BlockTypeControl(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_BlockTypeControl(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_ShortBlocks(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ShortBlocks(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_Emphasis(SHORT* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Emphasis(SHORT newVal) override;
  HRESULT STDMETHODCALLTYPE get_StrictISOCompliance(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_StrictISOCompliance(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_StrictlyEnforceMinBitrate(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_StrictlyEnforceMinBitrate(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_ATHControlMode(SHORT* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ATHControlMode(SHORT newVal) override;
  HRESULT STDMETHODCALLTYPE get_LowPassFrequency(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_LowPassFrequency(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_HighPassFrequency(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_HighPassFrequency(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_LowPassWidth(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_LowPassWidth(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_HighPassWidth(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_HighPassWidth(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_ErrorProtection(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ErrorProtection(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_Frequency(RipFrequencyConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Frequency(RipFrequencyConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_Channels(RipChannelsConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Channels(RipChannelsConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_Bitrate(RipBitrateConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Bitrate(RipBitrateConstants newVal) override;

 private:
  lame::LameRecord r_;  // a new object's values; the object's thread only
};

}  // namespace engine
