// Configuration writes: a whole new configuration of several sets or of one,
// a set appended to the adapter's configuration, an empty configuration,
// and the removal of the last logical drive.
#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "ops/AdapterOps.h"
#include "ops/ArrayImage.h"
#include "ops/ConfigPlan.h"
#include "ops/DiskArray.h"

namespace {

constexpr ULong32 kMinDriveMiB = 10;
// Left over beyond this becomes a logical drive of its own.
constexpr ULong32 kLeftOverDriveMiB = 10;

// A set's drives of at most 9 MiB become 10 MiB.
void RaiseSmallDrives(const SetRequest &set) {
  for (int g = 0; g < *set.driveCount; ++g) {
    if (set.drives[g].ulLogDrvSize < kMinDriveMiB)
      set.drives[g].ulLogDrvSize = kMinDriveMiB;
  }
}

// Per span of set r: its device count (and the running total), then each
// member's address, a disk named twice and, for a set added to a
// configuration, its membership.
struct SetCheck {
  UChar adapter;
  ConfigLimits limits;
  const SetRequest *sets;
  int count;
  int *devices;  // running total of members
  bool addition;
};

Int CheckSpansAndMembers(const SetCheck &c, int r) {
  const SetRequest &set = c.sets[r];
  for (int s = 0; s < set.spanCount; ++s) {
    const int n = set.spans[s].uchPhyDrvPerArray;
    *c.devices += n;
    if (n == 0 || n > c.limits.perSpan || *c.devices > c.limits.devices)
      return HVAPI_ERR_SPAN_DEVICES;
    for (int k = 0; k < n; ++k) {
      const RaidSetDrive_Struct &d = set.spans[s].astDrives[k];
      const Int address = CheckMemberAddress(c.adapter, c.limits, d);
      if (address != 0) return address;
      if (NamedLater(c.sets, c.count, r, s, k)) return HVAPI_ERR_DEVICE_TWICE;
      if (c.addition) {
        const Int member =
            IsConfigured(d.uchChanNo, d.uchTargID, AdapterFwType(c.adapter), 1);
        if (member == HVAPI_ERR_CMD_FAILED) return member;
        if (member != HVAPI_MEMBER_FREE) return HVAPI_ERR_DEVICE_IN_USE;
      }
    }
  }
  return 0;
}

// Sizing of one set of WriteConfig: each drive's raw capacity against every
// member's, the rest to the last drive by its level.
Int SizeMixedSet(const SetRequest &set, ULong32 smallest) {
  RaiseSmallDrives(set);
  const int n = set.PerSpan();
  for (int g = 0; g < *set.driveCount; ++g) {
    const Int fits = CheckLevelFits(set.Level(g), n);
    if (fits != 0) return fits;
  }
  uint64_t required = 0;
  for (int g = 0; g < *set.driveCount; ++g) {
    const uint64_t size = set.drives[g].ulLogDrvSize;
    switch (set.Level(g)) {
      case HVAPI_RAID0:
        required += size;
        break;
      case HVAPI_RAID1:
        required += 2 * size;
        break;
      default:
        required += size * n / (n - 1);
    }
  }
  const uint64_t available = uint64_t{set.spanCount} * n * smallest;
  if (available < required) return HVAPI_ERR_NO_CAPACITY;
  const uint64_t d = available - required;
  LogDrvInfo_Struct &last = set.drives[*set.driveCount - 1];
  uint64_t grow = 0;
  switch (set.Level(*set.driveCount - 1)) {
    case HVAPI_RAID0:
      grow = d;
      break;
    case HVAPI_RAID1:
      grow = d / 2;
      break;
    default:
      grow = d * (n - 1) / n;
  }
  last.ulLogDrvSize = static_cast<ULong32>(last.ulLogDrvSize + grow);
  return CheckSetFits(set, smallest);
}

// Sizing of a set of one level (WriteNewConfig, AddLogDrvToConfig): usable
// sizes against the usable capacity; more than 10 MiB left becomes a new
// drive while the set holds fewer than room drives.
Int SizeUniformSet(const SetRequest &set, ULong32 smallest, int room) {
  RaiseSmallDrives(set);
  uint64_t required = 0;
  for (int g = 0; g < *set.driveCount; ++g)
    required += set.drives[g].ulLogDrvSize;
  const int n = set.PerSpan();
  uint64_t perSpan = 0;
  switch (set.level) {
    case HVAPI_RAID0:
      perSpan = uint64_t{smallest} * n;
      break;
    case HVAPI_RAID1:
      perSpan = smallest;
      break;
    default:
      perSpan = uint64_t{smallest} * (n - 1);
  }
  const uint64_t available = perSpan * set.spanCount;
  if (required > available) return HVAPI_ERR_NO_CAPACITY;
  const Int fits = CheckLevelFits(set.level, n);
  if (fits != 0) return fits;
  if (set.level == HVAPI_RAID0 && set.spanCount >= 2)
    return HVAPI_ERR_BAD_RAID_LEVEL;
  const ULong32 d = static_cast<ULong32>(available - required);
  if (d > kLeftOverDriveMiB && *set.driveCount < room) {
    LogDrvInfo_Struct &added = set.drives[*set.driveCount];
    std::memset(&added, 0, sizeof added);
    added.uchLogDrvNo = *set.driveCount;
    added.uchRaidLevel = set.level;
    added.uchStripeSize = set.stripe;
    added.ulLogDrvSize = d;
    ++*set.driveCount;
  } else {
    set.drives[*set.driveCount - 1].ulLogDrvSize += d;
  }
  return CheckSetFits(set, smallest);
}

// Checks of WriteNewConfig and AddLogDrvToConfig up to the sizing; *smallest
// is the set's smallest member in MiB.
Int CheckUniformSet(UChar uchAdaptNo, const SetRequest &set, bool addition,
                    ULong32 *smallest) {
  const ConfigLimits limits = LimitsOf(AdapterFwType(uchAdaptNo));
  if (!IsWritableLevel(set.level)) return HVAPI_ERR_BAD_RAID_LEVEL;
  if (!IsWritableStripe(set.stripe)) return HVAPI_ERR_BAD_STRIPE;
  if (set.spanCount < 1 || set.spanCount > limits.spans)
    return HVAPI_ERR_SPAN_COUNT;
  if (*set.driveCount < 1 || *set.driveCount > limits.drives)
    return HVAPI_ERR_LDRV_COUNT;
  int devices = 0;
  const SetCheck check{uchAdaptNo, limits, &set, 1, &devices, addition};
  const Int members = CheckSpansAndMembers(check, 0);
  if (members != 0) return members;
  return MeasureSet(set, smallest);
}

Int StartOperation(UChar uchAdaptNo, const void *record) {
  if (record == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  return IsKnownFwType(AdapterFwType(uchAdaptNo)) ? 0 : HVAPI_ERR_CMD_FAILED;
}

}  // namespace

extern "C" Int WriteConfig(UChar uchAdaptNo, ConfigInfo_Struct *pConInfo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int started = StartOperation(uchAdaptNo, pConInfo);
  if (started != 0) return started;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  const ConfigLimits limits = LimitsOf(fwType);
  const int count = pConInfo->uchNoOfRaidset;
  if (count < 1 || count > limits.drives) return HVAPI_ERR_SET_COUNT;

  SetRequest sets[HVAPI_MAX_LDRV_40LD];
  for (int r = 0; r < count; ++r)
    sets[r] = RequestOf(&pConInfo->astRaidSetStruct[r]);
  int drives = 0;
  int devices = 0;
  ULong32 smallest[HVAPI_MAX_LDRV_40LD] = {};
  for (int r = 0; r < count; ++r) {
    const SetRequest &set = sets[r];
    if (set.spanCount < 1 || set.spanCount > limits.spans)
      return HVAPI_ERR_SPAN_COUNT;
    drives += *set.driveCount;
    if (*set.driveCount == 0 || drives > limits.drives)
      return HVAPI_ERR_LDRV_COUNT;
    for (int g = 0; g < *set.driveCount; ++g) {
      if (!IsWritableLevel(set.Level(g))) return HVAPI_ERR_BAD_RAID_LEVEL;
      if (!IsWritableStripe(set.Stripe(g))) return HVAPI_ERR_BAD_STRIPE;
    }
    const SetCheck check{uchAdaptNo, limits, sets, count, &devices, false};
    const Int members = CheckSpansAndMembers(check, r);
    if (members != 0) return members;
    const Int measured = MeasureSet(set, &smallest[r]);
    if (measured != 0) return measured;
    const Int sized = SizeMixedSet(set, smallest[r]);
    if (sized != 0) return sized;
  }

  ArrayImage image;
  if (image.Reset(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  uint64_t start = 0;
  int first = 0;
  for (int r = 0; r < count; ++r) {
    const Int built = BuildSet(sets[r], first, &start, &image);
    if (built != 0) return built;
    first += *sets[r].driveCount;
  }
  image.SetCount(static_cast<UChar>(drives));
  return image.Write();
}

extern "C" Int WriteNewConfig(UChar uchAdaptNo, RaidSet_Struct *pstRaidSet) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int started = StartOperation(uchAdaptNo, pstRaidSet);
  if (started != 0) return started;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  const SetRequest set = RequestOf(pstRaidSet);
  ULong32 smallest = 0;
  const Int checked = CheckUniformSet(uchAdaptNo, set, false, &smallest);
  if (checked != 0) return checked;
  const Int sized = SizeUniformSet(set, smallest, LimitsOf(fwType).drives);
  if (sized != 0) return sized;

  ArrayImage image;
  if (image.Reset(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  uint64_t start = 0;
  const Int built = BuildSet(set, 0, &start, &image);
  if (built != 0) return built;
  image.SetCount(*set.driveCount);
  return image.Write();
}

extern "C" Int AddLogDrvToConfig(UChar uchAdaptNo, RaidSet_Struct *pstRaidSet) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int started = StartOperation(uchAdaptNo, pstRaidSet);
  if (started != 0) return started;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  const int limit = LimitsOf(fwType).drives;
  const SetRequest set = RequestOf(pstRaidSet);
  ULong32 smallest = 0;
  const Int checked = CheckUniformSet(uchAdaptNo, set, true, &smallest);
  if (checked != 0) return checked;
  // Read before the sizing: a drive made of the capacity left over must
  // find room among the existing ones.
  DiskArray current;
  if (current.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  const int existing = current.Count();
  if (existing + *set.driveCount > limit) return HVAPI_ERR_LDRV_COUNT;
  const Int sized = SizeUniformSet(set, smallest, limit - existing);
  if (sized != 0) return sized;

  ArrayImage image;
  if (image.Reset(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  image.CopyFrom(current.Raw());
  uint64_t start = 0;
  const Int built = BuildSet(set, existing, &start, &image);
  if (built != 0) return built;
  image.SetCount(static_cast<UChar>(existing + *set.driveCount));
  return image.Write();
}

extern "C" Int ClearConfig(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  ArrayImage image;
  if (image.Reset(AdapterFwType(uchAdaptNo)) != 0) return HVAPI_ERR_CMD_FAILED;
  return image.Write();
}

extern "C" Int DeleteNewLogDrv(UChar uchAdaptNo, Bool bForceLastDrive) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  if (bForceLastDrive != 0 && bForceLastDrive != 1)
    return HVAPI_ERR_BAD_ARGUMENT;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  DiskArray current;
  if (current.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  const int count = current.Count();
  if (count == 0) return HVAPI_ERR_NO_LDRV;
  UChar *announced = AnnouncedCount(uchAdaptNo);
  // More announced than exist (after a forced delete or a clear) still
  // leaves none new.
  if (bForceLastDrive == 0 && announced != nullptr && count <= *announced)
    return HVAPI_ERR_NONE_NEW;

  ArrayImage image;
  if (image.Reset(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  image.CopyFrom(current.Raw());
  image.ClearDrive(count - 1);
  image.SetCount(static_cast<UChar>(count - 1));
  return image.Write();
}
