// The entry points LD_PRELOAD puts in front of the C library: open, close,
// ioctl and dup for the simulated nodes (and, when asked, the SCSI layer's
// control file); every other path and descriptor goes to the real functions
// untouched. A simulated node is a real
// descriptor (on /dev/null), so its number can never collide with another.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "DeviceNodes.h"
#include "Driver.h"
#include "SystemCalls.h"
#include "Trace.h"

#define HALVSIM_EXPORT extern "C" __attribute__((visibility("default")))

// The fortified entry points the compiler may call instead of open.
extern "C" {
int __open_2(const char *path, int flags);
int __open64_2(const char *path, int flags);
int __openat_2(int dirfd, const char *path, int flags);
int __openat64_2(int dirfd, const char *path, int flags);
}

namespace halvsim {
namespace {

// Which descriptors are simulated: 0 for none, else the node packed as
// valid bit, kind, letter and adapter + 1.
constexpr int kMaxFd = 65536;
std::atomic<uint32_t> g_fds[kMaxFd];

uint32_t Pack(const Node &n) {
  return 0x80000000u | uint32_t(n.kind) << 16 |
         uint32_t(uint8_t(n.letter)) << 8 | uint32_t(n.adapter + 1);
}

Node Unpack(uint32_t v) {
  Node n;
  n.kind = static_cast<Node::Kind>((v >> 16) & 0xFF);
  n.letter = static_cast<char>((v >> 8) & 0xFF);
  n.adapter = static_cast<int>(v & 0xFF) - 1;
  return n;
}

bool Lookup(int fd, Node *out) {
  if (fd < 0 || fd >= kMaxFd) return false;
  uint32_t v = g_fds[fd].load(std::memory_order_acquire);
  if (!v) return false;
  *out = Unpack(v);
  return true;
}

void Forget(int fd) {
  if (fd >= 0 && fd < kMaxFd) g_fds[fd].store(0, std::memory_order_release);
}

template <class F>
F Real(const char *name) {
  void *p = dlsym(RTLD_NEXT, name);
  return reinterpret_cast<F>(p);
}

using OpenFn = int (*)(const char *, int, ...);
using OpenAtFn = int (*)(int, const char *, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using DupFn = int (*)(int);
using Dup2Fn = int (*)(int, int);
using Dup3Fn = int (*)(int, int, int);

OpenFn RealOpen() {
  static OpenFn f = Real<OpenFn>("open");
  return f;
}

std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", v);
  return buf;
}

// Opens a simulated node: a descriptor on /dev/null when the scenario has
// the node, ENOENT when it does not.
int OpenSimulated(const char *path, int flags) {
  Node node;
  int err = 0;
  int fd = -1;
  if (DriverOpen(path, &node, &err)) {
    fd = sys::Open("/dev/null", O_RDWR | (flags & O_CLOEXEC));
    if (fd >= kMaxFd) {
      sys::Close(fd);
      fd = -1;
      err = EMFILE;
    } else if (fd < 0) {
      err = errno;
    } else {
      g_fds[fd].store(Pack(node), std::memory_order_release);
    }
  }
  if (TraceEnabled()) {
    std::string adapter =
        fd >= 0 && node.adapter >= 0 ? std::to_string(node.adapter) : "-";
    TraceLine(std::string("open node=") + path +
              " flags=" + Hex(unsigned(flags)) + " adapter=" + adapter +
              " result=" + std::to_string(fd) + " errno=" +
              (fd >= 0         ? "0"
               : err == ENOENT ? "ENOENT"
               : err == EBUSY  ? "EBUSY"
                               : "EOTHER"));
  }
  if (fd < 0) errno = err;
  return fd;
}

// The mode argument exists only when the flags need one (as the C library
// itself decides).
// HALVSIM_PROC_SCSI: where writes to the SCSI layer's control file go
// instead, so that announcing logical drives never reaches the machine's
// own SCSI layer. Unset: the control file is left to the system.
constexpr const char *kProcScsi = "/proc/scsi/scsi";

const char *ProcScsiRedirect(const char *path, bool writing) {
  if (!writing || !path || std::strcmp(path, kProcScsi) != 0) return nullptr;
  const char *to = std::getenv("HALVSIM_PROC_SCSI");
  return to && *to ? to : nullptr;
}

void TraceRedirect(const char *call, const std::string &how, const char *to,
                   bool ok) {
  if (TraceEnabled())
    TraceLine(std::string(call) + " node=" + kProcScsi + " " + how +
              " redirect=" + to + " result=" + (ok ? "0" : "-1"));
}

int OpenRedirected(const char *to, int flags) {
  int fd =
      RealOpen()(to, O_WRONLY | O_APPEND | O_CREAT | (flags & O_CLOEXEC), 0644);
  TraceRedirect("open", "flags=" + Hex(unsigned(flags)), to, fd >= 0);
  return fd;
}

mode_t ModeArg(int flags, va_list ap) {
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE)
    return static_cast<mode_t>(va_arg(ap, int));
  return 0;
}

bool Writing(int flags) { return (flags & O_ACCMODE) != O_RDONLY; }

int DoOpen(bool large, const char *path, int flags, mode_t mode) {
  if (IsSimulatedPath(path)) return OpenSimulated(path, flags);
  if (const char *to = ProcScsiRedirect(path, Writing(flags)))
    return OpenRedirected(to, flags);
  static OpenFn open_fn = Real<OpenFn>("open");
  static OpenFn open64_fn = Real<OpenFn>("open64");
  return (large ? open64_fn : open_fn)(path, flags, mode);
}

int DoOpenAt(bool large, int dirfd, const char *path, int flags, mode_t mode) {
  // Only absolute paths can name the nodes; relative ones depend on dirfd.
  if (IsSimulatedPath(path)) return OpenSimulated(path, flags);
  if (const char *to = ProcScsiRedirect(path, Writing(flags)))
    return OpenRedirected(to, flags);
  static OpenAtFn openat_fn = Real<OpenAtFn>("openat");
  static OpenAtFn openat64_fn = Real<OpenAtFn>("openat64");
  return (large ? openat64_fn : openat_fn)(dirfd, path, flags, mode);
}

}  // namespace
}  // namespace halvsim

