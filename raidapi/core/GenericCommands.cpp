#include "hvapi.h"

#include "core/ApiLock.h"
#include "core/IssueCmd.h"
#include "core/ScsiCommand.h"
#include "core/Validations.h"

extern "C" Int IssueCmd_MT(UChar uchAdpNo, Int op, Int objid,
                           unsigned long dataptr, ULong32 param1,
                           ULong32 param2) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdpNo);
  if (valid != 0) return valid;
  return IssueCmd(op, objid, dataptr, param1, param2);
}

extern "C" Int ExecuteCmd(UChar uchAdaptNo, Int iCommand, Int iObjID,
                          char *cpDataPtr, ULong32 ulparam1, ULong32 ulparam2) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const Int result =
      IssueCmd(iCommand, iObjID, reinterpret_cast<unsigned long>(cpDataPtr),
               ulparam1, ulparam2);
  return result == 0 ? 0 : HVAPI_ERR_CMD_FAILED;
}

extern "C" Int ExecuteSCSICmd(UChar uchAdaptNo, PassThru_Struct *pstPassThru,
                              char *ulDataPtr, Bool bIsLogical, UChar ucDataDir,
                              ULong32 ulDataLength) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstPassThru == nullptr || (bIsLogical != 0 && bIsLogical != 1) ||
      ucDataDir > HVAPI_DIR_BOTH || ulDataLength > 4096) {
    return HVAPI_ERR_BAD_ARGUMENT;
  }
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  return SCSICommand(pstPassThru, ulDataPtr, bIsLogical, ucDataDir,
                     ulDataLength) == 0
             ? 0
             : HVAPI_ERR_CMD_FAILED;
}
