#include "ops/DiskArray.h"

#include <cstring>

#include "ops/AdapterOps.h"

namespace {

constexpr int kMaxRow8LD = 8;
constexpr int kMaxRow40LD = 32;
constexpr UChar k8LDSharedTarget = 15;  // has no entry: uses target 7's
constexpr UChar k8LDSharedWith = 7;

// 8LD and 40LD drive records share their first eight bytes.
template <typename Record>
void CopyHead(const Record &r, ArrayLogicalDrive *d) {
  const uint8_t *b = reinterpret_cast<const uint8_t *>(&r);
  d->spanDepth = b[0];
  d->raid = b[1];
  d->readAhead = b[2];
  d->stripe = b[3];
  d->status = b[4];
  d->writePolicy = b[5];
  d->directIO = b[6];
  d->rowSize = b[7];
}

template <typename Record, size_t kSpans>
bool Load8LD(const Record (&records)[HVAPI_MAX_LDRV_8LD], int count,
             ArrayLogicalDrive *drives) {
  for (int i = 0; i < HVAPI_MAX_LDRV_8LD; ++i) {
    ArrayLogicalDrive &d = drives[i];
    CopyHead(records[i], &d);
    if (i >= count) continue;
    if (d.spanDepth > kSpans || d.rowSize > kMaxRow8LD) return false;
    for (int s = 0; s < d.spanDepth; ++s) {
      const SPAN_INFO_8LD &span = records[i].astSpanInfo8LD[s];
      d.spanBlocks[s] = span.lTotalBlocks;
      for (int m = 0; m < d.rowSize; ++m) {
        d.members[s][m] = {span.astDevice8LD[m].uchChannel,
                           span.astDevice8LD[m].uchTarget};
      }
    }
  }
  return true;
}

// Index of an 8LD state entry, or -1 for an address without one.
int Entry8LD(UChar channel, UChar target) {
  if (target == k8LDSharedTarget) target = k8LDSharedWith;
  if (channel >= HVAPI_MAX_CHANNELS_8LD || target >= kFw8LDStateStride)
    return -1;
  return channel * kFw8LDStateStride + target;
}

}  // namespace

bool DiskArrayCommand(UChar fwType, Int *op, Int *objid, size_t *size) {
  switch (fwType) {
    case HVAPI_FW_8LD_4SPAN:
      *op = kOpDiskArray4Span;
      *objid = 0;
      *size = sizeof(DISK_ARRAY_8LD_4SPAN);
      return true;
    case HVAPI_FW_8LD_8SPAN:
      *op = kOpDiskArray8Span;
      *objid = 0;
      *size = sizeof(DISK_ARRAY_8LD_8SPAN);
      return true;
    case HVAPI_FW_40LD:
      *op = kOp40LD;
      *objid = kSub40LDReadDiskArray;
      *size = sizeof(APP_DISC_ARRAY_40LD);
      return true;
    default:
      return false;
  }
}

int DiskArray::MaxDrives() const {
  return Is8LD() ? HVAPI_MAX_LDRV_8LD : HVAPI_MAX_LDRV_40LD;
}

Int DiskArray::Read(UChar fwType) {
  Int op = 0;
  Int objid = 0;
  size_t size = 0;
  fwType_ = 0;
  count_ = 0;
  if (!DiskArrayCommand(fwType, &op, &objid, &size))
    return HVAPI_ERR_CMD_FAILED;
  std::memset(raw_, 0, sizeof raw_);
  if (SendAdapterCommand(op, objid, raw_) != 0) return HVAPI_ERR_CMD_FAILED;
  return Parse(fwType, raw_);
}

Int DiskArray::Parse(UChar fwType, const uint8_t *raw) {
  Int op = 0;
  Int objid = 0;
  size_t size = 0;
  fwType_ = 0;
  count_ = 0;
  if (!DiskArrayCommand(fwType, &op, &objid, &size))
    return HVAPI_ERR_CMD_FAILED;
  if (raw != raw_) {
    std::memset(raw_, 0, sizeof raw_);
    std::memcpy(raw_, raw, size);
  }
  fwType_ = fwType;
  if (!Load(raw_)) {
    fwType_ = 0;
    count_ = 0;
    return HVAPI_ERR_CMD_FAILED;
  }
  return 0;
}

