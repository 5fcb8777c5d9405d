#include "core/IssueCmd.h"

#include <cstring>

#include "core/AdapterCommand.h"
#include "core/AdapterTable.h"
#include "core/CallerMemory.h"
#include "core/DiskSize.h"
#include "core/IoctlPass.h"
#include "core/LowMemory.h"

namespace {

constexpr uint8_t kInquiryBlock[6] = {0x12, 0x00, 0x00, 0x00, 0x80, 0x00};
constexpr uint8_t kReadCapacityBlock[10] = {0x25};
constexpr uint8_t kFormatUnitBlock[6] = {0x04};
constexpr uint32_t kInquiryLength = 128;
constexpr uint32_t kReadCapacityLength = 8;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kReadBuffer = 0x3C;
// 0xF4's caller data: a 12-byte block field, then the data.
constexpr size_t kBufferBlockField = 12;
// Opcode 1000 moves its data through a buffer of this size.
constexpr uint32_t kGenericPassThruMax = 4096;
// Time-out class 3 with automatic request sense.
constexpr uint8_t kDeviceFlags = HALV_PT_AUTO_SENSE | HALV_PT_TIMEOUT_MASK;

uint8_t CurrentFwType() { return gachDacFWType[gulDacCurAdpNo]; }

Int Send(int op, AdapterCommand &cmd, unsigned long dataptr) {
  return CallIoctlPass(GetFileHandleOfCurrAdapter(), dataptr, cmd.dataLen,
                       cmd.direction, cmd.areaLen, cmd.area,
                       RefireFor(op, cmd));
}

Int DevicePassThru(int op, const uint8_t *block, uint8_t blockLen,
                   uint8_t flags, uint8_t channel, uint8_t target,
                   uint32_t length, int dir, unsigned long dataptr) {
  AdapterCommand cmd{};
  if (BuildPassThruArea(block, blockLen, flags, 0, channel, target, &cmd) != 0)
    return -1;
  cmd.dataLen = length;
  cmd.direction = dir;
  return Send(op, cmd, dataptr);
}

// READ CAPACITY answers the last block address big-endian; the caller gets
// the size the adapter makes usable of it.
Int ReadCapacity(uint8_t channel, uint8_t target, unsigned long dataptr) {
  uint8_t answer[kReadCapacityLength] = {};
  const Int result =
      DevicePassThru(0xF2, kReadCapacityBlock, sizeof kReadCapacityBlock,
                     kDeviceFlags, channel, target, sizeof answer,
                     HALV_DIR_READ, reinterpret_cast<unsigned long>(answer));
  if (result != 0) return result;
  ULong32 lastBlock = 0;
  std::memcpy(&lastBlock, answer, sizeof lastBlock);
  const ULong32 size = RemappedDiskSize(swap4(lastBlock));
  std::memcpy(reinterpret_cast<void *>(dataptr), &size, sizeof size);
  return 0;
}

// READ BUFFER or WRITE BUFFER: dataptr holds the block, then the data.
Int DeviceBuffer(uint8_t channel, uint8_t target, unsigned long dataptr,
                 uint32_t blockLen, uint32_t length) {
  const uint8_t *block = reinterpret_cast<const uint8_t *>(dataptr);
  if (blockLen != 6 && blockLen != 10 && blockLen != 12) return -1;
  // A pass-through carries its data inside the request: longer data would
  // go out by address as a malformed mailbox command.
  if (length > kGenericPassThruMax) return -1;
  int dir = HALV_DIR_NONE;
  if (block[0] == kWriteBuffer) {
    dir = HALV_DIR_WRITE;
  } else if (block[0] == kReadBuffer) {
    dir = HALV_DIR_READ;
  } else {
    return -1;
  }
  return DevicePassThru(0xF4, block, static_cast<uint8_t>(blockLen),
                        HALV_PT_AUTO_SENSE, channel, target, length, dir,
                        dataptr + kBufferBlockField);
}

// A raw command from an application's pass-through record. The trailer
// follows the block whatever its length, and the data travels through a
// local buffer: param2 bytes from the record's address before a command that
// writes, and back to it after a command that only reads.
Int GenericPassThru(unsigned long dataptr, uint32_t dir, uint32_t copyLen) {
  PassThru_Struct rec;
  std::memcpy(&rec, reinterpret_cast<const void *>(dataptr), sizeof rec);
  if (dir > HALV_DIR_BOTH) return -1;
  // The record's block field holds ten bytes.
  if (rec.CdbLength > sizeof rec.Cdb) return -1;
  if (rec.DataTransferLength < 0 ||
      static_cast<uint32_t>(rec.DataTransferLength) > kGenericPassThruMax) {
    return -1;
  }
  if (copyLen > kGenericPassThruMax) return -1;
  // The record's address is 32 bits: on a 64-bit host it may be a cut
  // pointer, so the data moves only through kernel-checked copies.
  const uint32_t userData = static_cast<uint32_t>(rec.DataTransferAddress);
  const bool copyIn = (dir & HALV_DIR_WRITE) != 0 && copyLen > 0;
  const bool copyOut = dir == HALV_DIR_READ && copyLen > 0;

  AdapterCommand cmd{};
  const bool logical = rec.IsLogical != 0;
  const int built =
      logical ? BuildPassThruArea(rec.Cdb, rec.CdbLength, HALV_PT_LOGICAL,
                                  rec.LogicalDriveNumber, 0, 0, &cmd)
              : BuildPassThruArea(rec.Cdb, rec.CdbLength, HALV_PT_AUTO_SENSE, 0,
                                  rec.Channel, rec.ScsiId, &cmd);
  if (built != 0) return -1;
  cmd.dataLen = static_cast<uint32_t>(rec.DataTransferLength);
  cmd.direction = static_cast<int>(dir);

  uint8_t local[kGenericPassThruMax] = {};
  if (copyIn && !CopyFromCaller(local, userData, copyLen)) return -1;
  const Int result = Send(1000, cmd, reinterpret_cast<unsigned long>(local));
  if (result == 0 && copyOut && !CopyToCaller(userData, local, copyLen))
    return -1;
  return result;
}

Int PassThruRow(int op, int objid, unsigned long dataptr, uint32_t param1,
                uint32_t param2) {
  uint8_t channel = 0;
  uint8_t target = 0;
  SplitDevice(objid, CurrentFwType(), &channel, &target);
  if (op != 0xF3 && dataptr == 0) return -1;
  switch (op) {
    case 0xCF:
    case 0xF0:
    case 0xF1:
      return DevicePassThru(op, kInquiryBlock, sizeof kInquiryBlock,
                            kDeviceFlags, channel, target, kInquiryLength,
                            HALV_DIR_READ, dataptr);
    case 0xF2:
      return ReadCapacity(channel, target, dataptr);
    case 0xF3:
      // Addressed to the physical device: a logical-drive flag here would
      // format logical drive 0 instead.
      return DevicePassThru(op, kFormatUnitBlock, sizeof kFormatUnitBlock,
                            kDeviceFlags, channel, target, 0, HALV_DIR_READ,
                            dataptr);
    case 0xF4:
      return DeviceBuffer(channel, target, dataptr, param1, param2);
    default:  // 1000
      return GenericPassThru(dataptr, param1, param2);
  }
}

}  // namespace

extern "C" Int IssueCmd(Int op, Int objid, unsigned long dataptr,
                        ULong32 param1, ULong32 param2) {
  // Checked first: the firmware type below is read by the current number.
  if (GetCurrentAdaptNumber() < 0 ||
      GetCurrentAdaptNumber() >= GetTotalAdapters() ||
      gulDacCurAdpNo >= HVAPI_MAX_ADAPTERS) {
    return -1;
  }
  if (IsPassThruOpcode(op))
    return PassThruRow(op, objid, dataptr, param1, param2);

  AdapterCommand cmd{};
  const uint8_t *data = reinterpret_cast<const uint8_t *>(dataptr);
  if (BuildMailboxCommand(op, objid, param1, param2, CurrentFwType(), data,
                          &cmd) != 0) {
    return -1;
  }
  return Send(op, cmd, dataptr);
}

extern "C" Int issue_adp_cmd(UChar op, UShort objid, UChar param1, UChar param2,
                             unsigned long dataptr) {
  return IssueCmd(op, objid, dataptr, param1, param2);
}
