/* The ASPI for Win32 interface of libwnaspi32.so: its six entry points (C
   linkage) and request blocks in the classic ASPI header's fields and order,
   packed to 1 byte, with pointers of this platform's width.

   SC_EXEC_SCSI_CMD completes asynchronously: SendASPI32Command answers
   SS_PENDING and a worker runs the command; when it is done the library sets
   SRB_TargStat, the sense in SenseArea, SRB_HaStat and last SRB_Status, then
   sets the SRB_PostProc event if SRB_EVENT_NOTIFY was asked for. SRB_PostProc
   is an RmEvent (platform/sync/event_c.h), the manual-reset event of this
   platform. A caller may instead poll SRB_Status until it is not SS_PENDING.
   The block stays the caller's: it must stay valid while it is pending, and
   the library never touches it after it has set SRB_Status. */
#ifndef RIPMARROW_PLATFORM_ASPI_WNASPI32_H
#define RIPMARROW_PLATFORM_ASPI_WNASPI32_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SENSE_LEN 14 /* sense bytes a caller usually asks for */

/* SRB_Cmd */
#define SC_HA_INQUIRY 0x00
#define SC_GET_DEV_TYPE 0x01
#define SC_EXEC_SCSI_CMD 0x02
#define SC_ABORT_SRB 0x03
#define SC_RESET_DEV 0x04
#define SC_SET_HA_PARMS 0x05
#define SC_GET_DISK_INFO 0x06
#define SC_RESCAN_SCSI_BUS 0x07
#define SC_GETSET_TIMEOUTS 0x08

/* SRB_Status, and bits 8..15 of GetASPI32SupportInfo */
#define SS_PENDING 0x00
#define SS_COMP 0x01
#define SS_ABORTED 0x02
#define SS_ABORT_FAIL 0x03
#define SS_ERR 0x04
#define SS_INVALID_CMD 0x80
#define SS_INVALID_HA 0x81
#define SS_NO_DEVICE 0x82
#define SS_INVALID_SRB 0xE0
#define SS_OLD_MANAGER 0xE1
#define SS_BUFFER_ALIGN 0xE1
#define SS_ILLEGAL_MODE 0xE2
#define SS_NO_ASPI 0xE3
#define SS_FAILED_INIT 0xE4
#define SS_ASPI_IS_BUSY 0xE5
#define SS_BUFFER_TO_BIG 0xE6
#define SS_MISMATCHED_COMPONENTS 0xE7
#define SS_NO_ADAPTERS 0xE8
#define SS_INSUFFICIENT_RESOURCES 0xE9
#define SS_ASPI_IS_SHUTDOWN 0xEA
#define SS_BAD_INSTALL 0xEB

/* SRB_HaStat */
#define HASTAT_OK 0x00
#define HASTAT_TIMEOUT 0x09
#define HASTAT_COMMAND_TIMEOUT 0x0B
#define HASTAT_SEL_TO 0x11
#define HASTAT_DO_DU 0x12

/* SRB_Flags */
#define SRB_DIR_SCSI 0x00
#define SRB_POSTING 0x01
#define SRB_ENABLE_RESIDUAL_COUNT 0x04
#define SRB_DIR_IN 0x08
#define SRB_DIR_OUT 0x10
#define SRB_EVENT_NOTIFY 0x40

/* SRB_DeviceType */
#define DTYPE_CDROM 0x05
#define DTYPE_UNKNOWN 0x1F

#pragma pack(push, 1)

typedef struct {
  uint8_t SRB_Cmd; /* SC_HA_INQUIRY */
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t HA_Count;
  uint8_t HA_SCSI_ID;
  uint8_t HA_ManagerId[16];
  uint8_t HA_Identifier[16];
  uint8_t HA_Unique[16]; /* byte 3: targets per adapter; bytes 4..7: largest transfer (LE) */
  uint16_t HA_Rsvd1;
} SRB_HAInquiry, *PSRB_HAInquiry;

