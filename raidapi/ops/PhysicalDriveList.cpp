// Listing the devices behind an adapter: the count of devices with a
// capacity, every disk with its state and size, and the disks that are free
// for a new configuration.
#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/DeviceChecks.h"
#include "ops/DiskArray.h"

namespace {

// 40LD adapters are counted on their first three channels.
constexpr UChar kCountedChannels40LD = 3;

// The cache's 8LD enquiries lie at the same place in both 8LD caches.
static_assert(offsetof(ADAP_DATA_4SPAN_8LD, stRdEnq8LD) ==
                      offsetof(ADAP_DATA_8SPAN_8LD, stRdEnq8LD) &&
                  offsetof(ADAP_DATA_4SPAN_8LD, stRdExEnq8LD) ==
                      offsetof(ADAP_DATA_8SPAN_8LD, stRdExEnq8LD),
              "8LD caches share their enquiries");

UChar Bounded(UChar value, UChar limit) {
  return value < limit ? value : limit;
}

// The channel count that the listing walks, refreshing the cache's enquiry
// (8LD) or product information (40LD). Bounded by the channels that device
// numbers can name, whatever the adapter answers. 0, or -11.
Int ListedChannels(UChar uchAdaptNo, UChar fwType, UChar *channels) {
  void *cache = GetAdpCache(uchAdaptNo);
  if (cache == nullptr) return HVAPI_ERR_CMD_FAILED;
  if (fwType == HVAPI_FW_40LD) {
    auto &info = static_cast<ADAP_DATA_8SPAN_40LD *>(cache)->stRdProInfo40LD;
    if (SendAdapterCommand(kOp40LD, kSub40LDProductInfo, &info) != 0)
      return HVAPI_ERR_CMD_FAILED;
    *channels = Bounded(info.uchSCSIChanPresent, HVAPI_MAX_CHANNELS_40LD);
    return 0;
  }
  auto &enq = static_cast<ADAP_DATA_4SPAN_8LD *>(cache)->stRdEnq8LD;
  if (SendAdapterCommand(kOpEnquiry8LD, 0, &enq) != 0)
    return HVAPI_ERR_CMD_FAILED;
  *channels = Bounded(enq.stAdpInfo8LD.uchChansPresent, HVAPI_MAX_CHANNELS_8LD);
  return 0;
}

// The size of a disk being listed, with the device command the firmware
// expects around the capacity query: after it on 8LD, before it on 40LD.
Int ListedDiskSize(UChar fwType, UChar channel, UChar target, ULong32 *mib,
                   ULong32 *sectors = nullptr) {
  const Int device = DeviceNumber(channel, target);
  if (fwType == HVAPI_FW_40LD) {
    if (SendAdapterCommand(kOpDeviceCommand, device, nullptr, 1) != 0)
      return HVAPI_ERR_CMD_FAILED;
    return DiskSizeMiB(channel, target, mib, sectors);
  }
  if (DiskSizeMiB(channel, target, mib, sectors) != 0)
    return HVAPI_ERR_CMD_FAILED;
  return SendAdapterCommand(kOpDeviceCommand, device, nullptr, 0);
}

UChar DiskTestByte(const RESPONSE_DATA &answer) {
  return static_cast<UChar>(answer.PeriInfo << 3);
}

}  // namespace

extern "C" Int GetNumOfPDrv(Int adapter) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  UChar channels = 0;
  UChar targets = 0;
  void *cache = GetAdpCache(uchAdaptNo);
  if (fwType == HVAPI_FW_40LD) {
    if (cache == nullptr) return HVAPI_ERR_CMD_FAILED;
    auto &info = static_cast<ADAP_DATA_8SPAN_40LD *>(cache)->stRdProInfo40LD;
    if (SendAdapterCommand(kOp40LD, kSub40LDProductInfo, &info) != 0)
      return HVAPI_ERR_CMD_FAILED;
    channels = kCountedChannels40LD;
    targets = HVAPI_TARGETS_PER_CHANNEL;
  } else if (fwType == HVAPI_FW_8LD_4SPAN || fwType == HVAPI_FW_8LD_8SPAN) {
    if (cache == nullptr) return HVAPI_ERR_CMD_FAILED;
    auto &ext = static_cast<ADAP_DATA_4SPAN_8LD *>(cache)->stRdExEnq8LD;
    if (SendAdapterCommand(kOpExtEnquiry8LD, 0, &ext) != 0)
      return HVAPI_ERR_CMD_FAILED;
    const AdapterInfo8LD_Struct &info = ext.stHalvoranEnq8LD.stAdpInfo8LD;
    // Device numbers hold four bits of target: larger answers would name
    // devices of other channels.
    channels = Bounded(info.uchChansPresent, HVAPI_MAX_CHANNELS_8LD);
    targets = Bounded(info.uchMaxTargPerChan, HVAPI_TARGETS_PER_CHANNEL);
  }
  const Int initiator = GetAdpterID(uchAdaptNo);
  UChar count = 0;
  for (UChar c = 0; c < channels; ++c) {
    for (UChar t = 0; t < targets; ++t) {
      if (t == initiator) continue;
      RESPONSE_DATA answer;
      ULong32 sectors = 0;
      if (Inquire(c, t, &answer) != 0) continue;
      if (SendAdapterCommand(kOpReadCapacity, DeviceNumber(c, t), &sectors) !=
          0) {
        continue;
      }
      if (sectors != 0) ++count;
    }
  }
  return count;
}

