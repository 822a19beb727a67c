// The output format settings of the [mp3], [wma], [ogg] and [flac] sections
// as the rip batch and the converter use them: quavern.ini read with the
// client library's reader (client/encoder_settings.h, which `ripmarrow`
// shares for the drives' workers), the hand-over to the engine (rip batch)
// or to the codec component (converter), and the messages of a refused
// combination. Stored indexes outside the tables read as the key's default.
#pragma once

#include <array>

#include "client/audio_formats.h"
#include "client/encoder_settings.h"
#include "components/trackmill2.h"
#include "components/wavesmith2.h"

namespace quavern {

class SettingsStore;

// The tables, the settings and their hand-over to an encoder are the
// client library's (client/encoder_settings.h), which `ripmarrow` shares, so
// the drives' workers encode as the window's own batch does.
using client::BitrateTable;
using client::FrequencyTable;
using Mp3Settings = client::Mp3Settings;
using OggSettings = client::OggSettings;

// The format box's entries in its order: MP3, WAV, WMA, OGG, FLAC (the
// rip batch's and the converter's Format values); MP3 outside them.
client::AudioFormat formatAtBoxIndex(int index);

// The table value at a stored index; the default index's value when the
// index is outside the table.
inline LONG frequencyAt(int index, int defaultIndex = 7) { return client::FrequencyAt(index, defaultIndex); }
inline LONG bitrateAt(int index, int defaultIndex = 11) { return client::BitrateAt(index, defaultIndex); }

namespace texts {
inline constexpr const char* kMp3NotSupported =
    "This MP3 format not supported, please try another frequency or bitrate.";
inline constexpr const char* kOggNotSupported =
    "This OGG format not supported, please try another frequency or bitrate.";
inline constexpr const char* kFlacNotAvailable = "FLAC files cannot be written: the codec component is missing.";
}  // namespace texts

// quavern.ini's encoder sections, read leniently (see encoder_settings.h).
client::EncoderSettings readEncoderSettings(const SettingsStore& settings);
Mp3Settings readMp3Settings(const SettingsStore& settings);
// [wma] "format" + 1: the profile number 1 … 47.
LONG readWmaProfile(const SettingsStore& settings);
OggSettings readOggSettings(const SettingsStore& settings);
// [flac] "compression level", 0 … 8 (default 5).
LONG readFlacCompressionLevel(const SettingsStore& settings);

// Hand-over to the engine or to a codec component (see encoder_settings.h);
// false: the combination was refused (the caller shows the format's message).
inline bool handMp3ToEngine(IAudioCDRipper2* engine, IAudioCDRipperLameMP3Encoder2* mp3, const Mp3Settings& s) {
  return client::HandMp3ToEngine(engine, mp3, s);
}
inline void handWmaToEngine(IAudioCDRipper2* engine, LONG profile) { client::HandWmaToEngine(engine, profile); }
inline bool handOggToEngine(IAudioCDRipper2* engine, const OggSettings& s) { return client::HandOggToEngine(engine, s); }
inline bool handFlacToEngine(IAudioCDRipper2* engine, LONG level) { return client::HandFlacToEngine(engine, level); }
inline bool handMp3ToCodec(IAudioFile2* codec, IAudioFile2LameEnc* mp3, const Mp3Settings& s) {
  return client::HandMp3ToCodec(codec, mp3, s);
}
inline void handWmaToCodec(IAudioFile2* codec, LONG profile) { client::HandWmaToCodec(codec, profile); }
inline bool handOggToCodec(IAudioFile2* codec, const OggSettings& s) { return client::HandOggToCodec(codec, s); }
inline bool handFlacToCodec(IAudioFile2* codec, LONG level) { return client::HandFlacToCodec(codec, level); }

}  // namespace quavern
