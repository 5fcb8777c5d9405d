// What the drive operations share for one physical device: the device
// number, the address and INQUIRY checks in their fixed order, the disk test
// and the size of a disk in MiB.
#ifndef HVAPI_OPS_DEVICE_CHECKS_H
#define HVAPI_OPS_DEVICE_CHECKS_H

#include "firmware/FirmwareLayouts.h"
#include "hvapi.h"

// Targets the device checks accept: 15 for most operations, 16 for the
// rebuild ones.
constexpr UChar kMaxTarget = 15;
constexpr UChar kMaxRebuildTarget = 16;

// The number IssueCmd takes for a device: channel * 16 + target.
inline Int DeviceNumber(UChar channel, UChar target) {
  return (channel << kDeviceChannelShift) | target;
}

// Number of channels the device checks accept on fwType.
UChar ChannelLimit(UChar fwType);

// Sends INQUIRY to the device into *answer: 0, or -11 when it fails.
Int Inquire(UChar channel, UChar target, RESPONSE_DATA *answer);

// The device checks of an operation on adapter uchAdaptNo, already made
// current: channel (-14), target up to maxTarget and not the initiator ID
// (-18), INQUIRY (-31). Returns 0 or the first failing code.
Int CheckDevice(UChar uchAdaptNo, UChar channel, UChar target, UChar maxTarget);

// The target check alone: -18 or 0.
Int CheckTarget(UChar uchAdaptNo, UChar target, UChar maxTarget);

// True when the INQUIRY answer is that of a disk (peripheral type 0).
inline bool IsDisk(const RESPONSE_DATA &answer) {
  return static_cast<UChar>(answer.PeriInfo << 3) == 0;
}

// The disk's size in MiB: the capacity the transport answers (stored in
// *sectors when not null), remapped once more. 0, or -11 when the capacity
// command fails.
Int DiskSizeMiB(UChar channel, UChar target, ULong32 *mib,
                ULong32 *sectors = nullptr);

// PerformValidations for the adapter, then CheckDevice: 0 or the first
// failing code.
Int ValidateDevice(UChar uchAdaptNo, UChar channel, UChar target,
                   UChar maxTarget);

#endif  // HVAPI_OPS_DEVICE_CHECKS_H
