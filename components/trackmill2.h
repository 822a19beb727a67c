// Trackmill2 as its clients see it: the classes AudioCDRipper2 and
// AudioCDRipperLameMP3Encoder2, their dual interfaces in slot order, the
// event interface of AudioCDRipper2 and the enumerations that cross the
// boundary. Clients create the objects with CoCreateInstance (or by ProgID)
// and reach every member both through these tables and through IDispatch by
// name.
//
// Every member answers S_OK. AudioCDRipper2 reports a failure only through
// its Error event (after lastError is set); a failed property get leaves its
// out value unwritten.
#pragma once

#include "platform/com/com.h"

inline constexpr GUID LIBID_TRACKMILL2Lib = com::guid("D37D2313-AA44-409B-9F1D-31F09B620A8D");
inline constexpr CLSID CLSID_AudioCDRipper2 = com::guid("5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95");
inline constexpr CLSID CLSID_AudioCDRipperLameMP3Encoder2 = com::guid("5F1E758B-E036-4A5E-A45A-90CCA22F9192");
inline constexpr IID IID_IAudioCDRipper2 = com::guid("0002A43B-AE56-460C-B03C-07138FAA63F4");
inline constexpr IID DIID__IAudioCDRipper2Events = com::guid("A8997395-3BC7-4127-AE9D-EFEB5B017C2A");
inline constexpr IID IID_IAudioCDRipperLameMP3Encoder2 = com::guid("CD3B071E-C550-4477-B176-A26F0A829B57");
inline constexpr IID IID_IAudioCDRipperReport = com::guid("4E95E8F6-6B37-496F-8F9D-95173533B4D8");

inline constexpr const char* kAudioCDRipper2ProgId = "Trackmill2.AudioCDRipper2";
inline constexpr const char* kAudioCDRipperLameMP3Encoder2ProgId = "Trackmill2.AudioCDRipperLameMP3Encoder2";

enum ErrcodeConstants : LONG {
  NO_ERRORS = 0,
  INIT_FAILED = -101,
  OPERATION_FAILED = -102,
  NO_DRIVES = -103,
  DRIVE_NOT_SUPPORTED = -104,
  OUT_OF_MEMORY = -105,
  INVALID_PARAM = -106,
  TIMEOUT = -107,
  DRIVE_BUSY = -108,
  ASPI_DRIVER = -109,
  FORMAT_NOT_SUPPORT = -110,
  FILE_ACCESS = -111,
  MEDIA_CHANGED = -112,
};

enum RipModePresetConstants : LONG { PLAY = 0, BURST = 1, SYNCH = 2, SECURE = 3, PARANOID = 4 };

enum RipActionOnErrorConstants : LONG { StopRip = 0, SILENCE = 1, CUT = 2, CORRECT = 3 };

enum ReadTypeConstants : LONG {
  CDRT_ANY = 0,
  CDRT_ATAPI1 = 1,
  CDRT_ATAPI2 = 2,
  CDRT_READ6 = 3,
  CDRT_READ10 = 4,
  CDRT_READ_D8 = 5,
  CDRT_READ_D4 = 6,
  CDRT_READ_D4_1 = 7,
  CDRT_READ10_2 = 8,
};

enum CDDiskTypeConstants : LONG {
  UNRECOGNIZED = 0,
  REDBOOK = 1,
  YELLOWBOOK = 2,
  ORANGEBOOK = 3,
  GREENBOOK = 4,
  BLUEBOOK = 5,
};

enum CDDBSourceConstants : LONG { ALL = 0, ONLINEDATABASE = 1, CDPLAYERINI = 2 };

// QUERY and PROCESSANSWER come with every look-up; the others end a look-up
// that BeginCDDBInfo started (no other look-up fires them): the answer is
// in the cddbInfo properties, the sources had nothing, or CancelCDDBInfo
// (or another BeginCDDBInfo) stopped it.
enum CDDBQueryStatusConstants : LONG {
  QUERY = 0,
  PROCESSANSWER = 1,
  CDDBANSWERED = 2,
  CDDBNOTFOUND = 3,
  CDDBSTOPPED = 4,
};

