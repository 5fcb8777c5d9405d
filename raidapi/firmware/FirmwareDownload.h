// Firmware download into a 40LD adapter's flash: the image file's check
// (signature and section headers) and its transfer in 256 blocks of 4096
// bytes, which the driver fetches by address from a page-aligned buffer,
// followed by the closing command. Download_Firmware, the exported
// operation, is declared in hvapi.h.
#ifndef HVAPI_FIRMWARE_FIRMWARE_DOWNLOAD_H
#define HVAPI_FIRMWARE_FIRMWARE_DOWNLOAD_H

#include <cstddef>

#include "hvapi.h"
#include "hvapi_lowlevel.h"

// The image's signature "V362" stands at one of these file offsets.
constexpr long kFlashSignatureOffsets[] = {0, 32, 65408};
constexpr char kFlashSignature[4] = {'V', '3', '6', '2'};
// Sections the flash address table holds; an image with more is refused.
constexpr size_t kFlashMaxSections = HVAPI_FLASH_MAX_SECTIONS;
constexpr size_t kFlashBlockSize = 4096;
constexpr size_t kFlashBlocks = 256;  // the first 1 MiB of the file

extern "C" {

// 0 when the file carries the signature and a chain of one to five section
// headers, none of them empty; -11 otherwise (the globals then keep the
// values of the last good check).
Int CheckFile(const Char *pchPathName);

// Sends the file's first 1 MiB to the current adapter's flash and closes the
// download. 0, or -11 on any failure (a file shorter than 1 MiB included).
Int WriteFileToMem(const Char *pchPathName);

}  // extern "C"

#endif  // HVAPI_FIRMWARE_FIRMWARE_DOWNLOAD_H
