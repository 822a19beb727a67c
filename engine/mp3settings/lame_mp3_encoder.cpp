#include "engine/mp3settings/lame_mp3_encoder.h"

#include "components/lame/lame_command_line.h"
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
  using I = IAudioCDRipperLameMP3Encoder2;
#define RM_PROP(Name, id) com::propget<&I::get_##Name>(#Name, id), com::propput<&I::put_##Name>(#Name, id)
  static const com::DispatchTable table(IID_IAudioCDRipperLameMP3Encoder2, {
      com::method<&I::SetParamsFromCommandLine>("SetParamsFromCommandLine", 0x1),
      com::method<&I::SetParamsFromPreset>("SetParamsFromPreset", 0x2),
      com::method<&I::SetParamsFromAltPreset>("SetParamsFromAltPreset", 0x3),
      RM_PROP(VbrBitrate, 0x4),
      RM_PROP(VbrQuality, 0x5),
      RM_PROP(VbrCodingMethod, 0x6),
      RM_PROP(AbrBitrate, 0x7),
      RM_PROP(TypeStereo, 0x8),
      RM_PROP(EncoderQuality, 0x9),
      RM_PROP(WritingVBRHeader, 0xa),
      RM_PROP(BitReservoir, 0xb),
      RM_PROP(BlockTypeControl, 0xc),
      RM_PROP(ShortBlocks, 0xd),
      RM_PROP(Emphasis, 0xe),
      RM_PROP(StrictISOCompliance, 0xf),
      RM_PROP(StrictlyEnforceMinBitrate, 0x10),
      RM_PROP(ATHControlMode, 0x11),
      RM_PROP(LowPassFrequency, 0x12),
      RM_PROP(HighPassFrequency, 0x13),
      RM_PROP(LowPassWidth, 0x14),
      RM_PROP(HighPassWidth, 0x15),
      RM_PROP(ErrorProtection, 0x16),
      RM_PROP(Frequency, 0x17),
      RM_PROP(Channels, 0x18),
      RM_PROP(Bitrate, 0x19),
  });
#undef RM_PROP
  return table;
}

}  // namespace engine
