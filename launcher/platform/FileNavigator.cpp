#include "platform/FileNavigator.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/PlatformImpl.h"

namespace {

const unsigned kFilesPerProgressStep = 1000;

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' &&
         (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The kind of an entry from what readdir already knows, so that a scan of
// whole disks does not have to look at every file again; lstat only when
// the file system does not say.
bool entryIsDirectory(const struct dirent* entry, const SString& path) {
#ifdef _DIRENT_HAVE_D_TYPE
  if (entry->d_type != DT_UNKNOWN) return entry->d_type == DT_DIR;
#else
  (void)entry;
#endif
  return FileNavigator::isDirectory(path.c_str());
}

}  // namespace

bool FileNavigator::isDirectory(const char* path) {
  struct stat info;
  return lstat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileNavigator::isCanceled() const {
  return m_cancelable && PlatformImpl::isCanceled();
}

bool FileNavigator::skipDirectory(const SString&) { return false; }

bool FileNavigator::process(const SString& root) {
  m_visited.clear();
  m_pending.clear();
  m_pending.push_back(root);
  bool stopped = false;
  unsigned filesHandled = 0;
  while (!m_pending.empty() && !stopped && !isCanceled()) {
    SString directory = m_pending.back();
    m_pending.erase(m_pending.count() - 1);
    m_visited.push_back(directory);
    if (skipDirectory(directory)) continue;
    readDirectory(directory, stopped, filesHandled);
  }
  return stopped;
}

void FileNavigator::readDirectory(const SString& directory, bool& stopped,
                                  unsigned& filesHandled) {
  DIR* dir = opendir(directory.c_str());
  if (!dir) return;
  SString prefix = directory;
  if (prefix.empty() || directory.c_str()[directory.length() - 1] != '/')
    prefix += '/';
  const SString::size_type prefixLength = prefix.length();
  SString path = prefix;
  while (!stopped && !isCanceled()) {
    struct dirent* entry = readdir(dir);
    if (!entry) break;
    if (isDotOrDotDot(entry->d_name)) continue;
    path.erase(prefixLength);
    path.append(entry->d_name);
    if (entryIsDirectory(entry, path)) {
      m_pending.push_back(path);
      continue;
    }
    stopped = processFile(path);
    if (++filesHandled % kFilesPerProgressStep == 0)
      PlatformImpl::advanceUIProgress(1);
  }
  closedir(dir);
}
