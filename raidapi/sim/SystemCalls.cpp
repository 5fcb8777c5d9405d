#include "SystemCalls.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace halvsim {
namespace sys {

int Open(const char *path, int flags, mode_t mode) {
  return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

int Close(int fd) { return static_cast<int>(::syscall(SYS_close, fd)); }

ssize_t Read(int fd, void *buf, size_t n) {
  return ::syscall(SYS_read, fd, buf, n);
}

ssize_t Write(int fd, const void *buf, size_t n) {
  return ::syscall(SYS_write, fd, buf, n);
}

ssize_t Pread(int fd, void *buf, size_t n, off_t at) {
  return ::syscall(SYS_pread64, fd, buf, n, at);
}

ssize_t Pwrite(int fd, const void *buf, size_t n, off_t at) {
  return ::syscall(SYS_pwrite64, fd, buf, n, at);
}

int Ftruncate(int fd, off_t length) {
  return static_cast<int>(::syscall(SYS_ftruncate, fd, length));
}

int Flock(int fd, int operation) {
  return static_cast<int>(::syscall(SYS_flock, fd, operation));
}

int LockRecord(int fd, int command, struct flock *lock) {
  return static_cast<int>(::syscall(SYS_fcntl, fd, command, lock));
}

int Stat(const char *path, struct stat *st) {
  return static_cast<int>(::syscall(SYS_newfstatat, AT_FDCWD, path, st, 0));
}

int Rename(const char *from, const char *to) {
  return static_cast<int>(
      ::syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

int Unlink(const char *path) {
  return static_cast<int>(::syscall(SYS_unlinkat, AT_FDCWD, path, 0));
}

}  // namespace sys
}  // namespace halvsim
