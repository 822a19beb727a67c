// The Windows calls through which the engine reaches CD drives, on Linux:
// drive letters (GetDriveTypeA), device handles (CreateFileA on "\\.\E:",
// CloseHandle) and the NT SCSI pass-through (DeviceIoControl with
// IOCTL_SCSI_PASS_THROUGH_DIRECT and IOCTL_SCSI_GET_ADDRESS). Behind a letter
// stands a virtual drive or a /dev/srN device (see drive_table.h).
//
// Structures keep the Windows field order with this platform's natural
// alignment and pointer width, as a 64-bit Windows program sees them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wintypes/wintypes.h"

using HANDLE = void*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPDWORD = DWORD*;
using PVOID = void*;
using UCHAR = uint8_t;

#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#endif

// CreateFileA
#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#endif

// GetDriveTypeA
#ifndef DRIVE_CDROM
#define DRIVE_UNKNOWN 0u
#define DRIVE_NO_ROOT_DIR 1u
#define DRIVE_REMOVABLE 2u
#define DRIVE_FIXED 3u
#define DRIVE_REMOTE 4u
#define DRIVE_CDROM 5u
#define DRIVE_RAMDISK 6u
#endif

// DeviceIoControl codes of the SCSI port interface.
#ifndef IOCTL_SCSI_PASS_THROUGH_DIRECT
#define IOCTL_SCSI_PASS_THROUGH_DIRECT 0x0004D014u
#define IOCTL_SCSI_GET_ADDRESS 0x00041018u
#endif

// SCSI_PASS_THROUGH_DIRECT.DataIn
#ifndef SCSI_IOCTL_DATA_IN
#define SCSI_IOCTL_DATA_OUT 0
#define SCSI_IOCTL_DATA_IN 1
#define SCSI_IOCTL_DATA_UNSPECIFIED 2
#endif

// Win32 errors the device calls answer with, beyond those of wintypes.h.
inline constexpr LONG ERROR_INVALID_FUNCTION = 1;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_NOT_READY = 21;
inline constexpr LONG ERROR_GEN_FAILURE = 31;
inline constexpr LONG ERROR_NOT_SUPPORTED = 50;
inline constexpr LONG ERROR_DEV_NOT_EXIST = 55;
inline constexpr LONG ERROR_SEM_TIMEOUT = 121;
inline constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr LONG ERROR_BUSY = 170;
inline constexpr LONG ERROR_IO_DEVICE = 1117;

struct SCSI_PASS_THROUGH_DIRECT {
  USHORT Length;  // sizeof(SCSI_PASS_THROUGH_DIRECT)
  UCHAR ScsiStatus;
  UCHAR PathId;
  UCHAR TargetId;
  UCHAR Lun;
  UCHAR CdbLength;        // 1..16
  UCHAR SenseInfoLength;  // room for sense at SenseInfoOffset; on return, the bytes written there
  UCHAR DataIn;           // SCSI_IOCTL_DATA_*
  ULONG DataTransferLength;  // size of DataBuffer; on return, the bytes transferred
  ULONG TimeOutValue;        // seconds, 1..108000
  PVOID DataBuffer;
  ULONG SenseInfoOffset;  // from the start of this structure, inside the output buffer
  UCHAR Cdb[16];
};
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12);
static_assert(sizeof(void*) != 8 || (offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24 &&
                                     offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32 &&
                                     sizeof(SCSI_PASS_THROUGH_DIRECT) == 56));

struct SCSI_ADDRESS {
  ULONG Length;  // sizeof(SCSI_ADDRESS)
  UCHAR PortNumber;
  UCHAR PathId;
  UCHAR TargetId;
  UCHAR Lun;
};
static_assert(sizeof(SCSI_ADDRESS) == 8);

// "E:\" (also "E:" or "E:/"): DRIVE_CDROM for a letter that holds a CD drive,
// DRIVE_NO_ROOT_DIR for anything else.
UINT GetDriveTypeA(LPCSTR rootPathName);

// Opens "\\.\E:" (OPEN_EXISTING only). INVALID_HANDLE_VALUE and the reason in
// GetLastError() when there is no drive at that letter or it cannot be opened.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

BOOL CloseHandle(HANDLE handle);

// IOCTL_SCSI_PASS_THROUGH_DIRECT: `in` holds a SCSI_PASS_THROUGH_DIRECT, `out`
// receives it back (usually the same buffer) with ScsiStatus, the transferred
// length and the sense at SenseInfoOffset. TRUE when the command reached the
// drive and completed, whatever its SCSI status: a CHECK CONDITION is reported
// in ScsiStatus, not hidden. FALSE with ERROR_MEDIA_CHANGED once per handle
// after the medium changed, ERROR_INVALID_HANDLE for a closed handle,
// ERROR_INVALID_PARAMETER for a malformed request, ERROR_SEM_TIMEOUT when the
// drive did not answer in time.
// IOCTL_SCSI_GET_ADDRESS: `out` receives a SCSI_ADDRESS.
// The call completes before returning; `overlapped` is ignored.
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID in, DWORD inBytes, LPVOID out,
                     DWORD outBytes, LPDWORD bytesReturned, void* overlapped);

// The calling thread's last error, as set by the calls above.
DWORD GetLastError();
void SetLastError(DWORD error);
