// The long operations of one logical drive: consistency check and
// initialisation, started, followed and aborted, with the adapter's status
// values mapped to the library's codes.
#include <unistd.h>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"

namespace {

constexpr ULong32 kLastRunningProgress = 99;
constexpr Int kProgressDone = 100;
constexpr unsigned kStartSettleSeconds = 1;

// PerformValidations and the logical drive checks that every operation
// here runs first: -19 for a drive that does not exist, -25 (when
// needsRedundancy) for a RAID 0 drive.
Int ValidateDrive(UChar uchAdaptNo, UChar uchLdrv, bool needsRedundancy) {
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  if (ValidateLDrv(uchLdrv, fwType) != 0) return HVAPI_ERR_BAD_LDRV;
  if (needsRedundancy && ValidateRaidLevel(uchLdrv, fwType) != 0)
    return HVAPI_ERR_RAID0;
  return 0;
}

}  // namespace

extern "C" Int StartConsistency(Int adapter, Int ldrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int checked = ValidateDrive(static_cast<UChar>(adapter), uchLdrv, true);
  if (checked != 0) return checked;
  ULong32 progress = 0;
  if (IssueCmd(kOpCheckProgress, uchLdrv,
               reinterpret_cast<unsigned long>(&progress), 0, 0) == 0 &&
      progress <= kLastRunningProgress) {
    return HVAPI_ERR_CHECK_RUNNING;
  }
  switch (IssueCmd(kOpStartCheck, uchLdrv, 0, 0, 0)) {
    case 0:
      sleep(kStartSettleSeconds);
      return 0;
    case 1:
      return HVAPI_ERR_NOT_OPTIMAL;
    case 2:
      return HVAPI_ERR_CHECK_RUNNING;
    case 4:
      return HVAPI_ERR_CHECK_REFUSED;
    default:
      return HVAPI_ERR_CMD_FAILED;
  }
}

extern "C" Int TGetConsistencyPrg(Int adapter, Int ldrv) {
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int checked = ValidateDrive(static_cast<UChar>(adapter), uchLdrv, true);
  if (checked != 0) return checked;
  ULong32 progress = 0;
  // Status 1 carries a progress too.
  switch (SendReadingStatus(kOpCheckProgress, uchLdrv, &progress,
                            sizeof progress)) {
    case 0:
    case 1:
      return progress > kLastRunningProgress ? kProgressDone
                                             : static_cast<Int>(progress);
    case 2:
      return HVAPI_ERR_NOT_OPTIMAL;
    default:
      return HVAPI_ERR_CMD_FAILED;
  }
}

extern "C" Int GetConsistencyPrg(Int adapter, Int ldrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  return TGetConsistencyPrg(adapter, ldrv);
}

extern "C" Int AbortConsistency(Int adapter, Int ldrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const Int progress = TGetConsistencyPrg(adapter, ldrv);
  if (progress < 0) return progress;
  const Int checked = ValidateDrive(uchAdaptNo, uchLdrv, true);
  if (checked != 0) return checked;
  switch (IssueCmd(kOpAbortCheck, uchLdrv, 0, 0, 0)) {
    case 0:
      return 0;
    case 1:
      return HVAPI_ERR_ABORT_REFUSED;
    default:
      return HVAPI_ERR_CMD_FAILED;
  }
}

extern "C" Int StartInit(Int adapter, Int ldrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int checked =
      ValidateDrive(static_cast<UChar>(adapter), uchLdrv, false);
  if (checked != 0) return checked;
  switch (IssueCmd(kOpStartInit, uchLdrv, 0, 0, 0)) {
    case 0:
      return 0;
    case 1: {
      // The adapter refused; an initialisation that answers its progress is
      // already running.
      ULong32 progress = 0;
      return SendAdapterCommand(kOpInitProgress, uchLdrv, &progress) == 0
                 ? HVAPI_ERR_INIT_RUNNING
                 : HVAPI_ERR_NOT_OPTIMAL;
    }
    case 2:
      return HVAPI_ERR_INIT_RUNNING;
    default:
      return HVAPI_ERR_CMD_FAILED;
  }
}

extern "C" Int GetInitPrg(Int adapter, Int ldrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int checked =
      ValidateDrive(static_cast<UChar>(adapter), uchLdrv, false);
  if (checked != 0) return checked;
  ULong32 progress = 0;
  switch (IssueCmd(kOpInitProgress, uchLdrv,
                   reinterpret_cast<unsigned long>(&progress), 0, 0)) {
    case 0:
      // A percentage: anything above 99 is finished, and must not come
      // back as a negative value that reads as an error code.
      return progress > 99 ? 100 : static_cast<Int>(progress);
    case 1:
      return HVAPI_ERR_NOT_OPTIMAL;
    case -1:
      return HVAPI_ERR_CMD_FAILED;
    default:
      return HVAPI_ERR_NO_INIT;
  }
}

extern "C" Int AbortInit(Int adapter, Int ldrv) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int checked =
      ValidateDrive(static_cast<UChar>(adapter), uchLdrv, false);
  if (checked != 0) return checked;
  ULong32 progress = 0;
  if (SendAdapterCommand(kOpInitProgress, uchLdrv, &progress) != 0)
    return HVAPI_ERR_CMD_FAILED;
  if (progress > kLastRunningProgress) return HVAPI_ERR_NO_INIT;
  return SendAdapterCommand(kOpAbortInit, uchLdrv, nullptr);
}
