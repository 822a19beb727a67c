// The desktop batch's share of the verified mode ([cd] "grab mode" 4,
// "Burst, re-read unconfirmed tracks"): the grab mode's engine preset, the
// databases asked before the first track on a worker thread (the batch
// waits, its caption saying so), the rip mode put on the engine with the
// user's retries, speed and action, and the decision to read a track again.
// The decisions are the client library's (client/verified_mode.h), as
// ripmarrow's. Also the CUETools database's verdicts in the batch's words.
// GUI thread only, but for the worker, which owns nothing of this.
#pragma once

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/verified_mode.h"
#include "components/trackmill2.h"

class QTimer;

namespace quavern {

class SettingsStore;

inline constexpr int kGrabModeVerified = 4;

// [cd] "grab mode" as stored: 0 burst … 3 paranoid, 4 verified; anything
// else is taken as the default, 1 (synch).
int grabModeSetting(const SettingsStore& settings);
// The engine preset a grab mode starts with: BURST for the verified mode,
// never anything past PARANOID.
RipModePresetConstants grabModePreset(int grabMode);
// [ctdb] "server" as set ("http[s]://HOST[:PORT][/PATH]", "HOST[:PORT]" or "none").
std::string ctdbServerText(const SettingsStore& settings);
// The text names a CUETools server to ask (not "none", not malformed).
bool ctdbAsked(const std::string& text);

// The CUETools database's verdicts for the summary ("Track 2: accurate
// (CTDB), confidence 5") and the window's few words ("accurate (CTDB),
// confidence 5", "not accurate (CTDB)"); nothing when it was not asked or
// did not know the disc.
std::vector<std::string> ctdbSummary(const client::RipLog& log);
std::string ctdbQuiet(const client::RipLog& log);

class VerifiedSteps {
 public:
  VerifiedSteps();
  ~VerifiedSteps();  // gives up a running look-up and waits for its worker

  // A batch starts: `on` for the verified mode; the user's retries, speed
  // and action, put again after every change of the preset.
  void begin(bool on, int retries, int speed, int errorAction);
  bool on() const { return on_; }

  // Asks both databases on a worker; `ready` runs on the GUI thread with the
  // answers (never after giveUp or the destructor).
  void lookUpFirst(const std::string& accurateRipServer, const std::string& ctdbServer,
                   const std::optional<proof::AccurateRipDiscId>& disc, const proof::DiscLayout& layout,
                   std::function<void()> ready);
  void giveUp();
  // A stop: the look-up ends within about a second, its `ready` still runs.
  void cancel() {
    if (cancel_) cancel_->store(true);
  }
  const client::ProofLookups& found() const { return found_; }
  bool lookedUp() const { return lookedUp_; }

  // Puts `preset` on the engine with the user's retries, speed and action.
  void putMode(IAudioCDRipper2* engine, RipModePresetConstants preset);
  RipModePresetConstants mode() const { return mode_; }

  // A track just ripped whole in BURST that no database confirms.
  bool needsReread(const client::RipLogTrack& track) const {
    return on_ && lookedUp_ && mode_ == BURST && !client::TrackConfirmed(found_, track);
  }
  // The track being read again, in SECURE.
  bool rereading = false;

 private:
  bool on_ = false;
  bool lookedUp_ = false;
  int retries_ = 5, speed_ = 32, errorAction_ = 3;
  RipModePresetConstants mode_ = BURST;
  client::ProofLookups found_;
  std::future<client::ProofLookups> pending_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  std::unique_ptr<QTimer> poll_;
  std::function<void()> ready_;
};

}  // namespace quavern
