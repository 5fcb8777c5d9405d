// What launcher-pack adds to the payload layout it shares with the launcher:
// the manifest tag that names each file type, and a look at a file's
// trailer.
#ifndef TOOLS_LAUNCHER_PACK_PAYLOADFORMAT_H
#define TOOLS_LAUNCHER_PACK_PAYLOADFORMAT_H

#include <string>

#include "archive/PayloadFormat.h"

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
