#include "core/AdapterCommand.h"

#include <cstring>

#include "hvapi.h"

namespace {

void Set(AdapterCommand *cmd, uint32_t length, int direction) {
  cmd->dataLen = length;
  cmd->direction = direction;
}

// Reads and writes that the caller chooses by a parameter: 1 read, 2 write.
bool ReadOrWrite(uint32_t selector, uint32_t length, AdapterCommand *cmd) {
  if (selector == 1) {
    Set(cmd, length, HALV_DIR_READ);
  } else if (selector == 2) {
    Set(cmd, length, HALV_DIR_WRITE);
  } else {
    return false;
  }
  return true;
}

// Adapter property 0x64: the property number decides length and direction.
bool AdapterProperty(uint32_t property, AdapterCommand *cmd) {
  switch (property) {
    case 1:
    case 3:
    case 7:
      Set(cmd, 1, HALV_DIR_READ);
      return true;
    case 2:
    case 4:
    case 8:
      Set(cmd, 1, HALV_DIR_WRITE);
      return true;
    case 5:
      Set(cmd, 4, HALV_DIR_READ);
      return true;
    case 6:
      Set(cmd, 4, HALV_DIR_WRITE);
      return true;
    default:
      return false;
  }
}

// The 40LD group and 0xA4 take length and direction from the length table;
// a sub-opcode it does not know goes out with no data.
void FromLengthTable(int op, int objid, uint32_t param1, uint32_t param2,
                     AdapterCommand *cmd) {
  Int dir = HALV_DIR_READ;
  const Int length = DataLengthOfGivenCmd(op, objid, param1, param2, &dir);
  if (length < 0 || dir < HALV_DIR_NONE || dir > HALV_DIR_BOTH) {
    Set(cmd, 0, HALV_DIR_NONE);
  } else {
    Set(cmd, static_cast<uint32_t>(length), dir);
  }
}

}  // namespace

void SplitDevice(int objid, uint8_t fwType, uint8_t *channel, uint8_t *target) {
  if (fwType == HVAPI_FW_40LD) {
    *channel = 0;
    *target = static_cast<uint8_t>(objid);
  } else {
    *channel = static_cast<uint8_t>(objid / HVAPI_TARGETS_PER_CHANNEL);
    *target = static_cast<uint8_t>(objid % HVAPI_TARGETS_PER_CHANNEL);
  }
}

bool IsPassThruOpcode(int op) {
  switch (op) {
    case 0xCF:
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF3:
    case 0xF4:
    case 1000:
      return true;
    default:
      return false;
  }
}

