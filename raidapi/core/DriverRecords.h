// Records exchanged with the Halvoran Linux driver: the request buffer, the
// multi-adapter ioctl record, the pass-through record and the command areas.
// The driver reads them byte for byte, so every layout is packed and pinned.
#ifndef HVAPI_CORE_DRIVER_RECORDS_H
#define HVAPI_CORE_DRIVER_RECORDS_H

#include <cstddef>
#include <cstdint>

// Request numbers understood by the driver.
constexpr unsigned long HALV_REQ_SEND_COMMAND =
    1;                                           // SCSI disk device interface
constexpr unsigned long HALV_REQ_MIMD = 0x6D00;  // "/dev/halvdev0"
constexpr unsigned long HALV_REQ_PROBE_HOST =
    0x5385;  // SCSI layer's host probe

// The multi-adapter interface names the adapter as this base OR its index.
constexpr uint16_t HALV_MIMD_ADAPNO_BASE = 0x6D00;

// Fake command opcodes: how the driver takes a request buffer.
constexpr uint8_t HALV_FAKE_MBOX = 0x80;          // data inside the buffer
constexpr uint8_t HALV_FAKE_MBOX_BY_ADDR = 0x81;  // data at fakecmd.buffer
constexpr uint8_t HALV_FAKE_DRIVER_QUERY = 0x82;  // sub-code in area byte 1

// Driver query sub-codes (command-area byte 1 with fake opcode 0x82).
constexpr uint8_t HALV_QUERY_ADAPTER_COUNT = 0x6D;
constexpr uint8_t HALV_QUERY_ADAPTER_SEQUENCE = 0x61;

// Data directions: bit 0 read from the adapter, bit 1 write to it.
constexpr int HALV_DIR_NONE = 0;
constexpr int HALV_DIR_READ = 1;
constexpr int HALV_DIR_WRITE = 2;
constexpr int HALV_DIR_BOTH = 3;

// Largest transfer carried inside the buffer; larger ones go by address.
constexpr uint32_t HALV_INLINE_DATA_MAX = 4096;
// OutGoingDataLen counts this header size plus the outgoing data bytes.
constexpr uint32_t HALV_OUTGOING_BASE = 64;
// Incoming data lands at this offset of the request buffer.
constexpr size_t HALV_INCOMING_OFFSET = 8;

// Mailbox: 18 bytes, byte 1 is the driver's command identifier, byte 17 the
// completion status written back by the firmware.
constexpr size_t HALV_MBOX_SIZE = 18;
constexpr size_t HALV_MBOX_STATUS = 17;
// Mailbox bytes 8..11 carry the address of the pass-through record.
constexpr size_t HALV_MBOX_PTHRU_ADDR = 8;

// Pass-through command area: 3, 0, block length, block, flags, logical
// drive, channel, target.
constexpr uint8_t HALV_AREA_PASSTHRU = 3;
constexpr size_t HALV_PT_CDBLEN = 2;
constexpr size_t HALV_PT_CDB = 3;
constexpr size_t HALV_PT_TRAILER = 4;  // flags, logical drive, channel, target
constexpr uint8_t HALV_PT_TIMEOUT_MASK = 0x03;
constexpr uint8_t HALV_PT_AUTO_SENSE = 0x08;
constexpr uint8_t HALV_PT_LOGICAL = 0x80;

constexpr size_t HALV_MBOX_AREA_LEN = 6;  // mailbox command area length
constexpr size_t HALV_CMD_SIZE = 32800;   // command area plus data in sdata

#pragma pack(push, 1)

// Mailbox command area; IssueCmd fills it by position (opcode and the three
// mailbox parameters, then byte 4 and a pad byte).
typedef struct USER_CDB {
  uint8_t ioctl;
  uint8_t channel;
  uint8_t param;
  uint8_t pad;
  uint8_t logdrv;
  uint8_t pad1;
} USER_CDB;
typedef USER_CDB UserCDB_Struct;

// The driver's fake SCSI command block at the head of a request buffer.
typedef struct fakecmd_t {
  uint8_t opcode;
  uint8_t pad[3];
  uint32_t buffer;  // user-space address (below 4 GiB)
  uint32_t length;
} fakecmd_t;

// The request buffer: lengths, fake command, command area then data.
typedef struct UserIoctl_Struct {
  uint32_t OutGoingDataLen;
  uint32_t InComingDataLen;
  fakecmd_t fakecmd;
  uint8_t cmd[HALV_CMD_SIZE];
} UserIoctl_Struct;

// The head shared by every request record: what the driver reads first.
typedef struct RequestHeader {
  uint32_t OutGoingDataLen;
  uint32_t InComingDataLen;
  fakecmd_t fakecmd;
} RequestHeader;

// The firmware download's own request record: same header, shorter area.
typedef struct UserIoctlStruc {
  uint32_t OutGoingDataLen;
  uint32_t InComingDataLen;
  fakecmd_t fakecmd;
  uint8_t cmd[32768];
} UserIoctlStruc;

