#include "engine/mp3settings/lame_mp3_encoder.h"

#include "components/lame/lame_command_line.h"
#include "components/lame/lame_dispatch.h"
#include "components/lame/lame_presets.h"
#include "platform/text/utf.h"

namespace engine {

HRESULT AudioCDRipperLameMP3Encoder2::SetParamsFromCommandLine(BSTR CommandLine) {
  if (CommandLine == nullptr) return S_OK;
  const std::string text =
      platform::text::utf16ToUtf8(std::u16string_view(CommandLine, SysStringLen(CommandLine)));
  lame::applyCommandLine(r_, text);
  return S_OK;
}

HRESULT AudioCDRipperLameMP3Encoder2::SetParamsFromPreset(SHORT Preset) {
  lame::applyPreset(r_, Preset);
  return S_OK;
}

HRESULT AudioCDRipperLameMP3Encoder2::SetParamsFromAltPreset(SHORT Preset) {
  lame::applyPreset(r_, static_cast<SHORT>(Preset + 100));
  return S_OK;
}

// Each property reads or writes its field only: a put cuts the value to the
// field's width, a get sign-extends it.
#define RM_LAME_PROPERTY(Name, Type, field)                                      \
  HRESULT AudioCDRipperLameMP3Encoder2::get_##Name(Type* pVal) {                 \
    if (pVal == nullptr) return E_POINTER;                                       \
    *pVal = static_cast<Type>(r_.field);                                         \
    return S_OK;                                                                 \
  }                                                                              \
  HRESULT AudioCDRipperLameMP3Encoder2::put_##Name(Type newVal) {                \
    r_.field = static_cast<decltype(r_.field)>(newVal);                          \
    return S_OK;                                                                 \
  }
RM_LAME_PROPERTY(VbrBitrate, RipBitrateConstants, vbr_bitrate_kbps)
RM_LAME_PROPERTY(VbrQuality, SHORT, vbr_quality)
RM_LAME_PROPERTY(VbrCodingMethod, Mp3Method, vbr_method)
RM_LAME_PROPERTY(AbrBitrate, SHORT, abr_bitrate_kbps)
RM_LAME_PROPERTY(TypeStereo, Mp3TypeStereoContants, stereo_mode)
RM_LAME_PROPERTY(EncoderQuality, SHORT, encoder_quality)
RM_LAME_PROPERTY(WritingVBRHeader, VARIANT_BOOL, write_vbr_header)
RM_LAME_PROPERTY(BlockTypeControl, VARIANT_BOOL, block_type_control)
RM_LAME_PROPERTY(Emphasis, SHORT, emphasis)
RM_LAME_PROPERTY(StrictISOCompliance, VARIANT_BOOL, strict_iso)
RM_LAME_PROPERTY(StrictlyEnforceMinBitrate, VARIANT_BOOL, enforce_min_bitrate)
RM_LAME_PROPERTY(ATHControlMode, SHORT, ath_mode)
RM_LAME_PROPERTY(LowPassFrequency, LONG, lowpass_hz)
RM_LAME_PROPERTY(HighPassFrequency, LONG, highpass_hz)
RM_LAME_PROPERTY(LowPassWidth, LONG, lowpass_width_hz)
RM_LAME_PROPERTY(HighPassWidth, LONG, highpass_width_hz)
RM_LAME_PROPERTY(ErrorProtection, VARIANT_BOOL, error_protection)
RM_LAME_PROPERTY(Frequency, RipFrequencyConstants, frequency_hz)
RM_LAME_PROPERTY(Channels, RipChannelsConstants, channels)
RM_LAME_PROPERTY(Bitrate, RipBitrateConstants, bitrate_kbps)
#undef RM_LAME_PROPERTY

// Kept as "off" flags, so they read back 1 (not the value put) when on.
HRESULT AudioCDRipperLameMP3Encoder2::get_BitReservoir(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = lame::onValueOf(r_.reservoir_off);
  return S_OK;
}
HRESULT AudioCDRipperLameMP3Encoder2::put_BitReservoir(VARIANT_BOOL newVal) {
  r_.reservoir_off = lame::offFlagFor(newVal);
  return S_OK;
}
HRESULT AudioCDRipperLameMP3Encoder2::get_ShortBlocks(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = lame::onValueOf(r_.short_blocks_off);
  return S_OK;
}
HRESULT AudioCDRipperLameMP3Encoder2::put_ShortBlocks(VARIANT_BOOL newVal) {
  r_.short_blocks_off = lame::offFlagFor(newVal);
  return S_OK;
}

const com::DispatchTable& AudioCDRipperLameMP3Encoder2::dispatchTable() {
  return lame::settingsDispatchTable<IAudioCDRipperLameMP3Encoder2>(IID_IAudioCDRipperLameMP3Encoder2);
}

}  // namespace engine
