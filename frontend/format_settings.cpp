#include "frontend/format_settings.h"

#include "frontend/settings/settings_store.h"

namespace quavern {

client::AudioFormat formatAtBoxIndex(int index) {
  using F = client::AudioFormat;
  constexpr F kBox[] = {F::kMp3, F::kWav, F::kWma, F::kOgg, F::kFlac};
  return index >= 0 && index < 5 ? kBox[index] : F::kMp3;
}

client::EncoderSettings readEncoderSettings(const SettingsStore& settings) {
  return client::ReadEncoderSettings([&settings](std::string_view section, std::string_view key) {
    // The store gives no "absent": a value no stored text can hold stands for it.
    static constexpr std::string_view kAbsent = "\n";
    std::string text = settings.readText(section, key, kAbsent);
    return text == kAbsent ? std::nullopt : std::optional<std::string>(std::move(text));
  });
}

Mp3Settings readMp3Settings(const SettingsStore& settings) { return readEncoderSettings(settings).mp3; }
LONG readWmaProfile(const SettingsStore& settings) { return readEncoderSettings(settings).wmaProfile; }
OggSettings readOggSettings(const SettingsStore& settings) { return readEncoderSettings(settings).ogg; }
LONG readFlacCompressionLevel(const SettingsStore& settings) { return readEncoderSettings(settings).flacLevel; }

}  // namespace quavern
