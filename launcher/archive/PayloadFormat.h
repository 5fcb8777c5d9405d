// The layout of the payload appended to the launcher program, shared by the
// launcher that reads it and launcher-pack that writes it. All numbers are
// big-endian; offsets are absolute positions in the launcher file.
//
// Trailer, the last 8 bytes: index offset (4), identification value (4).
// Index, at the index offset: file count (4), then per file: type (1),
// id (4), length (4), offset (4), name length (2), name (no terminator).
#ifndef LAUNCHER_ARCHIVE_PAYLOADFORMAT_H
#define LAUNCHER_ARCHIVE_PAYLOADFORMAT_H

#include <cstddef>
#include <cstdint>

// The kinds of embedded files, as stored in an index record's type byte.
enum PayloadFileType {
  kInstructionsFile = 0,
  kJvmFile = 1,
  kLaunchScriptFile = 2,
  kClasspathArchive = 3,
  kJvmInstaller = 4,
  kVerificationArchive = 5,
  kApplicationArchive = 6,
};
const int kFileTypeCount = 7;

// Instruction scripts, JVM description files and launch scripts are tag
// files that the launcher parses in place.
inline bool isTagFileType(long type) {
  return type >= kInstructionsFile && type <= kLaunchScriptFile;
}

// The last four bytes of a launcher file that carries a payload.
const uint32_t kLauncherIdentification = 0xCA82CA82u;
const long kPayloadTrailerSize = 8;
// Offsets, lengths and ids are signed 32-bit numbers in the index.
const long long kLargestPayloadNumber = 2147483647LL;
// Stored names are preceded by a signed 16-bit length.
const size_t kLongestStoredName = 32767;

#endif
