#include "platform/DeleteFullDir.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/LogHandler.h"

namespace {

// directory with a "/" behind it, so that prefixes match whole components.
SString withSlash(const SString& directory) {
  SString result = directory;
  if (result.empty() || directory.c_str()[directory.length() - 1] != '/')
    result += '/';
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
                    LOG_WARNING);
}

bool DeleteFullDir::process(const SString& root) {
  m_failed.clear();
  bool stopped = FileNavigator::process(root);
  // Descendants were visited after their ancestors, so going backwards
  // empties every directory before it is removed.
  const StringDeque& visited = visitedDirectories();
  for (int i = visited.count() - 1; i >= 0; --i) {
    const SString& directory = visited.at(i);
    if (!holdsFailure(directory)) removeFile(directory);
  }
  return stopped;
}

bool DeleteFullDir::processFile(const SString& path) {
  removeFile(path);
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
