#include "engine/com/playback_fixture.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/deviceio/drive_table.h"
#include "platform/registry/registry.h"
#include "platform/vdrive/disc_description.h"

namespace engine::testing_support {

platform::scsi::Result GatedDrive::execute(const platform::scsi::Command& command) {
  std::lock_guard<std::mutex> hold(gate_);
  const uint8_t opcode = command.cdb.empty() ? 0 : command.cdb[0];
  // READ(10), READ CD and the vendor reads carry the LBA in bytes 2-5.
  if ((opcode == 0x28 || opcode == 0xBE || opcode == 0xD4 || opcode == 0xD8) && command.cdb.size() >= 6) {
    const uint32_t lba = (uint32_t{command.cdb[2]} << 24) | (uint32_t{command.cdb[3]} << 16) |
                         (uint32_t{command.cdb[4]} << 8) | command.cdb[5];
    std::lock_guard<std::mutex> lock(readsLock_);
    reads_.push_back(lba);
  }
  return drive_->execute(command);
}

std::vector<uint32_t> GatedDrive::readLbas() {
  std::lock_guard<std::mutex> lock(readsLock_);
  return reads_;
}

void GatedDrive::clearReads() {
  std::lock_guard<std::mutex> lock(readsLock_);
  reads_.clear();
}

HRESULT STDMETHODCALLTYPE EventRecorder::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                                EXCEPINFO*, UINT*) {
  Event event{id, {}, pthread_self()};
  if (params != nullptr) {
    for (UINT i = params->cArgs; i > 0; --i) event.args.push_back(params->rgvarg[i - 1].lVal);
  }
  events.push_back(std::move(event));
  return S_OK;
}

size_t EventRecorder::count(DISPID id) const {
  size_t n = 0;
  for (const Event& e : events) n += e.id == id ? 1 : 0;
  return n;
}

namespace {
HRESULT registerServer(const char* path) {
  void* library = dlopen(path, RTLD_NOW);
  if (library == nullptr) return E_FAIL;
  auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
  const HRESULT hr = entry != nullptr ? entry() : E_FAIL;
  dlclose(library);
  return hr;
}
}  // namespace

void PlaybackTest::SetUp() {
  setenv("RIPMARROW_AUDIO", "silent", 1);
  scratch_.emplace("rm_playback_test");
  home_ = scratch_->path();
  ASSERT_EQ(registerServer(TONEMETER2_SERVER_PATH), S_OK);
  testThread_ = pthread_self();
}

void PlaybackTest::TearDown() {
  if (engine_) {
    engine_->DriverClose();
    if (cookie_ != 0) point_->Unadvise(cookie_);
  }
  point_.reset();
  engine_.reset();
  recorder_.reset();
  scratch_.reset();
}

std::shared_ptr<platform::vdrive::VirtualDrive> PlaybackTest::addDrive(const std::string& description,
                                                                       platform::vdrive::FaultPlan faults) {
  std::shared_ptr<platform::vdrive::VirtualDrive> drive;
  if (description.empty()) {
    drive = std::make_shared<platform::vdrive::VirtualDrive>(nullptr);
  } else {
    auto disc = std::make_shared<platform::vdrive::Disc>(platform::vdrive::generateDisc(description, "test"));
    drive = std::make_shared<platform::vdrive::VirtualDrive>(disc);
  }
  drive->setAddress({1, 0, 0, 0});
  drive->setFaults(std::move(faults));
  gated_ = std::make_shared<GatedDrive>(drive);
  platform::deviceio::registerDrive('E', gated_);
  return drive;
}

void PlaybackTest::open() {
  engine_ = com::make<AudioCDRipper2>();
  recorder_ = com::make<EventRecorder>();
  ASSERT_EQ(engine_->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()), S_OK);
  ASSERT_EQ(point_->Advise(recorder_->identity(), &cookie_), S_OK);
  ASSERT_EQ(engine()->DriverOpen(), S_OK);
}

void PlaybackTest::setLog(const char* level) {
  platform::RegistryStore().setString("HKEY_LOCAL_MACHINE\\Software\\Veltrosa\\Cadmerion\\AudioCDRipper2", "Log",
                                      level);
}

std::string PlaybackTest::logText() const {
  std::ifstream in(home_ + "/audioripper.log", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool PlaybackTest::waitFor(const std::function<bool()>& done, int limitMs) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (std::chrono::steady_clock::now() < limit) {
    if (done()) return true;
    CoPumpCalls(10);
  }
  return done();
}

bool PlaybackTest::waitTicks(uint32_t ticks) {
  const uint32_t target = AudioCDRipper2Probe::monitorTicks(object()) + ticks;
  return waitFor([&] { return AudioCDRipper2Probe::monitorTicks(object()) >= target; });
}

bool PlaybackTest::allEventsOnThisThread() const {
  for (const Event& e : recorder_->events)
    if (!pthread_equal(e.thread, testThread_)) return false;
  return true;
}

}  // namespace engine::testing_support
