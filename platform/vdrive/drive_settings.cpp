#include "platform/vdrive/drive_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

#include "platform/vdrive/disc_description.h"

namespace platform::vdrive {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  size_t b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

class Reader {
 public:
  explicit Reader(const std::map<std::string, std::string>& settings) {
    for (const auto& [k, v] : settings) values_[lower(trim(k))] = trim(v);
  }

  bool has(const std::string& key) const { return values_.count(key) != 0; }
  std::string text(const std::string& key, const std::string& fallback = "") {
    used_.push_back(key);
    auto it = values_.find(key);
    return it == values_.end() ? fallback : it->second;
  }

  [[noreturn]] void fail(const std::string& key, const std::string& why) const {
    throw DriveSettingsError(key, "virtual drive setting '" + key + "': " + why);
  }

  int64_t number(const std::string& key, const std::string& value, int64_t low, int64_t high) const {
    int64_t v = 0;
    // "+667" is how drive offsets are written; a sign before a digit only.
    const bool plus = value.size() > 1 && value[0] == '+' && value[1] >= '0' && value[1] <= '9';
    auto [ptr, ec] = std::from_chars(value.data() + (plus ? 1 : 0), value.data() + value.size(), v);
    if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() || v < low || v > high)
      fail(key, "'" + value + "' is not a number from " + std::to_string(low) + " to " + std::to_string(high));
    return v;
  }

  int64_t numberOr(const std::string& key, int64_t fallback, int64_t low, int64_t high) {
    if (!has(key)) {
      used_.push_back(key);
      return fallback;
    }
    return number(key, text(key), low, high);
  }

  void checkAllUsed() const {
    for (const auto& [k, v] : values_)
      if (std::find(used_.begin(), used_.end(), k) == used_.end()) fail(k, "unknown key");
  }

  // "after:N" or "at:Tms", optionally followed by ",not-ready:P".
  DriveEvent event(const std::string& key, DriveEvent::Kind kind) {
    DriveEvent e;
    e.kind = kind;
    std::stringstream in(text(key));
    std::string part;
    bool haveWhen = false;
    while (std::getline(in, part, ',')) {
      part = trim(part);
      size_t colon = part.find(':');
      std::string name = colon == std::string::npos ? part : part.substr(0, colon);
      std::string value = colon == std::string::npos ? "" : part.substr(colon + 1);
      if (name == "after") {
        e.trigger = DriveEvent::Trigger::AfterCommands;
        e.when = static_cast<uint64_t>(number(key, value, 0, INT64_MAX));
        haveWhen = true;
      } else if (name == "at") {
        if (value.size() > 2 && value.compare(value.size() - 2, 2, "ms") == 0) value.resize(value.size() - 2);
        e.trigger = DriveEvent::Trigger::AtMs;
        e.when = static_cast<uint64_t>(number(key, value, 0, INT64_MAX));
        haveWhen = true;
      } else if (name == "not-ready") {
        e.notReadyPolls = static_cast<int>(number(key, value, 0, 1000000));
      } else {
        fail(key, "expected after:N or at:Tms, optionally with ,not-ready:P");
      }
    }
    if (!haveWhen) fail(key, "expected after:N or at:Tms");
    return e;
  }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> used_;
};

std::vector<UnreadableRange> unreadableList(Reader& r, const std::string& value, int& randomCount,
                                            const std::string& key = "unreadable") {
  std::vector<UnreadableRange> out;
  std::stringstream in(value);
  std::string part;
  while (std::getline(in, part, ',')) {
    part = trim(part);
    if (part.empty()) continue;
    if (part.rfind("random:", 0) == 0) {
      randomCount = static_cast<int>(r.number(key, part.substr(7), 0, 100000));
      continue;
    }
    UnreadableRange u;
    size_t x = part.find('x');
    if (x != std::string::npos) {
      u.failingAttempts = static_cast<int>(r.number(key, part.substr(x + 1), 1, 1000000));
      part.resize(x);
    }
    size_t dash = part.find('-', 1);
    u.first = static_cast<Lba>(r.number(key, part.substr(0, dash), -45150, kLastMsfLba));
    u.last = dash == std::string::npos ? u.first
                                       : static_cast<Lba>(r.number(key, part.substr(dash + 1), u.first, kLastMsfLba));
    out.push_back(u);
  }
  return out;
}

// The scratch list: the syntax of the unreadable list, where "xK" means
// only the first K reads of a sector can come back wrong.
std::vector<ScratchRange> scratchList(Reader& r, const std::string& value, int& randomCount) {
  std::vector<ScratchRange> out;
  for (const UnreadableRange& u : unreadableList(r, value, randomCount, "scratch"))
    out.push_back(ScratchRange{u.first, u.last, u.failingAttempts});
  return out;
}

C2Report c2Report(Reader& r) {
  const std::string c2 = lower(r.text("c2", "none"));
  if (c2 == "none") return C2Report::None;
  if (c2 == "exact") return C2Report::Exact;
  if (c2 == "partial") return C2Report::Partial;
  r.fail("c2", "'" + c2 + "' is not none, exact or partial");
}

}  // namespace

