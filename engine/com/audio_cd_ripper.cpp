// AudioCDRipper2: identity, dispatch table, creation and final release.
#include "engine/com/audio_cd_ripper.h"

#include "engine/com/player_event_sink.h"
#include "engine/device/device_log.h"
#include "engine/device/handles.h"
#include "engine/device/transport.h"
#include "engine/rip/rip_session.h"
#include "platform/com/bstr_text.h"

namespace engine {

namespace {
constexpr const char* kBanner =
    "Cadmerion 1.2.4 Dedug. Send this log file on support@ripmarrow.example if you experied problems in "
    "AudioCDRipper2 work.";
}  // namespace

HRESULT AudioCDRipper2::queryExtraInterface(REFIID riid, void** ppv) {
  if (!(riid == IID_IAudioCDRipperReport)) return E_NOINTERFACE;
  return report_.QueryInterface(riid, ppv);
}

AudioCDRipper2::AudioCDRipper2(std::unique_ptr<CdAudioDevice> cdAudio)
    : cdAudio_(cdAudio ? std::move(cdAudio) : MakeDriveCdAudioDevice()) {
  points_.add(DIID__IAudioCDRipper2Events, this);
  lastRipPreset_.fill(BURST);
  (void)RipReport::dispatchTable();  // the report's proxy description, before any marshalling
  log_ = std::make_unique<log::DiagnosticLog>(log::ReadLogLevel());
  if (log_->level() >= log::kLevelExtended && log_->usable()) {
    log::DiagnosticLog* target = log_.get();
    device::SetDeviceLog([target](std::string_view line) { target->raw(line); });
    deviceLogOwned_ = true;
  }
  log().line(kBanner);
  log().line("");
  log().line("AudioCDRipper2 Constructor end");
  log().line("");
}

AudioCDRipper2::~AudioCDRipper2() {
  // A client that never called DriverClose still leaves the process-wide
  // device tables as it found them: no handle of ours, no transport. Every
  // thread of the engine is joined before the module's lock goes with this
  // object. No rip thread can be waiting for this thread here: each holds
  // its marshalled pointer, and so the object, until its last step.
  endRips();
  rips_.clear();
  endCddbLookups();
  cddbLookups_.clear();
  if (timerThread_.joinable()) stopTimer();
  releaseOutsideComponents();
  if (cdHandle_.load() != 0) device::CloseDevice(cdHandle_.exchange(0));
  if (scsiManagerLoaded_.load() != 0) {
    device::UnloadTransport(useExternalAspi_ != 0);
    scsiManagerLoaded_.store(0);
  }
  log().line("AudioCDRipper2 Destructor end");
  if (deviceLogOwned_) device::SetDeviceLog(nullptr);
}

const com::DispatchTable& AudioCDRipper2::dispatchTable() {
  using I = IAudioCDRipper2;
  static const com::DispatchTable table(IID_IAudioCDRipper2, {
      com::method<&I::DriverOpen>("DriverOpen", 0x1),
      com::method<&I::DriverClose>("DriverClose", 0x2),
      com::method<&I::Eject>("Eject", 0x3),
      com::method<&I::Refresh>("Refresh", 0x4),
      com::method<&I::IsAvailableFormatOGG>("IsAvailableFormatOGG", 0xa,
                                            {VT_I4, VT_I4, VT_I4, VT_I4, VT_I4, VT_I4, VT_BOOL}),
      com::method<&I::IsAvailableFormatMP3>("IsAvailableFormatMP3", 0xb, {VT_I4, VT_I4, VT_I4, VT_BOOL}),
      com::method<&I::SetFormatMP3>("SetFormatMP3", 0xc),
      com::method<&I::SetFormatMP3Ex>("SetFormatMP3Ex", 0xd),
      com::method<&I::SetFormatWMA>("SetFormatWMA", 0xe),
      com::method<&I::SetFormatOGG>("SetFormatOGG", 0xf),
      com::method<&I::SetFormatMP2>("SetFormatMP2", 0x10),
      com::method<&I::RipTrackToWav>("RipTrackToWav", 0x14),
      com::method<&I::RipTrackToMP3>("RipTrackToMP3", 0x15),
      com::method<&I::RipTrackToWMA>("RipTrackToWMA", 0x16),
      com::method<&I::RipTrackToOGG>("RipTrackToOGG", 0x17),
      com::method<&I::RipTrackToMP2>("RipTrackToMP2", 0x18),
      com::method<&I::StopRip>("StopRip", 0x19),
      com::method<&I::PlayTrack>("PlayTrack", 0x1e),
      com::method<&I::PauseTrack>("PauseTrack", 0x1f),
      com::method<&I::SeekTrack>("SeekTrack", 0x20),
      com::method<&I::StopPlay>("StopPlay", 0x21),
      com::method<&I::GetCDDBInfo>("GetCDDBInfo", 0x28, {VT_I4, VT_BOOL}),
      com::propget<&I::get_driveNum>("driveNum", 0x32),
      com::propput<&I::put_driveNum>("driveNum", 0x32),
      com::propget<&I::get_driveCount>("driveCount", 0x33),
      com::propget<&I::get_driveLetter>("driveLetter", 0x34),
      com::propget<&I::get_driveName>("driveName", 0x35),
      com::propget<&I::get_driveReadType>("driveReadType", 0x36),
      com::propput<&I::put_driveReadType>("driveReadType", 0x36),
      com::propget<&I::get_driveSpeed>("driveSpeed", 0x37),
      com::propput<&I::put_driveSpeed>("driveSpeed", 0x37),
      com::propget<&I::get_driveSpinUpTime>("driveSpinUpTime", 0x38),
      com::propput<&I::put_driveSpinUpTime>("driveSpinUpTime", 0x38),
      com::propget<&I::get_driveLockCDTrayDuringRip>("driveLockCDTrayDuringRip", 0x39, {VT_BOOL}),
      com::propput<&I::put_driveLockCDTrayDuringRip>("driveLockCDTrayDuringRip", 0x39, {VT_BOOL}),
      com::propget<&I::get_cdType>("cdType", 0x3c),
      com::propget<&I::get_cdID>("cdID", 0x3d),
      com::propget<&I::get_ripModePreset>("ripModePreset", 0x46),
      com::propput<&I::put_ripModePreset>("ripModePreset", 0x46),
      com::propget<&I::get_ripOnErrorAction>("ripOnErrorAction", 0x47),
      com::propput<&I::put_ripOnErrorAction>("ripOnErrorAction", 0x47),
      com::propget<&I::get_ripOnErrorRetries>("ripOnErrorRetries", 0x48),
      com::propput<&I::put_ripOnErrorRetries>("ripOnErrorRetries", 0x48),
      com::propget<&I::get_ripUseExternalASPI>("ripUseExternalASPI", 0x49, {VT_BOOL}),
      com::propput<&I::put_ripUseExternalASPI>("ripUseExternalASPI", 0x49, {VT_BOOL}),
      com::propget<&I::get_cddbTimeOut>("cddbTimeOut", 0x50),
      com::propput<&I::put_cddbTimeOut>("cddbTimeOut", 0x50),
      com::propget<&I::get_cddbServerAddress>("cddbServerAddress", 0x51),
      com::propput<&I::put_cddbServerAddress>("cddbServerAddress", 0x51),
      com::propget<&I::get_cddbAgentName>("cddbAgentName", 0x52),
      com::propput<&I::put_cddbAgentName>("cddbAgentName", 0x52),
      com::propget<&I::get_cddbServerHTTPPort>("cddbServerHTTPPort", 0x53),
      com::propput<&I::put_cddbServerHTTPPort>("cddbServerHTTPPort", 0x53),
      com::propget<&I::get_cddbUserEMail>("cddbUserEMail", 0x54),
      com::propput<&I::put_cddbUserEMail>("cddbUserEMail", 0x54),
      com::propget<&I::get_cddbCGIScript>("cddbCGIScript", 0x55),
      com::propput<&I::put_cddbCGIScript>("cddbCGIScript", 0x55),
      com::propget<&I::get_cddbInfoArtist>("cddbInfoArtist", 0x56),
      com::propget<&I::get_cddbInfoAlbum>("cddbInfoAlbum", 0x57),
      com::propget<&I::get_cddbInfoGenre>("cddbInfoGenre", 0x58),
      com::propget<&I::get_cddbInfoTitle>("cddbInfoTitle", 0x59),
      com::propget<&I::get_trackNum>("trackNum", 0x5a),
      com::propput<&I::put_trackNum>("trackNum", 0x5a),
      com::propget<&I::get_trackCount>("trackCount", 0x5b),
      com::propget<&I::get_trackDuration>("trackDuration", 0x5c),
      com::propget<&I::get_trackSamples>("trackSamples", 0x5d),
      com::propget<&I::get_trackFormatString>("trackFormatString", 0x5e),
      com::method<&I::GetAudioPlayer2Interface>("GetAudioPlayer2Interface", 0x64),
      com::method<&I::GetAudioFile2Interface>("GetAudioFile2Interface", 0x65),
      com::method<&I::RipTrackToAudioFile2Format>("RipTrackToAudioFile2Format", 0x66),
      com::method<&I::_OnEvent>("_OnEvent", 0x6e),
      com::propget<&I::get_driveSpeedMax>("driveSpeedMax", 0x6f, {VT_BOOL}),
      com::propput<&I::put_driveSpeedMax>("driveSpeedMax", 0x6f, {VT_BOOL}),
      com::method<&I::RipRangeToAudioFile2Format>("RipRangeToAudioFile2Format", 0x70),
      com::method<&I::BeginCDDBInfo>("BeginCDDBInfo", 0x71),
      com::method<&I::CancelCDDBInfo>("CancelCDDBInfo", 0x72),
  });
  return table;
}

BSTR AudioCDRipper2::newBstr(const std::string& utf8) { return com::NewBstr(utf8); }

std::string AudioCDRipper2::fromBstr(BSTR text) { return com::Utf8Of(text); }

}  // namespace engine
