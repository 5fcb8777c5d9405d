#include "ops/DeviceChecks.h"

#include <cstring>

#include "core/DiskSize.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"

UChar ChannelLimit(UChar fwType) {
  return fwType == HVAPI_FW_40LD ? HVAPI_MAX_CHANNELS_40LD
                                 : HVAPI_MAX_CHANNELS_8LD;
}

Int Inquire(UChar channel, UChar target, RESPONSE_DATA *answer) {
  std::memset(answer, 0, sizeof *answer);
  return SendAdapterCommand(kOpInquiry, DeviceNumber(channel, target), answer);
}

Int CheckTarget(UChar uchAdaptNo, UChar target, UChar maxTarget) {
  if (target > maxTarget || target == GetAdpterID(uchAdaptNo))
    return HVAPI_ERR_BAD_TARGET;
  return 0;
}

Int CheckDevice(UChar uchAdaptNo, UChar channel, UChar target,
                UChar maxTarget) {
  if (channel >= ChannelLimit(AdapterFwType(uchAdaptNo)))
    return HVAPI_ERR_BAD_CHANNEL;
  const Int targetCheck = CheckTarget(uchAdaptNo, target, maxTarget);
  if (targetCheck != 0) return targetCheck;
  // Target 16 passes the rebuild operations' check, but no device answers
  // there: its number would name target 0 of the next channel.
  if (target >= HVAPI_TARGETS_PER_CHANNEL) return HVAPI_ERR_NO_DEVICE;
  RESPONSE_DATA answer;
  if (Inquire(channel, target, &answer) != 0) return HVAPI_ERR_NO_DEVICE;
  return 0;
}

Int DiskSizeMiB(UChar channel, UChar target, ULong32 *mib, ULong32 *sectors) {
  ULong32 capacity = 0;
  if (SendAdapterCommand(kOpReadCapacity, DeviceNumber(channel, target),
                         &capacity) != 0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  if (sectors != nullptr) *sectors = capacity;
  *mib = RemappedDiskSize(capacity) >> HVAPI_SECTORS_TO_MIB_SHIFT;
  return 0;
}

Int ValidateDevice(UChar uchAdaptNo, UChar channel, UChar target,
                   UChar maxTarget) {
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  return CheckDevice(uchAdaptNo, channel, target, maxTarget);
}
