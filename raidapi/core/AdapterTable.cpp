#include "core/AdapterTable.h"

#include <cstdint>
#include <cstring>

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

// The field sits unaligned in the packed row: it is read and written only
// through memcpy.
void *CacheFieldOf(ADAPTER_INFO &row) {
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
  const void *field = CacheFieldOf(gstAdpTab.astTotAdpInfo[uchAdaptNo]);
  if (field == nullptr) return nullptr;
  ULong32 value;
  memcpy(&value, field, sizeof value);
  return reinterpret_cast<void *>(static_cast<uintptr_t>(value));
}

Int SetAdpCache(UChar uchAdaptNo, void *pvCache) {
  if (uchAdaptNo >= HVAPI_MAX_ADAPTERS) return HVAPI_ERR_TRANSPORT;
  void *field = CacheFieldOf(gstAdpTab.astTotAdpInfo[uchAdaptNo]);
  const uintptr_t address = reinterpret_cast<uintptr_t>(pvCache);
  if (field == nullptr || address > UINT32_MAX) return HVAPI_ERR_TRANSPORT;
  const ULong32 value = static_cast<ULong32>(address);
  memcpy(field, &value, sizeof value);
  return HVAPI_SUCCESS;
}
