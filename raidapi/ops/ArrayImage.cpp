#include "ops/ArrayImage.h"

#include <cstring>
#include <new>

#include "firmware/FirmwareLayouts.h"
#include "ops/AdapterOps.h"
#include "ops/DiskArray.h"

namespace {

constexpr UChar kReadAheadOn = 2;
constexpr UChar kWriteBack = 1;
constexpr UChar kDirectIO = 1;
constexpr UChar k8LDSharedTarget = 15;
constexpr UChar k8LDSharedWith = 7;

// Offsets of the parts every layout shares.
constexpr size_t kDrivesAt = 4;
constexpr size_t kSpansAt = 8;  // inside a drive record

template <typename Layout>
constexpr size_t TableAt() {
  return offsetof(Layout, astPhysDrv8LD);
}

}  // namespace

int DeviceTableIndex(UChar fwType, UChar channel, UChar target) {
  if (fwType == HVAPI_FW_40LD) {
    if (channel >= HVAPI_MAX_CHANNELS_40LD ||
        target >= HVAPI_TARGETS_PER_CHANNEL)
      return -1;
    return channel * kFw40LDStateStride + target;
  }
  if (target == k8LDSharedTarget) target = k8LDSharedWith;
  if (channel >= HVAPI_MAX_CHANNELS_8LD || target >= kFw8LDStateStride)
    return -1;
  return channel * kFw8LDStateStride + target;
}

Int ArrayImage::Reset(UChar fwType) {
  Int op = 0;
  Int objid = 0;
  size_t size = 0;
  if (!DiskArrayCommand(fwType, &op, &objid, &size))
    return HVAPI_ERR_CMD_FAILED;
  bytes_.reset(new (std::nothrow) uint8_t[size]());
  if (!bytes_) return HVAPI_ERR_CMD_FAILED;
  fwType_ = fwType;
  size_ = size;
  return 0;
}

void ArrayImage::CopyFrom(const uint8_t *raw) {
  std::memcpy(bytes_.get(), raw, size_);
}

int ArrayImage::MaxDrives() const {
  return fwType_ == HVAPI_FW_40LD ? HVAPI_MAX_LDRV_40LD : HVAPI_MAX_LDRV_8LD;
}

size_t ArrayImage::DriveRecordSize() const {
  switch (fwType_) {
    case HVAPI_FW_8LD_4SPAN:
      return sizeof(LOG_DRV_8LD);
    case HVAPI_FW_8LD_8SPAN:
      return sizeof(NEW_LOG_DRV_8LD);
    default:
      return sizeof(APP_LOG_DRV_40LD);
  }
}

uint8_t *ArrayImage::DriveRecord(int i) const {
  return bytes_.get() + kDrivesAt + static_cast<size_t>(i) * DriveRecordSize();
}

void ArrayImage::SetDrive(int i, UChar spans, UChar level, UChar stripeByte,
                          UChar perSpan) {
  // The first eight bytes are alike in the three layouts.
  uint8_t *d = DriveRecord(i);
  d[0] = spans;
  d[1] = level;
  d[2] = kReadAheadOn;
  d[3] = stripeByte;
  d[4] = HVAPI_LDRV_OPTIMAL;
  d[5] = kWriteBack;
  d[6] = kDirectIO;
  d[7] = perSpan;
}

void ArrayImage::SetSpan(int i, int s, ULong32 start, ULong32 blocks,
                         const RaidSetDrive_Struct *devices, int n) {
  uint8_t *at = DriveRecord(i) + kSpansAt;
  if (fwType_ == HVAPI_FW_40LD) {
    auto *span = reinterpret_cast<APP_SPAN_INFO_40LD *>(at) + s;
    span->ulStartBlk = start;
    span->ulNoOfBlks = blocks;
    for (int k = 0; k < n; ++k) {
      span->stAppDevInfo40LD[k].uchChannel = 0;
      span->stAppDevInfo40LD[k].uchTarget = static_cast<UChar>(
          (devices[k].uchChanNo << kDeviceChannelShift) | devices[k].uchTargID);
    }
    return;
  }
  auto *span = reinterpret_cast<SPAN_INFO_8LD *>(at) + s;
  span->lStartBlock = start;
  span->lTotalBlocks = blocks;
  for (int k = 0; k < n; ++k) {
    span->astDevice8LD[k].uchChannel = devices[k].uchChanNo;
    span->astDevice8LD[k].uchTarget = devices[k].uchTargID;
  }
}

void ArrayImage::ClearDrive(int i) {
  std::memset(DriveRecord(i), 0, DriveRecordSize());
}

void ArrayImage::MarkOnline(UChar channel, UChar target, ULong32 sectors) {
  const int index = DeviceTableIndex(fwType_, channel, target);
  if (index < 0) return;
  size_t table = 0;
  switch (fwType_) {
    case HVAPI_FW_8LD_4SPAN:
      table = TableAt<DISK_ARRAY_8LD_4SPAN>();
      break;
    case HVAPI_FW_8LD_8SPAN:
      table = TableAt<DISK_ARRAY_8LD_8SPAN>();
      break;
    default:
      table = offsetof(APP_DISC_ARRAY_40LD, AppPhyDrv40LD);
  }
  // Type, state, two bytes the firmware owns, then the size: alike in the
  // 8LD and 40LD entries.
  static_assert(sizeof(PHY_DRV_8LD) == sizeof(APP_PHY_DRV_40LD));
  auto *entry = reinterpret_cast<PHY_DRV_8LD *>(bytes_.get() + table) + index;
  entry->uchType = 0;
  entry->uchCurrStatus = HVAPI_PDRV_ONLINE;
  entry->uchTagDepth = 0;
  entry->uchReserved1 = 0;
  entry->lSize = sectors;
}

Int ArrayImage::Write() const {
  switch (fwType_) {
    case HVAPI_FW_8LD_4SPAN:
      return SendAdapterCommand(kOpWriteConfig4Span, 0, bytes_.get());
    case HVAPI_FW_8LD_8SPAN:
      return SendAdapterCommand(kOpWriteConfig8Span, 0, bytes_.get());
    case HVAPI_FW_40LD:
      return SendAdapterCommand(kOp40LD, kSub40LDWriteConfig, bytes_.get());
    default:
      return HVAPI_ERR_CMD_FAILED;
  }
}

UChar *AnnouncedCount(UChar uchAdaptNo) {
  void *cache = GetAdpCache(uchAdaptNo);
  if (cache == nullptr) return nullptr;
  switch (AdapterFwType(uchAdaptNo)) {
    case HVAPI_FW_8LD_4SPAN:
      return &static_cast<ADAP_DATA_4SPAN_8LD *>(cache)
                  ->stDArr8LD4Span.uchNoOfLogDrives;
    case HVAPI_FW_8LD_8SPAN:
      return &static_cast<ADAP_DATA_8SPAN_8LD *>(cache)
                  ->stDArr8LD8Span.uchNoOfLogDrives;
    case HVAPI_FW_40LD:
      return &static_cast<ADAP_DATA_8SPAN_40LD *>(cache)
                  ->stAppDiscArr40LD.uchNumOfLogDrives;
    default:
      return nullptr;
  }
}
