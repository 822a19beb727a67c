// Client-side declarations of the player and tag components Tonemeter2
// (type library Tonemeter2Lib): AudioPlayer2, which plays queued 16-bit PCM
// and reports through events, and AudioInformation2, one set of tag fields
// read from or written into an audio file.
//
// Both interfaces are dual: the members below are in vtable order, slot 7
// first (after IUnknown's three and IDispatch's four). Slots marked
// "reserved" answer E_NOTIMPL. IDispatch finds every member by its name.
#pragma once

#include "platform/com/com.h"

inline constexpr CLSID CLSID_AudioPlayer2 = com::guid("8532DECB-E102-48A8-BE72-DADC2B02C49F");
inline constexpr IID IID_IAudioPlayer2 = com::guid("9F85E656-4320-4D40-B122-F551F46A87DD");
inline constexpr IID DIID_IAudioPlayer2Events = com::guid("46AC87BA-BEC7-4546-A226-A11F8438FE42");
inline constexpr CLSID CLSID_AudioInformation2 = com::guid("AAFA1E73-4842-4BEC-BC46-48C62E1C5C9C");
inline constexpr IID IID_IAudioInformation2 = com::guid("F31A1156-1CC0-4130-9FCB-B69116480C93");
inline constexpr GUID LIBID_Tonemeter2Lib = com::guid("2226C007-1F6F-4FCA-A620-DABBD197CB81");

// Events of AudioPlayer2 (DIID_IAudioPlayer2Events), by dispatch
// identifier. They come from the player's own thread, marshalled to the
// thread that advised the sink: a sink in an apartment thread gets them
// when that thread pumps. Arguments are VT_I4.
inline constexpr DISPID kPlayerEventMoreWanted = 1;  // the queue fell below one second
inline constexpr DISPID kPlayerEventStarted = 2;     // rendering started after Play (callers may ignore it)
inline constexpr DISPID kPlayerEventPosition = 3;    // (samples played, left level, right level)
inline constexpr DISPID kPlayerEventUnderrun = 4;    // more wanted too (sinks treat it as 1; this player raises 1)
inline constexpr DISPID kPlayerEventEnd = 5;         // everything queued has been played

// What GetState fills. `status` comes first: 0 or more when the player is
// usable, negative when its output failed. Sample counts are sample frames
// (one per channel set); samplesPlayed restarts at 0 after Flush.
struct AudioPlayer2State {
  LONG status;
  LONG playing;        // 1 between Play and Stop
  LONG samplesQueued;  // waiting to be played
  LONG samplesPlayed;
  LONG bufferTimeMs;   // as SetBufferTime answered
  LONG sampleRateHz;
  LONG channels;
};

struct IAudioPlayer2 : IDispatch {
  static constexpr const IID& uuid = IID_IAudioPlayer2;
  // 7, dispid 1. "silent" when no audio device exists, else the device's name.
  STDMETHOD(get_OutputName)(BSTR* name) PURE;
  // 8, dispid 2. Starts (or resumes) rendering the queue.
  STDMETHOD(Play)() PURE;
  // 9, dispid 3. Halts rendering; the queue is kept.
  STDMETHOD(Stop)() PURE;
  // 10, dispid 4. Queues interleaved 16-bit PCM (the engine: 88200
  // elements, one second of 44100 Hz stereo). The caller keeps the array.
  STDMETHOD(WriteSamples)(SAFEARRAY* samples) PURE;
  // 11, dispid 5. Drops what is queued; samplesPlayed restarts at 0.
  STDMETHOD(Flush)() PURE;
  // 12, dispid 6. Layout of the samples to come (the engine: 44100, 2).
  STDMETHOD(SetFormat)(LONG sampleRateHz, LONG channels) PURE;
  // 13, dispid 7. How much audio the output buffers; answers the time in effect.
  STDMETHOD(SetBufferTime)(LONG ms, LONG* msInEffect) PURE;
  // 14 … 16, dispids 8 … 0xa. Parts of the state, as properties.
  STDMETHOD(get_samplesPlayed)(LONG* frames) PURE;
  STDMETHOD(get_samplesQueued)(LONG* frames) PURE;
  STDMETHOD(get_isPlaying)(VARIANT_BOOL* playing) PURE;
  // 17 … 29, reserved.
  STDMETHOD(Reserved17)() PURE;
  STDMETHOD(Reserved18)() PURE;
  STDMETHOD(Reserved19)() PURE;
  STDMETHOD(Reserved20)() PURE;
  STDMETHOD(Reserved21)() PURE;
  STDMETHOD(Reserved22)() PURE;
  STDMETHOD(Reserved23)() PURE;
  STDMETHOD(Reserved24)() PURE;
  STDMETHOD(Reserved25)() PURE;
  STDMETHOD(Reserved26)() PURE;
  STDMETHOD(Reserved27)() PURE;
  STDMETHOD(Reserved28)() PURE;
  STDMETHOD(Reserved29)() PURE;
  // 30, dispid 0x18. Fills `state`. Through IDispatch the call answers the
  // status alone (an I4), as IDispatch carries no records.
  STDMETHOD(GetState)(AudioPlayer2State* state) PURE;
};

