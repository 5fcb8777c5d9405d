// Firmware download into a 40LD adapter's flash: the image file's check
// (signature and section headers) and its transfer in 256 blocks of 4096
// bytes, which the driver fetches by address from a page-aligned buffer,
// followed by the closing command. Download_Firmware, the exported
// operation, is declared in hvapi.h.
#ifndef HVAPI_FIRMWARE_FIRMWARE_DOWNLOAD_H
#define HVAPI_FIRMWARE_FIRMWARE_DOWNLOAD_H

#include <cstddef>

#include "hvapi.h"

// The image's signature "V362" stands at one of these file offsets.
constexpr long kFlashSignatureOffsets[] = {0, 32, 65408};
constexpr char kFlashSignature[4] = {'V', '3', '6', '2'};
// Sections the flash address table holds; an image with more is refused.
constexpr size_t kFlashMaxSections = 5;
constexpr size_t kFlashBlockSize = 4096;
constexpr size_t kFlashBlocks = 256;  // the first 1 MiB of the file

#pragma pack(push, 1)

// One section header of the image; the chain starts at offset 0 and each
// next header lies flashSize bytes after the one before.
typedef struct FLASH_HDR {
  ULong32 checkWord;
  ULong32 loadAddress;
  ULong32 dataSize;
  ULong32 startAddress;
  Char name[4];
  ULong32 flashAddress;  // where the section goes in flash
  ULong32 flashSize;     // the section's size
  ULong32 versionOffset;
  ULong32 buildDataOffset;
  ULong32 buildTimeOffset;
} FLASH_HDR, FlashHeader_Struct;

typedef struct FLASH_ADDRES_TABLE {
  ULong32 StartAddress;
  ULong32 DataSize;
  ULong32 Type;
} FLASH_ADDRES_TABLE, FlashAddressTable_Struct;

// Declared for applications; no operation fills it.
typedef struct FLASH_PROGRESS {
  ULong32 ulCurPhase;
  ULong32 ulProgress;
} FLASH_PROGRESS, FlashProgress_Struct;

#pragma pack(pop)

static_assert(sizeof(FLASH_HDR) == 40, "FLASH_HDR is 40 bytes");
static_assert(offsetof(FLASH_HDR, flashAddress) == 20, "flashAddress at 20");
static_assert(offsetof(FLASH_HDR, flashSize) == 24, "flashSize at 24");
static_assert(sizeof(FLASH_ADDRES_TABLE) == 12,
              "FLASH_ADDRES_TABLE is 12 bytes");

extern "C" {

// The last successful check: its last header, its sections, and the last
// section's flash address, size and end.
HVAPI_EXPORT extern FLASH_HDR flash_hdr;
HVAPI_EXPORT extern FLASH_ADDRES_TABLE FlashAddressTable[kFlashMaxSections];
HVAPI_EXPORT extern ULong32 StartAddress;
HVAPI_EXPORT extern ULong32 DataSize;
HVAPI_EXPORT extern ULong32 EndAddress;
HVAPI_EXPORT extern FLASH_PROGRESS flash_progress;

// 0 when the file carries the signature and a chain of one to five section
// headers, none of them empty; -11 otherwise (the globals then keep the
// values of the last good check).
HVAPI_EXPORT Int CheckFile(const Char *pchPathName);

// Sends the file's first 1 MiB to the current adapter's flash and closes the
// download. 0, or -11 on any failure (a file shorter than 1 MiB included).
HVAPI_EXPORT Int WriteFileToMem(const Char *pchPathName);

}  // extern "C"

#endif  // HVAPI_FIRMWARE_FIRMWARE_DOWNLOAD_H
