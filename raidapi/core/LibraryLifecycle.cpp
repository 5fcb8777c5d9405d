#include "core/LibraryLifecycle.h"

#include <cstring>

#include "core/AdapterTable.h"
#include "core/ApiLock.h"
#include "core/Discovery.h"
#include "core/IssueCmd.h"
#include "core/LowMemory.h"
#include "core/Validations.h"
#include "firmware/FirmwareLayouts.h"

namespace {

// One read that fills part of an adapter's cache.
struct CacheRead {
  int op;
  int objid;
  ULong32 param1;
  size_t offset;
};

constexpr CacheRead k4SpanReads[] = {
    {kOpEnquiry8LD, 0, 0, offsetof(ADAP_DATA_4SPAN_8LD, stRdEnq8LD)},
    {kOpExtEnquiry8LD, 0, 0, offsetof(ADAP_DATA_4SPAN_8LD, stRdExEnq8LD)},
    {kOpDiskArray4Span, 0, 0, offsetof(ADAP_DATA_4SPAN_8LD, stDArr8LD4Span)},
};

constexpr CacheRead k8SpanReads[] = {
    {kOpEnquiry8LD, 0, 0, offsetof(ADAP_DATA_8SPAN_8LD, stRdEnq8LD)},
    {kOpExtEnquiry8LD, 0, 0, offsetof(ADAP_DATA_8SPAN_8LD, stRdExEnq8LD)},
    {kOpExtEnquiry2_8LD, 0, 0, offsetof(ADAP_DATA_8SPAN_8LD, stRdExEnq2_8LD)},
    {kOpDiskArray8Span, 0, 0, offsetof(ADAP_DATA_8SPAN_8LD, stDArr8LD8Span)},
};

constexpr CacheRead k40LDReads[] = {
    {kOp40LD, kSub40LDProductInfo, 0,
     offsetof(ADAP_DATA_8SPAN_40LD, stRdProInfo40LD)},
    {kOp40LD, kSub40LDEnquiry3, kEnq3Notify,
     offsetof(ADAP_DATA_8SPAN_40LD, stRdNotify40LD)},
    {kOp40LD, kSub40LDEnquiry3, kEnq3Full,
     offsetof(ADAP_DATA_8SPAN_40LD, stRdEnq3_40LD)},
    {kOp40LD, kSub40LDReadDiskArray, 0,
     offsetof(ADAP_DATA_8SPAN_40LD, stAppDiscArr40LD)},
};

template <size_t N>
bool ReadAll(const CacheRead (&reads)[N], unsigned char *cache) {
  for (const CacheRead &r : reads) {
    const unsigned long at = reinterpret_cast<unsigned long>(cache + r.offset);
    if (IssueCmd(r.op, r.objid, at, r.param1, 0) != 0) return false;
  }
  return true;
}

// Allocates the cache of the current adapter's row (below 4 GiB: the row
// keeps its address in 32 bits), records it in the row and fills it.
bool LoadCache(UChar adapter) {
  const UChar type = gstAdpTab.astTotAdpInfo[adapter].chAdpType;
  const size_t size = AdapterCacheSize(type);
  if (size == 0) return false;
  unsigned char *cache = static_cast<unsigned char *>(LowAlloc(size));
  if (cache == nullptr) return false;
  if (SetAdpCache(adapter, cache) != 0) {
    LowFree(cache, size);
    return false;
  }
  switch (type) {
    case HVAPI_FW_8LD_4SPAN:
      return ReadAll(k4SpanReads, cache);
    case HVAPI_FW_8LD_8SPAN:
      return ReadAll(k8SpanReads, cache);
    default:
      return ReadAll(k40LDReads, cache);
  }
}

// Frees every adapter's cache, from the last to the first.
void ReleaseCaches() {
  for (int i = HVAPI_MAX_ADAPTERS - 1; i >= 0; --i) {
    const UChar adapter = static_cast<UChar>(i);
    void *cache = GetAdpCache(adapter);
    if (cache == nullptr) continue;
    LowFree(cache, AdapterCacheSize(gstAdpTab.astTotAdpInfo[i].chAdpType));
    SetAdpCache(adapter, nullptr);
  }
}

// Back to the state at load: no caches, no descriptors, no adapters, not
// initialised. The semaphore set stays.
void StopAdapters() {
  ReleaseCaches();
  ReleaseDiscoveredNodes();
  std::memset(&gstAdpTab, 0, sizeof gstAdpTab);
  std::memset(gachDacFWType, 0, sizeof gachDacFWType);
  guiTotalHalvoranCount = 0;
  gulDacCurAdpNo = 0;
  giDriverType = 0;
}

Int StartAdapters() {
  const Int count = Linux_FindAdapters();
  if (count <= 0) return HVAPI_ERR_NO_ADAPTER;
  if (count > HVAPI_MAX_ADAPTERS) return HVAPI_ERR_TOO_MANY_ADAPTERS;
  gstAdpTab.chTotalNoOFAdp = static_cast<UChar>(count);

  SetCurrentAdaptNumber(0);
  for (Int i = 0; i < count; ++i) {
    if (FindFirmwareType() != 0) return HVAPI_ERR_CMD_FAILED;
    SetCurrentAdaptNumber(static_cast<ULong32>(i + 1));
  }

  for (Int i = 0; i < count; ++i) {
    ADAPTER_INFO &row = gstAdpTab.astTotAdpInfo[i];
    row.uchAdapterNo = static_cast<UChar>(i + 1);
    row.chAdpType = gachDacFWType[i];
    row.iAdpHandle = gaiFileHandles[i];
    SetCurrentAdaptNumber(static_cast<ULong32>(i));
    row.chAdpID = GetInitiatorID();
    if (!LoadCache(static_cast<UChar>(i))) return HVAPI_ERR_CMD_FAILED;
  }
  gstAdpTab.iNoOfLiveAplns = kAdpTabInitialisedMark;
  return HVAPI_APP_HANDLE;
}

}  // namespace

