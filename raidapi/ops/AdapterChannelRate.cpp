#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/FirmwareLayouts.h"
#include "ops/AdapterOps.h"

namespace {

constexpr ULong32 kGetChannelRate = 7;
constexpr ULong32 kSetChannelRate = 8;
constexpr UChar kMaxChannelRate = 3;

// The adapter's channel count, read from the 8LD enquiry or the 40LD
// product information; the latter goes into the adapter's cache when
// intoCache is set. Answers the count, or -11 when the read fails.
Int ReadChannelCount(UChar uchAdaptNo, bool intoCache) {
  if (IsFw8LD(AdapterFwType(uchAdaptNo))) {
    HALVORAN_ENQ_8LD enq;
    std::memset(&enq, 0, sizeof enq);
    if (SendAdapterCommand(kOpEnquiry8LD, 0, &enq) != 0)
      return HVAPI_ERR_CMD_FAILED;
    return enq.stAdpInfo8LD.uchChansPresent;
  }
  if (AdapterFwType(uchAdaptNo) != HVAPI_FW_40LD) return HVAPI_ERR_CMD_FAILED;
  HALVORAN_PRODUCT_INFO_40LD local;
  HALVORAN_PRODUCT_INFO_40LD *info = &local;
  if (intoCache) {
    auto *cache = static_cast<ADAP_DATA_8SPAN_40LD *>(GetAdpCache(uchAdaptNo));
    if (cache == nullptr) return HVAPI_ERR_CMD_FAILED;
    info = &cache->stRdProInfo40LD;
  }
  if (SendAdapterCommand(kOp40LD, kSub40LDProductInfo, info) != 0)
    return HVAPI_ERR_CMD_FAILED;
  return info->uchSCSIChanPresent;
}

}  // namespace

extern "C" Int GetChannelRate(UChar uchAdaptNo, UChar uchChannel,
                              UChar *uchRate) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (uchRate == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const Int channels = ReadChannelCount(uchAdaptNo, false);
  if (channels < 0) return channels;
  if (uchChannel >= channels) return HVAPI_ERR_BAD_ARGUMENT;
  return SendAdapterCommand(kOpAdapterProperty, 0, uchRate, kGetChannelRate,
                            uchChannel);
}

extern "C" Int SetChannelRate(UChar uchAdaptNo, UChar uchChannel,
                              UChar uchChanRate) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (uchChanRate > kMaxChannelRate) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  const Int channels = ReadChannelCount(uchAdaptNo, true);
  if (channels < 0) return channels;
  if (uchChannel >= channels) return HVAPI_ERR_BAD_ARGUMENT;
  UChar rate = uchChanRate;
  return SendAdapterCommand(kOpAdapterProperty, 0, &rate, kSetChannelRate,
                            uchChannel);
}
