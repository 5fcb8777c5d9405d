// The health of every adapter at once: configuration mismatch, the long
// operations running, and the logical drives and devices that need care.
#include <cstddef>
#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "firmware/FirmwareLayouts.h"
#include "ops/AdapterOps.h"

namespace {

constexpr ULong32 kBiosWordRead = 1;
constexpr UChar kConfigsAgree = 1;
constexpr UChar k8LDReportedTarget = 15;  // shares the entry of target 7
constexpr UChar k8LDSharedWith = 7;
constexpr int kMaxListed = 255;  // what uchPDrvCount can say

bool UsualDeviceState(UChar d) {
  return d == HVAPI_PDRV_READY || d == HVAPI_PDRV_ONLINE ||
         d == HVAPI_PDRV_HOTSPARE;
}

void AddDrives(const UChar *states, int count, AdapterStatus_Struct *out) {
  for (int i = 0; i < count; ++i) {
    const UChar s = states[i];
    const UChar op = s & HVAPI_LDRV_OP_MASK;
    out->achConsCheck_Prog[i] = op == HVAPI_LDRV_OP_CONSCHECK ? 1 : 0;
    out->achInit_Prog[i] = op == HVAPI_LDRV_OP_INIT ? 1 : 0;
    if (op == HVAPI_LDRV_OP_RECON) out->uchRecon_Prog = 1;
    const UChar state = s & HVAPI_LDRV_STATE_MASK;
    if (state != HVAPI_LDRV_OPTIMAL) {
      out->astLogDrvStatus[out->uchLDrvCount++] = {static_cast<UChar>(i),
                                                   state};
    }
  }
}

void AddDevices(const UChar *states, int entries, int stride, bool is8LD,
                AdapterStatus_Struct *out) {
  for (int p = 0; p < entries && out->uchPDrvCount < kMaxListed; ++p) {
    const UChar d = states[p] & 0x0F;
    if (UsualDeviceState(d)) continue;
    UChar target = static_cast<UChar>(p % stride);
    if (is8LD && target == k8LDSharedWith) target = k8LDReportedTarget;
    out->astPhyDrvStatus[out->uchPDrvCount++] = {static_cast<UChar>(p / stride),
                                                 target, d};
  }
}

// Fills the record of the current adapter a: 0 or -11.
Int FillStatus(UChar a, AdapterStatus_Struct *out) {
  std::memset(out, 0, sizeof *out);
  UChar word[2] = {0, 0};
  if (SendAdapterCommand(kOpBiosWord, 0, word, kBiosWordRead) != 0)
    return HVAPI_ERR_CMD_FAILED;
  out->uchNVRAM_Mismatch = word[1] == kConfigsAgree ? 0 : 1;
  RECONSTRUCT_PROG_STATUS progress;
  std::memset(&progress, 0, sizeof progress);
  out->uchRecon_Prog =
      SendAdapterCommand(kOpReconProgress, 0, &progress) == 0 &&
              (progress.prcnt_comp & 0xFF) != kReconNotRunning
          ? 1
          : 0;

  void *cache = GetAdpCache(a);
  if (cache == nullptr) return HVAPI_ERR_CMD_FAILED;
  switch (AdapterFwType(a)) {
    case HVAPI_FW_40LD: {
      HALVORAN_ENQ3_40LD &e =
          static_cast<ADAP_DATA_8SPAN_40LD *>(cache)->stRdEnq3_40LD;
      if (SendAdapterCommand(kOp40LD, kSub40LDEnquiry3, &e, kEnq3Full) != 0 ||
          e.uchNumLDrv > HVAPI_MAX_LDRV_40LD)
        return HVAPI_ERR_CMD_FAILED;
      AddDrives(e.aulLogDrvState, e.uchNumLDrv, out);
      AddDevices(e.achPhyDrvState, kFw40LDStateEntries, kFw40LDStateStride,
                 false, out);
      return 0;
    }
    case HVAPI_FW_8LD_4SPAN:
    case HVAPI_FW_8LD_8SPAN: {
      // Both 8LD caches start with the enquiry.
      HALVORAN_ENQ_8LD &e = *static_cast<HALVORAN_ENQ_8LD *>(cache);
      if (SendAdapterCommand(kOpEnquiry8LD, 0, &e) != 0 ||
          e.stLogDrvInfo8LD.uchNumLDrv > HVAPI_MAX_LDRV_8LD)
        return HVAPI_ERR_CMD_FAILED;
      AddDrives(e.stLogDrvInfo8LD.chLDrvState, e.stLogDrvInfo8LD.uchNumLDrv,
                out);
      AddDevices(e.stPhysDrvInfo8LD.achPDrvState, kFw8LDStateEntries,
                 kFw8LDStateStride, true, out);
      return 0;
    }
    default:
      return HVAPI_ERR_CMD_FAILED;
  }
}

}  // namespace

static_assert(offsetof(ADAP_DATA_4SPAN_8LD, stRdEnq8LD) == 0 &&
              offsetof(ADAP_DATA_8SPAN_8LD, stRdEnq8LD) == 0);

extern "C" Int CheckSystemStatus(UChar uchAdaptNo,
                                 AdapterStatus_Struct *astAdapterStatus) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (ValidateAdapterNo(static_cast<signed char>(uchAdaptNo)) != 1)
    return HVAPI_ERR_BAD_ADAPTER;
  if (astAdapterStatus == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  Int result = 0;
  const Int total = GetTotalAdapters();
  for (Int a = 0; a < total && result == 0; ++a) {
    SetCurrentAdaptNumber(static_cast<ULong32>(a));
    result = FillStatus(static_cast<UChar>(a), &astAdapterStatus[a]);
  }
  SetCurrentAdaptNumber(uchAdaptNo);
  return result;
}
