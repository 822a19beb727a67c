#include "platform/vdrive/virtual_drive.h"

#include <algorithm>
#include <cstring>

#include "platform/vdrive/disc_description.h"

namespace platform::vdrive {

using scsi::Command;
using scsi::Direction;
using scsi::Result;

namespace {

// Minimum CDB length of each command the drive knows.
size_t commandLength(uint8_t opcode) {
  switch (opcode >> 5) {
    case 0: return 6;
    case 1: case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return opcode == 0xD8 ? 12 : 10;  // vendor groups: D4h is 10 bytes, D8h 12
  }
}

}  // namespace

VirtualDrive::VirtualDrive(std::shared_ptr<const Disc> disc, DriveModel model, std::shared_ptr<DriveClock> clock)
    : clock_(clock ? std::move(clock) : std::make_shared<SystemClock>()), disc_(std::move(disc)), model_(std::move(model)) {
  startMs_ = clock_->nowMs();
  // A drive that has just been powered on reports it once.
  pendingUnitAttention_ = 0x29;
}

VirtualDrive::~VirtualDrive() = default;

std::unique_ptr<VirtualDrive> VirtualDrive::withImage(const std::string& path, DriveModel model,
                                                      std::shared_ptr<DriveClock> clock) {
  return std::make_unique<VirtualDrive>(std::make_shared<const Disc>(loadImage(path)), std::move(model),
                                        std::move(clock));
}

std::unique_ptr<VirtualDrive> VirtualDrive::withGeneratedDisc(std::string_view description, DriveModel model,
                                                              std::shared_ptr<DriveClock> clock) {
  return std::make_unique<VirtualDrive>(std::make_shared<const Disc>(generateDisc(description, "description")),
                                        std::move(model), std::move(clock));
}

scsi::Address VirtualDrive::address() const {
  std::lock_guard lock(addressMutex_);
  return address_;
}

void VirtualDrive::setAddress(scsi::Address address) {
  std::lock_guard lock(addressMutex_);
  address_ = address;
}

void VirtualDrive::setModel(DriveModel model) {
  std::lock_guard lock(commandMutex_);
  model_ = std::move(model);
}

void VirtualDrive::setTiming(TimingModel timing) {
  std::lock_guard lock(commandMutex_);
  timing_ = timing;
}

void VirtualDrive::setFaults(FaultPlan plan) {
  std::lock_guard lock(commandMutex_);
  faults_ = std::move(plan);
  rngState_ = faults_.seed;
  eventFired_.assign(faults_.events.size(), false);
  attempts_.clear();
  hangsLeft_ = 0;
  dropCache();
  randomUnreadable_ = randomAudioSectors(faults_.randomUnreadableSectors, faults_.seed ^ 0x5EC7025ull);
  placeRandomScratches();
}

void VirtualDrive::insertDisc(std::shared_ptr<const Disc> disc, int notReadyPolls) {
  std::lock_guard lock(commandMutex_);
  disc_ = std::move(disc);
  trayOpen_ = false;
  play_ = Play::Stopped;
  notReadyPolls_ = disc_ ? notReadyPolls : 0;
  if (disc_) pendingUnitAttention_ = 0x28;
  spunDown_ = true;
  dropCache();
}

void VirtualDrive::setDiscStack(std::vector<std::shared_ptr<const Disc>> next) {
  std::lock_guard lock(commandMutex_);
  stack_.assign(next.begin(), next.end());
  stacked_ = true;
}

void VirtualDrive::removeDisc() {
  std::lock_guard lock(commandMutex_);
  if (disc_) removedDisc_ = disc_;
  disc_.reset();
  trayOpen_ = true;
  spunDown_ = true;
  play_ = Play::Stopped;
  dropCache();
}

bool VirtualDrive::pressEject() {
  std::lock_guard lock(commandMutex_);
  if (locked_) return false;
  trayOpen_ = true;
  spunDown_ = true;
  play_ = Play::Stopped;
  dropCache();
  return true;
}

void VirtualDrive::busReset(int notReadyPolls) {
  std::lock_guard lock(commandMutex_);
  // A reset returns the mode parameters to their defaults and, as SPC says,
  // clears a medium-removal prevention.
  pendingUnitAttention_ = 0x29;
  notReadyPolls_ = notReadyPolls;
  blockLength_ = 2048;
  density_ = 0;
  locked_ = false;
  play_ = Play::Stopped;
  speedX_ = 0;
  spunDown_ = true;
  dropCache();
}

std::shared_ptr<const Disc> VirtualDrive::disc() const {
  std::lock_guard lock(commandMutex_);
  return disc_;
}

bool VirtualDrive::trayLocked() const {
  std::lock_guard lock(commandMutex_);
  return locked_;
}

bool VirtualDrive::trayOpen() const {
  std::lock_guard lock(commandMutex_);
  return trayOpen_;
}

uint64_t VirtualDrive::commandsExecuted() const {
  std::lock_guard lock(commandMutex_);
  return commands_;
}

void VirtualDrive::cancelPending() {
  std::lock_guard lock(cancelMutex_);
  if (!waiting_) return;  // nothing blocked: a later command must not be cancelled by it
  cancelRequested_ = true;
  cancelCv_.notify_all();
}

bool VirtualDrive::waitCancellable(uint32_t timeoutMs) {
  std::unique_lock lock(cancelMutex_);
  cancelRequested_ = false;
  waiting_ = true;
  if (timeoutMs == 0) {
    cancelCv_.wait(lock, [&] { return cancelRequested_; });
  } else {
    double realMs = clock_->realWaitMs(timeoutMs);
    cancelCv_.wait_for(lock, std::chrono::duration<double, std::milli>(realMs), [&] { return cancelRequested_; });
  }
  waiting_ = false;
  cancelRequested_ = false;
  return false;
}

void VirtualDrive::dropCache() {
  cache_.clear();
  cacheOrder_.clear();
}

void VirtualDrive::fireDueEvents() {
  uint64_t elapsedMs = clock_->nowMs() - startMs_;
  for (size_t i = 0; i < faults_.events.size(); ++i) {
    const DriveEvent& e = faults_.events[i];
    bool due = e.trigger == DriveEvent::Trigger::AfterCommands ? commands_ > e.when : elapsedMs >= e.when;
    if (eventFired_[i] || !due) continue;
    eventFired_[i] = true;
    switch (e.kind) {
      case DriveEvent::Kind::Remove:
        if (disc_) removedDisc_ = disc_;
        disc_.reset();
        trayOpen_ = true;
        play_ = Play::Stopped;
        dropCache();
        break;
      case DriveEvent::Kind::Insert:
        if (!disc_) disc_ = removedDisc_;
        trayOpen_ = false;
        if (disc_) {
          pendingUnitAttention_ = 0x28;
          notReadyPolls_ = e.notReadyPolls;
        }
        spunDown_ = true;
        dropCache();
        break;
      case DriveEvent::Kind::Reset:
        pendingUnitAttention_ = 0x29;
        notReadyPolls_ = e.notReadyPolls;
        blockLength_ = 2048;
        density_ = 0;
        locked_ = false;
        play_ = Play::Stopped;
        speedX_ = 0;
        spunDown_ = true;
        dropCache();
        break;
    }
  }
}

bool VirtualDrive::hangThisCommand() {
  if (faults_.hangAfterCommands != 0 && commands_ == faults_.hangAfterCommands + 1)
    hangsLeft_ = static_cast<uint64_t>(std::max(1, faults_.hangCount));
  if (hangsLeft_ == 0) return false;
  --hangsLeft_;
  return true;
}

Result VirtualDrive::good(size_t transferred) const {
  Result r;
  r.status = scsi::kStatusGood;
  r.transferredBytes = transferred;
  return r;
}

Result VirtualDrive::check(Sense sense) {
  Result r;
  r.status = scsi::kStatusCheckCondition;
  r.sense.fill(0);
  r.sense[0] = 0x70 | (sense.hasInfo ? 0x80 : 0x00);  // current error, fixed format
  r.sense[2] = sense.key;
  r.sense[3] = static_cast<uint8_t>(sense.info >> 24);
  r.sense[4] = static_cast<uint8_t>(sense.info >> 16);
  r.sense[5] = static_cast<uint8_t>(sense.info >> 8);
  r.sense[6] = static_cast<uint8_t>(sense.info);
  r.sense[7] = 10;  // additional sense length
  r.sense[12] = sense.asc;
  r.sense[13] = sense.ascq;
  r.senseLength = 18;
  lastSense_ = sense;
  return r;
}

Result VirtualDrive::refuse() {
  if (model_.refusal == DriveModel::Refusal::SilentSuccess) return good(0);
  return check(0x05, 0x20, 0x00);
}

Result VirtualDrive::sendAnswer(const Command& c, std::span<const uint8_t> answer, uint32_t allocationLength) {
  size_t n = std::min<size_t>(answer.size(), allocationLength);
  if (n > 0 && (c.direction == Direction::Out || n > c.data.size())) return dataPhaseError();
  if (n > 0) std::memcpy(c.data.data(), answer.data(), n);
  return good(n);
}

bool VirtualDrive::mediumReady(Result& notReady) {
  if (!disc_) {
    notReady = check(0x02, 0x3A, trayOpen_ ? 0x02 : 0x01);  // medium not present, tray open / closed
    return false;
  }
  if (trayOpen_) {
    notReady = check(0x02, 0x3A, 0x02);
    return false;
  }
  if (notReadyPolls_ > 0) {
    --notReadyPolls_;
    notReady = check(0x02, 0x04, 0x01);  // in process of becoming ready
    return false;
  }
  return true;
}

Result VirtualDrive::execute(const Command& command) {
  std::lock_guard lock(commandMutex_);
  ++commands_;
  fireDueEvents();
  if (hangThisCommand()) {
    Result r;
    r.completed = waitCancellable(command.timeoutMs);
    return r;
  }
  if (faults_.slowCommandMs > 0) {
    if (command.timeoutMs != 0 && faults_.slowCommandMs > command.timeoutMs) {
      Result r;
      r.completed = waitCancellable(command.timeoutMs);
      return r;
    }
    clock_->sleepMs(faults_.slowCommandMs);
  }
  return run(command);
}

Result VirtualDrive::run(const Command& c) {
  if (c.cdb.empty() || c.cdb.size() > 16) return invalidField();
  const uint8_t op = c.cdb[0];
  struct Entry {
    uint8_t opcode;
    bool known;          // by the current model
    bool reportsAttention;  // a pending unit attention answers this command instead
    bool needsMedium;
  };
  const Entry table[] = {
      {0x00, true, true, true},                                 // TEST UNIT READY
      {0x03, true, false, false},                               // REQUEST SENSE
      {0x08, true, true, true},                                 // READ(6)
      {0x12, true, false, false},                               // INQUIRY
      {0x15, model_.modeSelect6, true, false},                  // MODE SELECT(6)
      {0x1A, model_.modeSelect6, true, false},                  // MODE SENSE(6)
      {0x1B, true, true, false},                                // START STOP UNIT
      {0x1E, true, true, false},                                // PREVENT ALLOW MEDIUM REMOVAL
      {0x25, true, true, true},                                 // READ CAPACITY
      {0x42, model_.subChannel, true, true},                    // READ SUB-CHANNEL
      {0x28, true, true, true},                                 // READ(10)
      {0x43, true, true, true},                                 // READ TOC
      {0x45, true, true, true},                                 // PLAY AUDIO(10)
      {0x47, true, true, true},                                 // PLAY AUDIO MSF
      {0x4B, true, true, true},                                 // PAUSE/RESUME
      {0x4E, true, true, true},                                 // STOP PLAY/SCAN
      {0x52, model_.readTrackInformation, true, true},          // READ TRACK INFORMATION
      {0x55, true, true, false},                                // MODE SELECT(10)
      {0x5A, true, true, false},                                // MODE SENSE(10)
      {0xBB, true, true, false},                                // SET CD SPEED
      {0xBE, model_.readCd, true, true},                        // READ CD
      {0xD4, model_.readD4, true, true},                        // vendor read D4h
      {0xD8, model_.readD8, true, true},                        // vendor read D8h
  };
  const Entry* entry = nullptr;
  for (const Entry& e : table)
    if (e.opcode == op) entry = &e;
  if (!entry || !entry->known) {
    // A drive reports a pending unit attention before it looks at the opcode;
    // a bridge that swallows unknown commands never gets that far.
    if (model_.refusal == DriveModel::Refusal::CheckCondition && pendingUnitAttention_ != 0 && op != 0x12 && op != 0x03) {
      uint8_t asc = pendingUnitAttention_;
      pendingUnitAttention_ = 0;
      return check(0x06, asc, 0x00);
    }
    return refuse();
  }
  // ATAPI packets are 12 bytes whatever the command, so longer CDBs are padded forms.
  if (c.cdb.size() < commandLength(op)) return invalidField();
  const uint8_t control = c.cdb[commandLength(op) - 1];
  if (control & 0x05) return invalidField();  // NACA and link are not supported

  if (entry->reportsAttention && pendingUnitAttention_ != 0) {
    uint8_t asc = pendingUnitAttention_;
    pendingUnitAttention_ = 0;
    return check(0x06, asc, 0x00);
  }
  if (entry->needsMedium) {
    Result notReady;
    if (!mediumReady(notReady)) return notReady;
  }
  switch (op) {
    case 0x00: return good();
    case 0x03: return requestSense(c);
    case 0x08: case 0x28: return readBlocks(c);
    case 0x12: return inquiry(c);
    case 0x15: return modeSelect(c, false);
    case 0x1A: return modeSense(c, false);
    case 0x1B: return startStop(c);
    case 0x1E: return preventAllow(c);
    case 0x25: return readCapacity(c);
    case 0x42: return readSubchannel(c);
    case 0x43: return readToc(c);
    case 0x45: case 0x47: case 0x4E: return playAudio(c);
    case 0x4B: return pauseResume(c);
    case 0x52: return readTrackInformation(c);
    case 0x55: return modeSelect(c, true);
    case 0x5A: return modeSense(c, true);
    case 0xBB: return setCdSpeed(c);
    case 0xBE: return readCd(c);
    case 0xD4: case 0xD8: return readVendor(c);
    default: return refuse();
  }
}

int VirtualDrive::drawJitter(Lba start) {
  if (faults_.jitterMaxSamples <= 0 || start < faults_.jitterFirstLba || start > faults_.jitterLastLba) return 0;
  const int early = faults_.jitterMaxSamples;
  const int late = faults_.jitterLateMaxSamples < 0 ? early : std::min(faults_.jitterLateMaxSamples, early);
  const uint64_t span = static_cast<uint64_t>(early) + static_cast<uint64_t>(late) + 1;
  // At 100 % every read draws from the whole range, exact starts included, so
  // seeded scenarios written before the rate existed still see the same reads.
  if (faults_.jitterRatePercent >= 100) return static_cast<int>(nextRandom(rngState_) % span) - early;
  if (static_cast<int>(nextRandom(rngState_) % 100) >= faults_.jitterRatePercent) return 0;
  // A jittering read starts off: draw among the span without its zero.
  const int shift = static_cast<int>(nextRandom(rngState_) % (span - 1)) - early;
  return shift >= 0 ? shift + 1 : shift;
}

uint64_t VirtualDrive::nextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<Lba> VirtualDrive::randomAudioSectors(int count, uint64_t seed) const {
  std::vector<Lba> sectors;
  if (count <= 0 || !disc_) return sectors;
  std::vector<const Track*> audio;
  int64_t total = 0;
  for (const Track& t : disc_->tracks())
    if (!isDataMode(t.mode)) {
      audio.push_back(&t);
      total += t.end - t.start;
    }
  uint64_t state = seed;
  for (int i = 0; i < count && total > 0; ++i) {
    int64_t pick = static_cast<int64_t>(nextRandom(state) % static_cast<uint64_t>(total));
    for (const Track* t : audio) {
      if (pick < t->end - t->start) {
        sectors.push_back(t->start + static_cast<Lba>(pick));
        break;
      }
      pick -= t->end - t->start;
    }
  }
  std::sort(sectors.begin(), sectors.end());
  return sectors;
}

}  // namespace platform::vdrive
