#include "frontend/format_settings.h"

#include "frontend/settings/settings_store.h"

namespace quavern {

namespace {

template <size_t N>
LONG at(const std::array<LONG, N>& table, int index, int defaultIndex) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[static_cast<size_t>(index)]
                                                      : table[static_cast<size_t>(defaultIndex)];
}

// Channel index 0 mono, 1 stereo; anything else reads as stereo.
LONG channelsOf(int index) { return index == 0 ? 1 : 2; }

// The settings object's MP3 properties, in the order the rip batch sets
// them; the engine's object and the codec's take the same names.
template <class Settings, class Frequency, class Bitrate, class Channels, class Method>
void fillMp3(Settings* mp3, const Mp3Settings& s) {
  mp3->put_Frequency(static_cast<Frequency>(s.frequencyHz));
  mp3->put_Bitrate(static_cast<Bitrate>(s.bitrateKbps));
  mp3->put_Channels(static_cast<Channels>(s.channels));
  mp3->put_EncoderQuality(s.quality);
  if (s.vbr == 0) {
    mp3->put_VbrCodingMethod(static_cast<Method>(VBR_NONE));
  } else if (s.vbr == 1) {
    mp3->put_VbrCodingMethod(static_cast<Method>(VBR_DEFAULT));
    mp3->put_VbrBitrate(static_cast<Bitrate>(s.vbrBitrateKbps));
    mp3->put_VbrQuality(s.vbrQuality);
  }
}

}  // namespace

client::AudioFormat formatAtBoxIndex(int index) {
  using F = client::AudioFormat;
  constexpr F kBox[] = {F::kMp3, F::kWav, F::kWma, F::kOgg, F::kFlac};
  return index >= 0 && index < 5 ? kBox[index] : F::kMp3;
}

LONG frequencyAt(int index, int defaultIndex) { return at(FrequencyTable, index, defaultIndex); }
LONG bitrateAt(int index, int defaultIndex) { return at(BitrateTable, index, defaultIndex); }

Mp3Settings readMp3Settings(const SettingsStore& settings) {
  Mp3Settings s;
  s.frequencyHz = frequencyAt(settings.readInt("mp3", "frequency", 7));
  s.bitrateKbps = bitrateAt(settings.readInt("mp3", "bitrate", 11));
  s.channels = channelsOf(settings.readInt("mp3", "channel", 1));
  s.quality = static_cast<SHORT>(settings.readInt("mp3", "quality", 5));
  s.vbr = settings.readInt("mp3", "enable vbr", 0);
  s.vbrBitrateKbps = bitrateAt(settings.readInt("mp3", "vbr bitrate", 11));
  s.vbrQuality = static_cast<SHORT>(settings.readInt("mp3", "vbr quality", 5));
  return s;
}

LONG readWmaProfile(const SettingsStore& settings) {
  const int index = settings.readInt("wma", "format", 9);
  return (index >= 0 && index <= 46 ? index : 9) + 1;
}

OggSettings readOggSettings(const SettingsStore& settings) {
  OggSettings s;
  s.qualityMode = settings.readBool("ogg", "enable quality", false);
  s.nominalKbps = bitrateAt(settings.readInt("ogg", "bitrate", 11));
  s.minKbps = bitrateAt(settings.readInt("ogg", "min bitrate", 11));
  s.maxKbps = bitrateAt(settings.readInt("ogg", "max bitrate", 11));
  s.quality = settings.readInt("ogg", "quality", 300);
  s.channels = channelsOf(settings.readInt("ogg", "channel", 1));
  s.frequencyHz = frequencyAt(settings.readInt("ogg", "frequency", 7));
  return s;
}

LONG readFlacCompressionLevel(const SettingsStore& settings) {
  const int level = settings.readInt("flac", "compression level", 5);
  return level >= 0 && level <= 8 ? level : 5;
}

