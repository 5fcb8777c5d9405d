// The membership and logical drive tests that the drive and configuration
// operations run while they hold the lock.
#include "hvapi.h"
#include "ops/DiskArray.h"

extern "C" Int IsConfigured(UChar uchChID, UChar uchTID, UChar FWType,
                            Bool ChkPDrvStruct) {
  if (!IsKnownFwType(FWType)) return HVAPI_MEMBER_FREE;
  DiskArray array;
  if (array.Read(FWType) != 0) return HVAPI_ERR_CMD_FAILED;
  return MembershipIn(array, uchChID, uchTID, ChkPDrvStruct != 0);
}

extern "C" Int ValidateLDrv(UChar uchLDrv, UChar FWType) {
  if (!IsKnownFwType(FWType)) return 0;
  DiskArray array;
  if (array.Read(FWType) != 0) return -1;
  return uchLDrv < array.Count() ? 0 : -1;
}

extern "C" Int ValidateRaidLevel(UChar uchLDrv, UChar FWType) {
  if (!IsKnownFwType(FWType)) return 0;
  DiskArray array;
  if (array.Read(FWType) != 0) return -1;
  // A number beyond the layout's records has no level to read.
  if (uchLDrv >= array.MaxDrives()) return -1;
  return array.Drive(uchLDrv).raid != HVAPI_RAID0 ? 0 : -1;
}
