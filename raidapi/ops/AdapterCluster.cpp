#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"

namespace {

constexpr ULong32 kBiosWordRead = 1;
constexpr UChar kClusterQuery = 2;
constexpr UShort kBiosEnabledBit = 0x0001;
constexpr UChar kMaxInitiatorID = 15;

// The cluster mode the adapter reports: 0 or 1, or -11 when the query
// fails. Any other answer counts as off.
Int QueryClusterMode() {
  UChar mode = kClusterQuery;
  if (SendAdapterCommand(kOpCluster, kClusterQuery, &mode, kClusterQuery) !=
      0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  return mode == 1 ? 1 : 0;
}

void RefreshInitiatorID(UChar uchAdaptNo) {
  gstAdpTab.astTotAdpInfo[uchAdaptNo].chAdpID = GetInitiatorID();
}

}  // namespace

extern "C" Int GetClusterState(UChar uchAdaptNo, Cluster_Struct *pstCluster) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstCluster == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UShort word = 0;
  if (SendAdapterCommand(kOpBiosWord, 0, &word, kBiosWordRead) != 0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  pstCluster->bBiosEnable = (word & kBiosEnabledBit) != 0 ? 1 : 0;
  const Int mode = QueryClusterMode();
  if (mode < 0) return mode;
  pstCluster->bClusterMode = mode;
  pstCluster->iAdapterID = GetInitiatorID();
  return 0;
}

extern "C" Int SetClusterState(UChar uchAdaptNo, Bool bClusterMode) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (bClusterMode != 0 && bClusterMode != 1) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  UChar mode = static_cast<UChar>(bClusterMode);
  const Int sent = SendAdapterCommand(kOpCluster, bClusterMode, &mode,
                                      static_cast<ULong32>(bClusterMode));
  if (sent != 0) return sent;
  RefreshInitiatorID(uchAdaptNo);
  return 0;
}

extern "C" Int SetAdapterID(UChar uchAdaptNo, UChar ucAdapterID) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (ucAdapterID > kMaxInitiatorID) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const Int mode = QueryClusterMode();
  if (mode < 0) return mode;
  if (mode != 1) return HVAPI_ERR_NOT_CLUSTERED;
  UChar id = ucAdapterID;
  const Int sent = SendAdapterCommand(kOpSetInitiatorID, 0, &id);
  if (sent != 0) return sent;
  RefreshInitiatorID(uchAdaptNo);
  return 0;
}
