#include <cstring>

#include "core/ApiLock.h"
#include "core/DiskSize.h"
#include "core/IssueCmd.h"
#include "core/TextField.h"
#include "core/Validations.h"
#include "firmware/FirmwareLayouts.h"
#include "hvapi.h"

namespace {
constexpr UChar kDeviceTypeMask = 0x1F;
// Channel and target share one device number: four bits each.
constexpr UChar kMaxAddressPart = HVAPI_TARGETS_PER_CHANNEL - 1;
static_assert(sizeof(SCSI_Struct::achVendor) ==
                  sizeof(RESPONSE_DATA::VendorInfo) + 1,
              "the vendor field holds the inquiry's vendor and a zero");
static_assert(sizeof(SCSI_Struct::achRevision) ==
                  sizeof(RESPONSE_DATA::ProductVersion) + 1,
              "the revision field holds the inquiry's revision and a zero");
static_assert(sizeof(SCSI_Struct::aucVendorSpecific) ==
                  sizeof(RESPONSE_DATA::aucVendorSpecific),
              "vendor-specific bytes copy whole");
}  // namespace

extern "C" Int GetScsiDetails(UChar uchAdaptNo, UChar uchChID, UChar uchTID,
                              SCSI_Struct *pstSCSIData) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstSCSIData == nullptr || uchChID > kMaxAddressPart ||
      uchTID > kMaxAddressPart) {
    return HVAPI_ERR_BAD_ARGUMENT;
  }
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const int device = (uchChID << kDeviceChannelShift) | uchTID;

  RESPONSE_DATA inquiry;
  std::memset(&inquiry, 0, sizeof inquiry);
  if (IssueCmd(kOpInquiry, device, reinterpret_cast<unsigned long>(&inquiry), 0,
               0) != 0) {
    return HVAPI_ERR_BAD_ARGUMENT;
  }
  SCSI_Struct &d = *pstSCSIData;
  // The model runs from the product identification to the answer's first
  // zero byte, which may lie well beyond the identification itself.
  CopyTextField(d.achDeviceModel, sizeof d.achDeviceModel, inquiry.ProductInfo,
                sizeof inquiry - offsetof(RESPONSE_DATA, ProductInfo));
  std::memcpy(d.achVendor, inquiry.VendorInfo, sizeof inquiry.VendorInfo);
  d.achVendor[sizeof inquiry.VendorInfo] = '\0';
  std::memcpy(d.achRevision, inquiry.ProductVersion,
              sizeof inquiry.ProductVersion);
  d.achRevision[sizeof inquiry.ProductVersion] = '\0';
  std::memcpy(d.aucVendorSpecific, inquiry.aucVendorSpecific,
              sizeof d.aucVendorSpecific);
  d.uchDevType = inquiry.PeriInfo & kDeviceTypeMask;

  // The transport answers the remapped count; like every drive size the
  // library reports, it is remapped once more, so that a device shows the
  // same size here as in the drive lists.
  ULong32 sectors = 0;
  if (IssueCmd(kOpReadCapacity, device,
               reinterpret_cast<unsigned long>(&sectors), 0, 0) != 0) {
    return HVAPI_ERR_BAD_ARGUMENT;
  }
  d.ulDevSize = RemappedDiskSize(sectors) >> HVAPI_SECTORS_TO_MIB_SHIFT;
  return 0;
}