int BuildMailboxCommand(int op, int objid, uint32_t param1, uint32_t param2,
                        uint8_t fwType, const uint8_t *dataByte,
                        AdapterCommand *cmd) {
  std::memset(cmd, 0, sizeof *cmd);
  cmd->areaLen = HALV_MBOX_AREA_LEN;
  cmd->direction = HALV_DIR_READ;
  uint8_t *a = cmd->area;
  a[0] = static_cast<uint8_t>(op);
  uint8_t channel = 0;
  uint8_t target = 0;
  SplitDevice(objid, fwType, &channel, &target);
  const uint8_t obj = static_cast<uint8_t>(objid);
  const uint8_t p1 = static_cast<uint8_t>(param1);
  const uint8_t p2 = static_cast<uint8_t>(param2);

  switch (op) {
    case 0x04:
      Set(cmd, 168, HALV_DIR_READ);
      break;
    case 0x05:
      Set(cmd, 152, HALV_DIR_READ);
      break;
    case 0x06:
      a[1] = channel;
      a[2] = target;
      a[3] = p1;
      a[4] = p2;
      // A hot spare carries its size; other states carry nothing.
      if (param1 == HVAPI_PDRV_HOTSPARE) Set(cmd, 4, HALV_DIR_WRITE);
      break;
    case 0x07:
      Set(cmd, 1436, HALV_DIR_READ);
      break;
    case 0x08:
    case 0x28:
    case 0x6A:
      a[1] = channel;
      a[2] = target;
      Set(cmd, 0, HALV_DIR_NONE);
      break;
    case 0x09:
    case 0x0B:
    case 0x29:
    case 0x2B:
      a[1] = obj;
      Set(cmd, 0, HALV_DIR_NONE);
      break;
    case 0x0A:
      Set(cmd, 0, HALV_DIR_NONE);
      break;
    case 0x0C:
      Set(cmd, 1024, HALV_DIR_READ);
      break;
    case 0x18:
    case 0x77:
      a[1] = channel;
      a[2] = target;
      Set(cmd, op == 0x18 ? 4 : 2, HALV_DIR_READ);
      break;
    case 0x19:
    case 0x1B:
      a[1] = obj;
      Set(cmd, 4, HALV_DIR_READ);
      break;
    case 0x20:
      Set(cmd, 1436, HALV_DIR_WRITE);
      break;
    case 0x23:
      Set(cmd, 4, HALV_DIR_READ);
      break;
    case 0x24:
      Set(cmd, 4, HALV_DIR_WRITE);
      break;
    case 0x26:
      a[1] = obj;
      a[2] = p1;
      a[3] = p2;
      Set(cmd, 0, HALV_DIR_NONE);
      break;
    case 0x31:
      a[1] = channel;
      a[2] = target;
      a[3] = p1;
      Set(cmd, 1, HALV_DIR_READ);
      break;
    case 0x32:
    case 0x33:
      a[1] = obj;
      a[2] = p1;
      Set(cmd, 2, op == 0x32 ? HALV_DIR_READ : HALV_DIR_WRITE);
      break;
    case 0x36:
      Set(cmd, 8, HALV_DIR_READ);
      break;
    case 0x51:
      // Alarm control: 0 to 2 set the alarm, 3 asks for its state.
      a[1] = obj;
      a[2] = p1;
      if (dataByte == nullptr || *dataByte > 3) return -1;
      Set(cmd, 1, *dataByte == 3 ? HALV_DIR_BOTH : HALV_DIR_WRITE);
      break;
    case 0x52:
      Set(cmd, 4096, HALV_DIR_READ);
      break;
    case 0x53:
      Set(cmd, 81, HALV_DIR_READ);
      break;
    case 0x55:
    case 0x56:
      a[1] = p1;
      if (!ReadOrWrite(param1, op == 0x55 ? 1 : 8, cmd)) return -1;
      break;
    case 0x57:
      a[1] = p1;
      if (param1 != 2) return -1;
      Set(cmd, 2048, HALV_DIR_READ);
      break;
    case 0x60:
      Set(cmd, fwType == HVAPI_FW_40LD ? 40 : 16, HALV_DIR_BOTH);
      break;
    case 0x61:
      Set(cmd, 4, HALV_DIR_READ);
      break;
    case 0x62:
      a[1] = p1;
      if (!ReadOrWrite(param1, 2, cmd)) return -1;
      break;
    case 0x63:
      // The device whose stored configuration is wanted, as 0xA1 / 0x06
      // carries it.
      a[2] = p1;
      Set(cmd, 2204, HALV_DIR_READ);
      break;
    case 0x64:
      a[1] = p1;
      a[2] = p2;
      if (!AdapterProperty(param1, cmd)) return -1;
      break;
    case 0x67:
      Set(cmd, 2204, HALV_DIR_READ);
      break;
    case 0x68:
      Set(cmd, 2204, HALV_DIR_WRITE);
      break;
    case 0x70:
      a[1] = p1;
      Set(cmd, 1, HALV_DIR_BOTH);
      break;
    case 0x71:
    case 0x72:
      a[1] = obj;
      a[2] = p1;
      Set(cmd, 8, op == 0x71 ? HALV_DIR_READ : HALV_DIR_WRITE);
      break;
    case 0x73:
    case 0x74:
      a[1] = obj;
      a[2] = p1;
      Set(cmd, 0, HALV_DIR_NONE);
      break;
    case 0x75:
      a[1] = channel;
      a[2] = target;
      a[3] = (param1 == 1 || param1 == 2) ? p1 : 2;
      Set(cmd, 0, HALV_DIR_NONE);
      break;
    case 0x7D:
      Set(cmd, 1, HALV_DIR_READ);
      break;
    case 0x7F:
      Set(cmd, 1, HALV_DIR_WRITE);
      break;
    case 0x92:
      // Drive history: 0 reads it, 1 clears it.
      a[1] = p1;
      if (param1 > 1) return -1;
      Set(cmd, 118, param1 == 0 ? HALV_DIR_READ : HALV_DIR_NONE);
      break;
    case 0x97:
      a[1] = obj;
      Set(cmd, 1, objid == 0x10 ? HALV_DIR_READ : HALV_DIR_WRITE);
      break;
    case 0xA1:
    case 0xA4:
      a[1] = obj;
      a[2] = p1;
      a[3] = p2;
      FromLengthTable(op, objid, param1, param2, cmd);
      break;
    case 0xC3:
      Set(cmd, 193, HALV_DIR_READ);
      break;
    case 0xDD:
      a[0] = 0x65;
      a[1] = 0x01;
      Set(cmd, 12, HALV_DIR_READ);
      break;
    case 0x101:
      a[0] = HALV_FAKE_DRIVER_QUERY;
      a[1] = HALV_QUERY_ADAPTER_COUNT;
      Set(cmd, 4, HALV_DIR_READ);
      break;
    case 0x104: {
      a[0] = HALV_FAKE_DRIVER_QUERY;
      a[1] = HALV_QUERY_ADAPTER_SEQUENCE;
      const uint64_t length = uint64_t{param1} * 4 + 4;
      if (length > sizeof(UserIoctl_Struct) - HALV_INCOMING_OFFSET) return -1;
      Set(cmd, static_cast<uint32_t>(length), HALV_DIR_READ);
      break;
    }
    default:
      return -1;
  }
  return 0;
}

int BuildPassThruArea(const uint8_t *cdb, uint8_t cdbLen, uint8_t flags,
                      uint8_t logdrv, uint8_t channel, uint8_t target,
                      AdapterCommand *cmd) {
  if (cdbLen != 6 && cdbLen != 10 && cdbLen != 12) return -1;
  uint8_t *a = cmd->area;
  std::memset(a, 0, sizeof cmd->area);
  a[0] = HALV_AREA_PASSTHRU;
  a[1] = 0;
  a[HALV_PT_CDBLEN] = cdbLen;
  std::memcpy(a + HALV_PT_CDB, cdb, cdbLen);
  uint8_t *trailer = a + HALV_PT_CDB + cdbLen;
  trailer[0] = flags;
  trailer[1] = logdrv;
  trailer[2] = channel;
  trailer[3] = target;
  cmd->areaLen = static_cast<uint8_t>(HALV_PT_CDB + cdbLen + HALV_PT_TRAILER);
  return 0;
}

uint8_t RefireFor(int op, const AdapterCommand &cmd) {
  if (cmd.area[1] == 0x0E || cmd.area[1] == 0x0F) return 0;
  return static_cast<uint8_t>(op);
}
