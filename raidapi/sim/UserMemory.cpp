#include "UserMemory.h"
#include "SystemCalls.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace halvsim {

namespace {

// Where process_vm_readv/writev are not allowed (some sandboxes), the
// process's own memory file gives the same checked access.
ssize_t MemFile(bool write, uint64_t addr, void *buf, size_t n) {
  int fd = sys::Open("/proc/self/mem", (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return -1;
  ssize_t done = write ? sys::Pwrite(fd, buf, n, static_cast<off_t>(addr))
                       : sys::Pread(fd, buf, n, static_cast<off_t>(addr));
  sys::Close(fd);
  return done;
}

bool Transfer(bool write, uint64_t addr, void *buf, size_t n) {
  if (n == 0) return true;
  if (addr == 0 || addr + n < addr) return false;
  // Addresses the kernel would never hand to user space.
  if (addr + n > (uint64_t{1} << 47)) return false;
  struct iovec local = {buf, n};
  struct iovec remote = {reinterpret_cast<void *>(static_cast<uintptr_t>(addr)),
                         n};
  ssize_t done = write ? process_vm_writev(getpid(), &local, 1, &remote, 1, 0)
                       : process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
  if (done < 0 && (errno == ENOSYS || errno == EPERM))
    done = MemFile(write, addr, buf, n);
  return done == static_cast<ssize_t>(n);
}

}  // namespace

bool CopyIn(uint64_t addr, void *dst, size_t n) {
  return Transfer(false, addr, dst, n);
}

bool CopyOut(uint64_t addr, const void *src, size_t n) {
  return Transfer(true, addr, const_cast<void *>(src), n);
}

bool Writable(uint64_t addr, size_t n) {
  if (n == 0) return true;
  std::vector<uint8_t> keep(n);
  return CopyIn(addr, keep.data(), n) && CopyOut(addr, keep.data(), n);
}

}  // namespace halvsim
