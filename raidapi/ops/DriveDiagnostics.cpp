// What the adapter records about its devices: error counters, the last
// sense entries, the dump text and the drive history.
#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/DeviceChecks.h"

namespace {

constexpr size_t kDumpSize = 4096;
constexpr size_t kDumpTextOffset = 2;  // behind the adapter's offset word
constexpr size_t kDumpTextMax = 4094;

static_assert(sizeof(DrvHist_Struct) == sizeof(DRV_HISTORY) - 1,
              "the history record is the adapter's without its checksum");
static_assert(sizeof(Err_Struct) == 2, "the counters are two bytes");

}  // namespace

extern "C" Int GetErrCntr(Int adapter, Int chid, Int tid,
                          Err_Struct *pstErrInfo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstErrInfo == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked =
      ValidateDevice(static_cast<UChar>(adapter), c, t, kMaxTarget);
  if (checked != 0) return checked;
  return SendAdapterCommand(kOpReadErrors, DeviceNumber(c, t), pstErrInfo);
}

extern "C" Int ResetErrCntr(Int adapter, Int chid, Int tid) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar c = static_cast<UChar>(chid);
  const UChar t = static_cast<UChar>(tid);
  const Int checked =
      ValidateDevice(static_cast<UChar>(adapter), c, t, kMaxTarget);
  if (checked != 0) return checked;
  return SendAdapterCommand(kOpResetErrors, DeviceNumber(c, t), nullptr);
}

extern "C" Int GetSCSIDump(Int adapter, SSDa_Struct *pstScsiSenseDta) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstScsiSenseDta == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  SENSE_DUMP dump;
  std::memset(&dump, 0, sizeof dump);
  if (SendAdapterCommand(kOpSenseDump, 0, &dump) != 0)
    return HVAPI_ERR_CMD_FAILED;
  const bool is40LD = AdapterFwType(uchAdaptNo) == HVAPI_FW_40LD;
  SSDa_Struct &out = *pstScsiSenseDta;
  out.uchEndPtr = dump.endPtr;
  for (int i = 0; i < 5; ++i) {
    const SENSE_DATA &in = dump.five[i];
    SenseData_Struct &e = out.astSenData[i];
    if (is40LD) {
      // 40LD firmware keeps the device number in the target byte.
      e.uchChanNo = static_cast<UChar>(in.uchTargNo >> kDeviceChannelShift);
      e.uchTargNo = static_cast<UChar>(in.uchTargNo & kDeviceTargetMask);
    } else {
      e.uchChanNo = in.uchChanNo;
      e.uchTargNo = in.uchTargNo;
    }
    e.uchErrcodePlusMisc = in.uchErrcodePlusMisc;
    e.uwSenseKeyPlusMisc = in.uwSenseKeyPlusMisc;
    e.uwComdSpec0 = in.uwComdSpec0;
    e.uwComdSpec1 = in.uwComdSpec1;
    e.uwASCPlusASCQ = in.uwASCPlusASCQ;
  }
  return 0;
}

extern "C" Int GetDump(Int adapter, Da_Struct *pstDumpArea) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstDumpArea == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(static_cast<UChar>(adapter));
  if (valid != 0) return valid;
  char dump[kDumpSize] = {};
  if (SendAdapterCommand(kOpDump, 0, dump) != 0) return HVAPI_ERR_CMD_FAILED;
  // The whole field is cleared, so the text ends inside it even when the
  // adapter's text fills all of its bytes.
  std::memset(pstDumpArea->achDumpArea, 0, sizeof pstDumpArea->achDumpArea);
  const char *text = dump + kDumpTextOffset;
  const size_t n = strnlen(text, kDumpTextMax);
  std::memcpy(pstDumpArea->achDumpArea, text, n);
  return 0;
}

extern "C" Int GetDrvHist(Int adapter, DrvHist_Struct *stDrvHist) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (stDrvHist == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(static_cast<UChar>(adapter));
  if (valid != 0) return valid;
  DRV_HISTORY history;
  std::memset(&history, 0, sizeof history);
  if (SendAdapterCommand(kOpDriveHistory, 0, &history, 0) != 0)
    return HVAPI_ERR_CMD_FAILED;
  std::memcpy(stDrvHist, &history, sizeof *stDrvHist);
  return 0;
}

extern "C" Int ClearDrvHist(Int adapter) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(static_cast<UChar>(adapter));
  if (valid != 0) return valid;
  return SendAdapterCommand(kOpDriveHistory, 1, nullptr, 1);
}
