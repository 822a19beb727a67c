#include "frontend/verified_steps.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

#include "client/ctdb_lookup.h"
#include "frontend/settings/settings_store.h"

namespace quavern {

int grabModeSetting(const SettingsStore& settings) {
  const int mode = settings.readInt("cd", "grab mode", 1);
  return mode >= 0 && mode <= kGrabModeVerified ? mode : 1;
}

RipModePresetConstants grabModePreset(int grabMode) {
  if (grabMode == kGrabModeVerified) return BURST;
  if (grabMode < 0 || grabMode > 3) return SYNCH;
  return static_cast<RipModePresetConstants>(grabMode + 1);
}

std::string ctdbServerText(const SettingsStore& settings) {
  return settings.readText("ctdb", "server", client::DefaultCtdbServer());
}

bool ctdbAsked(const std::string& text) {
  std::string error;
  const std::optional<client::CtdbServer> server = client::ParseCtdbServer(text, error);
  return server && !server->none;
}

namespace {
constexpr const char* kAccurateCtdb = "accurate (CTDB), confidence ";
}

std::vector<std::string> ctdbSummary(const client::RipLog& log) {
  std::vector<std::string> lines;
  for (const client::RipLogTrack& track : log.tracks) {
    if (!track.ripped || track.ctdb.empty()) continue;
    if (track.ctdb.rfind("accurate", 0) != 0 && track.ctdb.rfind("not accurate", 0) != 0) continue;
    lines.push_back("Track " + std::to_string(track.number) + ": " + track.ctdb + ".");
  }
  return lines;
}

std::string ctdbQuiet(const client::RipLog& log) {
  long lowest = -1;
  bool wrong = false;
  for (const client::RipLogTrack& track : log.tracks) {
    if (!track.ripped || track.ctdb.empty()) continue;
    if (track.ctdb.rfind(kAccurateCtdb, 0) == 0) {
      const long confidence = std::atol(track.ctdb.c_str() + std::char_traits<char>::length(kAccurateCtdb));
      lowest = lowest < 0 ? confidence : std::min(lowest, confidence);
    } else if (track.ctdb.rfind("not accurate", 0) == 0) {
      wrong = true;
    }
  }
  if (wrong) return "not accurate (CTDB)";
  return lowest < 0 ? std::string() : kAccurateCtdb + std::to_string(lowest);
}

VerifiedSteps::VerifiedSteps() = default;

VerifiedSteps::~VerifiedSteps() { giveUp(); }

void VerifiedSteps::begin(bool on, int retries, int speed, int errorAction) {
  giveUp();
  on_ = on;
  lookedUp_ = false;
  rereading = false;
  retries_ = retries;
  speed_ = speed;
  errorAction_ = errorAction;
  mode_ = BURST;
  found_ = {};
}

void VerifiedSteps::lookUpFirst(const std::string& accurateRipServer, const std::string& ctdbServer,
                                const std::optional<proof::AccurateRipDiscId>& disc, const proof::DiscLayout& layout,
                                std::function<void()> ready) {
  ready_ = std::move(ready);
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  pending_ = std::async(std::launch::async, [accurateRipServer, ctdbServer, disc, layout, cancel = cancel_] {
    return client::LookUpProof(accurateRipServer, ctdbServer, disc, layout, cancel.get());
  });
  if (!poll_) {
    poll_ = std::make_unique<QTimer>();
    poll_->setInterval(20);
    QObject::connect(poll_.get(), &QTimer::timeout, [this] {
      if (!pending_.valid() || pending_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
      poll_->stop();
      found_ = pending_.get();
      lookedUp_ = true;
      if (ready_) std::exchange(ready_, nullptr)();
    });
  }
  poll_->start();
}

void VerifiedSteps::giveUp() {
  if (poll_) poll_->stop();
  ready_ = nullptr;
  if (pending_.valid()) {
    cancel_->store(true);
    pending_.wait();
    pending_ = {};
  }
}

void VerifiedSteps::putMode(IAudioCDRipper2* engine, RipModePresetConstants preset) {
  mode_ = preset;
  if (engine == nullptr) return;
  // The preset first: it sets retries, speed and (for PLAY) the action.
  engine->put_ripModePreset(preset);
  engine->put_ripOnErrorRetries(retries_);
  engine->put_driveSpeed(speed_);
  engine->put_ripOnErrorAction(static_cast<RipActionOnErrorConstants>(errorAction_));
}

}  // namespace quavern
