#include "outside/wavesmith2/audio_file2_lame_enc.h"

#include "platform/com/bstr_text.h"
#include "components/lame/lame_command_line.h"
#include "components/lame/lame_dispatch.h"
#include "components/lame/lame_presets.h"

namespace wavesmith {

template <class T, class F>
HRESULT AudioFile2LameEnc::get(T* out, F field) const {
  if (out == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *out = static_cast<T>(field(s_));
  return S_OK;
}

template <class F>
HRESULT AudioFile2LameEnc::put(F field) {
  std::lock_guard<std::mutex> guard(lock_);
  field(s_);
  return S_OK;
}

LameSettings AudioFile2LameEnc::settings() const {
  std::lock_guard<std::mutex> guard(lock_);
  return s_;
}

HRESULT AudioFile2LameEnc::SetParamsFromCommandLine(BSTR commandLine) {
  const std::string text = com::Utf8Of(commandLine);
  return put([&](LameSettings& s) { lame::applyCommandLine(s, text); });
}
HRESULT AudioFile2LameEnc::SetParamsFromPreset(SHORT preset) {
  return put([&](LameSettings& s) { lame::applyPreset(s, preset); });
}
HRESULT AudioFile2LameEnc::SetParamsFromAltPreset(SHORT preset) {
  return put([&](LameSettings& s) { lame::applyPreset(s, static_cast<SHORT>(preset + 100)); });
}

// Plain fields: the value is stored in the field's width and read back
// sign-extended.
#define RM_LAME_PROPERTY(Name, Type, field)                                                      \
  HRESULT AudioFile2LameEnc::get_##Name(Type* value) {                                          \
    return get(value, [](const LameSettings& s) { return s.field; });                            \
  }                                                                                              \
  HRESULT AudioFile2LameEnc::put_##Name(Type value) {                                           \
    return put([&](LameSettings& s) { s.field = static_cast<decltype(s.field)>(value); });       \
  }
RM_LAME_PROPERTY(VbrBitrate, LONG, vbr_bitrate_kbps)
RM_LAME_PROPERTY(VbrQuality, SHORT, vbr_quality)
RM_LAME_PROPERTY(VbrCodingMethod, LONG, vbr_method)
RM_LAME_PROPERTY(AbrBitrate, SHORT, abr_bitrate_kbps)
RM_LAME_PROPERTY(TypeStereo, LONG, stereo_mode)
RM_LAME_PROPERTY(EncoderQuality, SHORT, encoder_quality)
RM_LAME_PROPERTY(WritingVBRHeader, BOOL, write_vbr_header)
RM_LAME_PROPERTY(BlockTypeControl, BOOL, block_type_control)
RM_LAME_PROPERTY(Emphasis, SHORT, emphasis)
RM_LAME_PROPERTY(StrictISOCompliance, BOOL, strict_iso)
RM_LAME_PROPERTY(StrictlyEnforceMinBitrate, BOOL, enforce_min_bitrate)
RM_LAME_PROPERTY(ATHControlMode, SHORT, ath_mode)
RM_LAME_PROPERTY(LowPassFrequency, LONG, lowpass_hz)
RM_LAME_PROPERTY(HighPassFrequency, LONG, highpass_hz)
RM_LAME_PROPERTY(LowPassWidth, LONG, lowpass_width_hz)
RM_LAME_PROPERTY(HighPassWidth, LONG, highpass_width_hz)
RM_LAME_PROPERTY(ErrorProtection, BOOL, error_protection)
RM_LAME_PROPERTY(Frequency, LONG, frequency_hz)
RM_LAME_PROPERTY(Channels, LONG, channels)
RM_LAME_PROPERTY(Bitrate, LONG, bitrate_kbps)
#undef RM_LAME_PROPERTY

