#include "FakeDriver.h"

#include <dlfcn.h>
#include <sys/ioctl.h>

#include <cstdarg>

FakeDriver &FakeDriver::Get() {
  static FakeDriver driver;
  return driver;
}

void FakeDriver::Reset() {
  requests_.clear();
  handler_ = nullptr;
}

int FakeDriver::Handle(int fd, unsigned long request, void *arg) {
  const size_t size =
      request == HALV_REQ_MIMD ? sizeof(uioctl_t) : sizeof(UserIoctl_Struct);
  const uint8_t *bytes = static_cast<const uint8_t *>(arg);
  requests_.push_back(
      FakeRequest{fd, request, std::vector<uint8_t>(bytes, bytes + size)});
  return handler_ ? handler_(fd, request, arg) : 0;
}

bool IsFakeDescriptor(int fd) {
  return (fd >= FakeDriver::kFirstDiskFd &&
          fd < FakeDriver::kFirstDiskFd + 6) ||
         fd == FakeDriver::kMimdFd;
}

// The program's own ioctl comes before the C library's, so the library's
// requests arrive here.
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list args;
  va_start(args, request);
  void *arg = va_arg(args, void *);
  va_end(args);
  if (IsFakeDescriptor(fd)) return FakeDriver::Get().Handle(fd, request, arg);
  using RealIoctl = int (*)(int, unsigned long, ...);
  static const auto real =
      reinterpret_cast<RealIoctl>(dlsym(RTLD_NEXT, "ioctl"));
  return real(fd, request, arg);
}