// Raw SCSI command record as the driver sees it.
typedef struct halv_passthru {
  uint8_t timeout : 3;
  uint8_t ars : 1;
  uint8_t reserved : 3;
  uint8_t islogical : 1;
  uint8_t logdrv;
  uint8_t channel;
  uint8_t target;
  uint8_t queuetag;
  uint8_t queueaction;
  uint8_t cdb[10];
  uint8_t cdblen;
  uint8_t reqsenselen;
  uint8_t reqsensearea[32];
  uint8_t numsgelements;
  uint8_t scsistatus;
  uint32_t dataxferaddr;  // user-space address (below 4 GiB)
  uint32_t dataxferlen;
} halv_passthru;
typedef halv_passthru halv_passthru1;

// Fake command as the multi-adapter interface carries it.
typedef struct halv_fcs {
  uint8_t opcode;
  uint8_t subopcode;
  uint16_t adapno;
  union {
    uint32_t buffer;  // user-space address (below 4 GiB)
    uint8_t pad[8];
  } u;
  uint32_t length;
} halv_fcs;

// The record of request 0x6D00 on "/dev/halvdev0".
typedef struct uioctl_t {
  uint32_t inlen;
  uint32_t outlen;
  union {
    uint8_t fca[12];
    halv_fcs fcs;
  } ui;
  uint8_t mbox[HALV_MBOX_SIZE];
  halv_passthru pthru;
  union {
    uint32_t addr;  // user-space address (below 4 GiB)
    uint8_t pad[8];
  } data;
} uioctl_t;
typedef uioctl_t MIMDioctl_Struct;

#pragma pack(pop)

static_assert(sizeof(USER_CDB) == 6, "USER_CDB");
static_assert(sizeof(fakecmd_t) == 12, "fakecmd_t");
static_assert(offsetof(fakecmd_t, buffer) == 4, "fakecmd_t.buffer");
static_assert(offsetof(fakecmd_t, length) == 8, "fakecmd_t.length");

static_assert(sizeof(UserIoctl_Struct) == 32820, "sdata");
static_assert(offsetof(UserIoctl_Struct, InComingDataLen) == 4,
              "InComingDataLen");
static_assert(offsetof(UserIoctl_Struct, fakecmd) == 8, "fakecmd");
static_assert(offsetof(UserIoctl_Struct, cmd) == 20, "cmd");
static_assert(sizeof(RequestHeader) == offsetof(UserIoctl_Struct, cmd),
              "RequestHeader");
static_assert(sizeof(UserIoctlStruc) == 32788, "UserIoctlStruc");
static_assert(offsetof(UserIoctlStruc, cmd) == 20, "UserIoctlStruc.cmd");

static_assert(sizeof(halv_passthru) == 60, "halv_passthru");
static_assert(offsetof(halv_passthru, logdrv) == 1, "pthru.logdrv");
static_assert(offsetof(halv_passthru, cdb) == 6, "pthru.cdb");
static_assert(offsetof(halv_passthru, cdblen) == 16, "pthru.cdblen");
static_assert(offsetof(halv_passthru, reqsensearea) == 18,
              "pthru.reqsensearea");
static_assert(offsetof(halv_passthru, numsgelements) == 50,
              "pthru.numsgelements");
static_assert(offsetof(halv_passthru, scsistatus) == 51, "pthru.scsistatus");
static_assert(offsetof(halv_passthru, dataxferaddr) == 52,
              "pthru.dataxferaddr");
static_assert(offsetof(halv_passthru, dataxferlen) == 56, "pthru.dataxferlen");

static_assert(sizeof(halv_fcs) == 16, "fcs");
static_assert(sizeof(uioctl_t) == 110, "uioctl_t");
static_assert(offsetof(uioctl_t, outlen) == 4, "uioctl_t.outlen");
static_assert(offsetof(uioctl_t, ui) == 8, "uioctl_t.ui");
static_assert(offsetof(uioctl_t, ui.fcs.subopcode) == 9, "fcs.subopcode");
static_assert(offsetof(uioctl_t, ui.fcs.adapno) == 10, "fcs.adapno");
static_assert(offsetof(uioctl_t, ui.fcs.u.buffer) == 12, "fcs.buffer");
static_assert(offsetof(uioctl_t, ui.fcs.length) == 20, "fcs.length");
static_assert(offsetof(uioctl_t, mbox) == 24, "uioctl_t.mbox");
static_assert(offsetof(uioctl_t, mbox) + HALV_MBOX_STATUS == 41, "mbox status");
static_assert(offsetof(uioctl_t, pthru) == 42, "uioctl_t.pthru");
static_assert(offsetof(uioctl_t, data) == 102, "uioctl_t.data");

#endif  // HVAPI_CORE_DRIVER_RECORDS_H