// kbit/s.
enum RipBitrateConstants : LONG {
  BR_350_KBPS = 350,
  BR_320_KBPS = 320,
  BR_256_KBPS = 256,
  BR_224_KBPS = 224,
  BR_192_KBPS = 192,
  BR_160_KBPS = 160,
  BR_128_KBPS = 128,
  BR_112_KBPS = 112,
  BR_96_KBPS = 96,
  BR_80_KBPS = 80,
  BR_64_KBPS = 64,
  BR_56_KBPS = 56,
  BR_48_KBPS = 48,
  BR_40_KBPS = 40,
  BR_32_KBPS = 32,
  BR_24_KBPS = 24,
  BR_16_KBPS = 16,
  BR_8_KBPS = 8,
  BR_NONE = 0,
};

// Hz.
enum RipFrequencyConstants : LONG {
  FQ_96_KHZ = 96000,
  FQ_88_KHZ = 88200,
  FQ_48_KHZ = 48000,
  FQ_44_KHZ = 44100,
  FQ_32_KHZ = 32000,
  FQ_24_KHZ = 24000,
  FQ_22_KHZ = 22050,
  FQ_16_KHZ = 16000,
  FQ_12_KHZ = 12000,
  FQ_11_KHZ = 11025,
  FQ_8_KHZ = 8000,
  FQ_6_KHZ = 6000,
};

enum RipChannelsConstants : LONG { MONO = 1, STEREO = 2 };

enum Mp3Method : LONG { VBR_NONE = -1, VBR_DEFAULT = 0, VBR_OLD = 1, VBR_NEW = 2, VBR_MTRH = 3, VBR_ABR = 4 };

enum Mp3TypeStereoContants : LONG { SIMPLY = 1, JOINTSTEREO = 2, FORCEDJOINTSTEREO = 3, DUALCHANNEL = 4 };

// MP3 encoder settings (a plain holder; the engine copies them into the codec).
struct IAudioCDRipperLameMP3Encoder2 : IDispatch {
  static constexpr const IID& uuid = IID_IAudioCDRipperLameMP3Encoder2;
  STDMETHOD(SetParamsFromCommandLine)(BSTR CommandLine) PURE;  // 0x1
  STDMETHOD(SetParamsFromPreset)(SHORT Preset) PURE;           // 0x2
  STDMETHOD(SetParamsFromAltPreset)(SHORT Preset) PURE;        // 0x3
  STDMETHOD(get_VbrBitrate)(RipBitrateConstants* pVal) PURE;   // 0x4
  STDMETHOD(put_VbrBitrate)(RipBitrateConstants newVal) PURE;
  STDMETHOD(get_VbrQuality)(SHORT* pVal) PURE;  // 0x5
  STDMETHOD(put_VbrQuality)(SHORT newVal) PURE;
  STDMETHOD(get_VbrCodingMethod)(Mp3Method* pVal) PURE;  // 0x6
  STDMETHOD(put_VbrCodingMethod)(Mp3Method newVal) PURE;
  STDMETHOD(get_AbrBitrate)(SHORT* pVal) PURE;  // 0x7
  STDMETHOD(put_AbrBitrate)(SHORT newVal) PURE;
  STDMETHOD(get_TypeStereo)(Mp3TypeStereoContants* pVal) PURE;  // 0x8
  STDMETHOD(put_TypeStereo)(Mp3TypeStereoContants newVal) PURE;
  STDMETHOD(get_EncoderQuality)(SHORT* pVal) PURE;  // 0x9
  STDMETHOD(put_EncoderQuality)(SHORT newVal) PURE;
  STDMETHOD(get_WritingVBRHeader)(VARIANT_BOOL* pVal) PURE;  // 0xa
  STDMETHOD(put_WritingVBRHeader)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_BitReservoir)(VARIANT_BOOL* pVal) PURE;  // 0xb
  STDMETHOD(put_BitReservoir)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_BlockTypeControl)(VARIANT_BOOL* pVal) PURE;  // 0xc
  STDMETHOD(put_BlockTypeControl)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_ShortBlocks)(VARIANT_BOOL* pVal) PURE;  // 0xd
  STDMETHOD(put_ShortBlocks)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_Emphasis)(SHORT* pVal) PURE;  // 0xe
  STDMETHOD(put_Emphasis)(SHORT newVal) PURE;
  STDMETHOD(get_StrictISOCompliance)(VARIANT_BOOL* pVal) PURE;  // 0xf
  STDMETHOD(put_StrictISOCompliance)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_StrictlyEnforceMinBitrate)(VARIANT_BOOL* pVal) PURE;  // 0x10
  STDMETHOD(put_StrictlyEnforceMinBitrate)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_ATHControlMode)(SHORT* pVal) PURE;  // 0x11
  STDMETHOD(put_ATHControlMode)(SHORT newVal) PURE;
  STDMETHOD(get_LowPassFrequency)(LONG* pVal) PURE;  // 0x12
  STDMETHOD(put_LowPassFrequency)(LONG newVal) PURE;
  STDMETHOD(get_HighPassFrequency)(LONG* pVal) PURE;  // 0x13
  STDMETHOD(put_HighPassFrequency)(LONG newVal) PURE;
  STDMETHOD(get_LowPassWidth)(LONG* pVal) PURE;  // 0x14
  STDMETHOD(put_LowPassWidth)(LONG newVal) PURE;
  STDMETHOD(get_HighPassWidth)(LONG* pVal) PURE;  // 0x15
  STDMETHOD(put_HighPassWidth)(LONG newVal) PURE;
  STDMETHOD(get_ErrorProtection)(VARIANT_BOOL* pVal) PURE;  // 0x16
  STDMETHOD(put_ErrorProtection)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_Frequency)(RipFrequencyConstants* pVal) PURE;  // 0x17
  STDMETHOD(put_Frequency)(RipFrequencyConstants newVal) PURE;
  STDMETHOD(get_Channels)(RipChannelsConstants* pVal) PURE;  // 0x18
  STDMETHOD(put_Channels)(RipChannelsConstants newVal) PURE;
  STDMETHOD(get_Bitrate)(RipBitrateConstants* pVal) PURE;  // 0x19
  STDMETHOD(put_Bitrate)(RipBitrateConstants newVal) PURE;
};

