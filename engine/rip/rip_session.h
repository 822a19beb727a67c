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
//   - The session owns the rip's state (RipJob: where the block loop is,
//     the exact reader's tail, the output). The entry fills it on the
//     client's thread before the thread starts; the rip thread owns it
//     afterwards, except what rip_job.h names as shared with the timer
//     thread's pump.
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

#include "engine/com/busy_claim.h"
#include "engine/rip/rip_job.h"
#include "platform/com/com.h"
#include "platform/com/com_thread.h"

namespace engine {

class AudioCDRipper2;

class RipSession {
 public:
  // `claim` is the entry's claim of kRipStarting; the session ends it.
  RipSession(AudioCDRipper2& engine, BusyClaim claim);
  ~RipSession();  // joins a thread still running, pumping
  RipSession(const RipSession&) = delete;
  RipSession& operator=(const RipSession&) = delete;

  RipJob& job() { return job_; }

  // Client's thread, once the output is open: starts the rip thread, which
  // takes its marshalled pointer to the engine from `ownStream`.
  void start(IStream* ownStream);
  // Rip thread: the rip holds the drive and reads (kRipStarting -> kRipping).
  void nowRipping() { claim_.moveTo(Busy::kRipping); }

  // Client's thread.
  bool finished() const { return thread_.finished(); }  // joining takes no wait
  void join() { thread_.join(); }

 private:
  void threadMain(IStream* ownStream);

  AudioCDRipper2& engine_;
  BusyClaim claim_;                     // rip thread, once started
  RipJob job_;                          // see above
  com::ComThread thread_;               // client's thread; the last member, joined first
};

}  // namespace engine
