#include "core/ScsiCommand.h"

#include <sys/ioctl.h>

#include <cstring>

#include "core/AdapterCommand.h"
#include "core/IoctlPass.h"
#include "core/LowMemory.h"

namespace {

Int ThroughDisk(const PassThru_Struct &rec, uint8_t *data, bool logical,
                int dir, uint32_t length) {
  UserIoctl_Struct *sd = RequestBuffer();
  if (sd == nullptr) return -1;
  // The record's block field holds ten bytes; the area carries the block the
  // caller gave, so the device runs the command that was asked for.
  if (rec.CdbLength > sizeof rec.Cdb) return -1;
  AdapterCommand cmd{};
  const int built = BuildPassThruArea(
      rec.Cdb, rec.CdbLength, logical ? HALV_PT_LOGICAL : HALV_PT_AUTO_SENSE,
      rec.LogicalDriveNumber, rec.Channel, rec.ScsiId, &cmd);
  if (built != 0) return -1;
  const bool read = (dir & HALV_DIR_READ) != 0;
  const bool write = (dir & HALV_DIR_WRITE) != 0;
  if ((read || write) && length > 0 && data == nullptr) return -1;

  std::memset(sd, 0, sizeof(RequestHeader) + sizeof cmd.area);
  sd->OutGoingDataLen = HALV_OUTGOING_BASE + (write ? length : 0);
  sd->InComingDataLen = read ? length : 0;
  sd->fakecmd.opcode = HALV_FAKE_MBOX;
  std::memcpy(sd->cmd, cmd.area, cmd.areaLen);
  if (write && length > 0) std::memcpy(sd->cmd + cmd.areaLen, data, length);

  const int result =
      ioctl(GetFileHandleOfCurrAdapter(), HALV_REQ_SEND_COMMAND, sd);
  if (result == 0 && read && length > 0) {
    std::memcpy(data, reinterpret_cast<uint8_t *>(sd) + HALV_INCOMING_OFFSET,
                length);
  }
  return result;
}

Int ThroughMimd(const PassThru_Struct &rec, int dir, uint32_t length) {
  uioctl_t *u = MimdRecord();
  if (u == nullptr) return -1;
  std::memset(u, 0, sizeof *u);
  u->ui.fcs.opcode = HALV_FAKE_MBOX;
  u->ui.fcs.adapno = static_cast<uint16_t>(HALV_MIMD_ADAPNO_BASE |
                                           (GetCurrentAdaptNumber() & 0xFF));
  u->mbox[0] = HALV_AREA_PASSTHRU;
  uint32_t pthruAddr = 0;
  if (!ToDriverAddress(&u->pthru, &pthruAddr)) return -1;
  std::memcpy(u->mbox + HALV_MBOX_PTHRU_ADDR, &pthruAddr, sizeof pthruAddr);
  u->inlen = (dir & HALV_DIR_WRITE) != 0 ? length : 0;
  u->outlen = (dir & HALV_DIR_READ) != 0 ? length : 0;
  static_assert(sizeof u->pthru == sizeof rec, "pass-through records differ");
  std::memcpy(&u->pthru, &rec, sizeof rec);

  // A refused request leaves the caller's status untouched; it is a failure
  // all the same.
  if (ioctl(GetMIMDFileDescriptor(), HALV_REQ_MIMD, u) < 0) return -1;
  return u->pthru.scsistatus;
}

}  // namespace

extern "C" Int SCSICommand(PassThru_Struct *pstPassThru, char *pcDataPtr,
                           Bool bIsLogical, UChar ucDataDir,
                           ULong32 ulDataLength) {
  if (pstPassThru == nullptr || ucDataDir > HALV_DIR_BOTH ||
      ulDataLength > HALV_INLINE_DATA_MAX) {
    return -1;
  }
  switch (GetDriverType()) {
    case HVAPI_DRIVER_SCSI:
      return ThroughDisk(*pstPassThru, reinterpret_cast<uint8_t *>(pcDataPtr),
                         bIsLogical != 0, ucDataDir, ulDataLength);
    case HVAPI_DRIVER_MIMD:
      return ThroughMimd(*pstPassThru, ucDataDir, ulDataLength);
    default:
      return -1;
  }
}
