// RipSession: one rip, from the moment its entry accepts it to the end of
// its thread. Who owns what:
//   - The engine object (AudioCDRipper2) owns its sessions, on the client's
//     thread: the running one and earlier ones whose threads have not been
//     joined yet. It joins them: when the next rip is accepted (those that
//     have finished), in DriverOpen and DriverClose, and at its final
//     release, always running incoming calls while it waits.
//   - The session owns the busy claim its entry took (kRipStarting). The
//     rip thread moves it on to kRipping once it holds the drive and gives
//     it back (kIdle) at its end, after it has let go of the drive and
//     before its last RipProgress(100).
//   - The session owns the rip's settings (RipSettings, taken by the entry
//     and constant from then on) and its state (RipJob: where the block
//     loop is, the exact reader's tail, the output). The entry fills the
//     state on the client's thread before the thread starts; the rip thread
//     owns it afterwards, except what rip_job.h names as shared with the
//     timer thread's pump.
//   - The rip thread runs its steps on the engine object's shared parts,
//     each under the guard audio_cd_ripper.h gives it: the transport and
//     the drive handle with driveLock_ held (from its start to its end),
//     the codec with codecLock_, the events through its own marshalled
//     pointer.
//   - The session owns the rip thread, a com::ComThread: never detached,
//     so once the engine object is gone (and with it the module's lock) no
//     code of the library runs on it any more. The thread holds its own
//     marshalled pointer to the engine until its very last step; releasing
//     it is a call posted to the client's thread, so the object's final
//     release never runs on the rip thread and the destructor that joins
//     the thread never waits for itself.
//
// One wait must never happen: the thread's last event goes to the client's
// thread through a synchronous call, and a handler of that event runs
// while the thread waits for it. Joining from inside such a handler would
// wait forever, so inside a worker's event the engine joins only sessions
// whose thread has finished and leaves the others to a later join.
#pragma once

#include <cstdint>
#include <span>

#include "components/trackmill2.h"
#include "engine/com/busy_claim.h"
#include "engine/rip/rip_job.h"
#include "platform/com/com.h"
#include "platform/com/com_thread.h"

namespace engine {

class AudioCDRipper2;

// The settings a rip reads, taken by its entry on the client's thread. The
// puts refuse while the rip holds its claim, so they are the settings of
// the whole rip. The on-error action is not among them: a put may change it
// during a rip, which reads it once per block.
struct RipSettings {
  uint32_t framesPerRead = 26;  // at least 1
  uint32_t overlapFrames = 0;   // N, the exact reads' tail
  uint32_t rewindFrames = 0;    // J, where an exact read starts before its block
  bool exact = false;           // the overlapped modes' located reads (exact_read.h)
  int32_t preset = BURST;
  int32_t retries = 20;
  bool lockTray = true;
  int32_t spinUpMs = 1000;
  int32_t readSpeed = 32;  // multiples of the single speed
  bool speedMax = false;   // the drive's highest speed, unpaced
};

class RipSession {
 public:
  // `claim` is the entry's claim of kRipStarting; the session ends it.
  RipSession(AudioCDRipper2& engine, BusyClaim claim, const RipSettings& settings);
  ~RipSession();  // joins a thread still running, pumping
  RipSession(const RipSession&) = delete;
  RipSession& operator=(const RipSession&) = delete;

  RipJob& job() { return job_; }

  // Client's thread, once the output is open: starts the rip thread, which
  // takes its marshalled pointer to the engine from `ownStream`.
  void start(IStream* ownStream);

  // Client's thread.
  bool finished() const { return thread_.finished(); }  // joining takes no wait
  void join() { thread_.join(); }

 private:
  enum class BlockRead { kRead, kFailed, kAbandoned };

  // The rip thread (rip_session.cpp): its frame, and its events.
  void threadMain(IStream* ownStream);
  void raiseRipError(ErrcodeConstants code);
  void raiseRipProgress(int32_t percent);

  // The rip thread's steps (rip_thread.cpp), with the engine's driveLock_
  // held. commonStart answers false when the rip cannot start (no drive).
  bool commonStart();
  // Where the rip reads and what it hands on (the read offset's window),
  // and the checksums it keeps.
  void placeRip();
  // True when the loop read to the end of the track.
  bool blockLoop();
  void chooseC2();
  void encodedProgress();  // an encoded rip's progress, from what the pump handed on
  void appendPcm(std::span<const uint8_t> audio);  // to the encoder's ring, waiting while it is full
  void storeLoudness();  // the end of the block loop, when the rip measured
  void endSequence();
  void finishOutputAfterFailedStart();

  // One block (block_reader.cpp). readBlock: the plain read of PLAY and
  // BURST. readExactBlock: the overlapped modes' read, located on the tail
  // of the last confirmed block or fixed by a plurality of reads, and
  // confirmed as the mode asks (exact_read.h). Read: the block's frames
  // are at the start of the read buffer. Failed: not confirmed within the
  // retries.
  BlockRead readBlock(uint32_t cur, uint32_t frames);
  BlockRead readExactBlock(uint32_t cur, uint32_t frames);
  uint32_t exactRewindFrames() const;  // frames an exact read starts before its block
  void defeatCache(uint32_t cur, uint32_t frames);

  AudioCDRipper2& engine_;
  const RipSettings settings_;
  BusyClaim claim_;                 // rip thread, once started
  RipJob job_;                      // see above
  IAudioCDRipper2* own_ = nullptr;  // rip thread: its marshalled pointer to the engine
  com::ComThread thread_;           // client's thread; the last member, joined first
};

}  // namespace engine
