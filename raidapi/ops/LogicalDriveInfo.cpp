// The logical drives of an adapter: their number, their properties as the
// application sees them, and their cache policies.
#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/DiskArray.h"
#include "ops/LogicalDriveSize.h"

namespace {

constexpr ULong32 kPolicyWrite = 1;
constexpr ULong32 kPolicyCache = 2;
constexpr ULong32 kPolicyRead = 3;
constexpr UChar kMaxWritePolicy = 1;
constexpr UChar kMaxCachePolicy = 1;
constexpr UChar kMaxReadPolicy = 2;

}  // namespace

ULong32 LogicalDriveMiB(const ArrayLogicalDrive &d) {
  // Summed wide: the spans of a large drive overflow 32 bits of blocks.
  uint64_t blocks = 0;
  uint64_t factor = 0;
  switch (d.raid) {
    case HVAPI_RAID0:
      factor = d.rowSize;
      break;
    case HVAPI_RAID1:
      factor = 1;
      break;
    case HVAPI_RAID3:
    case HVAPI_RAID5:
      factor = d.rowSize > 0 ? d.rowSize - 1u : 0;
      break;
    default:
      factor = 0;
  }
  for (int s = 0; s < d.spanDepth; ++s) blocks += d.spanBlocks[s] * factor;
  return static_cast<ULong32>(blocks >> HVAPI_SECTORS_TO_MIB_SHIFT);
}

void FillLdrv(const ArrayLogicalDrive &d, UChar number, Ldrv_Struct *out) {
  out->uchLogDrvNo = number;
  out->uchStatus = d.status;
  out->uchSpanDepth = d.spanDepth;
  out->uchRaidLevel = d.raid;
  out->stLogDrv_Policy.uchReadPolicy = d.readAhead;
  out->stLogDrv_Policy.uchWritePolicy = d.writePolicy;
  out->stLogDrv_Policy.uchCachePolicy = d.directIO;
  out->uchStripeSize = static_cast<UChar>(d.stripe >> HVAPI_STRIPE_SHIFT);
  out->uchNoOfStripes = d.rowSize;
  out->ulLDrvSize = LogicalDriveMiB(d);
}

extern "C" Int GetNumOfLogDrvs(Int adapter) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  DiskArray array;
  if (array.Read(AdapterFwType(uchAdaptNo)) != 0) return HVAPI_ERR_CMD_FAILED;
  return array.Count() == 0 ? HVAPI_ERR_NO_LDRV : array.Count();
}

extern "C" Int TGetLogDrvProp(Int adapter, Int ldrv,
                              Ldrv_Struct *stLogDrvInfo) {
  if (stLogDrvInfo == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  const int limit =
      fwType == HVAPI_FW_40LD ? HVAPI_MAX_LDRV_40LD : HVAPI_MAX_LDRV_8LD;
  if (uchLdrv >= limit) return HVAPI_ERR_BAD_LDRV;
  DiskArray array;
  if (array.Read(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  if (uchLdrv >= array.Count()) return HVAPI_ERR_BAD_LDRV;
  FillLdrv(array.Drive(uchLdrv), uchLdrv, stLogDrvInfo);
  return 0;
}

extern "C" Int GetLogDrvProp(Int adapter, Int ldrv, Ldrv_Struct *stLogDrvInfo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  return TGetLogDrvProp(adapter, ldrv, stLogDrvInfo);
}

extern "C" Int SetPolicy(Int adapter, Int ldrv, LdrvPolicy_Struct stLogPolicy) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  // Values are checked before anything is sent.
  if (stLogPolicy.uchWritePolicy > kMaxWritePolicy ||
      stLogPolicy.uchCachePolicy > kMaxCachePolicy ||
      stLogPolicy.uchReadPolicy > kMaxReadPolicy) {
    return HVAPI_ERR_BAD_ARGUMENT;
  }
  const UChar uchAdaptNo = static_cast<UChar>(adapter);
  const UChar uchLdrv = static_cast<UChar>(ldrv);
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  if (ValidateLDrv(uchLdrv, AdapterFwType(uchAdaptNo)) != 0)
    return HVAPI_ERR_BAD_LDRV;
  const struct {
    ULong32 which;
    UChar value;
  } settings[] = {{kPolicyWrite, stLogPolicy.uchWritePolicy},
                  {kPolicyCache, stLogPolicy.uchCachePolicy},
                  {kPolicyRead, stLogPolicy.uchReadPolicy}};
  for (const auto &s : settings) {
    if (SendAdapterCommand(kOpSetPolicy, uchLdrv, nullptr, s.which, s.value) !=
        0) {
      return HVAPI_ERR_CMD_FAILED;
    }
  }
  return 0;
}
