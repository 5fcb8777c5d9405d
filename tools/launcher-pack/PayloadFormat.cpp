#include "PayloadFormat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/ScopedFile.h"

namespace {

const char* const kTypeTags[kFileTypeCount] = {
    "INSTRUCTIONS",  "JVM",        "LAUNCHSCRIPT",    "CLASSPATH_JAR",
    "JVM_INSTALLER", "VERIFY_JAR", "APPLICATION_JAR",
};

}  // namespace

const char* fileTypeTag(int type) {
  return type >= 0 && type < kFileTypeCount ? kTypeTags[type] : nullptr;
}

int fileTypeOfTag(const std::string& tag) {
  for (int type = 0; type < kFileTypeCount; ++type)
    if (tag == kTypeTags[type]) return type;
  return -1;
}

bool hasPayloadTrailer(const std::string& path, bool& hasTrailer,
                       std::string& error) {
  hasTrailer = false;
  ScopedFile file(std::fopen(path.c_str(), "rb"));
  if (!file.get()) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  unsigned char trailer[kPayloadTrailerSize];
  if (std::fseek(file.get(), -kPayloadTrailerSize, SEEK_END) == 0 &&
      std::fread(trailer, 1, sizeof trailer, file.get()) == sizeof trailer) {
    uint32_t value = (uint32_t(trailer[4]) << 24) |
                     (uint32_t(trailer[5]) << 16) |
                     (uint32_t(trailer[6]) << 8) | uint32_t(trailer[7]);
    hasTrailer = value == kLauncherIdentification;
  }
  return true;
}
