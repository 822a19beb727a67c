// AudioCDRipper2: the format operations. Each normalises its arguments and
// hands them to the codec component, which holds the format; SetFormatMP3Ex
// copies a whole MP3 settings object into the codec's and back. Each holds
// codecLock_ for its calls: the pump may be encoding meanwhile.
#include "components/lame/lame_record.h"
#include "engine/com/audio_cd_ripper.h"
#include "engine/rip/format_rules.h"

namespace engine {

namespace {
enum FormatSlot { kWma = 0, kOgg = 1, kMp3 = 2, kMp2 = 3 };
}  // namespace

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatMP3(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                                                       RipChannelsConstants chnl) {
  if (!audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  audioFile_->SetFormatMP3(normaliseFrequency(frq), normaliseBitrate(Bitrate), normaliseChannels(chnl));
  formatUnset_[kMp3] = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatMP2(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                                                       RipChannelsConstants chnl) {
  if (!audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  audioFile_->SetFormatMP2(normaliseFrequency(frq), normaliseBitrate(Bitrate), normaliseChannels(chnl));
  formatUnset_[kMp2] = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatOGG(RipFrequencyConstants frq, RipChannelsConstants chnl,
                                                       RipBitrateConstants nominalBitRate,
                                                       RipBitrateConstants minBitRate,
                                                       RipBitrateConstants maxBitRate, LONG Quality) {
  if (!audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  audioFile_->SetFormatOGG(normaliseFrequency(frq), normaliseChannels(chnl), normaliseBitrate(nominalBitRate),
                           normaliseBitrate(minBitRate), normaliseBitrate(maxBitRate), static_cast<SHORT>(Quality));
  formatUnset_[kOgg] = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatWMA(LONG Profile) {
  if (!audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  audioFile_->put_codecOption(VARIANT_TRUE);
  audioFile_->SetFormatWMA(Profile);
  formatUnset_[kWma] = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::IsAvailableFormatMP3(RipFrequencyConstants frq,
                                                               RipBitrateConstants Bitrate,
                                                               RipChannelsConstants chnl,
                                                               VARIANT_BOOL* pMP3FormatAvailable) {
  if (pMP3FormatAvailable == nullptr) return E_POINTER;
  if (!audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  VARIANT_BOOL ok = VARIANT_FALSE;
  audioFile_->IsAvailableFormatMP3(normaliseFrequency(frq), normaliseBitrate(Bitrate), normaliseChannels(chnl), &ok);
  *pMP3FormatAvailable = ok;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::IsAvailableFormatOGG(RipFrequencyConstants frq, RipChannelsConstants chnl,
                                                               RipBitrateConstants nominalBitRate,
                                                               RipBitrateConstants minBitRate,
                                                               RipBitrateConstants maxBitRate, LONG /*Quality*/,
                                                               VARIANT_BOOL* pOGGFormatAvailable) {
  if (pOGGFormatAvailable == nullptr) return E_POINTER;
  if (!audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  VARIANT_BOOL ok = VARIANT_FALSE;
  audioFile_->IsAvailableFormatOGG(normaliseFrequency(frq), normaliseChannels(chnl), normaliseBitrate(nominalBitRate),
                                   normaliseBitrate(minBitRate), normaliseBitrate(maxBitRate), &ok);
  *pOGGFormatAvailable = ok;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_trackFormatString(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  std::lock_guard codec(codecLock_);
  if (audioFile_) audioFile_->get_FormatString(pVal);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::GetAudioFile2Interface(IUnknown** ppAudioFile2) {
  if (ppAudioFile2 == nullptr) return E_POINTER;
  *ppAudioFile2 = nullptr;
  if (audioFile_) audioFile_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppAudioFile2));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::SetFormatMP3Ex(IAudioCDRipperLameMP3Encoder2* LameFormat) {
  com::ComPtr<IAudioCDRipperLameMP3Encoder2> source;
  if (LameFormat == nullptr ||
      FAILED(LameFormat->QueryInterface(IID_IAudioCDRipperLameMP3Encoder2, source.putVoid())) || !source) {
    raiseError(INVALID_PARAM);
    return S_OK;
  }
  if (!lameEncoder_ || !audioFile_) return S_OK;
  std::lock_guard codec(codecLock_);
  IAudioCDRipperLameMP3Encoder2* s = source.get();
  IAudioFile2LameEnc* c = lameEncoder_.get();

  // Settings object → codec's settings object.
  {
    RipBitrateConstants br{};
    RipFrequencyConstants fq{};
    RipChannelsConstants ch{};
    Mp3TypeStereoContants st{};
    Mp3Method m{};
    SHORT h = 0;
    LONG l = 0;
    VARIANT_BOOL v = 0;
    s->get_VbrBitrate(&br);
    c->put_VbrBitrate(normaliseBitrate(br));
    s->get_Frequency(&fq);
    c->put_Frequency(normaliseFrequency(fq));
    s->get_Bitrate(&br);
    c->put_Bitrate(normaliseBitrate(br));
    s->get_Channels(&ch);
    c->put_Channels(normaliseChannels(ch));
    s->get_TypeStereo(&st);
    c->put_TypeStereo(normaliseStereoMode(st));
    s->get_VbrCodingMethod(&m);
    c->put_VbrCodingMethod(normaliseVbrMethod(m));
    s->get_AbrBitrate(&h), c->put_AbrBitrate(h);
    s->get_ATHControlMode(&h), c->put_ATHControlMode(h);
    s->get_BitReservoir(&v), c->put_BitReservoir(v);
    s->get_BlockTypeControl(&v), c->put_BlockTypeControl(v);
    s->get_Emphasis(&h), c->put_Emphasis(h);
    s->get_EncoderQuality(&h), c->put_EncoderQuality(h);
    s->get_ErrorProtection(&v), c->put_ErrorProtection(v);
    s->get_HighPassFrequency(&l), c->put_HighPassFrequency(l);
    s->get_HighPassWidth(&l), c->put_HighPassWidth(l);
    s->get_LowPassFrequency(&l), c->put_LowPassFrequency(l);
    s->get_LowPassWidth(&l), c->put_LowPassWidth(l);
    s->get_ShortBlocks(&v), c->put_ShortBlocks(v);
    s->get_StrictISOCompliance(&v), c->put_StrictISOCompliance(v);
    s->get_StrictlyEnforceMinBitrate(&v), c->put_StrictlyEnforceMinBitrate(v);
    s->get_VbrQuality(&h), c->put_VbrQuality(h);
    s->get_WritingVBRHeader(&v), c->put_WritingVBRHeader(v);
  }

  audioFile_->SetLameEncoder(lameEncoder_.get());

  // And back, so the caller's object shows what the codec holds.
  {
    LONG l = 0;
    SHORT h = 0;
    BOOL b = 0;
    c->get_VbrBitrate(&l), s->put_VbrBitrate(static_cast<RipBitrateConstants>(normaliseBitrate(l)));
    c->get_Frequency(&l), s->put_Frequency(static_cast<RipFrequencyConstants>(normaliseFrequency(l)));
    c->get_Bitrate(&l), s->put_Bitrate(static_cast<RipBitrateConstants>(normaliseBitrate(l)));
    c->get_Channels(&l), s->put_Channels(static_cast<RipChannelsConstants>(normaliseChannels(l)));
    c->get_TypeStereo(&l), s->put_TypeStereo(static_cast<Mp3TypeStereoContants>(normaliseStereoMode(l)));
    c->get_VbrCodingMethod(&l), s->put_VbrCodingMethod(static_cast<Mp3Method>(normaliseVbrMethod(l)));
    c->get_AbrBitrate(&h), s->put_AbrBitrate(h);
    c->get_ATHControlMode(&h), s->put_ATHControlMode(h);
    c->get_BitReservoir(&b), s->put_BitReservoir(static_cast<VARIANT_BOOL>(b));
    c->get_BlockTypeControl(&b), s->put_BlockTypeControl(static_cast<VARIANT_BOOL>(b));
    c->get_Emphasis(&h), s->put_Emphasis(h);
    c->get_EncoderQuality(&h), s->put_EncoderQuality(h);
    c->get_ErrorProtection(&b), s->put_ErrorProtection(static_cast<VARIANT_BOOL>(b));
    c->get_HighPassFrequency(&l), s->put_HighPassFrequency(l);
    c->get_HighPassWidth(&l), s->put_HighPassWidth(l);
    c->get_LowPassFrequency(&l), s->put_LowPassFrequency(l);
    c->get_LowPassWidth(&l), s->put_LowPassWidth(l);
    c->get_ShortBlocks(&b), s->put_ShortBlocks(static_cast<VARIANT_BOOL>(b));
    c->get_StrictISOCompliance(&b), s->put_StrictISOCompliance(static_cast<VARIANT_BOOL>(b));
    c->get_StrictlyEnforceMinBitrate(&b), s->put_StrictlyEnforceMinBitrate(static_cast<VARIANT_BOOL>(b));
    c->get_VbrQuality(&h), s->put_VbrQuality(h);
    c->get_WritingVBRHeader(&b), s->put_WritingVBRHeader(static_cast<VARIANT_BOOL>(b));
  }
  formatUnset_[kMp3] = 0;
  return S_OK;
}

}  // namespace engine
