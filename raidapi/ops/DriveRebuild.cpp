// Rebuild of a failed member of a redundant logical drive: start, progress
// and abort.
#include <unistd.h>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/DeviceChecks.h"
#include "ops/DiskArray.h"

namespace {

constexpr UChar kRebuildDone = 100;
constexpr ULong32 kLastRunningProgress = 99;
// The firmware needs a moment before the rebuild shows.
constexpr unsigned kStartSettleSeconds = 1;

// The logical drive of a member that can be rebuilt: 0 with *ld set, -9 for
// a device in no logical drive, -1 for a RAID 0 drive (or an array that
// cannot be read).
Int RebuildableMember(UChar fwType, UChar channel, UChar target, Int *ld) {
  *ld = IsConfigured(channel, target, fwType, 0);
  if (*ld < 0) return HVAPI_ERR_NOT_MEMBER;
  if (ValidateRaidLevel(static_cast<UChar>(*ld), fwType) != 0)
    return HVAPI_ERR_TRANSPORT;
  return 0;
}

}  // namespace

extern "C" Int StartRbld(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxRebuildTarget);
  if (checked != 0) return checked;
  Int ld = 0;
  const Int member = RebuildableMember(AdapterFwType(uchAdaptNo), c, t, &ld);
  if (member != 0) return member;
  if (SendAdapterCommand(kOpStartRebuild, DeviceNumber(c, t), nullptr) != 0)
    return HVAPI_ERR_CMD_FAILED;
  sleep(kStartSettleSeconds);
  return 0;
}

extern "C" Int GetRbldPrg(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  UChar c = static_cast<UChar>(chid);
  UChar t = static_cast<UChar>(tid);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const Int targetCheck = CheckTarget(uchAdaptNo, t, kMaxRebuildTarget);
  if (targetCheck != 0) return targetCheck;
  if (t >= HVAPI_TARGETS_PER_CHANNEL) return HVAPI_ERR_NO_DEVICE;
  RESPONSE_DATA answer;
  if (Inquire(c, t, &answer) != 0) return HVAPI_ERR_NO_DEVICE;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  if (c >= ChannelLimit(fwType)) return HVAPI_ERR_BAD_CHANNEL;
  DiskArray array;
  if (array.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  // On 8LD firmware target 15 is the device of target 7's entry.
  if (array.Is8LD() && t == kMaxTarget) t = 7;
  UChar state = 0;
  array.DeviceState(c, t, &state);
  Int ld = 0;
  const Int member = RebuildableMember(fwType, c, t, &ld);
  if (member != 0) return member;
  if (state == HVAPI_PDRV_ONLINE) return kRebuildDone;
  UChar progress[4] = {};
  if (SendAdapterCommand(kOpRebuildProgress, DeviceNumber(c, t), progress) !=
      0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  return progress[0];
}

extern "C" Int AbortRbldPrg(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxRebuildTarget);
  if (checked != 0) return checked;
  Int ld = 0;
  const Int member = RebuildableMember(AdapterFwType(uchAdaptNo), c, t, &ld);
  if (member != 0) return member;
  ULong32 progress = 0;
  if (SendAdapterCommand(kOpRebuildProgress, DeviceNumber(c, t), &progress) !=
      0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  if (progress == 0 || progress > kLastRunningProgress)
    return HVAPI_ERR_NO_REBUILD;
  return SendAdapterCommand(kOpAbortRebuild, DeviceNumber(c, t), nullptr);
}
