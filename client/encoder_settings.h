// The encoder settings of quavern.ini's [mp3], [wma], [ogg] and [flac]
// sections, and how they reach an encoder: both programs read them here, so
// a track ripped by the desktop program's own batch, by a drive's worker or
// by `ripmarrow rip --encoder-settings` is encoded alike.
//
// The sections store the Settings pages' list positions (a bit-rate index,
// not kbit/s). Read leniently (the desktop program), a value outside its
// table reads as the key's default; read strictly (a file named on the
// command line), such a value is a problem named by section, key and value.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "components/trackmill2.h"
#include "components/wavesmith2.h"

namespace client {

// Index → Hz and index → kbit/s, as the Settings pages list them.
inline constexpr std::array<LONG, 9> FrequencyTable = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
inline constexpr std::array<LONG, 17> BitrateTable = {8,  16, 24,  32,  40,  48,  56,  64, 80,
                                                      96, 112, 128, 160, 192, 224, 256, 320};

// The table value at a stored index; the default index's value when the
// index is outside the table.
LONG FrequencyAt(int index, int defaultIndex = 7);
LONG BitrateAt(int index, int defaultIndex = 11);

// [mp3]: the values the MP3 settings object takes.
struct Mp3Settings {
  LONG frequencyHz = 44100;
  LONG bitrateKbps = 128;
  LONG channels = 2;
  SHORT quality = 5;
  // "enable vbr" as an integer: 0 no VBR, 1 VBR, anything else leaves the
  // VBR properties as they are.
  int vbr = 0;
  LONG vbrBitrateKbps = 128;
  SHORT vbrQuality = 5;
};

// [ogg]: quality mode when qualityMode, else bit-rate mode.
struct OggSettings {
  bool qualityMode = false;
  LONG frequencyHz = 44100;
  LONG channels = 2;
  LONG nominalKbps = 128, minKbps = 128, maxKbps = 128;
  LONG quality = 300;
};

struct EncoderSettings {
  Mp3Settings mp3;
  LONG wmaProfile = 10;  // [wma] "format" + 1: the profile number 1 … 47
  OggSettings ogg;
  LONG flacLevel = 5;    // [flac] "compression level", 0 … 8
};

// A stored value by section and key; nothing when the key is absent.
using StoredValue = std::function<std::optional<std::string>(std::string_view section, std::string_view key)>;

// The settings from `stored`, integers read by the profile rule ("12abc" is
// 12). With `problems`, every value that is present but not a whole integer
// in its key's range is added to it ("[mp3] bitrate=17: …"); the setting
// then keeps its default.
EncoderSettings ReadEncoderSettings(const StoredValue& stored, std::vector<std::string>* problems = nullptr);

// The settings of a quavern.ini-format file, read strictly; nothing, with
// `error` saying which values are wrong (or that the file cannot be read).
std::optional<EncoderSettings> LoadEncoderSettingsFile(const std::string& path, std::string& error);

// Hand-over to the engine. The MP3 settings object gets Frequency, Bitrate,
// Channels, EncoderQuality and the VBR properties in that order; the
// engine's IsAvailableFormatMP3 is asked with the values read back, and
// SetFormatMP3Ex follows when it answers true. OGG in bit-rate mode asks
// IsAvailableFormatOGG first; quality mode is set without a check. False:
// the combination was refused and nothing was set.
bool HandMp3ToEngine(IAudioCDRipper2* engine, IAudioCDRipperLameMP3Encoder2* mp3, const Mp3Settings& s);
void HandWmaToEngine(IAudioCDRipper2* engine, LONG profile);
bool HandOggToEngine(IAudioCDRipper2* engine, const OggSettings& s);
// FLAC is set on the engine's own codec component (GetAudioFile2Interface);
// the rip then goes through RipTrackToAudioFile2Format. False when the
// component is missing or refuses.
bool HandFlacToEngine(IAudioCDRipper2* engine, LONG level);

// The same hand-over to a codec component that writes the file itself.
bool HandMp3ToCodec(IAudioFile2* codec, IAudioFile2LameEnc* mp3, const Mp3Settings& s);
void HandWmaToCodec(IAudioFile2* codec, LONG profile);
bool HandOggToCodec(IAudioFile2* codec, const OggSettings& s);
bool HandFlacToCodec(IAudioFile2* codec, LONG level);

}  // namespace client
