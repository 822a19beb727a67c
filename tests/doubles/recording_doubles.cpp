// Recording stand-ins for the outside components AudioFile2,
// AudioFile2LameEnc, AudioPlayer2 and AudioInformation2, served from one
// library under the components' own class identifiers. Each call is
// recorded and answered with a plausible value; nothing is encoded, played
// or tagged.
#include <string>

#include "components/tonemeter2.h"
#include "components/wavesmith2.h"
#include "tests/doubles/call_log.h"

namespace doubles {
namespace {

std::string num(long long v) { return std::to_string(v); }

#define RESERVED(name) \
  HRESULT STDMETHODCALLTYPE name() override { return E_NOTIMPL; }
#define RECORD(text) recordCall(std::string(kName) + "." + text)

class AudioFile2Double final : public com::ComObject<AudioFile2Double, IAudioFile2> {
 public:
  static constexpr const char* kName = "AudioFile2";
  AudioFile2Double() { RECORD("Create"); }
  ~AudioFile2Double() override { RECORD("Release"); }
  HRESULT STDMETHODCALLTYPE OpenRead(BSTR, LONG a, LONG b) override { RECORD("OpenRead(" + num(a) + "," + num(b) + ")"); return S_OK; }
  HRESULT STDMETHODCALLTYPE CloseFile() override { RECORD("CloseFile()"); return S_OK; }
  HRESULT STDMETHODCALLTYPE CreateOutputFile(BSTR, LONG r) override { RECORD("CreateOutputFile(" + num(r) + ")"); return S_OK; }
  // The element count is kept: tests read the pieces a caller handed on.
  HRESULT STDMETHODCALLTYPE WriteSamples(SAFEARRAY* samples) override {
    LONG upper = -1;
    if (samples != nullptr) SafeArrayGetUBound(samples, 1, &upper);
    RECORD("WriteSamples(" + num(upper + 1) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReadSamples(LONG count, SAFEARRAY** samples) override {
    RECORD("ReadSamples(" + num(count) + ")");
    if (samples) *samples = SafeArrayCreateVector(VT_I2, 0, 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LastError(BSTR* text) override { if (text) *text = SysAllocString(u""); return S_OK; }
  HRESULT STDMETHODCALLTYPE IsAvailableFormatMP3(LONG f, LONG b, LONG c, VARIANT_BOOL* ok) override {
    RECORD("IsAvailableFormatMP3(" + num(f) + "," + num(b) + "," + num(c) + ")");
    if (ok) *ok = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsAvailableFormatOGG(LONG f, LONG c, LONG n, LONG mn, LONG mx, VARIANT_BOOL* ok) override {
    RECORD("IsAvailableFormatOGG(" + num(f) + "," + num(c) + "," + num(n) + "," + num(mn) + "," + num(mx) + ")");
    if (ok) *ok = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetInputFormat(LONG r, LONG c) override { RECORD("SetInputFormat(" + num(r) + "," + num(c) + ")"); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_inputSampleRate(LONG* v) override { if (v) *v = 44100; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_inputChannels(LONG* v) override { if (v) *v = 2; return S_OK; }
  HRESULT STDMETHODCALLTYPE IsAvailableFormatWMA(LONG p, VARIANT_BOOL* ok) override {
    RECORD("IsAvailableFormatWMA(" + num(p) + ")");
    if (ok) *ok = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetFormatPCM(LONG r, LONG c, LONG b) override { RECORD("SetFormatPCM(" + num(r) + "," + num(c) + "," + num(b) + ")"); return S_OK; }
  RESERVED(Reserved20) RESERVED(Reserved21) RESERVED(Reserved22) RESERVED(Reserved23) RESERVED(Reserved24)
  RESERVED(Reserved25) RESERVED(Reserved26)
  HRESULT STDMETHODCALLTYPE SetFormatMP2(LONG f, LONG b, LONG c) override { RECORD("SetFormatMP2(" + num(f) + "," + num(b) + "," + num(c) + ")"); return S_OK; }
  HRESULT STDMETHODCALLTYPE SetFormatMP3(LONG f, LONG b, LONG c) override { RECORD("SetFormatMP3(" + num(f) + "," + num(b) + "," + num(c) + ")"); return S_OK; }
  HRESULT STDMETHODCALLTYPE SetLameEncoder(IDispatch* lame) override {
    com::ComPtr<IAudioFile2LameEnc> settings;
    const bool ok = lame && SUCCEEDED(lame->QueryInterface(IID_IAudioFile2LameEnc, settings.putVoid()));
    RECORD(std::string("SetLameEncoder(") + (ok ? "AudioFile2LameEnc" : "other") + ")");
    return ok ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE SetFormatOGG(LONG f, LONG c, LONG n, LONG mn, LONG mx, SHORT q) override {
    RECORD("SetFormatOGG(" + num(f) + "," + num(c) + "," + num(n) + "," + num(mn) + "," + num(mx) + "," + num(q) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetFormatWMA(LONG p) override { RECORD("SetFormatWMA(" + num(p) + ")"); return S_OK; }
  RESERVED(Reserved32) RESERVED(Reserved33) RESERVED(Reserved34)
  HRESULT STDMETHODCALLTYPE get_lengthSamples(LONG* v) override { if (v) *v = 0; return S_OK; }
  RESERVED(Reserved36)
  HRESULT STDMETHODCALLTYPE get_isOpen(VARIANT_BOOL* v) override { if (v) *v = VARIANT_FALSE; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_frameSize(LONG* v) override { if (v) *v = 2; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_FormatString(BSTR* v) override { RECORD("FormatString"); if (v) *v = SysAllocString(u"PCM 44100 Hz"); return S_OK; }
  RESERVED(Reserved40) RESERVED(Reserved41)
  HRESULT STDMETHODCALLTYPE get_durationMs(LONG* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_FileStatus(LONG* v) override { RECORD("FileStatus"); if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_channelCount(LONG* v) override { if (v) *v = 2; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_sampleRate(LONG* v) override { if (v) *v = 44100; return S_OK; }
  RESERVED(Reserved46)
  HRESULT STDMETHODCALLTYPE get_codecOption(VARIANT_BOOL* v) override { if (v) *v = option_; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_codecOption(VARIANT_BOOL v) override { RECORD("codecOption=" + num(v)); option_ = v; return S_OK; }
  HRESULT STDMETHODCALLTYPE SetFormatFLAC(LONG level) override { RECORD("SetFormatFLAC(" + num(level) + ")"); return S_OK; }

 private:
  VARIANT_BOOL option_ = VARIANT_FALSE;
};

#define LAME_PROP(name, T)                                                                                  \
  HRESULT STDMETHODCALLTYPE get_##name(T* v) override { if (v) *v = static_cast<T>(name##_); return S_OK; } \
  HRESULT STDMETHODCALLTYPE put_##name(T v) override { RECORD(#name "=" + num(v)); name##_ = v; return S_OK; }

class AudioFile2LameEncDouble final : public com::ComObject<AudioFile2LameEncDouble, IAudioFile2LameEnc> {
 public:
  static constexpr const char* kName = "AudioFile2LameEnc";
  AudioFile2LameEncDouble() { RECORD("Create"); }
  ~AudioFile2LameEncDouble() override { RECORD("Release"); }
  HRESULT STDMETHODCALLTYPE SetParamsFromCommandLine(BSTR) override { RECORD("SetParamsFromCommandLine"); return S_OK; }
  HRESULT STDMETHODCALLTYPE SetParamsFromPreset(SHORT p) override { RECORD("SetParamsFromPreset(" + num(p) + ")"); return S_OK; }
  HRESULT STDMETHODCALLTYPE SetParamsFromAltPreset(SHORT p) override { RECORD("SetParamsFromAltPreset(" + num(p) + ")"); return S_OK; }
  LAME_PROP(VbrBitrate, LONG)
  LAME_PROP(VbrQuality, SHORT)
  LAME_PROP(VbrCodingMethod, LONG)
  LAME_PROP(AbrBitrate, SHORT)
  LAME_PROP(TypeStereo, LONG)
  LAME_PROP(EncoderQuality, SHORT)
  LAME_PROP(WritingVBRHeader, BOOL)
  LAME_PROP(BitReservoir, BOOL)
  LAME_PROP(BlockTypeControl, BOOL)
  LAME_PROP(ShortBlocks, BOOL)
  LAME_PROP(Emphasis, SHORT)
  LAME_PROP(StrictISOCompliance, BOOL)
  LAME_PROP(StrictlyEnforceMinBitrate, BOOL)
  LAME_PROP(ATHControlMode, SHORT)
  LAME_PROP(LowPassFrequency, LONG)
  LAME_PROP(HighPassFrequency, LONG)
  LAME_PROP(LowPassWidth, LONG)
  LAME_PROP(HighPassWidth, LONG)
  LAME_PROP(ErrorProtection, BOOL)
  LAME_PROP(Frequency, LONG)
  LAME_PROP(Channels, LONG)
  LAME_PROP(Bitrate, LONG)

 private:
  long long VbrBitrate_ = 192, VbrQuality_ = 7, VbrCodingMethod_ = -1, AbrBitrate_ = 128, TypeStereo_ = 1,
            EncoderQuality_ = 5, WritingVBRHeader_ = 1, BitReservoir_ = 1, BlockTypeControl_ = 0, ShortBlocks_ = 1,
            Emphasis_ = 0, StrictISOCompliance_ = 0, StrictlyEnforceMinBitrate_ = 0, ATHControlMode_ = 0,
            LowPassFrequency_ = -1, HighPassFrequency_ = -1, LowPassWidth_ = 0, HighPassWidth_ = 0,
            ErrorProtection_ = 0, Frequency_ = 44100, Channels_ = 2, Bitrate_ = 128;
};

class AudioPlayer2Double final
    : public com::ComObject<AudioPlayer2Double, IAudioPlayer2, IConnectionPointContainer> {
 public:
  static constexpr const char* kName = "AudioPlayer2";
  AudioPlayer2Double() {
    points_.add(DIID_IAudioPlayer2Events, this);
    RECORD("Create");
  }
  ~AudioPlayer2Double() override { RECORD("Release"); }
  com::ConnectionPoints& connectionPoints() {
    RECORD("FindConnectionPoint");
    return points_;
  }
  HRESULT STDMETHODCALLTYPE get_OutputName(BSTR* name) override { if (name) *name = SysAllocString(u"silent"); return S_OK; }
  HRESULT STDMETHODCALLTYPE Play() override { RECORD("Play()"); return S_OK; }
  HRESULT STDMETHODCALLTYPE Stop() override { RECORD("Stop()"); return S_OK; }
  HRESULT STDMETHODCALLTYPE WriteSamples(SAFEARRAY*) override { RECORD("WriteSamples()"); return S_OK; }
  HRESULT STDMETHODCALLTYPE Flush() override { RECORD("Flush()"); return S_OK; }
  HRESULT STDMETHODCALLTYPE SetFormat(LONG r, LONG c) override { RECORD("SetFormat(" + num(r) + "," + num(c) + ")"); return S_OK; }
  HRESULT STDMETHODCALLTYPE SetBufferTime(LONG ms, LONG* inEffect) override {
    RECORD("SetBufferTime(" + num(ms) + ")");
    if (inEffect) *inEffect = ms;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_samplesPlayed(LONG* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_samplesQueued(LONG* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_isPlaying(VARIANT_BOOL* v) override { if (v) *v = VARIANT_FALSE; return S_OK; }
  RESERVED(Reserved17) RESERVED(Reserved18) RESERVED(Reserved19) RESERVED(Reserved20) RESERVED(Reserved21)
  RESERVED(Reserved22) RESERVED(Reserved23) RESERVED(Reserved24) RESERVED(Reserved25) RESERVED(Reserved26)
  RESERVED(Reserved27) RESERVED(Reserved28) RESERVED(Reserved29)
  HRESULT STDMETHODCALLTYPE GetState(AudioPlayer2State* state) override {
    RECORD("GetState()");
    if (state) *state = AudioPlayer2State{0, 0, 0, 0, 300, 44100, 2};
    return S_OK;
  }

 private:
  com::ConnectionPoints points_;
};

#define INFO_TEXT(name)                                                                                  \
  HRESULT STDMETHODCALLTYPE get_##name(BSTR* v) override { if (v) *v = SysAllocString(u""); return S_OK; } \
  HRESULT STDMETHODCALLTYPE put_##name(BSTR) override { RECORD(#name "="); return S_OK; }

class AudioInformation2Double final : public com::ComObject<AudioInformation2Double, IAudioInformation2> {
 public:
  static constexpr const char* kName = "AudioInformation2";
  AudioInformation2Double() { RECORD("Create"); }
  ~AudioInformation2Double() override { RECORD("Release"); }
  HRESULT STDMETHODCALLTYPE ReadInfo(BSTR) override { RECORD("ReadInfo"); return S_OK; }
  HRESULT STDMETHODCALLTYPE WriteInfo(BSTR) override { RECORD("WriteInfo"); return S_OK; }
  INFO_TEXT(infoTitle)
  INFO_TEXT(infoArtist)
  INFO_TEXT(infoAlbum)
  INFO_TEXT(infoComments)
  INFO_TEXT(infoGenreS)
  HRESULT STDMETHODCALLTYPE get_LastError(BSTR* v) override { if (v) *v = SysAllocString(u""); return S_OK; }
  RESERVED(Reserved20) RESERVED(Reserved21) RESERVED(Reserved22) RESERVED(Reserved23) RESERVED(Reserved24)
  RESERVED(Reserved25) RESERVED(Reserved26) RESERVED(Reserved27) RESERVED(Reserved28) RESERVED(Reserved29)
  RESERVED(Reserved30) RESERVED(Reserved31)
  HRESULT STDMETHODCALLTYPE get_infoOption(VARIANT_BOOL* v) override { if (v) *v = VARIANT_FALSE; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_infoOption(VARIANT_BOOL v) override { RECORD("infoOption=" + num(v)); return S_OK; }
  RESERVED(Reserved34) RESERVED(Reserved35) RESERVED(Reserved36) RESERVED(Reserved37) RESERVED(Reserved38)
  RESERVED(Reserved39) RESERVED(Reserved40) RESERVED(Reserved41) RESERVED(Reserved42) RESERVED(Reserved43)
  HRESULT STDMETHODCALLTYPE get_infoGenre(SHORT* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_infoGenre(SHORT v) override { RECORD("infoGenre=" + num(v)); return S_OK; }
  RESERVED(Reserved46) RESERVED(Reserved47)
  HRESULT STDMETHODCALLTYPE get_infoYear(LONG* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_infoYear(LONG v) override { RECORD("infoYear=" + num(v)); return S_OK; }
  RESERVED(Reserved50) RESERVED(Reserved51)
  HRESULT STDMETHODCALLTYPE get_infoTrack(SHORT* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_infoTrack(SHORT v) override { RECORD("infoTrack=" + num(v)); return S_OK; }
  HRESULT STDMETHODCALLTYPE get_infoTrackTotal(SHORT* v) override { if (v) *v = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_infoTrackTotal(SHORT v) override { RECORD("infoTrackTotal=" + num(v)); return S_OK; }
  INFO_TEXT(infoMusicBrainzDiscId)
  INFO_TEXT(infoCddbId)
  INFO_TEXT(infoAlbumArtist)
  INFO_TEXT(infoDiscNumber)
  INFO_TEXT(infoLabel)
  INFO_TEXT(infoCatalogNumber)
  INFO_TEXT(infoBarcode)
  INFO_TEXT(infoIsrc)
  INFO_TEXT(infoMusicBrainzAlbumId)
  INFO_TEXT(infoMusicBrainzReleaseGroupId)
  INFO_TEXT(infoMusicBrainzReleaseTrackId)
  INFO_TEXT(infoMusicBrainzRecordingId)
  INFO_TEXT(infoMusicBrainzArtistIds)
  INFO_TEXT(infoMusicBrainzAlbumArtistIds)
  INFO_TEXT(infoCoverArtFile)
  INFO_TEXT(infoReplayGainTrackGain)
  INFO_TEXT(infoReplayGainTrackPeak)
  INFO_TEXT(infoReplayGainAlbumGain)
  INFO_TEXT(infoReplayGainAlbumPeak)
};

const com::ServerClass kClasses[] = {
    com::serverClass<AudioFile2Double>({CLSID_AudioFile2, "AudioFile2 test double", "Wavesmith2.AudioFile2.1",
                                        "Wavesmith2.AudioFile2", "Both"}),
    com::serverClass<AudioFile2LameEncDouble>({CLSID_AudioFile2LameEnc, "AudioFile2LameEnc test double",
                                               "Wavesmith2.AudioFile2LameEnc.1", "Wavesmith2.AudioFile2LameEnc",
                                               "Both"}),
    com::serverClass<AudioPlayer2Double>({CLSID_AudioPlayer2, "AudioPlayer2 test double",
                                          "Tonemeter2.AudioPlayer2.1", "Tonemeter2.AudioPlayer2", "Both"}),
    com::serverClass<AudioInformation2Double>({CLSID_AudioInformation2, "AudioInformation2 test double",
                                               "Tonemeter2.AudioInformation2.1", "Tonemeter2.AudioInformation2",
                                               "Both"}),
};

}  // namespace
}  // namespace doubles

RM_COM_SERVER_EXPORTS(doubles::kClasses, nullptr)

bool doubles::registerDoubles() { return SUCCEEDED(DllRegisterServer()); }