// The ripping engine. Comments give the dispatch identifiers.
struct IAudioCDRipper2 : IDispatch {
  static constexpr const IID& uuid = IID_IAudioCDRipper2;
  STDMETHOD(DriverOpen)() PURE;   // 0x1
  STDMETHOD(DriverClose)() PURE;  // 0x2
  STDMETHOD(Eject)() PURE;        // 0x3
  STDMETHOD(Refresh)() PURE;      // 0x4
  STDMETHOD(IsAvailableFormatOGG)(RipFrequencyConstants frq, RipChannelsConstants chnl,
                                  RipBitrateConstants nominalBitRate, RipBitrateConstants minBitRate,
                                  RipBitrateConstants maxBitRate, LONG Quality,
                                  VARIANT_BOOL* pOGGFormatAvailable) PURE;  // 0xa
  STDMETHOD(IsAvailableFormatMP3)(RipFrequencyConstants frq, RipBitrateConstants Bitrate, RipChannelsConstants chnl,
                                  VARIANT_BOOL* pMP3FormatAvailable) PURE;  // 0xb
  STDMETHOD(SetFormatMP3)(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                          RipChannelsConstants chnl) PURE;                            // 0xc
  STDMETHOD(SetFormatMP3Ex)(IAudioCDRipperLameMP3Encoder2* LameFormat) PURE;         // 0xd
  STDMETHOD(SetFormatWMA)(LONG Profile) PURE;                                         // 0xe
  STDMETHOD(SetFormatOGG)(RipFrequencyConstants frq, RipChannelsConstants chnl, RipBitrateConstants nominalBitRate,
                          RipBitrateConstants minBitRate, RipBitrateConstants maxBitRate,
                          LONG Quality) PURE;  // 0xf
  STDMETHOD(SetFormatMP2)(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                          RipChannelsConstants chnl) PURE;  // 0x10
  STDMETHOD(RipTrackToWav)(BSTR fileName) PURE;             // 0x14
  STDMETHOD(RipTrackToMP3)(BSTR fileName) PURE;             // 0x15
  STDMETHOD(RipTrackToWMA)(BSTR fileName) PURE;             // 0x16
  STDMETHOD(RipTrackToOGG)(BSTR fileName) PURE;             // 0x17
  STDMETHOD(RipTrackToMP2)(BSTR fileName) PURE;             // 0x18
  STDMETHOD(StopRip)() PURE;                                // 0x19
  STDMETHOD(PlayTrack)(SHORT trackNum) PURE;                // 0x1e
  STDMETHOD(PauseTrack)() PURE;                             // 0x1f
  STDMETHOD(SeekTrack)(LONG nSamples) PURE;                 // 0x20
  STDMETHOD(StopPlay)() PURE;                               // 0x21
  STDMETHOD(GetCDDBInfo)(CDDBSourceConstants cddbSource, VARIANT_BOOL* pVal) PURE;  // 0x28
  STDMETHOD(get_driveNum)(LONG* pVal) PURE;                                         // 0x32
  STDMETHOD(put_driveNum)(LONG newVal) PURE;
  STDMETHOD(get_driveCount)(LONG* pVal) PURE;   // 0x33
  STDMETHOD(get_driveLetter)(BSTR* pVal) PURE;  // 0x34
  STDMETHOD(get_driveName)(BSTR* pVal) PURE;    // 0x35
  STDMETHOD(get_driveReadType)(ReadTypeConstants* pVal) PURE;  // 0x36
  STDMETHOD(put_driveReadType)(ReadTypeConstants newVal) PURE;
  STDMETHOD(get_driveSpeed)(LONG* pVal) PURE;  // 0x37
  STDMETHOD(put_driveSpeed)(LONG newVal) PURE;
  STDMETHOD(get_driveSpinUpTime)(LONG* pVal) PURE;  // 0x38
  STDMETHOD(put_driveSpinUpTime)(LONG newVal) PURE;
  STDMETHOD(get_driveLockCDTrayDuringRip)(VARIANT_BOOL* pVal) PURE;  // 0x39
  STDMETHOD(put_driveLockCDTrayDuringRip)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_cdType)(CDDiskTypeConstants* pVal) PURE;       // 0x3c
  STDMETHOD(get_cdID)(LONG* pVal) PURE;                        // 0x3d
  STDMETHOD(get_ripModePreset)(RipModePresetConstants* pVal) PURE;  // 0x46
  STDMETHOD(put_ripModePreset)(RipModePresetConstants newVal) PURE;
  STDMETHOD(get_ripOnErrorAction)(RipActionOnErrorConstants* pVal) PURE;  // 0x47
  STDMETHOD(put_ripOnErrorAction)(RipActionOnErrorConstants newVal) PURE;
  STDMETHOD(get_ripOnErrorRetries)(LONG* pVal) PURE;  // 0x48
  STDMETHOD(put_ripOnErrorRetries)(LONG newVal) PURE;
  STDMETHOD(get_ripUseExternalASPI)(VARIANT_BOOL* pVal) PURE;  // 0x49
  STDMETHOD(put_ripUseExternalASPI)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_cddbTimeOut)(LONG* pVal) PURE;  // 0x50
  STDMETHOD(put_cddbTimeOut)(LONG newVal) PURE;
  STDMETHOD(get_cddbServerAddress)(BSTR* pVal) PURE;  // 0x51
  STDMETHOD(put_cddbServerAddress)(BSTR newVal) PURE;
  STDMETHOD(get_cddbAgentName)(BSTR* pVal) PURE;  // 0x52
  STDMETHOD(put_cddbAgentName)(BSTR newVal) PURE;
  STDMETHOD(get_cddbServerHTTPPort)(LONG* pVal) PURE;  // 0x53
  STDMETHOD(put_cddbServerHTTPPort)(LONG newVal) PURE;
  STDMETHOD(get_cddbUserEMail)(BSTR* pVal) PURE;  // 0x54
  STDMETHOD(put_cddbUserEMail)(BSTR newVal) PURE;
  STDMETHOD(get_cddbCGIScript)(BSTR* pVal) PURE;  // 0x55
  STDMETHOD(put_cddbCGIScript)(BSTR newVal) PURE;
  STDMETHOD(get_cddbInfoArtist)(BSTR* pVal) PURE;  // 0x56
  STDMETHOD(get_cddbInfoAlbum)(BSTR* pVal) PURE;   // 0x57
  STDMETHOD(get_cddbInfoGenre)(BSTR* pVal) PURE;   // 0x58
  STDMETHOD(get_cddbInfoTitle)(BSTR* pVal) PURE;   // 0x59
  STDMETHOD(get_trackNum)(LONG* pVal) PURE;        // 0x5a
  STDMETHOD(put_trackNum)(LONG newVal) PURE;
  STDMETHOD(get_trackCount)(LONG* pVal) PURE;          // 0x5b
  STDMETHOD(get_trackDuration)(LONG* pVal) PURE;       // 0x5c, milliseconds
  STDMETHOD(get_trackSamples)(LONG* pVal) PURE;        // 0x5d, stereo sample frames
  STDMETHOD(get_trackFormatString)(BSTR* pVal) PURE;   // 0x5e
  STDMETHOD(GetAudioPlayer2Interface)(IUnknown** ppAudioPlayer2) PURE;  // 0x64
  STDMETHOD(GetAudioFile2Interface)(IUnknown** ppAudioFile2) PURE;      // 0x65
  STDMETHOD(RipTrackToAudioFile2Format)(BSTR fileName) PURE;            // 0x66
  // Fires the event its worker threads stored; they call it through a
  // marshalled pointer so that the event reaches the client's thread.
  STDMETHOD(_OnEvent)() PURE;  // 0x6e
  // Appended members.
  // Rips read at the drive's highest speed without pacing (driveSpeed is
  // kept for the next rip without it): for a client that knows the drive
  // can take it. VARIANT_TRUE or VARIANT_FALSE.
  STDMETHOD(get_driveSpeedMax)(VARIANT_BOOL* pVal) PURE;  // 0x6f
  STDMETHOD(put_driveSpeedMax)(VARIANT_BOOL newVal) PURE;
  // Rips `frames` frames from `firstLba` on (any audio of the disc, such as
  // a hidden track before track 1) through the codec object's format, as
  // RipTrackToAudioFile2Format rips a track.
  STDMETHOD(RipRangeToAudioFile2Format)(LONG firstLba, LONG frames, BSTR fileName) PURE;  // 0x70
  // GetCDDBInfo without the wait: reads the disc's identity from the drive
  // at once, then asks the sources GetCDDBInfo(cddbSource) asks on a thread
  // of the engine's own and returns. QUERY and PROCESSANSWER come as they
  // do for GetCDDBInfo; the look-up ends with one CDDBQueryStatus of
  // CDDBANSWERED (the cddbInfo properties now hold the answer, as after a
  // GetCDDBInfo that found it), CDDBNOTFOUND (they read empty; also when
  // the disc changed meanwhile) or CDDBSTOPPED (they are left as they
  // were); every BeginCDDBInfo ends with exactly one of them. Every event
  // arrives on the caller's thread, which must run incoming calls
  // meanwhile. A BeginCDDBInfo while one runs stops that one first (its
  // CDDBSTOPPED fires before this call returns). Refused as GetCDDBInfo
  // refuses, and with DRIVE_BUSY while a rip holds the drive: the Error,
  // then CDDBNOTFOUND, both before the call returns. DriverClose and the object's
  // release stop a running look-up and wait for its thread.
  STDMETHOD(BeginCDDBInfo)(CDDBSourceConstants cddbSource) PURE;  // 0x71
  // Stops the running look-up, if any: its network wait ends at once and
  // its CDDBSTOPPED follows. Returns at once.
  STDMETHOD(CancelCDDBInfo)() PURE;  // 0x72
};

