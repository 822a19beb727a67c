// The ASPI request blocks and codes the layer uses. They come from the ASPI
// library's header; until that header is part of the tree, the same
// definitions (the classic fields and order, packed to 1 byte, pointers of
// this platform's width) stand here.
#pragma once

#if __has_include("platform/aspi/wnaspi32.h")
#include "platform/aspi/wnaspi32.h"
#else
#include <cstdint>

#include "platform/wintypes/wintypes.h"

#define SS_PENDING 0x00
#define SS_COMP 0x01
#define SS_ERR 0x04
#define SS_INVALID_HA 0x81
#define SS_NO_DEVICE 0x82
#define SS_NO_ASPI 0xE3
#define SS_NO_ADAPTERS 0xE8
#define SC_HA_INQUIRY 0x00
#define SC_GET_DEV_TYPE 0x01
#define SC_EXEC_SCSI_CMD 0x02
#define SRB_DIR_IN 0x08
#define SRB_DIR_OUT 0x10
#define SRB_EVENT_NOTIFY 0x40
#define SENSE_LEN 14

#pragma pack(push, 1)
struct SRB_HAInquiry {
  BYTE SRB_Cmd, SRB_Status, SRB_HaId, SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
  BYTE HA_Count, HA_SCSI_ID;
  BYTE HA_ManagerId[16];
  BYTE HA_Identifier[16];
  BYTE HA_Unique[16];
  WORD HA_Rsvd1;
};
struct SRB_GDEVBlock {
  BYTE SRB_Cmd, SRB_Status, SRB_HaId, SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
  BYTE SRB_Target, SRB_Lun, SRB_DeviceType, SRB_Rsvd1;
};
struct SRB_ExecSCSICmd {
  BYTE SRB_Cmd, SRB_Status, SRB_HaId, SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
  BYTE SRB_Target, SRB_Lun;
  WORD SRB_Rsvd1;
  DWORD SRB_BufLen;
  BYTE* SRB_BufPointer;
  BYTE SRB_SenseLen, SRB_CDBLen, SRB_HaStat, SRB_TargStat;
  void* SRB_PostProc;
  BYTE SRB_Rsvd2[20];
  BYTE CDBByte[16];
  BYTE SenseArea[SENSE_LEN + 2];
};
#pragma pack(pop)
static_assert(sizeof(void*) != 8 || sizeof(SRB_ExecSCSICmd) == 88);
#endif