std::unique_ptr<VirtualDrive> makeVirtualDrive(const std::map<std::string, std::string>& settings,
                                               const std::string& baseFolder, std::shared_ptr<DriveClock> clock) {
  Reader r(settings);
  DriveModel model = *driveModelByName("generic");
  std::string modelName = r.text("model", "generic");
  if (auto m = driveModelByName(modelName)) model = *m;
  else r.fail("model", "'" + modelName + "' is not generic, d8-only, d4-only, no-track-info, atapi or no-subchannel");
  model.readOffsetSamples = static_cast<int>(r.numberOr("read-offset", 0, -2000, 2000));
  model.revision = revisionForReadOffset(model.readOffsetSamples);
  std::string refuse = r.text("refuse", "check");
  if (refuse == "silent") model.refusal = DriveModel::Refusal::SilentSuccess;
  else if (refuse != "check") r.fail("refuse", "'" + refuse + "' is not check or silent");

  TimingModel timing;
  timing.speedX = static_cast<int>(r.numberOr("speed", 0, 0, 64));
  timing.fullSeekMs = static_cast<double>(r.numberOr("seek-ms", 0, 0, 10000));
  timing.spinUpMs = static_cast<double>(r.numberOr("spin-up-ms", 0, 0, 60000));
  const int64_t scalePercent = r.numberOr("time-scale", 100, 0, 10000);

  FaultPlan faults;
  faults.seed = static_cast<uint64_t>(r.numberOr("seed", 0, 0, INT64_MAX));
  faults.unreadable = unreadableList(r, r.text("unreadable"), faults.randomUnreadableSectors);
  faults.scratch = scratchList(r, r.text("scratch"), faults.randomScratchSectors);
  faults.scratchGoodPercent = static_cast<int>(r.numberOr("scratch-good", 50, 0, 100));
  faults.scratchStable = r.numberOr("scratch-stable", 0, 0, 1) != 0;
  faults.c2 = c2Report(r);
  faults.jitterMaxSamples = static_cast<int>(r.numberOr("jitter", 0, 0, 100000));
  faults.jitterLateMaxSamples = static_cast<int>(r.numberOr("jitter-late", -1, 0, 100000));
  faults.jitterRatePercent = static_cast<int>(r.numberOr("jitter-rate", 100, 0, 100));
  if (r.has("jitter-range")) {
    const std::string range = r.text("jitter-range");
    const size_t dash = range.find('-', 1);
    if (dash == std::string::npos) r.fail("jitter-range", "'" + range + "' is not first-last");
    faults.jitterFirstLba = static_cast<Lba>(r.number("jitter-range", trim(range.substr(0, dash)), -45150, kLastMsfLba));
    faults.jitterLastLba =
        static_cast<Lba>(r.number("jitter-range", trim(range.substr(dash + 1)), faults.jitterFirstLba, kLastMsfLba));
  }
  faults.staleCacheSectors = static_cast<int>(r.numberOr("stale-cache", 0, 0, 100000));
  faults.cacheFlushDistance = static_cast<int>(r.numberOr("cache-flush", 1000, 1, kLastMsfLba));
  faults.slowCommandMs = static_cast<uint32_t>(r.numberOr("slow-ms", 0, 0, 3600000));
  faults.hangAfterCommands = static_cast<uint64_t>(r.numberOr("hang-after", 0, 0, INT64_MAX));
  faults.hangCount = static_cast<int>(r.numberOr("hang-count", 1, 1, 1000000));
  if (r.has("remove")) faults.events.push_back(r.event("remove", DriveEvent::Kind::Remove));
  if (r.has("insert")) faults.events.push_back(r.event("insert", DriveEvent::Kind::Insert));
  if (r.has("reset")) faults.events.push_back(r.event("reset", DriveEvent::Kind::Reset));

  scsi::Address address;
  std::string addressText = r.text("address", "0:0:0:0");
  {
    std::stringstream in(addressText);
    std::string part;
    uint8_t* fields[4] = {&address.port, &address.path, &address.target, &address.lun};
    int i = 0;
    for (; i < 4 && std::getline(in, part, ':'); ++i)
      *fields[i] = static_cast<uint8_t>(r.number("address", trim(part), 0, 255));
    if (i != 4 || std::getline(in, part)) r.fail("address", "'" + addressText + "' is not port:path:target:lun");
  }

  std::string image = r.text("image");
  // images=A.cue,B.cue,...: A is loaded, the others follow one per eject.
  std::vector<std::string> stackPaths;
  if (r.has("images")) {
    if (!image.empty()) r.fail("images", "give either image or images, not both");
    std::stringstream in(r.text("images"));
    std::string part;
    while (std::getline(in, part, ',')) {
      part = trim(part);
      if (part.empty()) r.fail("images", "an empty name in the list");
      stackPaths.push_back(part);
    }
    if (stackPaths.empty()) r.fail("images", "expected a comma list of images");
    image = stackPaths.front();
    stackPaths.erase(stackPaths.begin());
  }
  r.checkAllUsed();

  auto load = [&](std::string path) {
    if (path[0] != '/') path = baseFolder + "/" + path;
    return std::make_shared<const Disc>(loadImage(path));
  };
  std::shared_ptr<const Disc> disc;
  if (!image.empty()) disc = load(image);
  std::vector<std::shared_ptr<const Disc>> stack;
  for (const std::string& path : stackPaths) stack.push_back(load(path));
  if (!clock) clock = std::make_shared<SystemClock>(static_cast<double>(scalePercent) / 100.0);
  auto drive = std::make_unique<VirtualDrive>(std::move(disc), model, std::move(clock));
  drive->setAddress(address);
  drive->setTiming(timing);
  drive->setFaults(faults);
  if (r.has("images")) drive->setDiscStack(std::move(stack));
  return drive;
}

}  // namespace platform::vdrive
