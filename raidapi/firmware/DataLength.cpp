#include "firmware/DataLength.h"

#include "core/AdapterTable.h"
#include "firmware/FirmwareLayouts.h"

namespace {

constexpr Int N = HVAPI_DIR_NONE;
constexpr Int R = HVAPI_DIR_READ;
constexpr Int W = HVAPI_DIR_WRITE;
constexpr Int B = HVAPI_DIR_BOTH;

struct LengthRow {
  Int opcode;
  Int length;
  Int direction;
};

// Commands whose length and direction do not depend on their parameters.
// Some lengths are those of older firmware: 0x07 and 0x20 move 1436 bytes
// and 0x63, 0x67 and 0x68 move 2204 bytes on the adapters the library
// drives, and the transport sends those sizes itself.
constexpr LengthRow kFixedRows[] = {
    {0x04, 168, R},  {0x05, 152, R},  {0x07, 1396, R}, {0x08, 0, N},
    {0x09, 0, N},    {0x0B, 0, N},    {0x0E, 1, R},    {0x17, 1, R},
    {0x18, 1, R},    {0x19, 1, R},    {0x1B, 1, R},    {0x20, 1396, W},
    {0x23, 1, R},    {0x24, 1, B},    {0x26, 1, W},    {0x28, 0, N},
    {0x29, 0, N},    {0x2B, 0, N},    {0x31, 1, R},    {0x32, 2, R},
    {0x33, 2, W},    {0x36, 8, R},    {0x51, 1, B},    {0x52, 4096, R},
    {0x53, 81, R},   {0x61, 1, R},    {0x62, 2, B},    {0x63, 2164, R},
    {0x67, 2164, R}, {0x68, 2164, W}, {0x6A, 0, N},    {0x70, 1, B},
    {0x71, 8, R},    {0x72, 8, W},    {0x73, 0, N},    {0x74, 0, N},
    {0x75, 0, N},    {0x77, 2, R},    {0x7D, 1, R},    {0x92, 118, R},
    {0xC0, 1, R},    {0xC3, 193, R},  {0xDD, 16, R},   {0xF0, 128, R},
    {0xF1, 128, R},  {0xF2, 8, R},    {0xF3, 0, N},    {0xF4, 32, R},
};

constexpr Int kUnknown = -1;

// Length and direction of a sub-opcode of the 40LD group 0xA1.
Int Group40LDLength(Int sub, ULong32 param1, Int *dir) {
  switch (sub) {
    case 0x02:
    case 0x03:
    case 0x07:
    case 0x08:
    case 0x09:
    case 0x0B:
      *dir = N;
      return 0;
    case kSub40LDReadDiskArray:
    case kSub40LDReadDiskArray2:
    case kSub40LDReadDeviceConfig:
      return sizeof(APP_DISC_ARRAY_40LD);
    case kSub40LDLoopIdMap:
      return sizeof(LOOPID_MAP);
    case kSub40LD0C:
      return 1;
    case kSub40LDWriteConfig:
      *dir = W;
      return sizeof(APP_DISC_ARRAY_40LD);
    case kSub40LDProductInfo:
      return sizeof(HALVORAN_PRODUCT_INFO_40LD);
    case kSub40LDEnquiry3:
      return param1 == kEnq3Notify ? sizeof(HALVORAN_NOTIFY_40LD)
                                   : sizeof(HALVORAN_ENQ3_40LD);
    default:
      return kUnknown;
  }
}

// Length and direction of a command whose parameters decide them; kUnknown
// with *found false when the opcode is not one of these.
Int VariableLength(Int opcode, Int objid, ULong32 param1, Int *dir,
                   bool *found) {
  *found = true;
  switch (opcode) {
    case kOpSetDeviceState:
      if (param1 == 3 || param1 == 4) *dir = N;
      if (param1 == 6) {
        *dir = N;
        return 4;
      }
      return 0;
    case 0x55:
    case 0x56:
      if (param1 != 1) *dir = W;
      return opcode == 0x55 ? 1 : 8;
    case kOpStartRecon: {
      *dir = B;
      const bool is40LD = gulDacCurAdpNo < HVAPI_MAX_ADAPTERS &&
                          gachDacFWType[gulDacCurAdpNo] == HVAPI_FW_40LD;
      return is40LD ? sizeof(RECONSTRUCT_40LD_DATA)
                    : sizeof(RECONSTRUCT_8LD_DATA);
    }
    case kOpAdapterProperty:
      switch (param1) {
        case 1:
        case 3:
        case 7:
          return 1;
        case 2:
        case 4:
        case 8:
          *dir = W;
          return 1;
        case 5:
          return 4;
        case 6:
          *dir = W;
          return 4;
        default:
          return kUnknown;
      }
    case kOp40LD:
      return Group40LDLength(objid, param1, dir);
    case kOpA4:
      return objid == kSubA4Read ? 40 : kUnknown;
    default:
      *found = false;
      return kUnknown;
  }
}

}  // namespace

extern "C" HVAPI_EXPORT Int DataLengthOfGivenCmd(Int opcode, Int objid,
                                                 ULong32 param1, ULong32 param2,
                                                 Int *datadir) {
  (void)param2;  // no command's length depends on it
  Int ignored;
  Int *dir = datadir != nullptr ? datadir : &ignored;
  *dir = R;
  if (opcode < kDataLengthFirstOpcode || opcode > kDataLengthLastOpcode) {
    return kUnknown;
  }
  bool found;
  const Int length = VariableLength(opcode, objid, param1, dir, &found);
  if (found) return length;
  for (const LengthRow &row : kFixedRows) {
    if (row.opcode == opcode) {
      *dir = row.direction;
      return row.length;
    }
  }
  return kUnknown;
}
