// What IssueCmd sends for one library opcode: the command area, the data
// length and the direction. Building it touches no driver and no global, so
// every row of the opcode table can be checked on its own.
#ifndef HVAPI_CORE_ADAPTER_COMMAND_H
#define HVAPI_CORE_ADAPTER_COMMAND_H

#include <cstdint>

#include "core/DriverRecords.h"

// Longest command area: a 12-byte SCSI block behind three bytes, then the
// flags, logical drive, channel and target.
constexpr uint8_t kMaxCmdAreaLen = HALV_PT_CDB + 12 + HALV_PT_TRAILER;

struct AdapterCommand {
  uint8_t area[kMaxCmdAreaLen];
  uint8_t areaLen;
  uint32_t dataLen;
  int direction;  // HALV_DIR_*
};

// Channel and target of the device that objid names: channel * 16 + target
// on 8LD firmware (types 1 and 2), the whole number as target on channel 0
// on 40LD firmware (type 3).
void SplitDevice(int objid, uint8_t fwType, uint8_t *channel, uint8_t *target);

// True for the opcodes that send a raw SCSI command to a device.
bool IsPassThruOpcode(int op);

// Fills *cmd for mailbox opcode op on an adapter of firmware type fwType.
// dataByte is the first byte of the caller's data (alarm control chooses its
// direction by it); null when there is none. Returns 0, or -1 for an opcode
// outside the table (pass-through opcodes included) or parameters its row
// refuses.
int BuildMailboxCommand(int op, int objid, uint32_t param1, uint32_t param2,
                        uint8_t fwType, const uint8_t *dataByte,
                        AdapterCommand *cmd);

// Fills the area of *cmd with a pass-through of the cdbLen-byte block cdb
// (6, 10 or 12 bytes) to the device or logical drive the trailer names.
// Returns 0, or -1 for another block length. Leaves length and direction.
int BuildPassThruArea(const uint8_t *cdb, uint8_t cdbLen, uint8_t flags,
                      uint8_t logdrv, uint8_t channel, uint8_t target,
                      AdapterCommand *cmd);

// The refire byte that goes with an area: the opcode's low byte, except 0 for
// the 40LD group's product information and enquiry 3 (area byte 1 0x0E or
// 0x0F), whose answers come back inside the buffer like any short read.
uint8_t RefireFor(int op, const AdapterCommand &cmd);

#endif  // HVAPI_CORE_ADAPTER_COMMAND_H
