// What launcher-pack shares with the launcher's reader of the payload: the
// identification value of the trailer, the file types and the manifest tag
// that names each type.
#ifndef TOOLS_LAUNCHER_PACK_PAYLOADFORMAT_H
#define TOOLS_LAUNCHER_PACK_PAYLOADFORMAT_H

#include <cstdint>
#include <string>

// The last four bytes of a launcher file that carries a payload.
const uint32_t kLauncherIdentification = 0xCA82CA82u;
const int kFileTypeCount = 7;
// Offsets, lengths and ids are signed 32-bit numbers in the index.
const long long kLargestPayloadNumber = 2147483647LL;
// Stored names are preceded by a signed 16-bit length.
const size_t kLongestStoredName = 32767;

// Instruction scripts, JVM description files and launch scripts (types 0
// to 2) are tag files that the launcher parses in place.
inline bool isTagFileType(int type) { return type >= 0 && type <= 2; }

// The manifest tag of a file type (0 to 6), e.g. "JVM" for 1; null for
// any other number.
const char* fileTypeTag(int type);
// The file type a manifest tag names, or -1.
int fileTypeOfTag(const std::string& tag);

// Whether the file at path ends with a payload trailer. False with a
// message in error when the file cannot be read.
bool hasPayloadTrailer(const std::string& path, bool& hasTrailer,
                       std::string& error);

#endif
