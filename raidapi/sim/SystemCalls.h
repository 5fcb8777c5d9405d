// The simulator's own file work, made with system calls directly. The
// simulator stands in front of the C library's open, close, ioctl and dup;
// its own state file, lock files, trace and flash images must never pass
// through those entry points (its own or anyone else's), whatever thread or
// signal handler is running.
#ifndef HALVSIM_SYSTEM_CALLS_H
#define HALVSIM_SYSTEM_CALLS_H

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace halvsim {
namespace sys {

// Each answers as the C library function of the same name does: -1 with
// errno set on failure.
int Open(const char *path, int flags, mode_t mode = 0);
int Close(int fd);
ssize_t Read(int fd, void *buf, size_t n);
ssize_t Write(int fd, const void *buf, size_t n);
ssize_t Pread(int fd, void *buf, size_t n, off_t at);
ssize_t Pwrite(int fd, const void *buf, size_t n, off_t at);
int Ftruncate(int fd, off_t length);
int Flock(int fd, int operation);
// fcntl with a struct flock argument (the record locks).
int LockRecord(int fd, int command, struct flock *lock);
int Stat(const char *path, struct stat *st);
int Rename(const char *from, const char *to);
int Unlink(const char *path);

}  // namespace sys
}  // namespace halvsim

#endif  // HALVSIM_SYSTEM_CALLS_H
