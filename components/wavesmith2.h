// Client-side declarations of the codec component Wavesmith2 (type library
// Wavesmith2Lib): AudioFile2, one audio file opened for reading or writing,
// and AudioFile2LameEnc, the MP3 parameters handed to it by SetLameEncoder.
//
// Both interfaces are dual: the members below are in vtable order, slot 7
// first (after IUnknown's three and IDispatch's four). Slots marked
// "reserved" answer E_NOTIMPL. Dispatch identifiers are given beside each
// member; IDispatch also finds every member by its name.
//
// Samples travel as one-dimensional SAFEARRAYs of VT_I2, interleaved by
// channel, lower bound 0. The caller keeps ownership of arrays it passes in;
// an array handed out ([out]) becomes the caller's, to SafeArrayDestroy.
#pragma once

#include "platform/com/com.h"

inline constexpr CLSID CLSID_AudioFile2 = com::guid("77829F14-D911-40FF-A2F0-D11DB8D6D0BC");
inline constexpr IID IID_IAudioFile2 = com::guid("3F607E46-0D3C-4442-B1DE-DE7FA4768F5C");
inline constexpr CLSID CLSID_AudioFile2LameEnc = com::guid("35B8892D-C3FB-4D88-990D-31DB2EBD72BD");
inline constexpr IID IID_IAudioFile2LameEnc = com::guid("FE0273D1-99DF-4AC0-87D5-1371C6271785");
inline constexpr GUID LIBID_Wavesmith2Lib = com::guid("13CD1EBE-FD8E-44D8-8116-C9A39E2747A1");

