#include "platform/UserCacheDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/TextHelpers.h"
#include "platform/PlatformImpl.h"

namespace {

const char kLauncherDirectory[] = "launcher";
const mode_t kOthersMayWrite = S_IWGRP | S_IWOTH;

bool g_ownerForTesting = false;
uid_t g_testOwner = 0;
unsigned g_uniqueCounter = 0;

SString joined(const SString& directory, const SString& name) {
  SString path = directory;
  if (path.empty() || path[path.length() - 1] != '/') path += '/';
  return path + name;
}

SString systemError(const SString& what, int error) {
  return what + ": " + std::strerror(error);
}

// Whether a directory or file with that status may be trusted; reason
// says why not.
bool trusted(const struct stat& info, const SString& path, bool rootMayOwn,
             SString& reason) {
  uid_t owner = UserCacheDir::expectedOwner();
  if (info.st_uid != owner && !(rootMayOwn && info.st_uid == 0)) {
    reason = path + " belongs to another user";
    return false;
  }
  if (info.st_mode & kOthersMayWrite) {
    reason = path + " can be written by other users";
    return false;
  }
  return true;
}

// The cache home: XDG_CACHE_HOME when it is an absolute path (a relative
// one is to be ignored), else ~/.cache; empty without either.
SString cacheHome() {
  SString xdg = PlatformImpl::getEnvironmentVariable("XDG_CACHE_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  SString home = PlatformImpl::getEnvironmentVariable("HOME");
  if (home.empty() || home[0] != '/') return SString();
  return joined(home, ".cache");
}

}  // namespace

UserCacheDir::UserCacheDir() : m_fd(-1) {}

UserCacheDir::~UserCacheDir() { close(); }

void UserCacheDir::close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_path = "";
}

uid_t UserCacheDir::expectedOwner() {
  return g_ownerForTesting ? g_testOwner : geteuid();
}

void UserCacheDir::setExpectedOwnerForTesting(uid_t owner) {
  g_ownerForTesting = true;
  g_testOwner = owner;
}

void UserCacheDir::resetExpectedOwner() { g_ownerForTesting = false; }

bool UserCacheDir::open(const SString& name, SString& reason) {
  close();
  SString home = cacheHome();
  if (home.empty()) {
    reason = "there is no cache directory (neither XDG_CACHE_HOME nor HOME)";
    return false;
  }
  // The cache home may be a link (to another disk, say) and may belong to
  // the system; but nobody else may write into it, or they could put a
  // directory of their making in the launcher's place.
  if (mkdir(home.c_str(), 0700) != 0 && errno != EEXIST) {
    reason = systemError(home + " cannot be made", errno);
    return false;
  }
  int homeFd = ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (homeFd < 0) {
    reason = systemError(home + " cannot be opened", errno);
    return false;
  }
  struct stat info;
  bool ok = fstat(homeFd, &info) == 0 && trusted(info, home, true, reason);
  UserCacheDir launcherDir;
  ok = ok && launcherDir.openBelow(homeFd, home, kLauncherDirectory, reason);
  ::close(homeFd);
  return ok && openBelow(launcherDir.m_fd, launcherDir.m_path, name, reason);
}

bool UserCacheDir::openSubdirectory(const UserCacheDir& parent,
                                    const SString& name, SString& reason) {
  close();
  if (!parent.isOpen()) {
    reason = "the cache directory is not open";
    return false;
  }
  return openBelow(parent.m_fd, parent.m_path, name, reason);
}

bool UserCacheDir::openBelow(int parentFd, const SString& parentPath,
                             const SString& name, SString& reason) {
  close();
  SString path = joined(parentPath, name);
  if (mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) {
    reason = systemError(path + " cannot be made", errno);
    return false;
  }
  // Never through a link: the directory is this one, checked as it is.
  int fd = openat(parentFd, name.c_str(),
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    reason = systemError(path + " cannot be opened", errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    reason = systemError(path + " cannot be examined", errno);
    ::close(fd);
    return false;
  }
  if (!trusted(info, path, false, reason)) {
    ::close(fd);
    return false;
  }
  m_fd = fd;
  m_path = path;
  return true;
}

SString UserCacheDir::pathOf(const SString& name) const {
  return joined(m_path, name);
}

bool UserCacheDir::checkFile(const SString& name, struct stat* info) const {
  if (m_fd < 0) return false;
  struct stat status;
  if (fstatat(m_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  if (info) *info = status;
  SString reason;
  return S_ISREG(status.st_mode) && trusted(status, name, false, reason);
}

bool UserCacheDir::readFile(const SString& name, long maxBytes,
                            SString& content) const {
  if (m_fd < 0) return false;
  int fd = openat(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  SString reason;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            trusted(info, name, false, reason) && info.st_size <= maxBytes;
  SString bytes;
  char buffer[4096];
  while (ok) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<SString::size_type>(got));
    if (static_cast<long>(bytes.length()) > maxBytes) ok = false;
  }
  ::close(fd);
  if (ok) content = bytes;
  return ok;
}

SString UserCacheDir::uniqueName(const SString& prefix) const {
  return prefix + ".tmp-" + convertToString(static_cast<long>(getpid())) + "-" +
         convertToString(static_cast<long>(++g_uniqueCounter));
}

bool UserCacheDir::writeFile(const SString& name,
                             const SString& content) const {
  if (m_fd < 0) return false;
  SString temporary = uniqueName(name);
  int fd = openat(m_fd, temporary.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const char* p = content.data();
  size_t left = content.length();
  bool ok = true;
  while (left > 0 && ok) {
    ssize_t written = write(fd, p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    p += written;
    left -= static_cast<size_t>(written);
  }
  if (::close(fd) != 0) ok = false;
  ok = ok && renameat(m_fd, temporary.c_str(), m_fd, name.c_str()) == 0;
  if (!ok) unlinkat(m_fd, temporary.c_str(), 0);
  return ok;
}

bool UserCacheDir::renameFile(const SString& from, const SString& to) const {
  return m_fd >= 0 && renameat(m_fd, from.c_str(), m_fd, to.c_str()) == 0;
}

void UserCacheDir::removeFile(const SString& name) const {
  if (m_fd >= 0) unlinkat(m_fd, name.c_str(), 0);
}

bool UserCacheDir::makePrivate(const SString& name) const {
  return m_fd >= 0 && fchmodat(m_fd, name.c_str(), 0600, 0) == 0;
}

void UserCacheDir::listFiles(StringDeque& names) const {
  if (m_fd < 0) return;
  int fd = openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (dirent* entry = readdir(dir)) {
    SString name(entry->d_name);
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
}

bool UserCacheDir::isOwnEntry(const SString& name) const {
  struct stat info;
  return m_fd >= 0 &&
         fstatat(m_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         info.st_uid == expectedOwner();
}
