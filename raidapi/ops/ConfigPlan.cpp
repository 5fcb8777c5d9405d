#include "ops/ConfigPlan.h"

#include <algorithm>

#include "core/DiskSize.h"
#include "ops/AdapterOps.h"
#include "ops/DeviceChecks.h"

namespace {

constexpr UChar kMaxConfigTarget = 16;
constexpr ULong32 kBlocksPerMiB = 2048;
constexpr uint64_t kMaxBlock = 0xFFFFFFFFu;

}  // namespace

ConfigLimits LimitsOf(UChar fwType) {
  switch (fwType) {
    case HVAPI_FW_8LD_4SPAN:
      return {HVAPI_MAX_LDRV_8LD, 4, HVAPI_MAX_CHANNELS_8LD, 80, 8};
    case HVAPI_FW_8LD_8SPAN:
      return {HVAPI_MAX_LDRV_8LD, 8, HVAPI_MAX_CHANNELS_8LD, 80, 8};
    default:
      return {HVAPI_MAX_LDRV_40LD, 8, HVAPI_MAX_CHANNELS_40LD,
              HVAPI_MAX_DEVICES, 32};
  }
}

SetRequest RequestOf(NewRaidSet_Struct *set) {
  SetRequest r;
  r.spanCount = set->uchNoOfSpan;
  r.spans = set->stArrayInfo;
  r.driveCount = &set->uchNoOfLD;
  r.drives = set->astLogDrvInfo;
  return r;
}

SetRequest RequestOf(RaidSet_Struct *set) {
  SetRequest r;
  r.spanCount = set->uchNoOfSpan;
  r.spans = set->stArrayInfo;
  r.driveCount = &set->uchNoOfLD;
  r.drives = set->astLogDrvInfo;
  r.oneLevel = true;
  r.level = set->uchRaidLevel;
  r.stripe = set->uchStripeSize;
  return r;
}

bool IsWritableLevel(UChar level) {
  return level == HVAPI_RAID0 || level == HVAPI_RAID1 || level == HVAPI_RAID3 ||
         level == HVAPI_RAID5;
}

bool IsWritableStripe(UChar stripe) {
  switch (stripe) {
    case 0:
    case 2:
    case 4:
    case 8:
    case 16:
    case 32:
    case 64:
      return true;
    default:
      return false;
  }
}

Int CheckMemberAddress(UChar uchAdaptNo, const ConfigLimits &limits,
                       const RaidSetDrive_Struct &device) {
  // A channel at the limit would name a device table entry (or a target
  // byte) beyond the layout.
  if (device.uchChanNo >= limits.channels) return HVAPI_ERR_BAD_CHANNEL;
  return CheckTarget(uchAdaptNo, device.uchTargID, kMaxConfigTarget);
}

bool NamedLater(const SetRequest *sets, int count, int set, int span,
                int index) {
  const RaidSetDrive_Struct &d = sets[set].spans[span].astDrives[index];
  for (int r = set; r < count; ++r) {
    // Later sets are not checked yet: only the spans their record holds.
    const int spans = std::min<int>(sets[r].spanCount, HVAPI_MAX_SPANS);
    for (int s = r == set ? span : 0; s < spans; ++s) {
      const ArrayInfo_Struct &a = sets[r].spans[s];
      const int from = r == set && s == span ? index + 1 : 0;
      for (int k = from; k < a.uchPhyDrvPerArray; ++k) {
        if (a.astDrives[k].uchChanNo == d.uchChanNo &&
            a.astDrives[k].uchTargID == d.uchTargID)
          return true;
      }
    }
  }
  return false;
}

