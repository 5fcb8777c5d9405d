#include "platform/FileCopy.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool g_kernelCopyEnabled = true;

// Errors of the kernel's copy that belong to the target, whichever way the
// bytes would travel; any other error hands the copy to the fallback,
// which tells a read failure from a write failure.
bool isTargetError(int error) {
  return error == EFBIG || error == ENOSPC || error == EDQUOT;
}

}  // namespace

FileCopy::FileCopy(int source, long offset, int target)
    : m_source(source),
      m_offset(offset),
      m_target(target),
      m_kernelCopy(g_kernelCopyEnabled),
      m_kernelBytes(0),
      m_buffer(nullptr),
      m_readError(0),
      m_writeError(0) {}

FileCopy::~FileCopy() { delete[] m_buffer; }

void FileCopy::setKernelCopyEnabled(bool enabled) {
  g_kernelCopyEnabled = enabled;
}

long FileCopy::copy(long count) {
  long copied = 0;
  while (copied < count && !m_readError && !m_writeError) {
    long n = -1;
    if (m_kernelCopy) n = kernelCopy(count - copied);
    if (n < 0 && !m_writeError) n = readWriteCopy(count - copied);
    if (n <= 0) break;
    copied += n;
  }
  return copied;
}

long FileCopy::kernelCopy(long count) {
#ifdef __linux__
  for (;;) {
    loff_t from = m_offset;
    ssize_t n = copy_file_range(m_source, &from, m_target, nullptr,
                                static_cast<size_t>(count), 0);
    if (n >= 0) {
      m_offset += static_cast<long>(n);
      m_kernelBytes += static_cast<long>(n);
      return static_cast<long>(n);
    }
    if (errno == EINTR) continue;
    if (isTargetError(errno)) {
      m_writeError = errno;
      return -1;
    }
    break;
  }
#else
  (void)count;
#endif
  m_kernelCopy = false;
  return -1;
}

long FileCopy::readWriteCopy(long count) {
  if (!m_buffer) m_buffer = new char[kBufferSize];
  long wanted = count < kBufferSize ? count : kBufferSize;
  ssize_t n;
  do {
    n = pread(m_source, m_buffer, static_cast<size_t>(wanted), m_offset);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    m_readError = errno;
    return 0;
  }
  if (n == 0) return 0;
  if (!writeAll(m_buffer, static_cast<long>(n))) return 0;
  m_offset += static_cast<long>(n);
  return static_cast<long>(n);
}

bool FileCopy::writeAll(const char* bytes, long count) {
  while (count > 0) {
    ssize_t n = write(m_target, bytes, static_cast<size_t>(count));
    if (n < 0) {
      if (errno == EINTR) continue;
      m_writeError = errno;
      return false;
    }
    if (n == 0) {
      m_writeError = ENOSPC;
      return false;
    }
    bytes += n;
    count -= static_cast<long>(n);
  }
  return true;
}
