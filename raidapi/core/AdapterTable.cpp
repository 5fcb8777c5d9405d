#include "core/AdapterTable.h"

#include <cstdint>

extern "C" {

HVAPI_EXPORT ADAPTER_TABLE gstAdpTab;
HVAPI_EXPORT ULong32 gulDacCurAdpNo;
HVAPI_EXPORT Int gaiFileHandles[HVAPI_MAX_ADAPTERS];
HVAPI_EXPORT UChar gachDacFWType[HVAPI_MAX_ADAPTERS];
HVAPI_EXPORT ULong32 guiTotalHalvoranCount;
HVAPI_EXPORT Int giDriverType;
HVAPI_EXPORT Int giMIMDFileDescriptor;

HVAPI_EXPORT Int GetTotalAdapters(void) {
  return static_cast<Int>(guiTotalHalvoranCount);
}

HVAPI_EXPORT Int GetCurrentAdaptNumber(void) {
  return static_cast<Int>(gulDacCurAdpNo);
}

HVAPI_EXPORT Int SetCurrentAdaptNumber(ULong32 ulCurAdpNo) {
  gulDacCurAdpNo = ulCurAdpNo;
  return HVAPI_SUCCESS;
}

HVAPI_EXPORT Int GetFileHandleOfCurrAdapter(void) {
  if (gulDacCurAdpNo >= HVAPI_MAX_ADAPTERS) return -1;
  return gaiFileHandles[gulDacCurAdpNo];
}

HVAPI_EXPORT Int GetDriverType(void) { return giDriverType; }

HVAPI_EXPORT Int GetMIMDFileDescriptor(void) { return giMIMDFileDescriptor; }

HVAPI_EXPORT Int GetAdpType(UChar uchAdaptNo) {
  if (uchAdaptNo >= HVAPI_MAX_ADAPTERS) return HVAPI_ERR_BAD_ARGUMENT;
  return gstAdpTab.astTotAdpInfo[uchAdaptNo].chAdpType;
}

HVAPI_EXPORT Int GetAdpterID(UChar uchAdaptNo) {
  if (uchAdaptNo >= HVAPI_MAX_ADAPTERS) return HVAPI_ERR_BAD_ARGUMENT;
  return gstAdpTab.astTotAdpInfo[uchAdaptNo].chAdpID & 0xFF;
}

HVAPI_EXPORT Int IsApiInitialized(void) {
  return gstAdpTab.iNoOfLiveAplns >= kAdpTabInitialisedMark ? 1 : 0;
}

HVAPI_EXPORT Int ValidateAdapterNo(signed char uchAdaptNo) {
  // The table has six rows whatever a discovery counted.
  return uchAdaptNo >= 0 && uchAdaptNo < gstAdpTab.chTotalNoOFAdp &&
                 uchAdaptNo < HVAPI_MAX_ADAPTERS
             ? 1
             : 0;
}

}  // extern "C"

namespace {

ULong32 *CacheFieldOf(ADAPTER_INFO &row) {
  switch (row.chAdpType) {
    case HVAPI_FW_8LD_4SPAN:
      return &row.pstAdapData4Span8LD;
    case HVAPI_FW_8LD_8SPAN:
      return &row.pstAdapData8Span8LD;
    case HVAPI_FW_40LD:
      return &row.pstAdapData8Span40LD;
    default:
      return nullptr;
  }
}

}  // namespace

void *GetAdpCache(UChar uchAdaptNo) {
  if (uchAdaptNo >= HVAPI_MAX_ADAPTERS) return nullptr;
  const ULong32 *field = CacheFieldOf(gstAdpTab.astTotAdpInfo[uchAdaptNo]);
  if (field == nullptr) return nullptr;
  return reinterpret_cast<void *>(static_cast<uintptr_t>(*field));
}

Int SetAdpCache(UChar uchAdaptNo, void *pvCache) {
  if (uchAdaptNo >= HVAPI_MAX_ADAPTERS) return HVAPI_ERR_TRANSPORT;
  ULong32 *field = CacheFieldOf(gstAdpTab.astTotAdpInfo[uchAdaptNo]);
  const uintptr_t address = reinterpret_cast<uintptr_t>(pvCache);
  if (field == nullptr || address > UINT32_MAX) return HVAPI_ERR_TRANSPORT;
  *field = static_cast<ULong32>(address);
  return HVAPI_SUCCESS;
}
