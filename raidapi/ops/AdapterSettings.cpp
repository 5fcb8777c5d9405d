#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"

namespace {

// Adapter property numbers of command 0x64.
constexpr ULong32 kGetAutoRebuild = 3;
constexpr ULong32 kSetAutoRebuild = 4;
// Command 0x62: read or write the BIOS settings word.
constexpr ULong32 kBiosWordWrite = 2;

constexpr UChar kMaxRebuildRate = 100;
constexpr UChar kMaxAlarmControl = 2;
constexpr UChar kAlarmQuery = 3;

bool IsBool(Bool value) { return value == 0 || value == 1; }

}  // namespace

extern "C" Int FlushAdapter(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  return SendAdapterCommand(kOpFlush, 0, nullptr);
}

extern "C" Int GetAutoRbld(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UChar setting = 0;
  const Int sent =
      SendAdapterCommand(kOpAdapterProperty, 0, &setting, kGetAutoRebuild);
  return sent != 0 ? sent : setting;
}

extern "C" Int SetAutoRbld(UChar uchAdaptNo, Bool bRbldFlg) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (!IsBool(bRbldFlg)) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UChar setting = static_cast<UChar>(bRbldFlg);
  return SendAdapterCommand(kOpAdapterProperty, 0, &setting, kSetAutoRebuild);
}

extern "C" Int GetRebuildRate(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UChar block[4] = {};
  const Int sent = SendAdapterCommand(kOpGetRebuildRate, 0, block);
  if (sent != 0) return sent;
  return block[0] < kMaxRebuildRate ? block[0] : kMaxRebuildRate;
}

extern "C" Int SetRebuildRate(UChar uchAdaptNo, UChar uchRRate) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (uchRRate > kMaxRebuildRate) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UChar block[4] = {uchRRate, 0, 0, 0};
  return SendAdapterCommand(kOpSetRebuildRate, 0, block);
}

extern "C" Int ControlAlarm(UChar uchAdaptNo, UChar uchValue) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (uchValue > kMaxAlarmControl) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UChar control = uchValue;
  return SendAdapterCommand(kOpAlarm, 0, &control);
}

extern "C" Int GetAlarmState(UChar uchAdaptNo, Int *piAlarmState) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (piAlarmState == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  // The query goes out in the int's low byte and the state comes back
  // there, so the int ends up holding the state.
  *piAlarmState = kAlarmQuery;
  return SendAdapterCommand(kOpAlarm, 0, piAlarmState);
}

extern "C" Int SetBiosMode(UChar uchAdaptNo, Bool bBiosMode) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (!IsBool(bBiosMode)) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UShort word = static_cast<UShort>(bBiosMode);
  return SendAdapterCommand(kOpBiosWord, 0, &word, kBiosWordWrite);
}
