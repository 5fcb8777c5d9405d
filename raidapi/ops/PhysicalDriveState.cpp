// The state of one physical device: reading it, failing or restoring a
// member, and making a free disk a hot spare or a hot spare free again.
#include <initializer_list>

#include "core/ApiLock.h"
#include "core/DiskSize.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/DeviceChecks.h"
#include "ops/DiskArray.h"

namespace {

// The size a hot spare carries: the capacity's remapped sector count.

Int SetState(UChar channel, UChar target, UChar state) {
  return SendAdapterCommand(kOpSetDeviceState, DeviceNumber(channel, target),
                            nullptr, state);
}

// A member (IsConfigured answering a logical drive) of the current adapter:
// 0, -9 for a device in no logical drive, or IsConfigured's -11.
Int RequireMember(UChar fwType, UChar channel, UChar target) {
  const Int ld = IsConfigured(channel, target, fwType, 1);
  if (ld >= 0) return 0;
  return ld == HVAPI_ERR_CMD_FAILED ? ld : HVAPI_ERR_NOT_MEMBER;
}

}  // namespace

extern "C" Int GetPDrvState(Int adapter, UChar *pucPstate, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pucPstate == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxTarget);
  if (checked != 0) return checked;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  if (!IsKnownFwType(fwType)) return 0;
  DiskArray array;
  if (array.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  UChar state = 0;
  array.DeviceState(c, t, &state);
  *pucPstate = MembershipIn(array, c, t, true) == HVAPI_MEMBER_FREE
                   ? HVAPI_PDRV_READY
                   : state;
  return 0;
}

extern "C" Int SetPDrvState(Int adapter, Int uchPstate, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (uchPstate != HVAPI_PDRV_ONLINE && uchPstate != HVAPI_PDRV_FAILED)
    return HVAPI_ERR_BAD_ARGUMENT;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxTarget);
  if (checked != 0) return checked;
  const Int member = RequireMember(AdapterFwType(uchAdaptNo), c, t);
  if (member != 0) return member;
  return SetState(c, t, static_cast<UChar>(uchPstate));
}

extern "C" Int FailDrv(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxTarget);
  if (checked != 0) return checked;
  const Int member = RequireMember(AdapterFwType(uchAdaptNo), c, t);
  if (member != 0) return member;
  return SetState(c, t, HVAPI_PDRV_FAILED);
}

extern "C" Int SetHotSpare(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxTarget);
  if (checked != 0) return checked;
  const Int ld = IsConfigured(c, t, AdapterFwType(uchAdaptNo), 1);
  if (ld >= 0) return HVAPI_ERR_IS_MEMBER;
  if (ld == HVAPI_ERR_CMD_FAILED) return ld;
  ULong32 sectors = 0;
  if (SendAdapterCommand(kOpReadCapacity, DeviceNumber(c, t), &sectors) != 0)
    return HVAPI_ERR_CMD_FAILED;
  ULong32 size = RemappedDiskSize(sectors);
  return SendAdapterCommand(kOpSetDeviceState, DeviceNumber(c, t), &size,
                            HVAPI_PDRV_HOTSPARE);
}

extern "C" Int ReSetHotSpare(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked = ValidateDevice(uchAdaptNo, c, t, kMaxTarget);
  if (checked != 0) return checked;
  const Int ld = IsConfigured(c, t, AdapterFwType(uchAdaptNo), 1);
  if (ld >= 0) return HVAPI_ERR_IS_MEMBER;
  if (ld == HVAPI_ERR_CMD_FAILED) return ld;
  if (ld != HVAPI_MEMBER_HOTSPARE) return HVAPI_ERR_NOT_HOTSPARE;
  // The firmware frees a hot spare only by way of failed and online.
  for (const UChar state : {UChar{HVAPI_PDRV_FAILED}, UChar{HVAPI_PDRV_ONLINE},
                            UChar{HVAPI_PDRV_READY}}) {
    if (SetState(c, t, state) != 0) return HVAPI_ERR_CMD_FAILED;
  }
  return 0;
}
