#include "core/IoctlPass.h"

#include <sys/ioctl.h>
#include <sys/mman.h>

#include <cstring>

#include "core/AdapterTable.h"
#include "core/LowMemory.h"

namespace {

// Every record handed to CommonIoctl is at least this long.
constexpr size_t kMinRecordSize = sizeof(UserIoctlStruc);
constexpr size_t kAreaOffset = sizeof(RequestHeader);
// Bytes at the start of the area that interface 1 copies into the mailbox.
constexpr size_t kMboxAreaBytes = 16;

template <typename T>
T *LowRecord() {
  return static_cast<T *>(LowAlloc(sizeof(T)));
}

bool IsRead(int dir) { return (dir & HALV_DIR_READ) != 0; }
bool IsWrite(int dir) { return (dir & HALV_DIR_WRITE) != 0; }

// Mailbox byte 0 is the opcode, byte 1 the driver's command identifier, and
// bytes 2 to 16 the rest of the area.
void FillMailbox(uioctl_t *u, const uint8_t *area) {
  u->mbox[0] = area[0];
  std::memcpy(u->mbox + 2, area + 1, kMboxAreaBytes - 1);
}

int SendMimd(uioctl_t *u) {
  return ioctl(GetMIMDFileDescriptor(), HALV_REQ_MIMD, u);
}

// A raw SCSI command: the area's block and trailer go into the pass-through
// record, which the driver finds through mailbox bytes 8 to 11.
Int MimdPassThru(uint8_t *buf, const RequestHeader &h, int dir, size_t areaLen,
                 uioctl_t *u) {
  const uint8_t *area = buf + kAreaOffset;
  const uint8_t cdbLen = area[HALV_PT_CDBLEN];
  // The record's block field holds ten bytes; a 12-byte block cannot travel
  // on this interface.
  if (cdbLen != 6 && cdbLen != 10) return -1;
  if (areaLen < HALV_PT_CDB + cdbLen + HALV_PT_TRAILER) return -1;
  const uint32_t outLen = h.OutGoingDataLen - HALV_OUTGOING_BASE;
  uint8_t *dataArea = dir == HALV_DIR_READ ? buf + HALV_INCOMING_OFFSET
                                           : buf + kAreaOffset + areaLen;
  const size_t room = kMinRecordSize - static_cast<size_t>(dataArea - buf);
  if (h.InComingDataLen > room || outLen > room) return -1;

  u->ui.fcs.opcode = HALV_FAKE_MBOX;
  u->mbox[0] = HALV_AREA_PASSTHRU;
  uint32_t pthruAddr = 0;
  uint32_t dataAddr = 0;
  if (!ToDriverAddress(&u->pthru, &pthruAddr) ||
      !ToDriverAddress(dataArea, &dataAddr)) {
    return -1;
  }
  std::memcpy(u->mbox + HALV_MBOX_PTHRU_ADDR, &pthruAddr, sizeof pthruAddr);

  halv_passthru &pt = u->pthru;
  const uint8_t *trailer = area + HALV_PT_CDB + cdbLen;
  pt.cdblen = cdbLen;
  std::memcpy(pt.cdb, area + HALV_PT_CDB, cdbLen);
  pt.timeout = trailer[0] & HALV_PT_TIMEOUT_MASK;
  pt.ars = (trailer[0] & HALV_PT_AUTO_SENSE) != 0;
  pt.islogical = (trailer[0] & HALV_PT_LOGICAL) != 0;
  pt.logdrv = trailer[1];
  pt.channel = trailer[2];
  pt.target = trailer[3];
  pt.dataxferlen = dir == HALV_DIR_READ ? h.InComingDataLen : outLen;
  pt.dataxferaddr = dataAddr;
  u->data.addr = dataAddr;
  u->inlen = outLen;
  u->outlen = h.InComingDataLen;
  pt.scsistatus = 0xFF;
  // Everything of the request is in the record now; what the device sends
  // lands on zeros, not on an earlier answer.
  if (dir == HALV_DIR_READ) std::memset(dataArea, 0, h.InComingDataLen);

  if (SendMimd(u) < 0 || pt.scsistatus != 0) return -1;
  if (IsRead(dir)) {
    std::memmove(buf + HALV_INCOMING_OFFSET, dataArea, h.InComingDataLen);
  }
  return 0;
}

// A mailbox command or a driver query with its data inside the buffer.
Int MimdInline(uint8_t *buf, const RequestHeader &h, int dir, size_t areaLen,
               uioctl_t *u) {
  const uint8_t *area = buf + kAreaOffset;
  const uint32_t outLen = h.OutGoingDataLen - HALV_OUTGOING_BASE;
  uint8_t *dataArea = buf + kAreaOffset + areaLen;
  const size_t room = kMinRecordSize - kAreaOffset - areaLen;
  if (h.InComingDataLen > room || outLen > room) return -1;
  uint32_t dataAddr = 0;
  if (!ToDriverAddress(dataArea, &dataAddr)) return -1;

  const uint8_t fake = h.fakecmd.opcode;
  u->inlen = outLen;
  u->outlen = h.InComingDataLen;
  u->ui.fcs.opcode = fake;
  u->data.addr = dataAddr;
  if (fake == HALV_FAKE_DRIVER_QUERY) {
    u->ui.fcs.subopcode = area[1];
    u->ui.fcs.u.buffer = h.fakecmd.buffer;
    u->ui.fcs.length = h.fakecmd.length;
    u->pthru.dataxferlen = h.fakecmd.length;
  } else {
    u->pthru.dataxferlen = IsRead(dir) ? h.InComingDataLen : outLen;
  }
  FillMailbox(u, area);
  if (outLen == 0) std::memset(dataArea, 0, h.InComingDataLen);

  const int result = SendMimd(u);
  if (result < 0) return -1;
  if (IsRead(dir)) {
    std::memmove(buf + HALV_INCOMING_OFFSET, dataArea, h.InComingDataLen);
  }
  return fake == HALV_FAKE_DRIVER_QUERY ? result : u->mbox[HALV_MBOX_STATUS];
}

// A mailbox command whose data the driver reads or writes by address.
Int MimdByAddress(uint8_t *buf, const RequestHeader &h, int dir, uioctl_t *u) {
  u->inlen = dir == HALV_DIR_READ ? 0 : 1;
  u->outlen = dir == HALV_DIR_READ ? 1 : 0;
  u->ui.fcs.opcode = h.fakecmd.opcode;
  u->ui.fcs.u.buffer = h.fakecmd.buffer;
  u->ui.fcs.length = h.fakecmd.length;
  FillMailbox(u, buf + kAreaOffset);

  if (SendMimd(u) < 0) return -1;
  if (IsRead(dir)) {
    // The driver's own count is not trusted beyond what was asked for and
    // what the buffer holds.
    const uint8_t *from =
        static_cast<const uint8_t *>(FromDriverAddress(h.fakecmd.buffer));
    uint8_t *to = buf + HALV_INCOMING_OFFSET;
    size_t count = u->pthru.dataxferlen;
    if (count > h.fakecmd.length) count = h.fakecmd.length;
    if (count > kMinRecordSize - HALV_INCOMING_OFFSET)
      count = kMinRecordSize - HALV_INCOMING_OFFSET;
    if (from != nullptr && from != to && count > 0)
      std::memmove(to, from, count);
    // Past what the driver says it brought back lies an earlier answer.
    const size_t asked =
        h.fakecmd.length < kMinRecordSize - HALV_INCOMING_OFFSET
            ? h.fakecmd.length
            : kMinRecordSize - HALV_INCOMING_OFFSET;
    if (count < asked) std::memset(to + count, 0, asked - count);
  }
  return u->mbox[HALV_MBOX_STATUS];
}

Int MimdIoctl(void *pstData, int dir, int areaLen) {
  uioctl_t *u = MimdRecord();
  if (u == nullptr) return -1;
  if (areaLen < 0 ||
      static_cast<size_t>(areaLen) > kMinRecordSize - kAreaOffset)
    return -1;
  uint8_t *buf = static_cast<uint8_t *>(pstData);
  RequestHeader h;
  std::memcpy(&h, buf, sizeof h);
  if (h.OutGoingDataLen < HALV_OUTGOING_BASE) return -1;

  std::memset(u, 0, sizeof *u);
  u->ui.fcs.adapno = static_cast<uint16_t>(HALV_MIMD_ADAPNO_BASE |
                                           (GetCurrentAdaptNumber() & 0xFF));
  const size_t len = static_cast<size_t>(areaLen);
  switch (h.fakecmd.opcode) {
    case HALV_FAKE_MBOX:
      if (buf[kAreaOffset] == HALV_AREA_PASSTHRU)
        return MimdPassThru(buf, h, dir, len, u);
      return MimdInline(buf, h, dir, len, u);
    case HALV_FAKE_DRIVER_QUERY:
      return MimdInline(buf, h, dir, len, u);
    default:
      return MimdByAddress(buf, h, dir, u);
  }
}

}  // namespace

