#include "client/encoder_settings.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/com_ptr.h"
#include "platform/profile/ini_document.h"
#include "platform/profile/profile_file.h"

namespace client {

namespace {

template <size_t N>
LONG at(const std::array<LONG, N>& table, int index, int defaultIndex) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[static_cast<size_t>(index)]
                                                      : table[static_cast<size_t>(defaultIndex)];
}

// Channel index 0 mono, 1 stereo; anything else reads as stereo.
LONG channelsOf(int index) { return index == 0 ? 1 : 2; }

// A sign and decimal digits, nothing else.
bool wholeInteger(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

constexpr const char* kFrequencies = "a position in the frequency list, 0 (8000 Hz) to 8 (48000 Hz)";
constexpr const char* kBitrates = "a position in the bit-rate list, 0 (8 kbit/s) to 16 (320 kbit/s)";
constexpr const char* kChannels = "0 (mono) or 1 (stereo)";
constexpr const char* kSwitch = "0 or 1";

// Reads the integers of the sections; strict when it has a problem list.
class Reader {
 public:
  Reader(const StoredValue& stored, std::vector<std::string>* problems) : stored_(stored), problems_(problems) {}

  // Lenient: the profile rule's integer, out-of-range values included (the
  // caller's tables give them their default). Strict: `fallback` for a
  // value that is not a whole integer from `low` to `high`, which is named.
  int integer(std::string_view section, std::string_view key, int fallback, int low, int high, const char* what) {
    const std::optional<std::string> text = stored_(section, key);
    if (!text) return fallback;
    const std::optional<int> value = platform::ProfileFile::parseInt(*text);
    if (problems_ == nullptr) return value.value_or(fallback);
    if (!value || !wholeInteger(*text) || *value < low || *value > high) {
      problems_->push_back("[" + std::string(section) + "] " + std::string(key) + "=" + *text + ": not " + what);
      return fallback;
    }
    return *value;
  }

 private:
  const StoredValue& stored_;
  std::vector<std::string>* problems_;
};

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

LONG FrequencyAt(int index, int defaultIndex) { return at(FrequencyTable, index, defaultIndex); }
LONG BitrateAt(int index, int defaultIndex) { return at(BitrateTable, index, defaultIndex); }

EncoderSettings ReadEncoderSettings(const StoredValue& stored, std::vector<std::string>* problems) {
  Reader r(stored, problems);
  EncoderSettings e;
  Mp3Settings& m = e.mp3;
  m.frequencyHz = FrequencyAt(r.integer("mp3", "frequency", 7, 0, 8, kFrequencies));
  m.bitrateKbps = BitrateAt(r.integer("mp3", "bitrate", 11, 0, 16, kBitrates));
  m.channels = channelsOf(r.integer("mp3", "channel", 1, 0, 1, kChannels));
  m.quality = static_cast<SHORT>(r.integer("mp3", "quality", 5, 0, 9, "an encoder quality from 0 (best) to 9"));
  m.vbr = r.integer("mp3", "enable vbr", 0, 0, 1, kSwitch);
  m.vbrBitrateKbps = BitrateAt(r.integer("mp3", "vbr bitrate", 11, 0, 16, kBitrates));
  m.vbrQuality = static_cast<SHORT>(r.integer("mp3", "vbr quality", 5, 0, 9, "a VBR quality from 0 (best) to 9"));

  const int wma = r.integer("wma", "format", 9, 0, 46, "a position in the WMA profile list, 0 to 46");
  e.wmaProfile = (wma >= 0 && wma <= 46 ? wma : 9) + 1;

  OggSettings& o = e.ogg;
  o.qualityMode = r.integer("ogg", "enable quality", 0, 0, 1, kSwitch) != 0;
  o.nominalKbps = BitrateAt(r.integer("ogg", "bitrate", 11, 0, 16, kBitrates));
  o.minKbps = BitrateAt(r.integer("ogg", "min bitrate", 11, 0, 16, kBitrates));
  o.maxKbps = BitrateAt(r.integer("ogg", "max bitrate", 11, 0, 16, kBitrates));
  o.quality = r.integer("ogg", "quality", 300, 0, 1000, "a quality from 0 to 1000");
  o.channels = channelsOf(r.integer("ogg", "channel", 1, 0, 1, kChannels));
  o.frequencyHz = FrequencyAt(r.integer("ogg", "frequency", 7, 0, 8, kFrequencies));

  const int level = r.integer("flac", "compression level", 5, 0, 8, "a compression level from 0 to 8");
  e.flacLevel = level >= 0 && level <= 8 ? level : 5;
  return e;
}

std::optional<EncoderSettings> LoadEncoderSettingsFile(const std::string& path, std::string& error) {
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!std::filesystem::is_regular_file(path, ec) || !in) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();  // an empty file: every setting its default
  const platform::IniDocument document = platform::IniDocument::parse(text.str());
  std::vector<std::string> problems;
  const EncoderSettings settings = ReadEncoderSettings(
      [&document](std::string_view section, std::string_view key) { return document.value(section, key); },
      &problems);
  if (problems.empty()) return settings;
  error = path + ": ";
  for (size_t i = 0; i < problems.size(); ++i) error += (i > 0 ? "; " : "") + problems[i];
  return std::nullopt;
}

bool HandMp3ToEngine(IAudioCDRipper2* engine, IAudioCDRipperLameMP3Encoder2* mp3, const Mp3Settings& s) {
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

void HandWmaToEngine(IAudioCDRipper2* engine, LONG profile) {
  if (engine != nullptr) engine->SetFormatWMA(profile);
}

bool HandOggToEngine(IAudioCDRipper2* engine, const OggSettings& s) {
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

bool HandFlacToEngine(IAudioCDRipper2* engine, LONG level) {
  if (engine == nullptr) return false;
  com::ComPtr<IUnknown> unknown;
  engine->GetAudioFile2Interface(unknown.put());
  com::ComPtr<IAudioFile2> codec;
  if (!unknown || FAILED(unknown->QueryInterface(IID_IAudioFile2, codec.putVoid()))) return false;
  return HandFlacToCodec(codec.get(), level);
}

bool HandMp3ToCodec(IAudioFile2* codec, IAudioFile2LameEnc* mp3, const Mp3Settings& s) {
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

void HandWmaToCodec(IAudioFile2* codec, LONG profile) {
  if (codec == nullptr) return;
  codec->put_codecOption(VARIANT_TRUE);
  codec->SetFormatWMA(profile);
}

bool HandOggToCodec(IAudioFile2* codec, const OggSettings& s) {
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

bool HandFlacToCodec(IAudioFile2* codec, LONG level) { return codec != nullptr && SUCCEEDED(codec->SetFormatFLAC(level)); }

}  // namespace client