bool handMp3ToEngine(IAudioCDRipper2* engine, IAudioCDRipperLameMP3Encoder2* mp3, const Mp3Settings& s) {
  if (engine == nullptr || mp3 == nullptr) return false;
  fillMp3<IAudioCDRipperLameMP3Encoder2, RipFrequencyConstants, RipBitrateConstants, RipChannelsConstants,
          Mp3Method>(mp3, s);
  RipFrequencyConstants frequency = FQ_44_KHZ;
  RipBitrateConstants bitrate = BR_128_KBPS;
  RipChannelsConstants channels = STEREO;
  mp3->get_Frequency(&frequency);
  mp3->get_Bitrate(&bitrate);
  mp3->get_Channels(&channels);
  VARIANT_BOOL available = VARIANT_FALSE;
  engine->IsAvailableFormatMP3(frequency, bitrate, channels, &available);
  if (available == VARIANT_FALSE) return false;
  engine->SetFormatMP3Ex(mp3);
  return true;
}

void handWmaToEngine(IAudioCDRipper2* engine, LONG profile) {
  if (engine != nullptr) engine->SetFormatWMA(profile);
}

bool handOggToEngine(IAudioCDRipper2* engine, const OggSettings& s) {
  if (engine == nullptr) return false;
  const auto frequency = static_cast<RipFrequencyConstants>(s.frequencyHz);
  const auto channels = static_cast<RipChannelsConstants>(s.channels);
  const auto nominal = static_cast<RipBitrateConstants>(s.nominalKbps);
  const auto minimum = static_cast<RipBitrateConstants>(s.minKbps);
  const auto maximum = static_cast<RipBitrateConstants>(s.maxKbps);
  if (s.qualityMode) {
    engine->SetFormatOGG(frequency, channels, nominal, minimum, maximum, s.quality);
    return true;
  }
  VARIANT_BOOL available = VARIANT_FALSE;
  engine->IsAvailableFormatOGG(frequency, channels, nominal, minimum, maximum, s.quality, &available);
  if (available == VARIANT_FALSE) return false;
  engine->SetFormatOGG(frequency, channels, nominal, minimum, maximum, -1);  // -1: bit-rate mode
  return true;
}

bool handFlacToEngine(IAudioCDRipper2* engine, LONG level) {
  if (engine == nullptr) return false;
  com::ComPtr<IUnknown> unknown;
  engine->GetAudioFile2Interface(unknown.put());
  com::ComPtr<IAudioFile2> codec;
  if (!unknown || FAILED(unknown->QueryInterface(IID_IAudioFile2, codec.putVoid()))) return false;
  return handFlacToCodec(codec.get(), level);
}

bool handMp3ToCodec(IAudioFile2* codec, IAudioFile2LameEnc* mp3, const Mp3Settings& s) {
  if (codec == nullptr || mp3 == nullptr) return false;
  fillMp3<IAudioFile2LameEnc, LONG, LONG, LONG, LONG>(mp3, s);
  LONG frequency = 0, bitrate = 0, channels = 0;
  mp3->get_Frequency(&frequency);
  mp3->get_Bitrate(&bitrate);
  mp3->get_Channels(&channels);
  VARIANT_BOOL available = VARIANT_FALSE;
  codec->IsAvailableFormatMP3(frequency, bitrate, channels, &available);
  if (available == VARIANT_FALSE) return false;
  codec->SetLameEncoder(mp3);
  return true;
}

void handWmaToCodec(IAudioFile2* codec, LONG profile) {
  if (codec == nullptr) return;
  codec->put_codecOption(VARIANT_TRUE);
  codec->SetFormatWMA(profile);
}

bool handOggToCodec(IAudioFile2* codec, const OggSettings& s) {
  if (codec == nullptr) return false;
  if (!s.qualityMode) {
    VARIANT_BOOL available = VARIANT_FALSE;
    codec->IsAvailableFormatOGG(s.frequencyHz, s.channels, s.nominalKbps, s.minKbps, s.maxKbps, &available);
    if (available == VARIANT_FALSE) return false;
  }
  codec->SetFormatOGG(s.frequencyHz, s.channels, s.nominalKbps, s.minKbps, s.maxKbps,
                      static_cast<SHORT>(s.qualityMode ? s.quality : -1));
  return true;
}

}  // namespace quavern

namespace quavern {

bool handFlacToCodec(IAudioFile2* codec, LONG level) { return codec != nullptr && SUCCEEDED(codec->SetFormatFLAC(level)); }

}  // namespace quavern