bool DiskArray::Load(const uint8_t *raw) {
  std::memset(drives_, 0, sizeof drives_);
  std::memset(states_, 0, sizeof states_);
  std::memset(sizes_, 0, sizeof sizes_);
  count_ = raw[0];
  if (count_ > MaxDrives()) return false;
  switch (fwType_) {
    case HVAPI_FW_8LD_4SPAN: {
      const auto &a = *reinterpret_cast<const DISK_ARRAY_8LD_4SPAN *>(raw);
      if (!Load8LD<LOG_DRV_8LD, 4>(a.astLogDrvInfo8LD, count_, drives_))
        return false;
      for (int i = 0; i < kFw8LDStateEntries; ++i) {
        states_[i] = a.astPhysDrv8LD[i].uchCurrStatus;
        sizes_[i] = a.astPhysDrv8LD[i].lSize;
      }
      return true;
    }
    case HVAPI_FW_8LD_8SPAN: {
      const auto &a = *reinterpret_cast<const DISK_ARRAY_8LD_8SPAN *>(raw);
      if (!Load8LD<NEW_LOG_DRV_8LD, 8>(a.astNewLogDrvInfo8LD, count_, drives_))
        return false;
      for (int i = 0; i < kFw8LDStateEntries; ++i) {
        states_[i] = a.astPhysDrv8LD[i].uchCurrStatus;
        sizes_[i] = a.astPhysDrv8LD[i].lSize;
      }
      return true;
    }
    default: {
      const auto &a = *reinterpret_cast<const APP_DISC_ARRAY_40LD *>(raw);
      for (int i = 0; i < HVAPI_MAX_LDRV_40LD; ++i) {
        ArrayLogicalDrive &d = drives_[i];
        CopyHead(a.AppLogDrv40LD[i], &d);
        if (i >= count_) continue;
        if (d.spanDepth > HVAPI_MAX_SPANS || d.rowSize > kMaxRow40LD)
          return false;
        for (int s = 0; s < d.spanDepth; ++s) {
          const APP_SPAN_INFO_40LD &span =
              a.AppLogDrv40LD[i].stAppSpanInfo40LD[s];
          d.spanBlocks[s] = span.ulNoOfBlks;
          for (int m = 0; m < d.rowSize; ++m) {
            d.members[s][m] = {span.stAppDevInfo40LD[m].uchChannel,
                               span.stAppDevInfo40LD[m].uchTarget};
          }
        }
      }
      for (int i = 0; i < kFw40LDStateEntries; ++i) {
        states_[i] = a.AppPhyDrv40LD[i].uchCurrStatus;
        sizes_[i] = a.AppPhyDrv40LD[i].ulSize;
      }
      return true;
    }
  }
}

int DiskArray::MemberOf(UChar channel, UChar target) const {
  const UChar looked =
      Is8LD() && target == k8LDSharedTarget ? k8LDSharedWith : target;
  const int number = (channel << kDeviceChannelShift) | target;
  for (int i = 0; i < count_; ++i) {
    const ArrayLogicalDrive &d = drives_[i];
    for (int s = 0; s < d.spanDepth; ++s) {
      for (int m = 0; m < d.rowSize; ++m) {
        const ArrayMember &at = d.members[s][m];
        const bool match = Is8LD()
                               ? at.channel == channel && at.target == looked
                               : at.channel == 0 && at.target == number;
        if (match) return i;
      }
    }
  }
  return -1;
}

bool DiskArray::DeviceState(UChar channel, UChar target, UChar *state) const {
  int index = -1;
  if (Is8LD()) {
    index = Entry8LD(channel, target);
  } else if (channel < HVAPI_MAX_CHANNELS_40LD &&
             target < HVAPI_TARGETS_PER_CHANNEL) {
    index = channel * kFw40LDStateStride + target;
  }
  if (index < 0) return false;
  *state = states_[index];
  return true;
}

bool DiskArray::MemberEntry(const ArrayMember &m, UChar *state,
                            ULong32 *size) const {
  const int index = Is8LD() ? Entry8LD(m.channel, m.target) : m.target;
  if (index < 0 || (Is8LD() && m.target == k8LDSharedTarget)) return false;
  *state = states_[index];
  *size = sizes_[index];
  return true;
}

Int MembershipIn(const DiskArray &array, UChar channel, UChar target,
                 bool checkSpare) {
  const int ld = array.MemberOf(channel, target);
  if (ld >= 0) return ld;
  UChar state = 0;
  if (checkSpare && array.DeviceState(channel, target, &state) &&
      state == HVAPI_PDRV_HOTSPARE) {
    return HVAPI_MEMBER_HOTSPARE;
  }
  return HVAPI_MEMBER_FREE;
}
