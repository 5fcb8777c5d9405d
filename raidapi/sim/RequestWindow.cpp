#include "RequestWindow.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "SystemCalls.h"

namespace halvsim {

namespace {

// Byte 0 of the busy file carries a shared lock per open window; byte 1 is
// taken exclusively while a window looks for others and opens, so that two
// arriving together cannot miss each other. Bytes 8 to 15 hold the count.
constexpr off_t kWindowByte = 0;
constexpr off_t kGuardByte = 1;
constexpr off_t kCountOffset = 8;

std::atomic<int> g_open_windows{0};
std::atomic<uint64_t> g_overlaps{0};

std::string BusyPath(const std::string &statePath) {
  return statePath + ".busy";
}

// Open file description locks: they belong to the open file, so two
// threads of one process with their own opens exclude each other too.
bool LockByte(int fd, int command, short type, off_t at) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = 1;
  for (;;) {
    if (sys::LockRecord(fd, command, &lock) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// True when a lock of another open file is on the byte.
bool Held(int fd, off_t at) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = 1;
  if (sys::LockRecord(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

uint64_t ReadCount(int fd) {
  uint64_t n = 0;
  if (sys::Pread(fd, &n, sizeof n, kCountOffset) !=
      static_cast<ssize_t>(sizeof n))
    n = 0;
  return n;
}

}  // namespace

RequestWindow::RequestWindow(const std::string &statePath) {
  if (statePath.empty()) {
    in_process_ = true;
    overlapped_ = g_open_windows.fetch_add(1) > 0;
    if (overlapped_) g_overlaps.fetch_add(1);
    return;
  }
  fd_ = sys::Open(BusyPath(statePath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
                  0644);
  if (fd_ < 0) return;  // not watched; the request itself goes on
  if (!LockByte(fd_, F_OFD_SETLKW, F_WRLCK, kGuardByte)) return;
  overlapped_ = Held(fd_, kWindowByte);
  if (overlapped_) {
    uint64_t n = ReadCount(fd_) + 1;
    if (sys::Pwrite(fd_, &n, sizeof n, kCountOffset) !=
        static_cast<ssize_t>(sizeof n)) {
      // The trace still shows the overlap.
    }
  }
  LockByte(fd_, F_OFD_SETLK, F_RDLCK, kWindowByte);
  LockByte(fd_, F_OFD_SETLK, F_UNLCK, kGuardByte);
}

RequestWindow::~RequestWindow() {
  if (in_process_) g_open_windows.fetch_sub(1);
  if (fd_ >= 0) sys::Close(fd_);  // closing releases the window's lock
}

uint64_t RequestWindow::Overlaps(const std::string &statePath) {
  if (statePath.empty()) return g_overlaps.load();
  int fd = sys::Open(BusyPath(statePath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint64_t n = ReadCount(fd);
  sys::Close(fd);
  return n;
}

}  // namespace halvsim