// Kept as "off" flags, so they read back 1 (not the value put) when on.
HRESULT AudioFile2LameEnc::get_BitReservoir(BOOL* on) {
  return get(on, [](const LameSettings& s) { return lame::onValueOf(s.reservoir_off); });
}
HRESULT AudioFile2LameEnc::put_BitReservoir(BOOL on) {
  return put([&](LameSettings& s) { s.reservoir_off = lame::offFlagFor(on); });
}
HRESULT AudioFile2LameEnc::get_ShortBlocks(BOOL* on) {
  return get(on, [](const LameSettings& s) { return lame::onValueOf(s.short_blocks_off); });
}
HRESULT AudioFile2LameEnc::put_ShortBlocks(BOOL on) {
  return put([&](LameSettings& s) { s.short_blocks_off = lame::offFlagFor(on); });
}

const com::DispatchTable& AudioFile2LameEnc::dispatchTable() {
  return lame::settingsDispatchTable<IAudioFile2LameEnc>(IID_IAudioFile2LameEnc);
}

HRESULT readLameSettings(IAudioFile2LameEnc* source, LameSettings* out) {
  if (source == nullptr || out == nullptr) return E_POINTER;
  LameSettings s;
  LONG l = 0;
  SHORT h = 0;
  BOOL b = 0;
  HRESULT hr = S_OK;
  // Each read stops the copy at the first failure; the result is all or nothing.
  auto readL = [&](HRESULT (STDMETHODCALLTYPE IAudioFile2LameEnc::*get)(LONG*), auto& field) {
    if (SUCCEEDED(hr)) hr = (source->*get)(&l);
    field = static_cast<std::remove_reference_t<decltype(field)>>(l);
  };
  auto readS = [&](HRESULT (STDMETHODCALLTYPE IAudioFile2LameEnc::*get)(SHORT*), int16_t& field) {
    if (SUCCEEDED(hr)) hr = (source->*get)(&h);
    field = h;
  };
  auto readB = [&](HRESULT (STDMETHODCALLTYPE IAudioFile2LameEnc::*get)(BOOL*), int16_t& field) {
    if (SUCCEEDED(hr)) hr = (source->*get)(&b);
    field = static_cast<int16_t>(b);
  };
  using I = IAudioFile2LameEnc;
  readL(&I::get_VbrBitrate, s.vbr_bitrate_kbps);
  readL(&I::get_Frequency, s.frequency_hz);
  readL(&I::get_Bitrate, s.bitrate_kbps);
  readL(&I::get_Channels, s.channels);
  readL(&I::get_TypeStereo, s.stereo_mode);
  readL(&I::get_VbrCodingMethod, s.vbr_method);
  readS(&I::get_AbrBitrate, s.abr_bitrate_kbps);
  readS(&I::get_ATHControlMode, s.ath_mode);
  int16_t reservoir = 1, shortBlocks = 1;
  readB(&I::get_BitReservoir, reservoir);
  readB(&I::get_BlockTypeControl, s.block_type_control);
  readS(&I::get_Emphasis, s.emphasis);
  readS(&I::get_EncoderQuality, s.encoder_quality);
  readB(&I::get_ErrorProtection, s.error_protection);
  readL(&I::get_HighPassFrequency, s.highpass_hz);
  readL(&I::get_HighPassWidth, s.highpass_width_hz);
  readL(&I::get_LowPassFrequency, s.lowpass_hz);
  readL(&I::get_LowPassWidth, s.lowpass_width_hz);
  readB(&I::get_ShortBlocks, shortBlocks);
  readB(&I::get_StrictISOCompliance, s.strict_iso);
  readB(&I::get_StrictlyEnforceMinBitrate, s.enforce_min_bitrate);
  readS(&I::get_VbrQuality, s.vbr_quality);
  readB(&I::get_WritingVBRHeader, s.write_vbr_header);
  if (FAILED(hr)) return hr;
  s.reservoir_off = lame::offFlagFor(reservoir);
  s.short_blocks_off = lame::offFlagFor(shortBlocks);
  *out = s;
  return S_OK;
}

}  // namespace wavesmith
