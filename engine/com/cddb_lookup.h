// One look-up that BeginCDDBInfo started: what it asks, its stop, its
// answer and its thread. Who owns what:
//   - The engine object owns its look-ups on the client's thread (the
//     running one last, stopped ones until their thread is joined).
//   - The fields before `stop` are written on the client's thread before
//     the thread starts and only read afterwards.
//   - The thread writes the answer under `lock` and then raises the end
//     event, whose firing on the client's thread reads it under `lock`.
//   - The thread holds its own marshalled pointer to the engine, as the
//     rip threads do, until its last step; the engine joins it (running
//     incoming calls meanwhile) in DriverOpen, DriverClose, its final
//     release and a later BeginCDDBInfo, and never from inside the end
//     event's handlers while that thread still runs.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/cddb/cddb_client.h"
#include "engine/cddb/track_titles.h"
#include "platform/com/com_thread.h"
#include "platform/sockets/stop_signal.h"

namespace engine {

// What one look-up found: the chosen match and its track titles.
struct CddbAnswer {
  bool found = false;
  std::string artist, album, genre;
  cddb::TrackTitles titles;
};

struct CddbLookup {
  int32_t id = 0;                      // the value its end event carries
  int32_t source = 0;                  // CDDBSourceConstants
  int32_t timeoutMs = 0;
  bool discRead = false;               // the drive gave the disc's identity
  cddb::CddbDisc disc;                 // read from the drive before the thread starts
  std::array<uint8_t, 804> toc{};      // the disc as the last Refresh read it, at the start
  platform::sockets::StopSignal stop;  // any thread
  std::mutex lock;
  CddbAnswer answer;                   // guarded by lock
  bool ended = false;                  // guarded by lock: the answer is final
  bool joining = false;                // client's thread: a join of its thread is under way
  com::ComThread thread;               // client's thread; the last member, joined first
};

}  // namespace engine
