// The Windows device calls over the drive table and the handle table.
#include "platform/deviceio/win_device.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>

#include "platform/deviceio/drive_table.h"
#include "platform/deviceio/handle_table.h"

using platform::deviceio::DeviceHandle;
using platform::deviceio::DriveTable;
using platform::deviceio::HandleTable;
using platform::deviceio::Outcome;
namespace scsi = platform::scsi;

namespace {

// The engine, which links this layer, is a library that clients load and
// unload at run time. Its thread-local variable lives in the static TLS
// block (initial-exec) rather than in a dynamic block allocated per thread
// on first use: a block freed with the library would stay listed in the
// threads' TLS vectors, where the leak checker still reads it at exit.
__attribute__((tls_model("initial-exec"))) thread_local DWORD lastError = ERROR_SUCCESS;

constexpr ULONG kMaxTimeOutSeconds = 108000;  // 30 hours, the port driver's limit

BOOL fail(LONG error) {
  lastError = static_cast<DWORD>(error);
  return FALSE;
}

// The letter of "E:" followed by nothing, "\" or "/"; 0 otherwise.
char rootLetter(LPCSTR root) {
  if (root == nullptr || !std::isalpha(static_cast<unsigned char>(root[0])) || root[1] != ':') return 0;
  if (root[2] != '\0' && !((root[2] == '\\' || root[2] == '/') && root[3] == '\0')) return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
}

// The letter of "\\.\E:"; 0 otherwise.
char deviceLetter(LPCSTR name) {
  if (name == nullptr || std::strncmp(name, "\\\\.\\", 4) != 0) return 0;
  const char* rest = name + 4;
  if (!std::isalpha(static_cast<unsigned char>(rest[0])) || rest[1] != ':' || rest[2] != '\0') return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
}

// UNIT ATTENTION "not ready to ready change, medium may have changed", in
// fixed or descriptor sense format.
bool reportsMediumChange(const Outcome& outcome) {
  if (outcome.status != scsi::kStatusCheckCondition || outcome.senseBytes < 3) return false;
  const uint8_t format = outcome.sense[0] & 0x7F;
  if (format == 0x72 || format == 0x73) return (outcome.sense[1] & 0x0F) == 0x06 && outcome.sense[2] == 0x28;
  return outcome.senseBytes > 12 && (outcome.sense[2] & 0x0F) == 0x06 && outcome.sense[12] == 0x28;
}

// A change of medium since this handle last reported one is reported once.
bool mediumChangedUnder(DeviceHandle& handle) {
  const uint32_t changes = handle.drive->mediumChanges.load();
  return handle.mediumChangesSeen.exchange(changes) != changes;
}

BOOL passThrough(DeviceHandle& handle, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                 LPDWORD bytesReturned) {
  SCSI_PASS_THROUGH_DIRECT request;
  if (in == nullptr || inBytes < sizeof request) return fail(ERROR_INVALID_PARAMETER);
  std::memcpy(&request, in, sizeof request);  // `out` may be the same buffer
  if (request.Length != sizeof request || out == nullptr || outBytes < sizeof request)
    return fail(ERROR_INVALID_PARAMETER);
  if (request.CdbLength == 0 || request.CdbLength > sizeof request.Cdb) return fail(ERROR_INVALID_PARAMETER);
  if (request.TimeOutValue == 0 || request.TimeOutValue > kMaxTimeOutSeconds) return fail(ERROR_INVALID_PARAMETER);
  if (request.SenseInfoLength != 0 &&
      (request.SenseInfoOffset < sizeof request ||
       static_cast<uint64_t>(request.SenseInfoOffset) + request.SenseInfoLength > outBytes))
    return fail(ERROR_INVALID_PARAMETER);

  scsi::Command command;
  command.cdb = std::span<const uint8_t>(request.Cdb, request.CdbLength);
  command.timeoutMs = request.TimeOutValue * 1000;
  switch (request.DataIn) {
    case SCSI_IOCTL_DATA_IN:
      command.direction = scsi::Direction::In;
      break;
    case SCSI_IOCTL_DATA_OUT:
      command.direction = scsi::Direction::Out;
      break;
    case SCSI_IOCTL_DATA_UNSPECIFIED:
      command.direction = scsi::Direction::None;  // no data moves either way
      break;
    default:
      return fail(ERROR_INVALID_PARAMETER);
  }
  if (command.direction != scsi::Direction::None && request.DataTransferLength != 0) {
    if (request.DataBuffer == nullptr || request.DataTransferLength > platform::deviceio::kMaxTransferBytes)
      return fail(ERROR_INVALID_PARAMETER);
    command.data = std::span<uint8_t>(static_cast<uint8_t*>(request.DataBuffer), request.DataTransferLength);
  }

  Outcome outcome;
  DWORD error = ERROR_SUCCESS;
  if (!handle.channel->execute(command, outcome, error)) return fail(static_cast<LONG>(error));
  if (reportsMediumChange(outcome)) {
    // The drive did not run the command; like Windows, say why without the
    // sense, and let every other handle opened before the change say it once.
    handle.mediumChangesSeen.store(++handle.drive->mediumChanges);
    return fail(ERROR_MEDIA_CHANGED);
  }

  request.ScsiStatus = outcome.status;
  request.DataTransferLength = static_cast<ULONG>(outcome.transferredBytes);
  const size_t senseBytes =
      outcome.status == scsi::kStatusGood ? 0 : std::min<size_t>(outcome.senseBytes, request.SenseInfoLength);
  request.SenseInfoLength = static_cast<UCHAR>(senseBytes);
  std::memcpy(out, &request, sizeof request);
  if (senseBytes != 0) std::memcpy(static_cast<uint8_t*>(out) + request.SenseInfoOffset, outcome.sense.data(), senseBytes);
  if (bytesReturned != nullptr)
    *bytesReturned = senseBytes != 0 ? static_cast<DWORD>(request.SenseInfoOffset + senseBytes) : sizeof request;
  lastError = ERROR_SUCCESS;
  return TRUE;
}

BOOL getAddress(DeviceHandle& handle, void* out, DWORD outBytes, LPDWORD bytesReturned) {
  if (out == nullptr || outBytes < sizeof(SCSI_ADDRESS)) return fail(ERROR_INSUFFICIENT_BUFFER);
  scsi::Address where;
  DWORD error = ERROR_SUCCESS;
  if (!handle.channel->address(where, error)) return fail(static_cast<LONG>(error));
  SCSI_ADDRESS answer{sizeof(SCSI_ADDRESS), where.port, where.path, where.target, where.lun};
  std::memcpy(out, &answer, sizeof answer);
  if (bytesReturned != nullptr) *bytesReturned = sizeof answer;
  lastError = ERROR_SUCCESS;
  return TRUE;
}

}  // namespace

