#include "driver/LauncherFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/PlatformImpl.h"

namespace {

SString inCurrentDirectory(const SString& name) {
  SString cwd = PlatformImpl::getCurrentDirectory();
  if (cwd.empty() || cwd.c_str()[cwd.length() - 1] != '/') cwd += '/';
  return cwd + name;
}

bool isExecutableFile(const SString& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

// The first PATH entry holding an executable name, searched the way the
// shell did when it started us; empty when there is none.
SString searchPath(const SString& name) {
  SString path(getenv("PATH"));
  SString::size_type start = 0;
  while (start <= path.length()) {
    SString::size_type end = path.find(':', start);
    if (end == SString::npos) end = path.length();
    SString dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    SString candidate = dir + "/" + name;
    if (isExecutableFile(candidate))
      return candidate.c_str()[0] == '/' ? candidate
                                         : inCurrentDirectory(candidate);
    start = end + 1;
  }
  return SString();
}

// The file itself behind every link (packages install commands as chains
// of links), so that its directory is the one that holds its side files
// and its application; the name as found when it cannot be resolved.
SString realFile(const SString& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  SString real(resolved);
  free(resolved);
  return real;
}

SString foundFile(const SString& programName) {
  if (programName.c_str()[0] == '/') return programName;
  if (!programName.empty() && programName.find('/') == SString::npos &&
      getenv("PATH")) {
    SString found = searchPath(programName);
    if (!found.empty()) return found;
  }
  return inCurrentDirectory(programName);
}

}  // namespace

SString locateLauncherFile(const SString& programName) {
  return realFile(foundFile(programName));
}
