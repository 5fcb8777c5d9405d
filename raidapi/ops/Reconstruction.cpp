// Reconstruction of a logical drive: new member devices, a new RAID level,
// or both; and its progress, which the adapter reports while it refuses
// every other operation.
#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/DeviceChecks.h"
#include "ops/DiskArray.h"

namespace {

constexpr UChar kReconstructOperation = 1;
constexpr int kMaxNew8LD = 8;
constexpr int kMaxNew40LD = 32;
constexpr UChar kRaid3ApiStripe = 0x40;
constexpr UChar kRaid3FirmwareStripe = 0x80;
constexpr UChar kMinParityDevices = 3;

bool ReconstructibleLevel(Int level) {
  return level == HVAPI_RAID0 || level == HVAPI_RAID1 || level == HVAPI_RAID3 ||
         level == HVAPI_RAID5;
}

// Checks of the drive against the new level and device count, in order.
Int CheckDrive(const Ldrv_Struct &p, UChar level, int added) {
  if (p.uchStatus != HVAPI_LDRV_OPTIMAL) return HVAPI_ERR_NOT_OPTIMAL;
  if (p.uchSpanDepth > 1) return HVAPI_ERR_SPANNED;
  const int devices = p.uchNoOfStripes + added;
  if (level == HVAPI_RAID1 &&
      (p.uchRaidLevel == HVAPI_RAID3 || p.uchRaidLevel == HVAPI_RAID5))
    return HVAPI_ERR_BAD_RAID_LEVEL;
  if (level == HVAPI_RAID1 && devices != 2) return HVAPI_ERR_BAD_RAID_LEVEL;
  if (level > p.uchRaidLevel && added == 0) return HVAPI_ERR_TOO_FEW_DEVICES;
  if ((level == HVAPI_RAID3 || level == HVAPI_RAID5) &&
      devices < kMinParityDevices)
    return HVAPI_ERR_TOO_FEW_DEVICES;
  return 0;
}

// The smallest size (sectors) among the members of span 0 of drive ld; no
// value when it has none.
bool SmallestMember(const DiskArray &array, int ld, ULong32 *smallest) {
  const ArrayLogicalDrive &d = array.Drive(ld);
  bool any = false;
  if (d.spanDepth == 0) return false;
  for (int m = 0; m < d.rowSize; ++m) {
    UChar state = 0;
    ULong32 size = 0;
    if (!array.MemberEntry(d.members[0][m], &state, &size)) continue;
    if (!any || size < *smallest) *smallest = size;
    any = true;
  }
  return any;
}

}  // namespace

extern "C" Int StartRecon(Int adapter, Int ldrv, Int newLevel,
                          NewPhyDrvInfo_Struct *pstDrvInfo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstDrvInfo == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  if (!ReconstructibleLevel(newLevel)) return HVAPI_ERR_BAD_RAID_LEVEL;
  const UChar level = static_cast<UChar>(newLevel);
  const UChar fwType = AdapterFwType(uchAdaptNo);
  const bool is40LD = fwType == HVAPI_FW_40LD;
  const int maxNew = is40LD ? kMaxNew40LD : kMaxNew8LD;

  DiskArray array;
  if (array.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  const int added = pstDrvInfo->uchNo_Newdev;
  if (added > maxNew) return HVAPI_ERR_TOO_MANY_DEVICES;
  if (uchLdrv >= array.Count()) return HVAPI_ERR_BAD_LDRV;
  Ldrv_Struct props;
  const Int got = TGetLogDrvProp(uchAdaptNo, uchLdrv, &props);
  if (got != 0) return got;
  const Int drive = CheckDrive(props, level, added);
  if (drive != 0) return drive;
  ULong32 smallest = 0;
  const bool bounded = SmallestMember(array, uchLdrv, &smallest);

  // Device numbers hold four bits each of channel and target: an address
  // beyond them would name another device.
  const Int initiator = GetAdpterID(uchAdaptNo);
  for (int i = 0; i < added; ++i) {
    const RaidSetDrive_Struct &dev = pstDrvInfo->astDrives[i];
    if (dev.uchChanNo >= ChannelLimit(fwType)) return HVAPI_ERR_BAD_CHANNEL;
    if (dev.uchTargID > kMaxTarget || dev.uchTargID == initiator)
      return HVAPI_ERR_BAD_TARGET;
    for (int j = i + 1; j < added; ++j) {
      if (pstDrvInfo->astDrives[j].uchChanNo == dev.uchChanNo &&
          pstDrvInfo->astDrives[j].uchTargID == dev.uchTargID)
        return HVAPI_ERR_DEVICE_TWICE;
    }
    if (IsConfigured(dev.uchChanNo, dev.uchTargID, fwType, 1) !=
        HVAPI_MEMBER_FREE)
      return HVAPI_ERR_DEVICE_IN_USE;
    ULong32 sectors = 0;
    if (SendAdapterCommand(kOpReadCapacity,
                           DeviceNumber(dev.uchChanNo, dev.uchTargID),
                           &sectors) != 0)
      return HVAPI_ERR_CMD_FAILED;
    if (bounded && sectors < smallest) return HVAPI_ERR_DEVICE_SMALL;
  }

  UChar stripe = static_cast<UChar>(props.uchStripeSize << 1);
  if (level == HVAPI_RAID3) {
    if (props.uchStripeSize != kRaid3ApiStripe) return HVAPI_ERR_BAD_RAID_LEVEL;
    stripe = kRaid3FirmwareStripe;
  }
  RECONSTRUCT_40LD_DATA big;
  RECONSTRUCT_8LD_DATA small;
  std::memset(&big, 0, sizeof big);
  std::memset(&small, 0, sizeof small);
  UChar *physdrvs = is40LD ? big.physdrvs : small.physdrvs;
  for (int i = 0; i < added; ++i) {
    physdrvs[i] =
        static_cast<UChar>(DeviceNumber(pstDrvInfo->astDrives[i].uchChanNo,
                                        pstDrvInfo->astDrives[i].uchTargID));
  }
  void *record = nullptr;
  if (is40LD) {
    big.operation = kReconstructOperation;
    big.logdrv = uchLdrv;
    big.numdevs = static_cast<UChar>(added);
    big.strpsz = stripe;
    big.raidlevel = level;
    record = &big;
  } else {
    small.operation = kReconstructOperation;
    small.logdrv = uchLdrv;
    small.numdevs = static_cast<UChar>(added);
    small.strpsz = stripe;
    small.raidlevel = level;
    record = &small;
  }
  return SendAdapterCommand(kOpStartRecon, uchLdrv, record);
}

extern "C" Int GetReconPrg(Int adapter) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  if (ValidateAdapterNo(static_cast<signed char>(uchAdaptNo)) != 1) return 0;
  SetCurrentAdaptNumber(uchAdaptNo);
  RECONSTRUCT_PROG_STATUS progress;
  std::memset(&progress, 0, sizeof progress);
  if (SendAdapterCommand(kOpReconProgress, 0, &progress) != 0)
    return HVAPI_ERR_CMD_FAILED;
  return static_cast<Int>(progress.prcnt_comp & 0xFF);
}
