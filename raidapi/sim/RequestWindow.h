// Watches for requests that overlap in time. A real adapter takes one
// request at a time from a library that serialises its callers; two requests
// in the driver at once mean the callers' serialisation failed. Each request
// holds a window open while the driver works on it; a request that finds
// another window open counts as an overlap. With a state file the windows
// of every process that names it are seen (a record lock on
// "<state file>.busy", released by the kernel when a process dies, and the
// overlap count kept in that file); without one, those of this process.
#ifndef HALVSIM_REQUEST_WINDOW_H
#define HALVSIM_REQUEST_WINDOW_H

#include <cstdint>
#include <string>

namespace halvsim {

class RequestWindow {
 public:
  // Opens the window for one request on the scenario of statePath ("" for
  // the in-process scenario).
  explicit RequestWindow(const std::string &statePath);
  ~RequestWindow();
  RequestWindow(const RequestWindow &) = delete;
  RequestWindow &operator=(const RequestWindow &) = delete;

  // True when another request was in the driver as this one came in.
  bool Overlapped() const { return overlapped_; }

  // Overlaps counted so far for the scenario of statePath.
  static uint64_t Overlaps(const std::string &statePath);

 private:
  int fd_ = -1;
  bool in_process_ = false;
  bool overlapped_ = false;
};

}  // namespace halvsim

#endif  // HALVSIM_REQUEST_WINDOW_H