using namespace halvsim;

HALVSIM_EXPORT int open(const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpen(false, path, flags, mode);
}

HALVSIM_EXPORT int open64(const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpen(true, path, flags, mode);
}

HALVSIM_EXPORT int openat(int dirfd, const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpenAt(false, dirfd, path, flags, mode);
}

HALVSIM_EXPORT int openat64(int dirfd, const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpenAt(true, dirfd, path, flags, mode);
}

HALVSIM_EXPORT int __open_2(const char *path, int flags) {
  return DoOpen(false, path, flags, 0);
}

HALVSIM_EXPORT int __open64_2(const char *path, int flags) {
  return DoOpen(true, path, flags, 0);
}

HALVSIM_EXPORT int __openat_2(int dirfd, const char *path, int flags) {
  return DoOpenAt(false, dirfd, path, flags, 0);
}

HALVSIM_EXPORT int __openat64_2(int dirfd, const char *path, int flags) {
  return DoOpenAt(true, dirfd, path, flags, 0);
}

using FopenFn = FILE *(*)(const char *, const char *);

// Every write to the redirected control file appends, as writes to the real
// one add lines rather than replace them.
FILE *DoFopen(bool large, const char *path, const char *mode) {
  static FopenFn fopen_fn = Real<FopenFn>("fopen");
  static FopenFn fopen64_fn = Real<FopenFn>("fopen64");
  FopenFn real = large ? fopen64_fn : fopen_fn;
  bool writing = mode && (std::strpbrk(mode, "wa+") != nullptr);
  if (const char *to = ProcScsiRedirect(path, writing)) {
    FILE *f = real(to, "a");
    TraceRedirect("fopen", std::string("mode=") + mode, to, f != nullptr);
    return f;
  }
  return real(path, mode);
}

HALVSIM_EXPORT FILE *fopen(const char *path, const char *mode) {
  return DoFopen(false, path, mode);
}

HALVSIM_EXPORT FILE *fopen64(const char *path, const char *mode) {
  return DoFopen(true, path, mode);
}

HALVSIM_EXPORT int close(int fd) {
  static CloseFn real = Real<CloseFn>("close");
  Node node;
  if (Lookup(fd, &node)) {
    Forget(fd);
    if (TraceEnabled())
      TraceLine("close node=" + node.Path() + " fd=" + std::to_string(fd));
  }
  return real(fd);
}

HALVSIM_EXPORT int ioctl(int fd, unsigned long request, ...) __THROW {
  va_list ap;
  va_start(ap, request);
  void *arg = va_arg(ap, void *);
  va_end(ap);
  Node node;
  if (Lookup(fd, &node)) return DriverIoctl(node, request, arg);
  static IoctlFn real = Real<IoctlFn>("ioctl");
  return real(fd, request, arg);
}

HALVSIM_EXPORT int dup(int fd) __THROW {
  static DupFn real = Real<DupFn>("dup");
  int copy = real(fd);
  Node node;
  if (copy >= 0 && Lookup(fd, &node)) {
    if (copy < kMaxFd) g_fds[copy].store(Pack(node), std::memory_order_release);
  }
  return copy;
}

HALVSIM_EXPORT int dup2(int fd, int to) __THROW {
  static Dup2Fn real = Real<Dup2Fn>("dup2");
  Node node;
  bool simulated = Lookup(fd, &node);
  int result = real(fd, to);
  if (result >= 0 && fd != to) {
    Forget(to);
    if (simulated && to < kMaxFd)
      g_fds[to].store(Pack(node), std::memory_order_release);
  }
  return result;
}

HALVSIM_EXPORT int dup3(int fd, int to, int flags) __THROW {
  static Dup3Fn real = Real<Dup3Fn>("dup3");
  Node node;
  bool simulated = Lookup(fd, &node);
  int result = real(fd, to, flags);
  if (result >= 0) {
    Forget(to);
    if (simulated && to < kMaxFd)
      g_fds[to].store(Pack(node), std::memory_order_release);
  }
  return result;
}