// The report of the last rip and of the disc, a second dual interface of the
// AudioCDRipper2 object (QueryInterface from any of its interfaces). Each
// count and checksum is of the last rip: filled before its final
// RipProgress(100) and kept until the next rip starts. Members are only ever
// appended. Comments give the dispatch identifiers.
struct IAudioCDRipperReport : IDispatch {
  static constexpr const IID& uuid = IID_IAudioCDRipperReport;
  STDMETHOD(get_framesRead)(LONG* pVal) PURE;         // 0x1: frames the drive was asked for, cache-defeating reads included
  STDMETHOD(get_framesReread)(LONG* pVal) PURE;       // 0x2: frames of the track read again after a block's first read
  STDMETHOD(get_framesConfirmed)(LONG* pVal) PURE;    // 0x3: frames written that the rip mode's rule confirmed
  STDMETHOD(get_framesUnconfirmed)(LONG* pVal) PURE;  // 0x4: frames of blocks given up (the on-error action's frames)
  STDMETHOD(get_retries)(LONG* pVal) PURE;            // 0x5: reads beyond what a block needs at best
  STDMETHOD(get_blocksGivenUp)(LONG* pVal) PURE;      // 0x6: blocks the on-error action was applied to
  // The checksums of the audio the last rip delivered to its output (before
  // any processing of its own by the codec), filled when the rip reached the
  // end of its track and 0 otherwise. CRCs are unsigned 32-bit values.
  STDMETHOD(get_trackCopyCRC)(LONG* pVal) PURE;              // 0x7: CRC-32 of the audio bytes
  STDMETHOD(get_trackCopyCRCSkipZero)(LONG* pVal) PURE;      // 0x8: the same without silent samples
  STDMETHOD(get_trackAccurateRipV1)(LONG* pVal) PURE;        // 0x9
  STDMETHOD(get_trackAccurateRipV2)(LONG* pVal) PURE;        // 0xa
  STDMETHOD(get_trackAccurateRipFrame450)(LONG* pVal) PURE;  // 0xb
  // The disc as the last Refresh read it. `track` counts the audio tracks
  // from 1, as trackNum does.
  STDMETHOD(get_accurateRipId1)(LONG* pVal) PURE;               // 0xc
  STDMETHOD(get_accurateRipId2)(LONG* pVal) PURE;               // 0xd
  STDMETHOD(get_musicBrainzDiscId)(BSTR* pVal) PURE;            // 0xe: "" when the TOC cannot give one
  STDMETHOD(get_trackStartLba)(LONG track, LONG* pVal) PURE;    // 0xf
  STDMETHOD(get_leadOutLba)(LONG* pVal) PURE;                   // 0x10: the last session's
  // The drive's read offset in samples, -2000 ... 2000, applied by every
  // rip from the next one on; a value outside raises INVALID_PARAM.
  STDMETHOD(get_readOffsetSamples)(LONG* pVal) PURE;  // 0x11
  STDMETHOD(put_readOffsetSamples)(LONG newVal) PURE;
  // From the Q sub-channel, read once per disc on the first of these calls
  // (nothing is read while a rip or a playback holds the drive).
  STDMETHOD(get_discCatalog)(BSTR* pVal) PURE;                          // 0x12: "" when none
  STDMETHOD(get_trackIsrc)(LONG track, BSTR* pVal) PURE;                // 0x13: "" when none
  STDMETHOD(get_trackPregapFrames)(LONG track, LONG* pVal) PURE;        // 0x14: -1 when unknown
  STDMETHOD(get_trackPreEmphasis)(LONG track, VARIANT_BOOL* pVal) PURE;  // 0x15
  // C2 error pointers. c2Mode: 0 auto (when the drive says it has them), 1
  // on, 2 off; applied by every SECURE or PARANOID rip from the next one on
  // (a value outside raises INVALID_PARAM). driveC2: what the drive says
  // (asked at each rip's start, and on this call while nothing holds the
  // drive). c2Used: the last rip read with them.
  STDMETHOD(get_c2Mode)(LONG* pVal) PURE;  // 0x16
  STDMETHOD(put_c2Mode)(LONG newVal) PURE;
  STDMETHOD(get_driveC2)(VARIANT_BOOL* pVal) PURE;    // 0x17
  STDMETHOD(get_c2ErrorFrames)(LONG* pVal) PURE;      // 0x18: frames of the track the pointers flagged on some read
  STDMETHOD(get_framesReadTwice)(LONG* pVal) PURE;    // 0x19: frames of the track read more than once
  STDMETHOD(get_c2Used)(VARIANT_BOOL* pVal) PURE;     // 0x1a
  // The CUETools database's CRC-32 of the last track rip's audio (the
  // disc's first audio track without its first 5880 samples, the last
  // without its last 5880 + N mod 5880, N the disc's audio samples), filled
  // as the other checksums are; 0 for a range rip.
  STDMETHOD(get_trackCtdbCRC)(LONG* pVal) PURE;       // 0x1b
  // The disc's CD-TEXT (its first block in ISO 8859-1 or ASCII), read once
  // per disc on the first of these calls, as UTF-8. `track` 0 is the album,
  // else the track as the disc numbers it. "" when the disc has none.
  STDMETHOD(get_cdTextTitle)(LONG track, BSTR* pVal) PURE;       // 0x1c
  STDMETHOD(get_cdTextPerformer)(LONG track, BSTR* pVal) PURE;   // 0x1d
  STDMETHOD(get_cdTextSongwriter)(LONG track, BSTR* pVal) PURE;  // 0x1e
  STDMETHOD(get_cdTextComposer)(LONG track, BSTR* pVal) PURE;    // 0x1f
  STDMETHOD(get_cdTextCode)(LONG track, BSTR* pVal) PURE;        // 0x20: the album's UPC/EAN, a track's ISRC
  // ReplayGain 2.0 (EBU R128 loudness against -18 LUFS). replayGain: rips
  // measure the loudness of the audio they deliver, from the next rip on
  // (off by default; the true peak costs reading time). trackGainDb and
  // trackPeak: the last rip's gain in dB and linear true peak, filled as the
  // checksums are; the peak is -1 (the gain 0) when the rip did not measure,
  // did not reach its end, or heard nothing above the gate. albumGainDb and
  // albumPeak: over the tracks `tracks` names ("1 2 5", numbers as trackNum
  // counts them), from the meters of this disc's last measured rip of each,
  // gated over all their blocks together as one programme; -1 (0) unless
  // every named track was measured since this disc was put in. Text that is
  // not a list of track numbers raises INVALID_PARAM.
  STDMETHOD(get_replayGain)(VARIANT_BOOL* pVal) PURE;  // 0x21
  STDMETHOD(put_replayGain)(VARIANT_BOOL newVal) PURE;
  STDMETHOD(get_trackGainDb)(double* pVal) PURE;       // 0x22
  STDMETHOD(get_trackPeak)(double* pVal) PURE;         // 0x23
  STDMETHOD(get_albumGainDb)(BSTR tracks, double* pVal) PURE;  // 0x24
  STDMETHOD(get_albumPeak)(BSTR tracks, double* pVal) PURE;    // 0x25
  // Stores titles of the disc (as the last Refresh read it) from another
  // on-line source than the CDDB server, whose entries the engine stores
  // itself, in the local store cdplayer.ini, where GetCDDBInfo(CDPLAYERINI)
  // finds them from then on: the artist, the album and `trackTitles`, one
  // title per audio track in trackNum order, each ended by a line feed.
  // VARIANT_TRUE when stored; VARIANT_FALSE without a disc, with the
  // store's write-back off, or when the file could not be written.
  STDMETHOD(StoreDiscTitles)(BSTR artist, BSTR album, BSTR trackTitles, VARIANT_BOOL* pVal) PURE;  // 0x26
  // Frames of the track read again because a read of them failed, disagreed
  // with the others or was flagged by the C2 pointers (each frame once per
  // block, not per read): 0 on a clean disc in every mode. Counted as the
  // rip goes, so a client may read it between RipProgress events.
  STDMETHOD(get_framesRetried)(LONG* pVal) PURE;  // 0x27
};

// _IAudioCDRipper2Events: a dispatch-only interface that sinks implement.
// Arguments, in order: Error(ErrcodeConstants ErrCode), RipProgress(I4
// Percent), RipRetry(I4 retryNum), MediaChange(), CDDBQueryStatus(
// CDDBQueryStatusConstants), Timer(I4 nSamples, I4 levelLeft, I4 levelRight),
// EndTrackPlay().
inline constexpr DISPID DISPID_AudioCDRipper2_Error = 0x1;
inline constexpr DISPID DISPID_AudioCDRipper2_RipProgress = 0x2;
inline constexpr DISPID DISPID_AudioCDRipper2_RipRetry = 0x3;
inline constexpr DISPID DISPID_AudioCDRipper2_MediaChange = 0x4;
inline constexpr DISPID DISPID_AudioCDRipper2_CDDBQueryStatus = 0x5;
inline constexpr DISPID DISPID_AudioCDRipper2_Timer = 0x6;
inline constexpr DISPID DISPID_AudioCDRipper2_EndTrackPlay = 0x7;
