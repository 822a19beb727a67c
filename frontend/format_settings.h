// The output format settings of the [mp3], [wma] and [ogg] sections as the
// rip batch and the converter use them: one reader of the stored indexes
// and the calls that hand the values to the engine (rip batch) or to the
// codec component (converter), with the messages of a refused combination.
// Stored indexes outside the tables read as the key's default.
#pragma once

#include <array>

#include "client/audio_formats.h"
#include "components/trackmill2.h"
#include "components/wavesmith2.h"

namespace quavern {

class SettingsStore;

// Index → Hz and index → kbit/s, as the Settings dialog lists them.
inline constexpr std::array<LONG, 9> FrequencyTable = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
inline constexpr std::array<LONG, 17> BitrateTable = {8,  16, 24,  32,  40,  48,  56,  64, 80,
                                                      96, 112, 128, 160, 192, 224, 256, 320};

// The table value at a stored index; the default index's value when the
// index is outside the table.
// The format box's entries in its order: MP3, WAV, WMA, OGG, FLAC (the
// rip batch's and the converter's Format values); MP3 outside them.
client::AudioFormat formatAtBoxIndex(int index);

LONG frequencyAt(int index, int defaultIndex = 7);
LONG bitrateAt(int index, int defaultIndex = 11);

namespace texts {
inline constexpr const char* kMp3NotSupported =
    "This MP3 format not supported, please try another frequency or bitrate.";
inline constexpr const char* kOggNotSupported =
    "This OGG format not supported, please try another frequency or bitrate.";
inline constexpr const char* kFlacNotAvailable = "FLAC files cannot be written: the codec component is missing.";
}  // namespace texts

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
Mp3Settings readMp3Settings(const SettingsStore& settings);

// [wma] "format" + 1: the profile number 1 … 47.
LONG readWmaProfile(const SettingsStore& settings);

// [ogg]: quality mode when qualityMode, else bit-rate mode.
struct OggSettings {
  bool qualityMode = false;
  LONG frequencyHz = 44100;
  LONG channels = 2;
  LONG nominalKbps = 128, minKbps = 128, maxKbps = 128;
  LONG quality = 300;
};
OggSettings readOggSettings(const SettingsStore& settings);

// [flac] "compression level", 0 … 8 (default 5).
LONG readFlacCompressionLevel(const SettingsStore& settings);

// Hand-over to the engine. The MP3 settings object gets Frequency, Bitrate,
// Channels, EncoderQuality and the VBR properties in that order; the
// engine's IsAvailableFormatMP3 is asked with the values read back, and
// SetFormatMP3Ex follows when it answers true. OGG in bit-rate mode asks
// IsAvailableFormatOGG first; quality mode is set without a check. False:
// the combination was refused and nothing was set (the caller shows the
// format's message).
bool handMp3ToEngine(IAudioCDRipper2* engine, IAudioCDRipperLameMP3Encoder2* mp3, const Mp3Settings& s);
void handWmaToEngine(IAudioCDRipper2* engine, LONG profile);
bool handOggToEngine(IAudioCDRipper2* engine, const OggSettings& s);
// FLAC is set on the engine's own codec component (GetAudioFile2Interface);
// the rip then goes through RipTrackToAudioFile2Format. False when the
// component is missing or refuses.
bool handFlacToEngine(IAudioCDRipper2* engine, LONG level);

// The same hand-over to a codec component that writes the file itself.
bool handMp3ToCodec(IAudioFile2* codec, IAudioFile2LameEnc* mp3, const Mp3Settings& s);
void handWmaToCodec(IAudioFile2* codec, LONG profile);
bool handOggToCodec(IAudioFile2* codec, const OggSettings& s);
bool handFlacToCodec(IAudioFile2* codec, LONG level);

}  // namespace quavern