typedef struct {
  uint8_t SRB_Cmd; /* SC_GET_DEV_TYPE */
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DeviceType;
  uint8_t SRB_Rsvd1;
} SRB_GDEVBlock, *PSRB_GDEVBlock;

typedef struct {
  uint8_t SRB_Cmd; /* SC_EXEC_SCSI_CMD */
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;      /* bytes at SRB_BufPointer; never exceeded */
  uint8_t* SRB_BufPointer;
  uint8_t SRB_SenseLen;     /* sense bytes wanted in SenseArea (at most its 16) */
  uint8_t SRB_CDBLen;       /* 1..16 */
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;     /* SCSI status */
  void* SRB_PostProc;       /* RmEvent* set on completion with SRB_EVENT_NOTIFY */
  uint8_t SRB_Rsvd2[20];
  uint8_t CDBByte[16];
  uint8_t SenseArea[SENSE_LEN + 2];
} SRB_ExecSCSICmd, *PSRB_ExecSCSICmd;

typedef struct {
  uint8_t SRB_Cmd; /* SC_ABORT_SRB */
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  void* SRB_ToAbort; /* the pending SRB_ExecSCSICmd */
} SRB_Abort, *PSRB_Abort;

/* The header every request block starts with. */
typedef struct {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
} SRB_Header, *PSRB_Header;

typedef struct {
  uint8_t* AB_BufPointer;
  uint32_t AB_BufLen;
  uint32_t AB_ZeroFill;
  uint32_t AB_Reserved;
} ASPI32BUFF, *PASPI32BUFF;

#pragma pack(pop)

#if defined(__cplusplus)
static_assert(sizeof(void*) != 8 || sizeof(SRB_ExecSCSICmd) == 88, "SRB_ExecSCSICmd is 88 bytes");
static_assert(sizeof(SRB_HAInquiry) == 60, "SRB_HAInquiry is 60 bytes");
static_assert(sizeof(SRB_GDEVBlock) == 12, "SRB_GDEVBlock is 12 bytes");
#else
_Static_assert(sizeof(void*) != 8 || sizeof(SRB_ExecSCSICmd) == 88, "SRB_ExecSCSICmd is 88 bytes");
#endif

/* The entry points are the library's only exported symbols. */
#define WNASPI32_API __attribute__((visibility("default")))

/* Bits 8..15: SS_COMP, or SS_NO_ADAPTERS when there are none; bits 0..7: the
   number of host adapters. */
WNASPI32_API uint32_t GetASPI32SupportInfo(void);
/* SC_EXEC_SCSI_CMD answers SS_PENDING (or an error status at once); every
   other command completes before returning and answers its SRB_Status. */
WNASPI32_API uint32_t SendASPI32Command(void* srb);
/* A zeroed buffer for transfers (AB_BufLen bytes); FreeASPI32Buffer returns it. */
WNASPI32_API int32_t GetASPI32Buffer(PASPI32BUFF buffer);
WNASPI32_API int32_t FreeASPI32Buffer(PASPI32BUFF buffer);
/* Not supported here: FALSE. */
WNASPI32_API int32_t TranslateASPI32Address(uint32_t* path, uint32_t* devNode);
WNASPI32_API uint32_t GetASPI32DLLVersion(void);

/* Function types for dlsym. */
typedef uint32_t (*GetASPI32SupportInfoFn)(void);
typedef uint32_t (*SendASPI32CommandFn)(void*);
typedef int32_t (*GetASPI32BufferFn)(PASPI32BUFF);
typedef int32_t (*FreeASPI32BufferFn)(PASPI32BUFF);
typedef int32_t (*TranslateASPI32AddressFn)(uint32_t*, uint32_t*);
typedef uint32_t (*GetASPI32DLLVersionFn)(void);

#ifdef __cplusplus
}
#endif

#endif
