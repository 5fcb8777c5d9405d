// The process-wide table of the adapters found by discovery, the globals the
// transport reads (current adapter, handles, firmware types, interface), and
// the helpers that keep each adapter's firmware-data cache in the table.
#ifndef HVAPI_CORE_ADAPTER_TABLE_H
#define HVAPI_CORE_ADAPTER_TABLE_H

#include <cstddef>

#include "hvapi.h"
#include "hvapi_lowlevel.h"

#pragma pack(push, 1)

// Reserved per-application row; no operation reads or writes it.
typedef struct APPLN_INFO_TABLE {
  Int iApplnHandle;
  UChar uchSelAdapter;
} APPLN_INFO_TABLE, ApplnInfoTable_Struct;

// One found adapter. The three cache fields are 32 bits wide, as in the
// original layout: they hold the address of a cache allocated below 4 GiB
// (see SetAdpCache), and only the one matching chAdpType is valid.
typedef struct ADAPTER_INFO {
  UChar uchAdapterNo;            // adapter number plus one
  UChar chAdpType;               // HVAPI_FW_*
  Int iAdpHandle;                // copy of gaiFileHandles
  Int chAdpID;                   // SCSI initiator ID, 0 to 15
  UChar uchReconsFlag;           // reserved
  UChar uchNoChans;              // reserved
  UChar uchNoLgDrvs;             // reserved
  UChar uchNoPhDrvs;             // reserved
  ULong32 pstAdapData4Span8LD;   // ADAP_DATA_4SPAN_8LD, type 1
  ULong32 pstAdapData8Span8LD;   // ADAP_DATA_8SPAN_8LD, type 2
  ULong32 pstAdapData8Span40LD;  // ADAP_DATA_8SPAN_40LD, type 3
} ADAPTER_INFO, AdapterInfo_Struct;

typedef struct ADAPTER_TABLE {
  UChar chTotalNoOFAdp;  // adapters found by the last InitLib discovery
  Int iNoOfLiveAplns;    // 255 once InitLib has succeeded, 0 before
  APPLN_INFO_TABLE astApInfoTable[8];
  ADAPTER_INFO astTotAdpInfo[HVAPI_MAX_ADAPTERS];  // in discovery order
} ADAPTER_TABLE, AdapterTable_Struct;

#pragma pack(pop)

static_assert(sizeof(APPLN_INFO_TABLE) == 5, "APPLN_INFO_TABLE is 5 bytes");
static_assert(sizeof(ADAPTER_INFO) == 26, "ADAPTER_INFO is 26 bytes");
static_assert(offsetof(ADAPTER_INFO, iAdpHandle) == 2, "iAdpHandle at 2");
static_assert(offsetof(ADAPTER_INFO, chAdpID) == 6, "chAdpID at 6");
static_assert(offsetof(ADAPTER_INFO, pstAdapData4Span8LD) == 14,
              "4-span cache at 14");
static_assert(offsetof(ADAPTER_INFO, pstAdapData8Span8LD) == 18,
              "8-span cache at 18");
static_assert(offsetof(ADAPTER_INFO, pstAdapData8Span40LD) == 22,
              "40LD cache at 22");
static_assert(sizeof(ADAPTER_TABLE) == 201, "ADAPTER_TABLE is 201 bytes");
static_assert(offsetof(ADAPTER_TABLE, iNoOfLiveAplns) == 1,
              "iNoOfLiveAplns at 1");
static_assert(offsetof(ADAPTER_TABLE, astApInfoTable) == 5,
              "astApInfoTable at 5");
static_assert(offsetof(ADAPTER_TABLE, astTotAdpInfo) == 45,
              "astTotAdpInfo at 45");

// The initialised mark that InitLib sets on success.
constexpr Int kAdpTabInitialisedMark = HVAPI_APP_HANDLE;

// Firmware-data cache of an adapter's row, chosen by its chAdpType; null for
// a row number beyond the table, an unknown type or no cache.
void *GetAdpCache(UChar uchAdaptNo);

// Stores the cache of an adapter's row in the field of its chAdpType.
// Returns 0, or -1 (nothing stored) for a row beyond the table, an unknown
// type, or a cache whose address does not fit the 32-bit field: caches must
// come from memory mapped below 4 GiB. A null cache clears the field.
Int SetAdpCache(UChar uchAdaptNo, void *pvCache);

#endif  // HVAPI_CORE_ADAPTER_TABLE_H