// AudioInformation2: fields that a caller does not set keep their values
// between files; ReadInfo replaces them all with what the file holds.
// A failing ReadInfo or WriteInfo answers an error result and leaves the
// fields, and the file, as they were.
struct IAudioInformation2 : IDispatch {
  static constexpr const IID& uuid = IID_IAudioInformation2;
  STDMETHOD(ReadInfo)(BSTR fileName) PURE;                 // 7, dispid 1
  STDMETHOD(WriteInfo)(BSTR fileName) PURE;                // 8, dispid 2
  STDMETHOD(get_infoTitle)(BSTR* text) PURE;               // 9, 10, dispid 3
  STDMETHOD(put_infoTitle)(BSTR text) PURE;
  STDMETHOD(get_infoArtist)(BSTR* text) PURE;              // 11, 12, dispid 4
  STDMETHOD(put_infoArtist)(BSTR text) PURE;
  STDMETHOD(get_infoAlbum)(BSTR* text) PURE;               // 13, 14, dispid 5
  STDMETHOD(put_infoAlbum)(BSTR text) PURE;
  STDMETHOD(get_infoComments)(BSTR* text) PURE;            // 15, 16, dispid 6
  STDMETHOD(put_infoComments)(BSTR text) PURE;
  STDMETHOD(get_infoGenreS)(BSTR* name) PURE;              // 17, 18, dispid 7: genre by name
  STDMETHOD(put_infoGenreS)(BSTR name) PURE;
  STDMETHOD(get_LastError)(BSTR* text) PURE;               // 19, dispid 8: why the last call failed
  STDMETHOD(Reserved20)() PURE;                            // 20 … 31, reserved
  STDMETHOD(Reserved21)() PURE;
  STDMETHOD(Reserved22)() PURE;
  STDMETHOD(Reserved23)() PURE;
  STDMETHOD(Reserved24)() PURE;
  STDMETHOD(Reserved25)() PURE;
  STDMETHOD(Reserved26)() PURE;
  STDMETHOD(Reserved27)() PURE;
  STDMETHOD(Reserved28)() PURE;
  STDMETHOD(Reserved29)() PURE;
  STDMETHOD(Reserved30)() PURE;
  STDMETHOD(Reserved31)() PURE;
  STDMETHOD(get_infoOption)(VARIANT_BOOL* option) PURE;    // 32, 33, dispid 0x10: kept, selects nothing
  STDMETHOD(put_infoOption)(VARIANT_BOOL option) PURE;
  STDMETHOD(Reserved34)() PURE;                            // 34 … 43, reserved
  STDMETHOD(Reserved35)() PURE;
  STDMETHOD(Reserved36)() PURE;
  STDMETHOD(Reserved37)() PURE;
  STDMETHOD(Reserved38)() PURE;
  STDMETHOD(Reserved39)() PURE;
  STDMETHOD(Reserved40)() PURE;
  STDMETHOD(Reserved41)() PURE;
  STDMETHOD(Reserved42)() PURE;
  STDMETHOD(Reserved43)() PURE;
  STDMETHOD(get_infoGenre)(SHORT* index) PURE;             // 44, 45, dispid 0x16: 0 … 147; -1 not in the list
  STDMETHOD(put_infoGenre)(SHORT index) PURE;              //   (a put of -1 keeps the name infoGenreS holds;
                                                           //   other values outside 0 … 147: E_INVALIDARG)
  STDMETHOD(Reserved46)() PURE;                            // 46, 47, reserved
  STDMETHOD(Reserved47)() PURE;
  STDMETHOD(get_infoYear)(LONG* year) PURE;                // 48, 49, dispid 0x18: 0 none
  STDMETHOD(put_infoYear)(LONG year) PURE;
  STDMETHOD(Reserved50)() PURE;                            // 50, 51, reserved
  STDMETHOD(Reserved51)() PURE;
  STDMETHOD(get_infoTrack)(SHORT* track) PURE;             // 52, 53, dispid 0x1a: 0 none
  STDMETHOD(put_infoTrack)(SHORT track) PURE;
  // Members added after the specified ones; the slots above never move.
  // Written where each format has a place (ID3v2 TRCK "n/total" and TXXX
  // frames, Vorbis comments, ASF attributes); an empty value removes them.
  STDMETHOD(get_infoTrackTotal)(SHORT* total) PURE;        // 54, 55, dispid 0x1b: tracks on the disc, 0 none
  STDMETHOD(put_infoTrackTotal)(SHORT total) PURE;
  STDMETHOD(get_infoMusicBrainzDiscId)(BSTR* id) PURE;     // 56, 57, dispid 0x1c: "" none
  STDMETHOD(put_infoMusicBrainzDiscId)(BSTR id) PURE;
  STDMETHOD(get_infoCddbId)(BSTR* id) PURE;                // 58, 59, dispid 0x1d: eight hex digits, "" none
  STDMETHOD(put_infoCddbId)(BSTR id) PURE;
  // The release's fields, as the MusicBrainz tagger names them (TPE2, TPOS,
  // TPUB, TSRC, UFID and TXXX frames; Vorbis comments; ASF attributes).
  // "" none; the disc number is "N/M"; several artist ids are joined by "; ".
  STDMETHOD(get_infoAlbumArtist)(BSTR* text) PURE;  // 60, 61, dispid 0x1e
  STDMETHOD(put_infoAlbumArtist)(BSTR text) PURE;
  STDMETHOD(get_infoDiscNumber)(BSTR* text) PURE;  // 62, 63, dispid 0x1f
  STDMETHOD(put_infoDiscNumber)(BSTR text) PURE;
  STDMETHOD(get_infoLabel)(BSTR* text) PURE;  // 64, 65, dispid 0x20
  STDMETHOD(put_infoLabel)(BSTR text) PURE;
  STDMETHOD(get_infoCatalogNumber)(BSTR* text) PURE;  // 66, 67, dispid 0x21
  STDMETHOD(put_infoCatalogNumber)(BSTR text) PURE;
  STDMETHOD(get_infoBarcode)(BSTR* text) PURE;  // 68, 69, dispid 0x22
  STDMETHOD(put_infoBarcode)(BSTR text) PURE;
  STDMETHOD(get_infoIsrc)(BSTR* text) PURE;  // 70, 71, dispid 0x23
  STDMETHOD(put_infoIsrc)(BSTR text) PURE;
  STDMETHOD(get_infoMusicBrainzAlbumId)(BSTR* text) PURE;  // 72, 73, dispid 0x24
  STDMETHOD(put_infoMusicBrainzAlbumId)(BSTR text) PURE;
  STDMETHOD(get_infoMusicBrainzReleaseGroupId)(BSTR* text) PURE;  // 74, 75, dispid 0x25
  STDMETHOD(put_infoMusicBrainzReleaseGroupId)(BSTR text) PURE;
  STDMETHOD(get_infoMusicBrainzReleaseTrackId)(BSTR* text) PURE;  // 76, 77, dispid 0x26
  STDMETHOD(put_infoMusicBrainzReleaseTrackId)(BSTR text) PURE;
  STDMETHOD(get_infoMusicBrainzRecordingId)(BSTR* text) PURE;  // 78, 79, dispid 0x27
  STDMETHOD(put_infoMusicBrainzRecordingId)(BSTR text) PURE;
  STDMETHOD(get_infoMusicBrainzArtistIds)(BSTR* text) PURE;  // 80, 81, dispid 0x28
  STDMETHOD(put_infoMusicBrainzArtistIds)(BSTR text) PURE;
  STDMETHOD(get_infoMusicBrainzAlbumArtistIds)(BSTR* text) PURE;  // 82, 83, dispid 0x29
  STDMETHOD(put_infoMusicBrainzAlbumArtistIds)(BSTR text) PURE;
  // A JPEG or PNG file (10 MB at most) WriteInfo embeds as the front cover,
  // in place of the pictures the file held; "" leaves them as they are.
  STDMETHOD(get_infoCoverArtFile)(BSTR* path) PURE;  // 84, 85, dispid 0x2a
  STDMETHOD(put_infoCoverArtFile)(BSTR path) PURE;
  // ReplayGain 2.0, as texts: REPLAYGAIN_TRACK_GAIN "-3.12 dB",
  // REPLAYGAIN_TRACK_PEAK "0.988525", album likewise; under those names in
  // ID3v2 TXXX frames, Vorbis comments and ASF attributes ("" none).
  STDMETHOD(get_infoReplayGainTrackGain)(BSTR* text) PURE;  // 86, 87, dispid 0x2b
  STDMETHOD(put_infoReplayGainTrackGain)(BSTR text) PURE;
  STDMETHOD(get_infoReplayGainTrackPeak)(BSTR* text) PURE;  // 88, 89, dispid 0x2c
  STDMETHOD(put_infoReplayGainTrackPeak)(BSTR text) PURE;
  STDMETHOD(get_infoReplayGainAlbumGain)(BSTR* text) PURE;  // 90, 91, dispid 0x2d
  STDMETHOD(put_infoReplayGainAlbumGain)(BSTR text) PURE;
  STDMETHOD(get_infoReplayGainAlbumPeak)(BSTR* text) PURE;  // 92, 93, dispid 0x2e
  STDMETHOD(put_infoReplayGainAlbumPeak)(BSTR text) PURE;
};
