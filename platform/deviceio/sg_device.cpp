#include "platform/deviceio/sg_device.h"

#include <fcntl.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>

#include "platform/deviceio/win_device.h"
#include "platform/sys/sys.h"

namespace platform::deviceio {
namespace {

// Host and driver results of sg_io_hdr that mean the command timed out.
constexpr unsigned kHostTimeOut = 0x03;     // DID_TIME_OUT
constexpr unsigned kDriverTimeOut = 0x06;   // DRIVER_TIMEOUT (low nibble of driver_status)
constexpr unsigned kHostOk = 0x00;

}  // namespace

SgDevice::~SgDevice() { sys::close(fd_); }

std::unique_ptr<SgDevice> SgDevice::open(const std::string& path, DWORD& error) {
  // O_NONBLOCK: opening must not wait for (or fail for want of) a medium.
  int fd = sys::open(path.c_str(), O_RDWR | O_NONBLOCK);
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    fd = sys::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  }
  if (fd < 0) {
    error = errorFromErrno(errno);
    return nullptr;
  }
  return std::unique_ptr<SgDevice>(new SgDevice(fd));
}

DWORD SgDevice::errorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENXIO:
    case ENODEV:
      return ERROR_DEV_NOT_EXIST;
    case EBUSY:
      return ERROR_BUSY;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case EFAULT:
    case EOVERFLOW:
      return ERROR_INVALID_PARAMETER;
    case ENOTTY:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case ETIMEDOUT:
      return ERROR_SEM_TIMEOUT;
    case ENOMEDIUM:
      return ERROR_NOT_READY;
    default:
      return ERROR_IO_DEVICE;
  }
}

bool SgDevice::execute(const scsi::Command& command, Outcome& outcome, DWORD& error) {
  if (command.cdb.empty() || command.cdb.size() > 16) {
    error = ERROR_INVALID_PARAMETER;
    return false;
  }
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  switch (command.direction) {
    case scsi::Direction::In:
      io.dxfer_direction = SG_DXFER_FROM_DEV;
      break;
    case scsi::Direction::Out:
      io.dxfer_direction = SG_DXFER_TO_DEV;
      break;
    case scsi::Direction::None:
      io.dxfer_direction = SG_DXFER_NONE;
      break;
  }
  // The kernel moves exactly dxfer_len bytes at most: the caller's buffer,
  // never more, whatever the CDB's own length fields ask for.
  if (command.direction != scsi::Direction::None && !command.data.empty()) {
    if (command.data.size() > UINT32_MAX) {
      error = ERROR_INVALID_PARAMETER;
      return false;
    }
    io.dxfer_len = static_cast<unsigned>(command.data.size());
    io.dxferp = command.data.data();
  }
  uint8_t cdb[16];
  std::copy(command.cdb.begin(), command.cdb.end(), cdb);
  io.cmd_len = static_cast<unsigned char>(command.cdb.size());
  io.cmdp = cdb;
  Outcome result;
  io.mx_sb_len = static_cast<unsigned char>(result.sense.size());
  io.sbp = result.sense.data();
  io.timeout = command.timeoutMs;  // 0: the kernel's default

  if (sys::ioctl(fd_, SG_IO, &io) < 0) {
    error = errorFromErrno(errno);
    return false;
  }
  if (io.host_status == kHostTimeOut || (io.driver_status & 0x0F) == kDriverTimeOut) {
    error = ERROR_SEM_TIMEOUT;
    return false;
  }
  if (io.host_status != kHostOk) {
    // The command never reached the drive intact (bus reset, selection time-out…).
    error = ERROR_IO_DEVICE;
    return false;
  }
  result.status = io.status;
  result.senseBytes = std::min<uint8_t>(io.sb_len_wr, io.mx_sb_len);
  const int resid = std::clamp<int>(io.resid, 0, static_cast<int>(io.dxfer_len));
  result.transferredBytes = io.dxfer_len - static_cast<unsigned>(resid);
  outcome = result;
  return true;
}

bool SgDevice::address(scsi::Address& address, DWORD& error) {
  sg_scsi_id id{};
  if (sys::ioctl(fd_, SG_GET_SCSI_ID, &id) == 0) {
    address = {static_cast<uint8_t>(id.host_no), static_cast<uint8_t>(id.channel),
               static_cast<uint8_t>(id.scsi_id), static_cast<uint8_t>(id.lun)};
    return true;
  }
  // The sr block driver answers the older SCSI ioctl instead: id, LUN, channel
  // and host packed one byte each into dev_id.
  struct {
    int devId;
    int hostUniqueId;
  } idLun{};
  if (sys::ioctl(fd_, SCSI_IOCTL_GET_IDLUN, &idLun) == 0) {
    const auto word = static_cast<uint32_t>(idLun.devId);
    address = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
               static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)};
    return true;
  }
  error = errorFromErrno(errno);
  return false;
}

}  // namespace platform::deviceio
