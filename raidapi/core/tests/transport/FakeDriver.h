// A stand-in for the adapter driver inside a test program: it replaces the
// process's ioctl for a few made-up descriptors, keeps a copy of every record
// the library hands it, and answers through a handler the test sets. Other
// descriptors reach the real ioctl untouched.
#ifndef HVAPI_CORE_TESTS_TRANSPORT_FAKE_DRIVER_H
#define HVAPI_CORE_TESTS_TRANSPORT_FAKE_DRIVER_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/DriverRecords.h"

struct FakeRequest {
  int fd;
  unsigned long request;
  std::vector<uint8_t> bytes;  // the record as the library sent it

  template <typename T>
  T As() const {
    T value{};
    std::memcpy(&value, bytes.data(),
                bytes.size() < sizeof value ? bytes.size() : sizeof value);
    return value;
  }
};

class FakeDriver {
 public:
  using Handler = std::function<int(int fd, unsigned long request, void *arg)>;

  // Descriptors the fake owns: the SCSI disks of adapters 0 to 5, then
  // "/dev/halvdev0".
  static constexpr int kFirstDiskFd = 900;
  static constexpr int kMimdFd = 950;

  static FakeDriver &Get();

  // Forgets the requests and answers every later one with 0.
  void Reset();
  void ClearRequests() { requests_.clear(); }
  void SetHandler(Handler handler) { handler_ = std::move(handler); }
  const std::vector<FakeRequest> &Requests() const { return requests_; }

  // Called by the replaced ioctl for a descriptor of the fake.
  int Handle(int fd, unsigned long request, void *arg);

 private:
  Handler handler_;
  std::vector<FakeRequest> requests_;
};

bool IsFakeDescriptor(int fd);

#endif  // HVAPI_CORE_TESTS_TRANSPORT_FAKE_DRIVER_H
