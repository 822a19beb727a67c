#include "engine/device/transport.h"

#include <dlfcn.h>

#include <atomic>

#include "engine/device/command.h"
#include "engine/device/device_log.h"
#include "engine/device/device_types.h"
#include "engine/device/os_class.h"
#include "engine/device/spti.h"
#include "platform/aspi/wnaspi32.h"

namespace engine::device {
namespace {

// Answers of the stand-by entry points: no ASPI manager present.
DWORD StandbySupportInfo() {
  return SS_NO_ASPI;
}  // status 0, count E3h, as the library's absence reads
DWORD StandbySend(void* srb) {
  if (srb) static_cast<SRB_ExecSCSICmd*>(srb)->SRB_Status = SS_NO_ASPI;
  return SS_NO_ASPI;
}

const ScsiTransportEntries kStandby = {
    StandbySupportInfo, StandbySend, nullptr, nullptr, nullptr, nullptr};

struct ScsiTransport {
  int32_t loaded = 0;
  std::atomic<int32_t> usable{0};  // also cleared and set by the read routines
  void* library = nullptr;         // dlopen handle
  bool emulation = false;
  ScsiTransportEntries entries = kStandby;
  std::string libraryPath = "libwnaspi32.so";
  std::atomic<int32_t> lastDeviceError{0};
  std::atomic<uint8_t> lastCommandStatus{0};
};

ScsiTransport& State() {
  static ScsiTransport transport;
  return transport;
}

template <typename T>
T Lookup(void* library, const char* name) {
  return reinterpret_cast<T>(dlsym(library, name));
}

}  // namespace

int32_t LoadTransport(bool useExternalAspi) {
  ScsiTransport& t = State();
  DeviceLog("Extended Log Start");
  if (t.loaded) return 0;  // a second loader in the process is refused
  t.usable = 0;
  SptiShutdown();  // clears the initialised flag; a failed earlier load may have left it set
  t.library = nullptr;
  t.emulation = false;

  if (!useExternalAspi && OsClass() >= kOsClassFirstNt && SptiInitialise() >= 1) {
    t.entries = {SptiGetSupportInfo, SptiSendCommand, nullptr, nullptr, nullptr, nullptr};
    t.emulation = true;
    t.usable = 1;
    t.loaded = 1;
    return 1;
  }

  t.library = dlopen(t.libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!t.library) {
    SetLastDeviceError(DEVERR_NO_LIBRARY);
    t.entries = kStandby;
    return 0;
  }
  ScsiTransportEntries e;
  e.getSupportInfo = Lookup<SupportInfoEntry>(t.library, "GetASPI32SupportInfo");
  e.sendCommand = Lookup<SendCommandEntry>(t.library, "SendASPI32Command");
  e.getBuffer = Lookup<AuxiliaryEntry>(t.library, "GetASPI32Buffer");
  e.freeBuffer = Lookup<AuxiliaryEntry>(t.library, "FreeASPI32Buffer");
  e.translateAddress = Lookup<AuxiliaryEntry>(t.library, "TranslateASPI32Address");
  e.getDllVersion = Lookup<AuxiliaryEntry>(t.library, "GetASPI32DLLVersion");
  if (!e.getSupportInfo || !e.sendCommand) {
    SetLastDeviceError(e.getSupportInfo ? DEVERR_NO_SEND_ENTRY : DEVERR_NO_SUPPORT_ENTRY);
    dlclose(t.library);
    t.library = nullptr;
    t.entries = kStandby;
    return 0;
  }
  t.entries = e;
  t.usable = 1;
  t.loaded = 1;
  return 1;
}

int32_t UnloadTransport(bool useExternalAspi) {
  ScsiTransport& t = State();
  DeviceLog("Extended Log Start");
  if (!t.loaded) return 0;
  t.usable = 0;
  if (OsClass() >= kOsClassFirstNt && !useExternalAspi) SptiShutdown();
  if (t.library) {
    // A request the library still holds must outlive it: the library is
    // then left mapped rather than unmapped under its own worker.
    if (ReapParkedCommands()) dlclose(t.library);
    t.library = nullptr;
  }
  t.entries = kStandby;
  t.emulation = false;
  t.loaded = 0;
  return 1;
}

bool TransportUsable() {
  return OsClass() >= kOsClassFirstNt || State().usable != 0;
}

void SetAspiLibraryPath(std::string path) {
  State().libraryPath = std::move(path);
}
const ScsiTransportEntries& TransportEntries() {
  return State().entries;
}
bool TransportLoaded() {
  return State().loaded != 0;
}
bool TransportIsEmulation() {
  return State().emulation;
}
void SetTransportUsable(bool usable) {
  State().usable = usable ? 1 : 0;
}

int32_t LastDeviceError() {
  return State().lastDeviceError;
}
uint8_t LastCommandStatus() {
  return State().lastCommandStatus;
}
void SetLastDeviceError(int32_t error) {
  State().lastDeviceError = error;
}
void SetCommandFailure(uint8_t srbStatus) {
  State().lastCommandStatus = srbStatus;
  State().lastDeviceError = DEVERR_COMMAND_FAILED;
}
void ClearDeviceErrors() {
  State().lastDeviceError = 0;
  State().lastCommandStatus = 0;
}

}  // namespace engine::device
