// Copies bytes from one open file into another as fast as the system
// allows: the kernel's file-to-file copy where it works (no trip through
// the launcher's memory), large reads and writes where it does not.
#ifndef LAUNCHER_PLATFORM_FILECOPY_H_
#define LAUNCHER_PLATFORM_FILECOPY_H_

class FileCopy {
 public:
  // Reads source from position offset on (the descriptor's own position
  // is left alone) and writes target at its current position.
  FileCopy(int source, long offset, int target);
  ~FileCopy();

  // Copies up to count bytes; fewer only when the source ended or a read
  // or write failed (then readFailed or writeFailed tells which, and
  // error gives the system's error number). Returns the bytes copied.
  long copy(long count);

  bool readFailed() const { return m_readError != 0; }
  bool writeFailed() const { return m_writeError != 0; }
  int error() const { return m_writeError ? m_writeError : m_readError; }
  // Whether the kernel's copy carried the bytes so far.
  bool usedKernelCopy() const { return m_kernelBytes > 0; }

  // Off: every copy goes through reads and writes, as on a system or file
  // system without the kernel's copy. For tests; on by default.
  static void setKernelCopyEnabled(bool enabled);

  // The size of the read and write buffer of the fallback.
  static const long kBufferSize = 1 << 20;

 private:
  FileCopy(const FileCopy&) = delete;
  FileCopy& operator=(const FileCopy&) = delete;

  // One kernel copy of at most count bytes: the bytes copied, 0 at the
  // source's end, -1 when the fallback has to take over (or a write error
  // was recorded).
  long kernelCopy(long count);
  long readWriteCopy(long count);
  bool writeAll(const char* bytes, long count);

  int m_source;
  long m_offset;
  int m_target;
  bool m_kernelCopy;
  long m_kernelBytes;
  char* m_buffer;
  int m_readError;
  int m_writeError;
};

#endif  // LAUNCHER_PLATFORM_FILECOPY_H_