extern "C" Int GetAllPDrvInfo(Int adapter, AllDrvInfo_Struct *pstAllDrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstAllDrv == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  pstAllDrv->uchTotalDrv = 0;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  DiskArray array;
  if (array.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  UChar channels = 0;
  if (ListedChannels(uchAdaptNo, fwType, &channels) != 0)
    return HVAPI_ERR_CMD_FAILED;

  const Int initiator = GetAdpterID(uchAdaptNo);
  int n = 0;
  for (UChar c = 0; c < channels; ++c) {
    for (UChar t = 0; t < HVAPI_TARGETS_PER_CHANNEL; ++t) {
      if (t == initiator) continue;
      RESPONSE_DATA answer;
      if (Inquire(c, t, &answer) != 0) continue;
      Drive_Struct &d = pstAllDrv->astDrive[n];
      d.uchChanNo = c;
      d.uchTargID = t;
      d.uchState = DiskTestByte(answer);
      // Another kind of device leaves its entry to the next device.
      if (!IsDisk(answer)) continue;
      ULong32 mib = 0;
      if (ListedDiskSize(fwType, c, t, &mib) != 0) return HVAPI_ERR_CMD_FAILED;
      d.ulSize = mib;
      UChar state = 0;
      array.DeviceState(c, t, &state);
      d.uchState = MembershipIn(array, c, t, true) == HVAPI_MEMBER_FREE
                       ? HVAPI_PDRV_READY
                       : state;
      ++n;
    }
  }
  pstAllDrv->uchTotalDrv = static_cast<UChar>(n);
  return 0;
}

extern "C" Int TScanforNewDevices(Int adapter, NewDrv_Struct *stNewDrvInfo) {
  if (stNewDrvInfo == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  std::memset(stNewDrvInfo, 0, sizeof *stNewDrvInfo);
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  DiskArray array;
  if (array.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  UChar channels = 0;
  if (ListedChannels(uchAdaptNo, fwType, &channels) != 0)
    return HVAPI_ERR_CMD_FAILED;

  const Int initiator = GetAdpterID(uchAdaptNo);
  int total = 0;
  int n = 0;
  for (UChar c = 0; c < channels; ++c) {
    for (UChar t = 0; t < HVAPI_TARGETS_PER_CHANNEL; ++t) {
      if (t == initiator) continue;
      RESPONSE_DATA answer;
      if (Inquire(c, t, &answer) != 0) continue;
      if (MembershipIn(array, c, t, true) != HVAPI_MEMBER_FREE) continue;
      ++total;
      Drive_Struct &d = stNewDrvInfo->astDrive[n];
      d.uchChanNo = c;
      d.uchTargID = t;
      d.uchState = DiskTestByte(answer);
      if (!IsDisk(answer)) continue;
      ULong32 mib = 0;
      ULong32 sectors = 0;
      if (ListedDiskSize(fwType, c, t, &mib, &sectors) != 0 || sectors == 0)
        return HVAPI_ERR_CMD_FAILED;
      d.ulSize = mib;
      UChar state = 0;
      if (fwType != HVAPI_FW_40LD) array.DeviceState(c, t, &state);
      d.uchState = state;
      ++n;
    }
  }
  stNewDrvInfo->uchTotalDrv = static_cast<UChar>(total);
  stNewDrvInfo->uchtotalDisk = static_cast<UChar>(n);
  return 0;
}

extern "C" Int ScanforNewDevices(Int adapter, NewDrv_Struct *stNewDrvInfo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  return TScanforNewDevices(adapter, stNewDrvInfo);
}