UserIoctl_Struct *RequestBuffer() {
  static UserIoctl_Struct *const buffer = LowRecord<UserIoctl_Struct>();
  return buffer;
}

uioctl_t *MimdRecord() {
  static uioctl_t *const record = LowRecord<uioctl_t>();
  return record;
}

extern "C" Int CallIoctlPass(int fd, unsigned long user_dataptr,
                             ULong32 datalen, int datadir, UChar CmdArea_Len,
                             UChar *CmdArea_Addr, UChar refire) {
  UserIoctl_Struct *sd = RequestBuffer();
  if (sd == nullptr || CmdArea_Addr == nullptr || CmdArea_Len == 0) return -1;
  if (datadir < HALV_DIR_NONE || datadir > HALV_DIR_BOTH) return -1;
  const bool read = IsRead(datadir);
  const bool write = IsWrite(datadir);
  // Transfers are bounded by the request buffer, whatever the caller asks.
  if (write && datalen > sizeof sd->cmd - CmdArea_Len) return -1;
  if (read && datalen > sizeof *sd - HALV_INCOMING_OFFSET) return -1;
  uint8_t *user = reinterpret_cast<uint8_t *>(user_dataptr);
  if ((read || write) && datalen > 0 && user == nullptr) return -1;

  uint8_t *base = reinterpret_cast<uint8_t *>(sd);
  uint8_t *outgoing = sd->cmd + CmdArea_Len;
  sd->OutGoingDataLen = HALV_OUTGOING_BASE;
  sd->InComingDataLen = 0;
  std::memset(&sd->fakecmd, 0, sizeof sd->fakecmd);
  if (datalen <= HALV_INLINE_DATA_MAX) {
    sd->fakecmd.opcode = CmdArea_Addr[0] == HALV_FAKE_DRIVER_QUERY
                             ? HALV_FAKE_DRIVER_QUERY
                             : HALV_FAKE_MBOX;
    if (refire != 0xA1) {
      if (read) sd->InComingDataLen = datalen;
      if (write) sd->OutGoingDataLen += datalen;
    } else if (read && GetDriverType() == HVAPI_DRIVER_MIMD) {
      // A SCSI disk device's driver knows how long a 40LD group answer is;
      // the multi-adapter record brings back only the bytes it is told of.
      sd->InComingDataLen = datalen;
    }
  } else {
    sd->fakecmd.opcode = HALV_FAKE_MBOX_BY_ADDR;
    const void *at =
        write ? static_cast<void *>(outgoing) : base + HALV_INCOMING_OFFSET;
    if (!ToDriverAddress(at, &sd->fakecmd.buffer)) return -1;
    sd->fakecmd.length = datalen;
  }

  // The mailbox takes the area's first 16 bytes; clear them so that nothing
  // of an earlier request rides along behind a short area.
  std::memset(sd->cmd, 0, kMboxAreaBytes);
  std::memcpy(sd->cmd, CmdArea_Addr, CmdArea_Len);
  if (write && datalen > 0) std::memcpy(outgoing, user, datalen);
  // The answer comes back over this request from offset 8; behind the
  // request's own bytes the buffer is cleared, so that a driver that brings
  // back less than asked leaves zeros there, not an earlier answer.
  if (read) {
    const size_t used = static_cast<size_t>(outgoing - base) +
                        (write ? static_cast<size_t>(datalen) : 0);
    const size_t end = HALV_INCOMING_OFFSET + static_cast<size_t>(datalen);
    if (end > used) std::memset(base + used, 0, end - used);
  }

  // The 40LD group's adapter works on the buffer directly; keeping it
  // resident helps but is not required, so a refused lock is not an error.
  const bool pinned = CmdArea_Addr[0] == 0xA1 && mlock(sd, sizeof *sd) == 0;
  const Int result = CommonIoctl(fd, static_cast<int>(HALV_REQ_SEND_COMMAND),
                                 sd, datadir, CmdArea_Len);
  if (pinned) munlock(sd, sizeof *sd);

  if (result == 0 && read && datalen > 0) {
    std::memcpy(user, base + HALV_INCOMING_OFFSET, datalen);
  }
  return result;
}

extern "C" Int CommonIoctl(int iFileDesptr, int iRequest, void *pstData,
                           int iDataDirection, int iCmdArea_Len) {
  if (pstData == nullptr) return -1;
  switch (GetDriverType()) {
    case HVAPI_DRIVER_SCSI:
      return ioctl(iFileDesptr, static_cast<unsigned long>(iRequest), pstData);
    case HVAPI_DRIVER_MIMD:
      return MimdIoctl(pstData, iDataDirection, iCmdArea_Len);
    default:
      return -1;
  }
}