UINT GetDriveTypeA(LPCSTR rootPathName) {
  const char letter = rootLetter(rootPathName);
  if (letter == 0 || !DriveTable::instance().find(letter)) return DRIVE_NO_ROOT_DIR;
  return DRIVE_CDROM;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD /*desiredAccess*/, DWORD /*shareMode*/, void* /*securityAttributes*/,
                   DWORD creationDisposition, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  const char letter = deviceLetter(fileName);
  auto drive = letter != 0 ? DriveTable::instance().find(letter) : nullptr;
  if (!drive) {
    fail(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (creationDisposition != OPEN_EXISTING) {
    fail(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD error = ERROR_SUCCESS;
  auto channel = DriveTable::instance().open(*drive, error);
  if (!channel) {
    fail(static_cast<LONG>(error));
    return INVALID_HANDLE_VALUE;
  }
  auto handle = std::make_shared<DeviceHandle>();
  handle->mediumChangesSeen = drive->mediumChanges.load();
  handle->drive = std::move(drive);
  handle->channel = std::move(channel);
  lastError = ERROR_SUCCESS;
  return HandleTable::instance().add(std::move(handle));
}

BOOL CloseHandle(HANDLE handle) {
  if (!HandleTable::instance().remove(handle)) return fail(ERROR_INVALID_HANDLE);
  lastError = ERROR_SUCCESS;
  return TRUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID in, DWORD inBytes, LPVOID out, DWORD outBytes,
                     LPDWORD bytesReturned, void* /*overlapped*/) {
  const auto handle = HandleTable::instance().find(device);
  if (!handle) return fail(ERROR_INVALID_HANDLE);
  if (bytesReturned != nullptr) *bytesReturned = 0;
  switch (ioControlCode) {
    case IOCTL_SCSI_PASS_THROUGH_DIRECT:
      if (mediumChangedUnder(*handle)) return fail(ERROR_MEDIA_CHANGED);
      return passThrough(*handle, in, inBytes, out, outBytes, bytesReturned);
    case IOCTL_SCSI_GET_ADDRESS:
      if (mediumChangedUnder(*handle)) return fail(ERROR_MEDIA_CHANGED);
      return getAddress(*handle, out, outBytes, bytesReturned);
    default:
      return fail(ERROR_INVALID_FUNCTION);
  }
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }
