#include <cstring>

#include "core/ApiLock.h"
#include "core/Discovery.h"
#include "core/TextField.h"
#include "core/Validations.h"
#include "firmware/FirmwareLayouts.h"
#include "ops/AdapterOps.h"
#include "ops/AdapterVersionText.h"

namespace {

constexpr ULong32 kAdpDataSize = sizeof(Adp_Struct) - sizeof(ULong32);
constexpr char kProductName8LD[] = "QRN Halvoran 8LD";
constexpr UChar kTargetsPerChannel40LD = 15;

// Spans per logical drive, devices per span and logical drives, one byte
// each from the lowest.
constexpr ULong32 Signature(ULong32 spans, ULong32 devices, ULong32 drives) {
  return spans | devices << 8 | drives << 16;
}

ULong32 ConfigSignature(UChar type) {
  switch (type) {
    case HVAPI_FW_8LD_4SPAN:
      return Signature(4, 8, 8);
    case HVAPI_FW_8LD_8SPAN:
      return Signature(8, 8, 8);
    default:
      return Signature(8, 32, 40);
  }
}
static_assert(Signature(4, 8, 8) == 526340 && Signature(8, 8, 8) == 526344 &&
                  Signature(8, 32, 40) == 2629640,
              "configuration signatures");

// 8LD adapters: extended enquiry 2, or the extended enquiry and the rebuild
// rate on firmware without it; both begin with the enquiry.
Int Fill8LD(HALVORAN_EXT_ENQ_8LD *extEnq, HALVORAN_EXTEN_ENQ2_8LD *extEnq2,
            Adp_Struct &info) {
  const HALVORAN_ENQ_8LD *enq = nullptr;
  if (SendAdapterCommand(kOpExtEnquiry2_8LD, 0, extEnq2) == 0) {
    enq = &extEnq2->stHalvExtEnq8LD.stHalvoranEnq8LD;
    const ADAPTER_INFO_8LD &a = enq->stAdpInfo8LD;
    if (extEnq2->shSubSystemVendorID == kShortVersionVendor) {
      ShortVersionText(a.achFWVer, info.achFwVer, sizeof info.achFwVer);
      ShortVersionText(a.achBIOSVer, info.achBiosVer, sizeof info.achBiosVer);
    } else {
      FourByteVersionText(a.achFWVer, info.achFwVer, sizeof info.achFwVer);
      FourByteVersionText(a.achBIOSVer, info.achBiosVer,
                          sizeof info.achBiosVer);
    }
    info.shSubSystemID = extEnq2->shSubSystemID;
    info.shSubSystemvendorID = extEnq2->shSubSystemVendorID;
    info.ulSignature = extEnq2->lSignature;
    info.uchRbldRate = a.uchRBldrate;
  } else {
    if (SendAdapterCommand(kOpExtEnquiry8LD, 0, extEnq) != 0)
      return HVAPI_ERR_CMD_FAILED;
    enq = &extEnq->stHalvoranEnq8LD;
    const ADAPTER_INFO_8LD &a = enq->stAdpInfo8LD;
    FourByteVersionText(a.achFWVer, info.achFwVer, sizeof info.achFwVer);
    FourByteVersionText(a.achBIOSVer, info.achBiosVer, sizeof info.achBiosVer);
    info.shSubSystemID = 0;
    info.shSubSystemvendorID = 0;
    info.ulSignature = 0;
    UChar rate[4] = {};
    if (SendAdapterCommand(0x23, 0, rate) != 0) return HVAPI_ERR_CMD_FAILED;
    info.uchRbldRate = rate[0];
  }
  const ADAPTER_INFO_8LD &a = enq->stAdpInfo8LD;
  CopyTextField(info.achProductName, sizeof info.achProductName,
                kProductName8LD, sizeof kProductName8LD);
  info.uchMaxConcCmds = a.uchMaxConcCmds;
  info.uchSCSIChanPresent = a.uchChansPresent;
  info.uchMaxTargPerChan = a.uchMaxTargPerChan;
  info.uchDRamSize = a.uchDramSize;
  info.uchCacheFlushInterval = a.uchCacheFlushInterval;
  info.uchDriveInsertedCount = a.uchDriveInsertionCount;
  info.uchBatteryStatus = a.uchBatteryStatus;
  return 0;
}

Int Fill40LD(ADAP_DATA_8SPAN_40LD *cache, Adp_Struct &info) {
  HALVORAN_PRODUCT_INFO_40LD &p = cache->stRdProInfo40LD;
  if (SendAdapterCommand(kOp40LD, kSub40LDProductInfo, &p) != 0)
    return HVAPI_ERR_CMD_FAILED;
  if (p.uchSubSystemVendorID == kShortVersionVendor) {
    ShortVersionText(p.uchFwVer, info.achFwVer, sizeof info.achFwVer);
    ShortVersionText(p.uchBiosVer, info.achBiosVer, sizeof info.achBiosVer);
  } else {
    CopyTextField(info.achFwVer, sizeof info.achFwVer, p.uchFwVer,
                  sizeof p.uchFwVer);
    CopyTextField(info.achBiosVer, sizeof info.achBiosVer, p.uchBiosVer,
                  sizeof p.uchBiosVer);
  }
  CopyTextField(info.achProductName, sizeof info.achProductName,
                p.uchProductName, sizeof p.uchProductName);
  info.uchMaxConcCmds = p.uchMaxConcCmds;
  info.uchSCSIChanPresent = p.uchSCSIChanPresent;
  info.uchMaxTargPerChan = kTargetsPerChannel40LD;
  info.uchDRamSize = static_cast<UChar>(p.ushDramSize);
  info.shSubSystemID = p.uchSubSystemID;
  info.shSubSystemvendorID = p.uchSubSystemVendorID;
  info.ulSignature = p.ulSignature;

  HALVORAN_ENQ3_40LD &e = cache->stRdEnq3_40LD;
  if (SendAdapterCommand(kOp40LD, kSub40LDEnquiry3, &e, kEnq3Full) != 0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  UChar rate[4] = {};
  if (SendAdapterCommand(0x23, 0, rate) != 0) return HVAPI_ERR_CMD_FAILED;
  info.uchRbldRate = rate[0];
  info.uchCacheFlushInterval = e.uchCacheFlushInterval;
  info.uchDriveInsertedCount = e.uchDriveInsertedCount;
  info.uchBatteryStatus = e.uchBatteryStatus;
  return 0;
}

}  // namespace

extern "C" Int GetNumberOfAdapters(UChar uchAdaptNo) {
  (void)uchAdaptNo;
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  // A stop may have finished while this call waited for the lock; a
  // discovery now would open descriptors for a library that is not there.
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int count = Linux_FindAdapters();
  // Too many: discovery kept the first six, which stay usable; the table and
  // the transport's count agree on them.
  const Int kept = count > HVAPI_MAX_ADAPTERS ? HVAPI_MAX_ADAPTERS : count;
  guiTotalHalvoranCount = static_cast<ULong32>(kept);
  gstAdpTab.chTotalNoOFAdp = static_cast<UChar>(kept);
  // The rows keep their copies of the handles true; their caches stay.
  for (Int i = 0; i < kept; ++i)
    gstAdpTab.astTotAdpInfo[i].iAdpHandle = gaiFileHandles[i];
  return count > HVAPI_MAX_ADAPTERS ? HVAPI_ERR_CMD_FAILED : count;
}

extern "C" Int GetFirmwareType(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  return AdapterFwType(uchAdaptNo);
}

extern "C" Int GetAdapterInfo(UChar uchAdaptNo, Adp_Struct *pstAdaptInfo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstAdaptInfo == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;

  const UChar type = AdapterFwType(uchAdaptNo);
  void *cache = GetAdpCache(uchAdaptNo);
  // An adapter that discovery found after InitLib has neither a type nor
  // data: that is a failure, not an empty answer.
  if (cache == nullptr ||
      gstAdpTab.astTotAdpInfo[uchAdaptNo].chAdpType != type) {
    return HVAPI_ERR_CMD_FAILED;
  }
  Adp_Struct &info = *pstAdaptInfo;
  info.ulDataSize = kAdpDataSize;
  info.ulConfigSignature = ConfigSignature(type);
  switch (type) {
    case HVAPI_FW_8LD_4SPAN: {
      auto *c = static_cast<ADAP_DATA_4SPAN_8LD *>(cache);
      return Fill8LD(&c->stRdExEnq8LD, &c->stRdExEnq2_8LD, info);
    }
    case HVAPI_FW_8LD_8SPAN: {
      auto *c = static_cast<ADAP_DATA_8SPAN_8LD *>(cache);
      return Fill8LD(&c->stRdExEnq8LD, &c->stRdExEnq2_8LD, info);
    }
    default:
      return Fill40LD(static_cast<ADAP_DATA_8SPAN_40LD *>(cache), info);
  }
}
