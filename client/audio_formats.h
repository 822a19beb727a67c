// The audio formats both programs write, in one table: the name the
// command line and the rip log use, the file extension, the desktop
// program's settings section (quavern.ini) and whether the file keeps the
// exact audio.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace client {

enum class AudioFormat { kWav, kMp3, kMp2, kOgg, kWma, kFlac };

struct AudioFormatInfo {
  AudioFormat format;
  const char* name;         // "mp3"
  const char* extension;    // ".mp3"
  const char* settingsKey;  // the quavern.ini section of its settings; "" when it has none
  bool lossless;
};

inline constexpr std::array<AudioFormatInfo, 6> kAudioFormats = {{
    {AudioFormat::kWav, "wav", ".wav", "", true},
    {AudioFormat::kMp3, "mp3", ".mp3", "mp3", false},
    {AudioFormat::kMp2, "mp2", ".mp2", "", false},
    {AudioFormat::kOgg, "ogg", ".ogg", "ogg", false},
    {AudioFormat::kWma, "wma", ".wma", "wma", false},
    {AudioFormat::kFlac, "flac", ".flac", "flac", true},
}};

constexpr const AudioFormatInfo& FormatInfo(AudioFormat format) { return kAudioFormats[static_cast<size_t>(format)]; }

// The format of a name ("flac") or of an extension (".FLAC", any case).
std::optional<AudioFormat> FormatOfName(std::string_view name);
std::optional<AudioFormat> FormatOfExtension(std::string_view extension);

}  // namespace client