// AudioFile2. Writing: choose the format (SetFormatPCM, SetFormatMP2,
// SetFormatMP3, SetLameEncoder, SetFormatOGG, SetFormatWMA or SetFormatFLAC), then
// CreateOutputFile and SetInputFormat in either order, WriteSamples as often
// as needed, CloseFile. The format choice serves every later file until
// another is chosen. A format that cannot be written as asked is refused at
// once: the call answers S_FALSE (not an error, so callers that raise on
// errors go on), the refusal is then FormatString and the next
// CreateOutputFile fails with a non-zero FileStatus (and an error result),
// so no file is written wrongly. Reading: OpenRead, the properties, ReadSamples until it hands out
// an empty array (upper bound -1), CloseFile.
struct IAudioFile2 : IDispatch {
  static constexpr const IID& uuid = IID_IAudioFile2;
  // 7, dispid 1. MP3, MP2, WAV, WMA, OGG or FLAC; the two numbers are kept for
  // callers that pass them (0, 1) and select nothing. Error result when the
  // file cannot be read as audio.
  STDMETHOD(OpenRead)(BSTR fileName, LONG reserved1, LONG reserved2) PURE;
  // 8, dispid 2. Finishes a written file (complete on return) or closes the
  // file being read.
  STDMETHOD(CloseFile)() PURE;
  // 9, dispid 3. Creates the output file in the chosen format; the result is
  // also FileStatus (0 on success). `reserved` is passed as 0.
  STDMETHOD(CreateOutputFile)(BSTR fileName, LONG reserved) PURE;
  // 10, dispid 4. Encodes and appends; samples in the SetInputFormat layout.
  STDMETHOD(WriteSamples)(SAFEARRAY* samples) PURE;
  // 11, dispid 5. Up to `count` array elements (whole sample frames); an
  // empty array (upper bound -1) at the end of the file.
  STDMETHOD(ReadSamples)(LONG count, SAFEARRAY** samples) PURE;
  // 12, dispid 6. Text of the last failure ("" when none).
  STDMETHOD(get_LastError)(BSTR* text) PURE;
  // 13, dispid 7. True when the combination encodes.
  STDMETHOD(IsAvailableFormatMP3)(LONG frequencyHz, LONG bitrateKbps, LONG channels, VARIANT_BOOL* available) PURE;
  // 14, dispid 8. Bit rates in kbit/s; 0 = not given.
  STDMETHOD(IsAvailableFormatOGG)(LONG frequencyHz, LONG channels, LONG nominalKbps, LONG minKbps, LONG maxKbps,
                                  VARIANT_BOOL* available) PURE;
  // 15, dispid 9. Layout of the samples to come (the engine: 44100, 2);
  // resampled and remixed when it differs from the output format.
  STDMETHOD(SetInputFormat)(LONG sampleRateHz, LONG channels) PURE;
  // 16, 17, dispids 0xa, 0xb. The input layout in effect (0 = as the output).
  STDMETHOD(get_inputSampleRate)(LONG* sampleRateHz) PURE;
  STDMETHOD(get_inputChannels)(LONG* channels) PURE;
  // 18, dispid 0xc. True when WMA profile `profile` (1 … 47) can be written.
  STDMETHOD(IsAvailableFormatWMA)(LONG profile, VARIANT_BOOL* available) PURE;
  // 19, dispid 0xd. WAV output.
  STDMETHOD(SetFormatPCM)(LONG sampleRateHz, LONG channels, LONG bitsPerSample) PURE;
  // 20 … 26, reserved.
  STDMETHOD(Reserved20)() PURE;
  STDMETHOD(Reserved21)() PURE;
  STDMETHOD(Reserved22)() PURE;
  STDMETHOD(Reserved23)() PURE;
  STDMETHOD(Reserved24)() PURE;
  STDMETHOD(Reserved25)() PURE;
  STDMETHOD(Reserved26)() PURE;
  // 27, 28, dispids 0x15, 0x16. MPEG-1 Layer II / MP3 output.
  STDMETHOD(SetFormatMP2)(LONG frequencyHz, LONG bitrateKbps, LONG channels) PURE;
  STDMETHOD(SetFormatMP3)(LONG frequencyHz, LONG bitrateKbps, LONG channels) PURE;
  // 29, dispid 0x17. MP3 output with the parameters of `lameEncoder`, read
  // through its IAudioFile2LameEnc at this call (later changes to it do not
  // reach the codec until it is handed over again).
  STDMETHOD(SetLameEncoder)(IDispatch* lameEncoder) PURE;
  // 30, dispid 0x18. OGG Vorbis; quality -1 = managed bit-rate mode with the
  // three rates, else quality mode (0 … 10).
  STDMETHOD(SetFormatOGG)(LONG frequencyHz, LONG channels, LONG nominalKbps, LONG minKbps, LONG maxKbps,
                          SHORT quality) PURE;
  // 31, dispid 0x19. WMA in an ASF file, profile 1 … 47, at the profile's
  // rate and channels. The encoder writes constant bit rates of 24 to 320
  // kbit/s: a VBR quality profile is written at a constant rate of
  // comparable quality, a lower rate at 24, Lossless at 320; FormatString
  // then names what is written.
  STDMETHOD(SetFormatWMA)(LONG profile) PURE;
  // 32 … 34, reserved.
  STDMETHOD(Reserved32)() PURE;
  STDMETHOD(Reserved33)() PURE;
  STDMETHOD(Reserved34)() PURE;
  // 35, dispid 0x1d. Sample frames of the open file; 0 = no audio.
  STDMETHOD(get_lengthSamples)(LONG* frames) PURE;
  // 36, reserved.
  STDMETHOD(Reserved36)() PURE;
  // 37, dispid 0x1f. A file is open (for reading or writing).
  STDMETHOD(get_isOpen)(VARIANT_BOOL* open) PURE;
  // 38, dispid 0x20. Array elements per unit of lengthSamples (the channels).
  STDMETHOD(get_frameSize)(LONG* elements) PURE;
  // 39, dispid 0x21. Text of the output format, or why it was refused.
  STDMETHOD(get_FormatString)(BSTR* text) PURE;
  // 40, 41, reserved.
  STDMETHOD(Reserved40)() PURE;
  STDMETHOD(Reserved41)() PURE;
  // 42, dispid 0x24. Duration of the open file.
  STDMETHOD(get_durationMs)(LONG* ms) PURE;
  // 43, dispid 0x25. 0 when CreateOutputFile succeeded.
  STDMETHOD(get_FileStatus)(LONG* status) PURE;
  // 44, 45, dispids 0x26, 0x27.
  STDMETHOD(get_channelCount)(LONG* channels) PURE;
  STDMETHOD(get_sampleRate)(LONG* sampleRateHz) PURE;
  // 46, reserved.
  STDMETHOD(Reserved46)() PURE;
  // 47, 48, dispid 0x2a. Kept and answered back; selects nothing.
  STDMETHOD(get_codecOption)(VARIANT_BOOL* option) PURE;
  STDMETHOD(put_codecOption)(VARIANT_BOOL option) PURE;
  // Members added after the specified ones; the slots above never move.
  // 49, dispid 0x2b. FLAC output at compression level 0 (fastest) … 8
  // (smallest); -1 = the default, 5. The file keeps the SetInputFormat
  // layout (44100 Hz stereo when none is given), 16 bits; it is encoded
  // with libFLAC's verify on and carries the audio's MD5 signature, its
  // length and a seek table.
  STDMETHOD(SetFormatFLAC)(LONG level) PURE;
};

