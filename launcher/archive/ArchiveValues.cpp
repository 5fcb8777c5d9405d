#include "archive/ArchiveValues.h"

#include <sys/stat.h>

#include "core/LauncherException.h"
#include "platform/PlatformImpl.h"

unsigned getBytes(FILE* stream, char* buffer, unsigned count) {
  return static_cast<unsigned>(std::fread(buffer, 1, count, stream));
}

long loadLongValue(FILE* stream, const char* errorMessage) {
  char bytes[4];
  if (getBytes(stream, bytes, sizeof bytes) != sizeof bytes)
    throw LauncherException(errorMessage);
  return PlatformImpl::convertToLong(bytes);
}

short loadShortValue(FILE* stream, const char* errorMessage) {
  char bytes[2];
  if (getBytes(stream, bytes, sizeof bytes) != sizeof bytes)
    throw LauncherException(errorMessage);
  return PlatformImpl::convertToShort(bytes);
}

long getStreamSize(FILE* stream) {
  struct stat info;
  if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<long>(info.st_size);
}
