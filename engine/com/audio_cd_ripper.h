// AudioCDRipper2: the engine object behind IAudioCDRipper2. One object owns
// everything a client does with a CD drive: it selects a drive, reads the
// disc, and (with later parts) rips, looks up titles and plays, reporting
// through the events of _IAudioCDRipper2Events.
//
// The class spans several files by concern, all under this one class:
//   audio_cd_ripper.cpp            identity, dispatch table, creation, final release
//   audio_cd_ripper_lifecycle.cpp  DriverOpen, DriverClose, the timer thread
//   audio_cd_ripper_events.cpp     Error and the other events, _OnEvent
//   audio_cd_ripper_properties.cpp the rip settings and track properties, CDDB settings
//   audio_cd_ripper_drive.cpp      transport and drive handle, drive properties, Eject
//   audio_cd_ripper_disc.cpp       Refresh, cdType, cdID
//   audio_cd_ripper_cddb.cpp       GetCDDBInfo and the CDDB information properties
//   audio_cd_ripper_cddb_async.cpp BeginCDDBInfo, CancelCDDBInfo and their look-up threads
//   audio_cd_ripper_playback.cpp   PlayTrack and the other playback members, the player's events
//   audio_cd_ripper_monitor.cpp    the disc-change monitor run by the timer thread
//   engine/rip/rip_entry.cpp       the RipTrackTo operations, StopRip, joining the rip sessions
//   engine/rip/rip_session.h       one rip (a class of its own): its claim, its settings,
//                                  its state and its joined thread; the rip thread's
//                                  steps in rip_session.cpp, rip_thread.cpp, block_reader.cpp
//   engine/rip/encoder_pump.cpp    the timer thread's pump into the codec
//   engine/rip/rip_formats.cpp     the format operations, SetFormatMP3Ex
//
// Contract with clients: every member answers S_OK (E_POINTER only for a
// null out-pointer, which no dispatch caller can pass). A failure is
// reported only by the Error event, after lastError is set; a failed get
// leaves its out value unwritten.
//
// Threads, and what each shared field is guarded by (every field below says
// which of these applies):
//   client   the client's thread: every interface call arrives on it, every
//            event is fired on it (the player's events reach the sink there
//            too). Fields marked so are touched by no other thread.
//   settings written on the client's thread only while busy_ is kIdle:
//            every put that changes one does nothing while busy_ is not
//            kIdle (a rip, a playback, a Refresh, the report's sub-channel
//            read or a DriverClose under way); DriverOpen writes them after
//            it has ended every rip. Read by a rip's entry, which copies
//            the read parameters into the rip's RipSettings, and by the rip
//            thread (the drive's selection, the disc): the busy claim's
//            compare-and-swap and the thread's start order the writes
//            before the reads.
//   rip      written and read by rip threads only, one at a time: a rip's
//            claim is taken only after the last rip gave its claim back,
//            which orders one rip's writes before the next one's reads.
//   drive    guarded by driveLock_: the transport, the drive handle and the
//            device layer's process-wide tables behind them are used by one
//            thread at a time, the one holding driveLock_.
//   codec    guarded by codecLock_: one call into the codec component at a
//            time (the client's format calls, the pump, the rip's end).
//   atomic   read and written by several threads without a lock.
//
// The threads besides the client's: the timer thread (DriverOpen to
// DriverClose; the disc-change monitor, or the encoder pump while converting_
// is set), the rip threads, one reading at a time (a finished one may
// still be delivering its last event while the next reads), and the
// look-up threads of BeginCDDBInfo (cddb_lookup.h: they never touch the
// drive, only the network, cdplayer.ini and their own CddbLookup). They raise
// events by queueing them in workerEvents_ and calling _OnEvent through
// their own marshalled pointer, which runs it on the client's thread while
// they wait. Every one of them is joined, never detached: the timer thread
// by DriverClose and the final release, a rip's by the next rip (once it has
// finished), by DriverOpen, DriverClose and the final release
// (rip_session.h). The object
// holds the module's lock until its destructor has joined them all, so
// DllCanUnloadNow answers no while any thread of the engine runs.
//
// busy_ is the one state of the object's work that every entry point
// consults, and it leaves kIdle only through a BusyClaim (busy_claim.h):
// a rip's entry claims kRipStarting and hands the claim to the rip session,
// whose thread moves it on to kRipping once it holds the drive and gives it
// back at its very end, after it has let go of the drive and before its
// last RipProgress(100); PlayTrack claims kPlaying and keeps the claim in
// playback_ until StopPlay; Refresh and the report's sub-channel read claim
// kRefreshing, DriverClose kClosing, each for the length of the call.
// While a rip holds the drive (kRipStarting, kRipping) the rip thread holds
// driveLock_ and the client's thread never waits for it: every entry point
// looks at busy_ first. The monitor takes driveLock_ only by trying, polls
// only when it then finds busy_ kIdle, and lets go of it before it raises an
// event, so a handler may take the drive.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "components/wavesmith2.h"
#include "engine/cddb/track_titles.h"
#include "engine/com/busy_claim.h"
#include "engine/com/cddb_lookup.h"
#include "engine/com/cd_audio_device.h"
#include "engine/com/rip_report.h"
#include "engine/device/cd_text.h"
#include "engine/device/device_types.h"
#include "engine/device/disc_layout.h"
#include "engine/device/track_buffer.h"
#include "engine/log/diagnostic_log.h"
#include "engine/rip/rip_counts.h"
#include "engine/rip/track_loudness.h"
#include "platform/com/com.h"

