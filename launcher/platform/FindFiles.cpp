#include "platform/FindFiles.h"

#include <sys/vfs.h>

#include <cstdio>
#include <cstring>

#include "core/PathHelpers.h"
#include "core/ScopedFile.h"
#include "platform/PlatformImpl.h"

namespace {

const char kVarTmp[] = "/var/tmp";

// File systems made up by the kernel: they hold no JVM, some are huge or
// endless to walk, and reading some has side effects.
const char* const kPseudoFileSystemTypes[] = {
    "proc",        "sysfs",    "devtmpfs",  "devpts",     "cgroup",
    "cgroup2",     "debugfs",  "tracefs",   "securityfs", "pstore",
    "bpf",         "mqueue",   "hugetlbfs", "configfs",   "fusectl",
    "binfmt_misc", "efivarfs", "selinuxfs", "rpc_pipefs", "nsfs",
};
// The same by statfs type, for when the mount table cannot be read.
// devtmpfs reports the tmpfs type, so only the mount table tells it.
const unsigned long kPseudoFileSystemMagics[] = {
    0x9fa0UL,     0x62656572UL, 0x1cd1UL,     0x27e0ebUL,   0x63677270UL,
    0x64626720UL, 0x74726163UL, 0x73636673UL, 0x6165676cUL, 0xcafe4a11UL,
    0x19800202UL, 0x958458f6UL, 0x62656570UL, 0x65735543UL, 0x42494e4dUL,
    0xde5e81e4UL, 0xf97cff8cUL, 0x6e736673UL,
};

bool isPseudoFileSystemType(const char* type) {
  for (const char* pseudo : kPseudoFileSystemTypes)
    if (std::strcmp(type, pseudo) == 0) return true;
  return false;
}

bool isOnPseudoFileSystem(const SString& directory) {
  struct statfs info;
  if (statfs(directory.c_str(), &info) != 0) return false;
  unsigned long type = static_cast<unsigned long>(info.f_type) & 0xffffffffUL;
  for (unsigned long magic : kPseudoFileSystemMagics)
    if (type == magic) return true;
  return false;
}

// Mount points in the table are written with octal escapes for blanks.
SString unescapeMountPoint(const char* text) {
  SString result;
  for (const char* p = text; *p; ++p) {
    if (p[0] == '\\' && p[1] >= '0' && p[1] <= '3' && p[2] >= '0' &&
        p[2] <= '7' && p[3] >= '0' && p[3] <= '7') {
      result += static_cast<char>((p[1] - '0') * 64 + (p[2] - '0') * 8 +
                                  (p[3] - '0'));
      p += 3;
    } else {
      result += *p;
    }
  }
  return result;
}

void readPseudoMountPoints(StringDeque& mountPoints) {
  ScopedFile table(std::fopen("/proc/self/mounts", "r"));
  if (!table.get()) return;
  char line[4096];
  while (std::fgets(line, sizeof line, table.get())) {
    char device[1024], mountPoint[2048], type[256];
    if (std::sscanf(line, "%1023s %2047s %255s", device, mountPoint, type) ==
            3 &&
        isPseudoFileSystemType(type))
      mountPoints.push_back(unescapeMountPoint(mountPoint));
  }
}

// The last length(relative) characters of path are relative, and a "/"
// comes right before them.
bool endsWithComponents(const SString& path, const SString& relative) {
  SString::size_type n = relative.length();
  if (path.length() <= n) return false;
  SString::size_type start = path.length() - n;
  return path.c_str()[start - 1] == '/' &&
         path.compare(start, n, relative) == 0;
}

}  // namespace

FindFiles::FindFiles(const StringDeque& relativePaths,
                     FileFindListener& listener)
    : FileNavigator(true),
      m_relativePaths(&relativePaths),
      m_listener(listener),
      m_tempDir(
          withoutTrailingSlashes(PlatformImpl::getSystemTempDirectory())) {
  readPseudoMountPoints(m_pseudoMountPoints);
}

bool FindFiles::processFile(const SString& path) {
  bool stop = false;
  for (int i = 0; i < m_relativePaths->count() && !stop; ++i) {
    if (endsWithComponents(path, m_relativePaths->at(i)))
      stop = m_listener.foundFile(path);
  }
  return stop;
}

// Subdirectories reach this without a trailing slash and roots with one,
// so both spellings are the same directory here.
bool FindFiles::skipDirectory(const SString& directory) {
  SString normalized = withoutTrailingSlashes(directory);
  // A temporary directory of "/" would hide the whole disk.
  if (normalized != "/" && (normalized == m_tempDir || normalized == kVarTmp))
    return true;
  for (int i = 0; i < m_pseudoMountPoints.count(); ++i)
    if (normalized == m_pseudoMountPoints.at(i)) return true;
  return isOnPseudoFileSystem(normalized);
}