size_t AdapterCacheSize(UChar fwType) {
  switch (fwType) {
    case HVAPI_FW_8LD_4SPAN:
      return sizeof(ADAP_DATA_4SPAN_8LD);
    case HVAPI_FW_8LD_8SPAN:
      return sizeof(ADAP_DATA_8SPAN_8LD);
    case HVAPI_FW_40LD:
      return sizeof(ADAP_DATA_8SPAN_40LD);
    default:
      return 0;
  }
}

extern "C" Int InitLib(Int iEvntCacheLimit, Int iErrCacheLimit) {
  (void)iEvntCacheLimit;
  (void)iErrCacheLimit;
  if (IsApiInitialized() == 1) return HVAPI_APP_HANDLE;
  if (Sem_Init() != 0) return HVAPI_ERR_CMD_FAILED;
  ApiLock lock;
  // Another thread or start may have finished while this one waited.
  if (IsApiInitialized() == 1) return HVAPI_APP_HANDLE;
  const Int result = StartAdapters();
  // A start that fails part-way keeps nothing of what it found or loaded.
  if (result != HVAPI_APP_HANDLE) StopAdapters();
  return result;
}

extern "C" Int CloseLib(Int iAppHandle) {
  Int result = 0;
  {
    ApiLock lock;
    if (IsApiInitialized() != 1) {
      result = HVAPI_ERR_NOT_INITIALISED;
    } else if (iAppHandle != HVAPI_APP_HANDLE) {
      result = HVAPI_ERR_BAD_HANDLE;
    } else {
      StopAdapters();
    }
  }
  Sem_Kill();
  return result;
}

extern "C" Int GetLibVer(Lib_Struct *pstLib) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  if (pstLib == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  static_assert(sizeof HVAPI_LIB_VERSION <= sizeof pstLib->achLibVersion,
                "the version text fits its field");
  std::memset(pstLib->achLibVersion, 0, sizeof pstLib->achLibVersion);
  std::memcpy(pstLib->achLibVersion, HVAPI_LIB_VERSION,
              sizeof HVAPI_LIB_VERSION);
  return 0;
}
