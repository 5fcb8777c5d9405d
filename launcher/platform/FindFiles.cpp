#include "platform/FindFiles.h"

#include "platform/PlatformImpl.h"

namespace {

const char kVarTmp[] = "/var/tmp";

// directory without its trailing slashes ("/" stays "/").
SString withoutTrailingSlashes(const SString& directory) {
  SString::size_type end = directory.length();
  while (end > 1 && directory.c_str()[end - 1] == '/') --end;
  return SString(directory, 0, end);
}

// The last length(relative) characters of path are relative, and a "/"
// comes right before them.
bool endsWithComponents(const SString& path, const SString& relative) {
  SString::size_type n = relative.length();
  if (path.length() <= n) return false;
  SString::size_type start = path.length() - n;
  return path.c_str()[start - 1] == '/' && path.compare(start, n, relative) == 0;
}

}  // namespace

FindFiles::FindFiles(const StringDeque& relativePaths,
                     FileFindListener& listener)
    : FileNavigator(true),
      m_relativePaths(&relativePaths),
      m_listener(listener),
      m_tempDir(withoutTrailingSlashes(PlatformImpl::getSystemTempDirectory())) {}

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
  return normalized == m_tempDir || normalized == kVarTmp;
}