// AudioFile2LameEnc: one set of MP3 parameters in LAME's vocabulary, with
// the same members, types and slots as the engine's MP3 settings object.
// BOOL properties keep the value put (so -1 reads back -1), except
// BitReservoir and ShortBlocks, which read back 1 when on. Properties of
// enumerated values (bit rates, frequency, channels, VBR method, stereo
// mode) are kept in 16 bits, except Frequency (32 bits).
struct IAudioFile2LameEnc : IDispatch {
  static constexpr const IID& uuid = IID_IAudioFile2LameEnc;
  STDMETHOD(SetParamsFromCommandLine)(BSTR commandLine) PURE;  // 7, dispid 1
  STDMETHOD(SetParamsFromPreset)(SHORT preset) PURE;           // 8, dispid 2
  STDMETHOD(SetParamsFromAltPreset)(SHORT preset) PURE;        // 9, dispid 3: preset + 100
  STDMETHOD(get_VbrBitrate)(LONG* kbps) PURE;                  // 10, 11, dispid 4: VBR maximum
  STDMETHOD(put_VbrBitrate)(LONG kbps) PURE;
  STDMETHOD(get_VbrQuality)(SHORT* quality) PURE;              // 12, 13, dispid 5: 0 best … 9
  STDMETHOD(put_VbrQuality)(SHORT quality) PURE;
  STDMETHOD(get_VbrCodingMethod)(LONG* method) PURE;           // 14, 15, dispid 6: -1 none, 0 default,
  STDMETHOD(put_VbrCodingMethod)(LONG method) PURE;            //   1 old, 2 new, 3 mtrh, 4 ABR
  STDMETHOD(get_AbrBitrate)(SHORT* kbps) PURE;                 // 16, 17, dispid 7
  STDMETHOD(put_AbrBitrate)(SHORT kbps) PURE;
  STDMETHOD(get_TypeStereo)(LONG* mode) PURE;                  // 18, 19, dispid 8: 1 simple, 2 joint,
  STDMETHOD(put_TypeStereo)(LONG mode) PURE;                   //   3 forced joint, 4 dual channel
  STDMETHOD(get_EncoderQuality)(SHORT* quality) PURE;          // 20, 21, dispid 9: 0 best … 9 fastest
  STDMETHOD(put_EncoderQuality)(SHORT quality) PURE;
  STDMETHOD(get_WritingVBRHeader)(BOOL* on) PURE;              // 22, 23, dispid 0xa
  STDMETHOD(put_WritingVBRHeader)(BOOL on) PURE;
  STDMETHOD(get_BitReservoir)(BOOL* on) PURE;                  // 24, 25, dispid 0xb
  STDMETHOD(put_BitReservoir)(BOOL on) PURE;
  STDMETHOD(get_BlockTypeControl)(BOOL* on) PURE;              // 26, 27, dispid 0xc
  STDMETHOD(put_BlockTypeControl)(BOOL on) PURE;
  STDMETHOD(get_ShortBlocks)(BOOL* on) PURE;                   // 28, 29, dispid 0xd
  STDMETHOD(put_ShortBlocks)(BOOL on) PURE;
  STDMETHOD(get_Emphasis)(SHORT* emphasis) PURE;               // 30, 31, dispid 0xe
  STDMETHOD(put_Emphasis)(SHORT emphasis) PURE;
  STDMETHOD(get_StrictISOCompliance)(BOOL* on) PURE;           // 32, 33, dispid 0xf
  STDMETHOD(put_StrictISOCompliance)(BOOL on) PURE;
  STDMETHOD(get_StrictlyEnforceMinBitrate)(BOOL* on) PURE;     // 34, 35, dispid 0x10
  STDMETHOD(put_StrictlyEnforceMinBitrate)(BOOL on) PURE;
  STDMETHOD(get_ATHControlMode)(SHORT* mode) PURE;             // 36, 37, dispid 0x11
  STDMETHOD(put_ATHControlMode)(SHORT mode) PURE;
  STDMETHOD(get_LowPassFrequency)(LONG* hz) PURE;              // 38, 39, dispid 0x12: -1 none
  STDMETHOD(put_LowPassFrequency)(LONG hz) PURE;
  STDMETHOD(get_HighPassFrequency)(LONG* hz) PURE;             // 40, 41, dispid 0x13: -1 none
  STDMETHOD(put_HighPassFrequency)(LONG hz) PURE;
  STDMETHOD(get_LowPassWidth)(LONG* hz) PURE;                  // 42, 43, dispid 0x14
  STDMETHOD(put_LowPassWidth)(LONG hz) PURE;
  STDMETHOD(get_HighPassWidth)(LONG* hz) PURE;                 // 44, 45, dispid 0x15
  STDMETHOD(put_HighPassWidth)(LONG hz) PURE;
  STDMETHOD(get_ErrorProtection)(BOOL* on) PURE;               // 46, 47, dispid 0x16
  STDMETHOD(put_ErrorProtection)(BOOL on) PURE;
  STDMETHOD(get_Frequency)(LONG* hz) PURE;                     // 48, 49, dispid 0x17
  STDMETHOD(put_Frequency)(LONG hz) PURE;
  STDMETHOD(get_Channels)(LONG* channels) PURE;                // 50, 51, dispid 0x18
  STDMETHOD(put_Channels)(LONG channels) PURE;
  STDMETHOD(get_Bitrate)(LONG* kbps) PURE;                     // 52, 53, dispid 0x19: CBR rate, VBR minimum
  STDMETHOD(put_Bitrate)(LONG kbps) PURE;
};