namespace engine {

class PlayerEventSink;
class RipSession;
struct RipJob;
struct RipSettings;

// Event codes stored in pendingEvent_ before _OnEvent.
enum PendingEvent : int32_t {
  kEventError = 0,
  kEventRipProgress = 1,
  kEventRipRetry = 2,
  kEventMediaChange = 3,
  kEventTimer = 4,
  kEventEndTrackPlay = 5,
  kEventCddbStatus = 6,  // CDDBQueryStatus of a look-up thread; the value is the status
  kEventCddbEnd = 7,     // a look-up thread's end; the value is its CddbLookup::id
};

inline constexpr int16_t kMediaIn = 3;
inline constexpr int16_t kNoMedia = 2;
// The C2 setting (IAudioCDRipperReport::c2Mode).
inline constexpr int32_t kC2Auto = 0;
inline constexpr int32_t kC2On = 1;
inline constexpr int32_t kC2Off = 2;

class AudioCDRipper2 final
    : public com::ComObject<AudioCDRipper2, IAudioCDRipper2, IConnectionPointContainer> {
 public:
  // The CD audio device stands in for the system's MCI CD audio service
  // (the last track's length); null takes the one over the drive itself.
  explicit AudioCDRipper2(std::unique_ptr<CdAudioDevice> cdAudio = nullptr);
  ~AudioCDRipper2() override;

  static const com::DispatchTable& dispatchTable();
  com::ConnectionPoints& connectionPoints() { return points_; }

  // IAudioCDRipper2
  HRESULT STDMETHODCALLTYPE DriverOpen() override;
  HRESULT STDMETHODCALLTYPE DriverClose() override;
  HRESULT STDMETHODCALLTYPE Eject() override;
  HRESULT STDMETHODCALLTYPE Refresh() override;
  HRESULT STDMETHODCALLTYPE IsAvailableFormatOGG(RipFrequencyConstants frq, RipChannelsConstants chnl,
                                                 RipBitrateConstants nominalBitRate, RipBitrateConstants minBitRate,
                                                 RipBitrateConstants maxBitRate, LONG Quality,
                                                 VARIANT_BOOL* pOGGFormatAvailable) override;
  HRESULT STDMETHODCALLTYPE IsAvailableFormatMP3(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                                                 RipChannelsConstants chnl, VARIANT_BOOL* pMP3FormatAvailable) override;
  HRESULT STDMETHODCALLTYPE SetFormatMP3(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                                         RipChannelsConstants chnl) override;
  HRESULT STDMETHODCALLTYPE SetFormatMP3Ex(IAudioCDRipperLameMP3Encoder2* LameFormat) override;
  HRESULT STDMETHODCALLTYPE SetFormatWMA(LONG Profile) override;
  HRESULT STDMETHODCALLTYPE SetFormatOGG(RipFrequencyConstants frq, RipChannelsConstants chnl,
                                         RipBitrateConstants nominalBitRate, RipBitrateConstants minBitRate,
                                         RipBitrateConstants maxBitRate, LONG Quality) override;
  HRESULT STDMETHODCALLTYPE SetFormatMP2(RipFrequencyConstants frq, RipBitrateConstants Bitrate,
                                         RipChannelsConstants chnl) override;
  HRESULT STDMETHODCALLTYPE RipTrackToWav(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE RipTrackToMP3(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE RipTrackToWMA(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE RipTrackToOGG(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE RipTrackToMP2(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE StopRip() override;
  HRESULT STDMETHODCALLTYPE PlayTrack(SHORT trackNum) override;
  HRESULT STDMETHODCALLTYPE PauseTrack() override;
  HRESULT STDMETHODCALLTYPE SeekTrack(LONG nSamples) override;
  HRESULT STDMETHODCALLTYPE StopPlay() override;
  HRESULT STDMETHODCALLTYPE GetCDDBInfo(CDDBSourceConstants cddbSource, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_driveNum(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_driveNum(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_driveCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_driveLetter(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_driveName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_driveReadType(ReadTypeConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_driveReadType(ReadTypeConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_driveSpeed(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_driveSpeed(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_driveSpinUpTime(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_driveSpinUpTime(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_driveLockCDTrayDuringRip(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_driveLockCDTrayDuringRip(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_cdType(CDDiskTypeConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cdID(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_ripModePreset(RipModePresetConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ripModePreset(RipModePresetConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_ripOnErrorAction(RipActionOnErrorConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ripOnErrorAction(RipActionOnErrorConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_ripOnErrorRetries(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ripOnErrorRetries(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_ripUseExternalASPI(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_ripUseExternalASPI(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbTimeOut(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_cddbTimeOut(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbServerAddress(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_cddbServerAddress(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbAgentName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_cddbAgentName(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbServerHTTPPort(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_cddbServerHTTPPort(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbUserEMail(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_cddbUserEMail(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbCGIScript(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_cddbCGIScript(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbInfoArtist(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbInfoAlbum(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbInfoGenre(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_cddbInfoTitle(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackNum(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_trackNum(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_trackCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackDuration(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackSamples(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_trackFormatString(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE GetAudioPlayer2Interface(IUnknown** ppAudioPlayer2) override;
  HRESULT STDMETHODCALLTYPE GetAudioFile2Interface(IUnknown** ppAudioFile2) override;
  HRESULT STDMETHODCALLTYPE RipTrackToAudioFile2Format(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE RipRangeToAudioFile2Format(LONG firstLba, LONG frames, BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE _OnEvent() override;
  HRESULT STDMETHODCALLTYPE get_driveSpeedMax(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_driveSpeedMax(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE BeginCDDBInfo(CDDBSourceConstants cddbSource) override;
  HRESULT STDMETHODCALLTYPE CancelCDDBInfo() override;

  // IAudioCDRipperReport, the rip report: a part of this object with its
  // own dispatch table (rip_report.h).
  HRESULT queryExtraInterface(REFIID riid, void** ppv);

  // Player events, fired straight through the connection point on the
  // thread the player calls its sink on (the sink forwards them here).
  void onPlayerEvent(DISPID id, const DISPPARAMS* params);

 private:
  friend struct AudioCDRipper2Probe;  // tests look at the state through it
  friend class RipReport;             // the report reads the disc and the read offset
  friend class RipSession;            // a rip runs on the drive, the events and the codec

  // Events (audio_cd_ripper_events.cpp).
  void raiseError(ErrcodeConstants code);           // on the client's thread
  // A worker's event: queues the code with the values stored for it
  // (lastError_, ripPercent_/ripDone_, retryCount_) and calls _OnEvent
  // through `own`, which fires the oldest queued event on the client's thread.
  void raiseFromWorker(IAudioCDRipper2* own, int32_t eventCode);
  // The two halves of raiseFromWorker: the event takes its place in the
  // queue (its serial, 0 when it has no way to the client), then is fired.
  // `value`: the event's own value (the look-up threads' events); without
  // it the stored value of its code travels.
  uint64_t queueWorkerEvent(IAudioCDRipper2* own, int32_t eventCode, std::optional<int32_t> value = std::nullopt);
  void deliverWorkerEvent(IAudioCDRipper2* own, uint64_t serial);
  void fire(DISPID id, std::initializer_list<VARIANT> args = {});
  void fireWorkerEvent(int32_t code, int32_t value);  // _OnEvent's firing of one event
  // The guard of every property: while the disc changed since the last
  // Refresh, MEDIA_CHANGED is raised and the call does nothing more.
  bool mediaChangedGuard();

  // What busy_ says about the drive. Any thread.
  bool idle() const { return busy_.load() == Busy::kIdle; }  // settings may change
  bool ripBusy() const;       // a rip was accepted and has not ended
  bool driveBusy() const;     // a rip or a playback holds the drive
  bool playing() const { return static_cast<bool>(playback_); }  // client's thread

  // Transport and drive handle (audio_cd_ripper_drive.cpp). Every one of
  // these runs with driveLock_ held.
  //
  // takeDrive: the drive afresh for a rip, a playback or a Refresh: the
  // transport is unloaded and, after `settleMs`, loaded again (then
  // `onTransportLoaded` runs), and the handle is made anew. Answers
  // NO_ERRORS, or what is missing: ASPI_DRIVER (no transport; the handle is
  // left as it was) or DRIVE_BUSY (no handle).
  ErrcodeConstants takeDrive(uint32_t settleMs, const std::function<void()>& onTransportLoaded = {});
  // releaseDrive: the drive given back after a rip or a playback: the tray
  // unlocked when asked, then up to 20 readiness checks 200 ms apart, and
  // the disc taken for present (the monitor tells otherwise at its next poll).
  void releaseDrive(bool unlockTray);
  void loadTransport();
  void unloadTransport();
  void createDriveHandle();
  void releaseDriveHandle();
  void checkTransport();
  void reloadTransport();
  bool testDriveReady();
  void selectDrive(LONG driveNum);  // the driveNum put without its log lines
  ErrcodeConstants refreshHoldingDrive();  // Refresh's work (audio_cd_ripper_disc.cpp)

  // Lifecycle (audio_cd_ripper_lifecycle.cpp).
  void createOutsideComponents();
  void releaseOutsideComponents();
  void startTimer();
  void stopTimer();
  void timerLoop(IStream* ownStream);
  void timerTick(IAudioCDRipper2* own);
  void setCddbDefaults();

  // Playback (audio_cd_ripper_playback.cpp). Client's thread.
  void openPlayback();
  void closePlayback();           // StopPlay's work, without its guard
  int32_t readPlayChunk();        // frames of audio staged in playBuffer_
  bool feedSecond();              // false when the player failed and the playback was closed
  void feed(int seconds);
  bool monitorMayWait() const;   // the disc-change handler may keep waiting

  // Disc-change monitor (audio_cd_ripper_monitor.cpp). Timer thread.
  void monitorTick(IAudioCDRipper2* own);
  void mediaChangeHandler(IAudioCDRipper2* own, int32_t gone);
  bool monitorReadToc(std::array<uint8_t, 804>& toc, bool* sameDisc = nullptr);  // takes driveLock_ for the one read
  void monitorRaise(IAudioCDRipper2* own, const char* logLine);

  // Title lookup (audio_cd_ripper_cddb.cpp).
  void pushCddbOptions();          // every CDDB setting to the client, in its order
  bool cddbAttempt(bool online);   // one query and read; fills the info on success
  // One query and read, from the drive (`disc` null, client's thread) or
  // for a disc read before (any thread); `status` raises QUERY and
  // PROCESSANSWER. True with `out` filled when a match was read.
  bool runCddbAttempt(const cddb::CddbDisc* disc, bool online, int32_t timeoutMs, CddbAnswer& out,
                      const std::function<void(int32_t)>& status);
  void installCddbAnswer(CddbAnswer answer);  // the info properties answer it (client's thread)

  // Look-up threads (audio_cd_ripper_cddb_async.cpp).
  void cddbLookupMain(CddbLookup& lookup, IStream* ownStream);  // the thread's body
  void fireCddbEnd(int32_t id);  // the end event on the client's thread: the answer taken, the status fired
  // Client's thread: stops every look-up, then joins their threads while
  // running incoming calls; inside a worker's event only those that have
  // finished (the others wait for a later join).
  void endCddbLookups();

  // The disc's sub-channel layout (rip_report.cpp). Client's thread.
  const device::DiscLayout* subchannelLayout();
  // The disc's CD-TEXT, read on the first question after a Refresh
  // (rip_report.cpp); null when it has none. Client's thread.
  const device::CdText* cdText();

  // The rip pipeline (engine/rip/): the entry here, the rip itself in its
  // session (rip_session.h), which runs the transport, event and codec
  // members above and below on its thread.
  enum class RipOutput { kWav, kMp3, kMp2, kOgg, kWma, kComponent };
  // `range`: the frames a range rip reads; null for the current track.
  struct RipRange {
    uint32_t firstLba;
    uint32_t frames;
  };
  void ripEntry(BSTR fileName, RipOutput output, const char* logLine, const RipRange* range = nullptr);
  RipSettings ripSettings() const;  // the settings a rip takes at its entry
  bool openOutput(RipJob& job, RipOutput output, BSTR fileName);
  // The timer thread's pump of the running rip's PCM into the codec
  // (encoder_pump.cpp).
  void pumpEncoder();
  // Hands `bytes` of PCM to the codec in one SAFEARRAY; false when the codec
  // refused it. With codecLock_ held.
  bool writeToCodec(const uint8_t* pcm, size_t bytes);
  // Client's thread: the rip sessions whose threads have ended are joined
  // (no wait).
  void joinFinishedRips();
  // Client's thread: stops a running rip, waits for its end and joins the
  // rip threads, running incoming calls meanwhile; inside a worker's event
  // only those that have finished (rip_session.h). Called from a handler of
  // one of a running rip's own events (before its RipProgress(100)) it
  // would wait for itself: the rip thread waits for that handler to return.
  void endRips();

  // Log helpers.
  log::DiagnosticLog& log() { return *log_; }

  static BSTR newBstr(const std::string& utf8);
  static std::string fromBstr(BSTR text);

  com::ConnectionPoints points_;              // client: events are fired on its thread only
  std::unique_ptr<log::DiagnosticLog> log_;  // from creation to the final release; any thread (it orders whole lines itself)
  std::unique_ptr<CdAudioDevice> cdAudio_;   // client, used by Refresh with driveLock_ held

  // The work under way and the two locks (see the thread rules above).
  std::atomic<Busy> busy_{Busy::kIdle};
  std::mutex driveLock_;  // the transport, the drive handle, the device layer
  std::mutex codecLock_;  // calls into audioFile_ and lameEncoder_

  // Transport and drives.
  std::atomic<int32_t> scsiManagerLoaded_{0};  // drive; atomic for the readers without it (Eject's order)
  int32_t useExternalAspi_ = 0;                // settings
  std::atomic<int32_t> cdHandle_{0};           // drive; atomic for the readers without it
  int32_t driveIndex_ = 0;                     // settings
  int32_t driveCount_ = 0;                     // client
  device::DriveList driveList_;                // settings
  std::string currentDriveName_;               // client: copied by the driveNum put
  int32_t driveReadType_ = CDRT_ANY;           // settings
  std::atomic<int32_t> mediaCheckDisabled_{0};

  // The disc, as the last Refresh read it: settings (Refresh runs only while
  // busy_ is kIdle), and read by the monitor with driveLock_ held, which
  // Refresh holds while it writes them.
  int32_t trackIndex_ = 0;
  int32_t trackCount_ = 0;
  std::vector<int32_t> trackFrames_;          // audio tracks only, frames of 2352 bytes
  std::array<uint8_t, 804> tocEntries_{};     // the raw table of contents
  int32_t discClass_ = 0;                     // client
  int32_t storedDiscId_ = 0;                  // client
  std::atomic<int16_t> mediaState_{0};        // kMediaIn or kNoMedia
  std::atomic<int16_t> mediaChanged_{0};
  // What the Q sub-channel tells of the disc (catalog number, ISRCs,
  // pregaps), read on the first question after a Refresh (client).
  std::optional<device::DiscLayout> subchannelLayout_;
  bool subchannelLayoutRead_ = false;  // client: read, or tried, since the last Refresh
  std::optional<device::CdText> cdText_;  // client: the disc's CD-TEXT, when it has one
  bool cdTextRead_ = false;               // client: read, or tried, since the last Refresh
  // The drive's read offset in samples: the client puts it, each rip reads
  // it once at its start (atomic).
  std::atomic<int32_t> readOffsetSamples_{0};
  // C2 error pointers: the client's choice (0 auto: when the drive says it
  // has them, 1 on, 2 off), read by each rip at its start; and what the
  // drive said when last asked (-1: not asked yet). Any thread.
  std::atomic<int32_t> c2Setting_{0};
  std::atomic<int32_t> driveReportsC2_{-1};
  // ReplayGain: the client's choice (1: rips measure their loudness), read
  // by each rip at its start (atomic). The disc's loudness: the meter of
  // each track rip that measured and reached its track's end, by track
  // (from 1; a later rip of a track replaces it), with the table of contents
  // they were ripped from: a rip from another disc starts afresh, and the
  // report answers only while the disc is the one Refresh last read. The
  // rip thread stores, the report reads, both under loudnessLock_; a meter
  // is no longer fed once stored.
  std::atomic<int32_t> replayGainSetting_{0};
  std::mutex loudnessLock_;
  std::array<uint8_t, 804> loudnessToc_{};                         // guarded by loudnessLock_
  std::map<int32_t, std::shared_ptr<const TrackLoudness>> discLoudness_;  // guarded by loudnessLock_

  // Events and their values; written by workers too.
  std::atomic<int32_t> stopRequested_{0};
  std::atomic<int32_t> lastError_{0};
  std::atomic<int32_t> pendingEvent_{0};  // the last event code queued, for a client's own _OnEvent call
  std::atomic<int16_t> ripPercent_{0};
  std::atomic<int32_t> ripDone_{0};
  std::atomic<int16_t> retryCount_{0};
  std::atomic<int32_t> samplesPlayed_{0};
  std::atomic<int32_t> levelLeft_{0};
  std::atomic<int32_t> levelRight_{0};
  // Workers' events waiting for _OnEvent, oldest first: the timer thread and
  // a rip thread may raise at the same time, and each event keeps its values.
  struct WorkerEvent {
    int32_t code;
    int32_t value;
    uint64_t serial;
  };
  std::mutex workerEventsLock_;
  std::deque<WorkerEvent> workerEvents_;  // guarded by workerEventsLock_
  uint64_t workerEventSerial_ = 0;        // guarded by workerEventsLock_
  int32_t workerEventDepth_ = 0;          // client: workers' events being fired (their threads wait)

  // Read parameters and rip settings: settings, except the on-error action,
  // which a put may change during a rip (the rip reads it once per block).
  int16_t framesPerRead_ = 26;
  uint8_t overlapFrames_ = 0;
  uint8_t rewindFrames_ = 0;
  int16_t readAlgorithm_ = 0;
  std::atomic<int32_t> ripOnErrorAction_{CUT};
  int32_t ripOnErrorRetries_ = 20;
  int32_t ripModePreset_ = BURST;
  // The preset each drive's last rip used (rip; DriverOpen sets BURST, the
  // preset it starts with): a rip with another one lets the drive settle
  // before it takes the drive afresh (rip_thread.cpp).
  std::array<int32_t, device::kMaxListedDrives> lastRipPreset_{};
  std::atomic<uint32_t> settlePauses_{0};  // pauses taken for a changed preset, for tests
  int32_t lockTray_ = 1;
  int32_t spinUpMs_ = 1000;
  int32_t readSpeed_ = 32;  // multiples of the single speed
  int32_t speedMax_ = 0;    // settings: rips read at the drive's highest speed, unpaced

  // Output formats and outside components: the pointers are set and reset
  // by DriverOpen and DriverClose on the client's thread while no rip runs;
  // calls through the codec's pointers hold codecLock_. A client that took
  // the codec through GetAudioFile2Interface calls it on its own thread and
  // must not do so during an encoded rip.
  std::array<int32_t, 4> formatUnset_{1, 1, 1, 1};  // settings: WMA, OGG, MP3, MP2
  HRESULT codecStatus_ = S_OK;                      // settings
  com::ComPtr<IAudioFile2> audioFile_;
  com::ComPtr<IAudioFile2LameEnc> lameEncoder_;
  com::ComPtr<IAudioPlayer2> player_;
  com::ComPtr<PlayerEventSink> playerSink_;
  DWORD playerCookie_ = 0;
  int32_t playerConnected_ = 0;

  // CDDB settings (client's thread).
  std::string cddbServer_;
  std::string cddbScript_;
  int32_t cddbPort_ = 80;
  std::string cddbAgent_;
  std::string cddbUserEmail_;
  int32_t cddbTimeOutMs_ = 4000;
  int32_t cddbWriteBack_ = 1;  // every on-line read is stored in cdplayer.ini

  // The last lookup's result (client's thread). The info properties read
  // empty while cddbInfoValid_ is false.
  int32_t cddbOnline_ = 0;  // 1 while the current attempt is on-line
  bool cddbInfoValid_ = false;
  std::string cddbInfoArtist_;
  std::string cddbInfoAlbum_;
  std::string cddbInfoGenre_;
  cddb::TrackTitles cddbTitles_;
  // BeginCDDBInfo's look-ups (client's thread; each one's own fields are
  // guarded as cddb_lookup.h says): the running one last, and stopped ones
  // whose thread is not joined yet. Their answers reach the info fields
  // above only on the client's thread, when the end event fires.
  std::vector<std::unique_ptr<CddbLookup>> cddbLookups_;
  int32_t cddbLookupSerial_ = 0;  // client: the last look-up's id

  // The rips (rip_session.h): the sessions are the client's thread's, the
  // running one last; each one's state belongs to its thread. The timer
  // thread's pump touches the job in pumpJob_ (its PCM buffer, events and
  // counters, rip_job.h) only while converting_ is set; the rip thread sets
  // pumpJob_ before it sets converting_.
  std::vector<std::unique_ptr<RipSession>> rips_;
  std::atomic<RipJob*> pumpJob_{nullptr};
  std::atomic<int32_t> converting_{0};        // the timer thread pumps PCM instead of polling
  std::atomic<int32_t> pumpBusy_{0};          // a pump tick is running: set before converting_ is looked at
  RipCounts ripCounts_;                       // atomic: the rip thread counts, the rip report reads
  RipReport report_{identity(), ripCounts_, *this};  // the report interface over ripCounts_ and the disc
  bool drivePaced_ = true;                    // drive: false while the drive answers at once (no settling pauses)

  // Playback: client's thread (the player's events reach the sink there too),
  // except the atomics above and below.
  BusyClaim playback_;            // kPlaying from the player's start to StopPlay: a playback plays
  std::atomic<int32_t> paused_{0};
  int32_t seekBase_ = 0;          // sample frames: where the player's own count started
  int32_t trackEnded_ = 0;        // the reader has reached the end of the track
  int32_t chunkFrames_ = 25;      // frames per drive read
  int32_t playResets_ = 0;        // failed chunk reads since the drive was last reset
  uint32_t playStartLba_ = 0;
  uint32_t playCurLba_ = 0;
  uint32_t playEndLba_ = 0;       // the track's end: its last frame is playEndLba_ - 1
  LONG playerBufferMs_ = 0;       // SetBufferTime's answer, kept
  AudioPlayer2State playStatus_{};
  std::vector<uint8_t> playBuffer_;       // one chunk staged; empty while no playback
  device::TrackBufferPtr playReadBuffer_;  // the drive's reads land here

  // Disc-change monitor (timer thread).
  std::atomic<uint32_t> monitorTicks_{0};  // disc checks done, for diagnostics and tests

  // The timer thread: DriverOpen starts it, DriverClose stops and joins it.
  uint32_t timerPeriodMs_ = 20;            // client, before the thread starts
  std::atomic<int32_t> timerRunning_{0};   // the loop's flag
  std::atomic<int32_t> timerEnabled_{0};   // the ticks' gate: off until DriverOpen is done and from DriverClose on
  com::ComThread timerThread_;  // client's thread
  bool driverOpen_ = false;     // client's thread: between DriverOpen and DriverClose
  bool deviceLogOwned_ = false; // client: this object's log takes the device layer's lines
};

}  // namespace engine