Int MeasureSet(const SetRequest &set, ULong32 *smallestMiB) {
  for (int s = 0; s + 1 < set.spanCount; ++s) {
    if (set.spans[s].uchPhyDrvPerArray != set.spans[s + 1].uchPhyDrvPerArray)
      return HVAPI_ERR_SPAN_DEVICES;
  }
  ULong32 smallest = 0;
  bool any = false;
  for (int s = 0; s < set.spanCount; ++s) {
    const ArrayInfo_Struct &a = set.spans[s];
    for (int k = 0; k < a.uchPhyDrvPerArray; ++k) {
      const RaidSetDrive_Struct &d = a.astDrives[k];
      // Target 16 passes the address check, but its device number would
      // name target 0 of the next channel.
      if (d.uchTargID >= HVAPI_TARGETS_PER_CHANNEL) return HVAPI_ERR_NO_DEVICE;
      RESPONSE_DATA answer;
      if (Inquire(d.uchChanNo, d.uchTargID, &answer) != 0 || !IsDisk(answer))
        return HVAPI_ERR_NO_DEVICE;
      ULong32 mib = 0;
      ULong32 sectors = 0;
      if (DiskSizeMiB(d.uchChanNo, d.uchTargID, &mib, &sectors) != 0)
        return HVAPI_ERR_CMD_FAILED;
      if (!any || sectors < smallest) smallest = sectors;
      any = true;
    }
  }
  *smallestMiB = RemappedDiskSize(smallest) >> HVAPI_SECTORS_TO_MIB_SHIFT;
  return 0;
}

Int CheckLevelFits(UChar level, int n) {
  if (level != HVAPI_RAID0 && n < 2) return HVAPI_ERR_BAD_RAID_LEVEL;
  if (level > HVAPI_RAID1 && n < 3) return HVAPI_ERR_BAD_RAID_LEVEL;
  if (level == HVAPI_RAID1 && n > 2) return HVAPI_ERR_BAD_RAID_LEVEL;
  return 0;
}

uint64_t SpanBlocks(ULong32 sizeMiB, UChar level, int spans, int n) {
  const uint64_t data = level == HVAPI_RAID0 ? n : n - 1;
  if (data == 0 || spans == 0) return 0;  // refused by the level checks
  return uint64_t{sizeMiB} * kBlocksPerMiB / (uint64_t(spans) * data);
}

Int CheckSetFits(const SetRequest &set, ULong32 smallestMiB) {
  uint64_t used = 0;
  for (int g = 0; g < *set.driveCount; ++g) {
    used += SpanBlocks(set.drives[g].ulLogDrvSize, set.Level(g), set.spanCount,
                       set.PerSpan());
  }
  return used > uint64_t{smallestMiB} * kBlocksPerMiB ? HVAPI_ERR_NO_CAPACITY
                                                      : 0;
}

Int BuildSet(const SetRequest &set, int first, uint64_t *start,
             ArrayImage *image) {
  const int n = set.PerSpan();
  for (int g = 0; g < *set.driveCount; ++g) {
    const UChar level = set.Level(g);
    image->SetDrive(first + g, set.spanCount, level,
                    static_cast<UChar>(set.Stripe(g) << HVAPI_STRIPE_SHIFT),
                    static_cast<UChar>(n));
    const uint64_t blocks =
        SpanBlocks(set.drives[g].ulLogDrvSize, level, set.spanCount, n);
    for (int s = 0; s < set.spanCount; ++s) {
      if (*start > kMaxBlock || blocks > kMaxBlock)
        return HVAPI_ERR_NO_CAPACITY;
      image->SetSpan(first + g, s, static_cast<ULong32>(*start),
                     static_cast<ULong32>(blocks), set.spans[s].astDrives, n);
      *start += blocks;
    }
  }
  for (int s = 0; s < set.spanCount; ++s) {
    for (int k = 0; k < n; ++k) {
      const RaidSetDrive_Struct &d = set.spans[s].astDrives[k];
      ULong32 mib = 0;
      ULong32 sectors = 0;
      if (DiskSizeMiB(d.uchChanNo, d.uchTargID, &mib, &sectors) != 0)
        return HVAPI_ERR_CMD_FAILED;
      image->MarkOnline(d.uchChanNo, d.uchTargID, sectors);
    }
  }
  return 0;
}
