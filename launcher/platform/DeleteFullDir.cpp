#include "platform/DeleteFullDir.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/LogHandler.h"

namespace {

const int kLogWarning = 1;

// directory with a "/" behind it, so that prefixes match whole components.
SString withSlash(const SString& directory) {
  SString result = directory;
  if (result.empty() || directory[directory.length() - 1] != '/') result += '/';
  return result;
}

}  // namespace

bool deleteOneFile(const SString& path) {
  if (remove(path.c_str()) == 0) return true;
  logDeleteFileFailure(path, errno);
  return false;
}

void logDeleteFileFailure(const SString& path, int errorNumber) {
  logThroughHandler("Could not delete " + path + " :  " + strerror(errorNumber),
                    kLogWarning);
}

bool DeleteFullDir::isDirectory(const char* path) {
  struct stat info;
  return lstat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool DeleteFullDir::process(const SString& root) {
  m_visited.clear();
  m_pending.clear();
  m_failed.clear();
  m_pending.push_back(root);
  while (!m_pending.empty()) {
    SString directory = m_pending.back();
    m_pending.erase(m_pending.count() - 1);
    m_visited.push_back(directory);
    DIR* dir = opendir(directory.c_str());
    if (!dir) continue;
    while (struct dirent* entry = readdir(dir)) {
      if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
        continue;
      SString path = withSlash(directory) + entry->d_name;
      if (isDirectory(path.c_str()))
        m_pending.push_back(path);
      else
        removeFile(path);
    }
    closedir(dir);
  }
  // Descendants were visited after their ancestors, so going backwards
  // empties every directory before it is removed.
  for (int i = m_visited.count() - 1; i >= 0; --i) {
    const SString& directory = m_visited.at(i);
    if (!holdsFailure(directory)) removeFile(directory);
  }
  return false;
}

void DeleteFullDir::removeFile(const SString& path) {
  if (!deleteOneFile(path)) m_failed.push_back(path);
}

// A directory that still holds an undeletable entry cannot be removed; it
// is left without a second warning.
bool DeleteFullDir::holdsFailure(const SString& directory) const {
  SString prefix = withSlash(directory);
  for (int i = 0; i < m_failed.count(); ++i) {
    if (m_failed.at(i).compare(0, prefix.length(), prefix) == 0) return true;
  }
  return false;
}
