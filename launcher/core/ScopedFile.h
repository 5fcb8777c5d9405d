// Closes a stdio stream when the scope that opened it ends, however it ends.
#ifndef LAUNCHER_CORE_SCOPEDFILE_H
#define LAUNCHER_CORE_SCOPEDFILE_H

#include <cstdio>

class ScopedFile {
 public:
  explicit ScopedFile(FILE* file) : m_file(file) {}
  ~ScopedFile() {
    if (m_file) std::fclose(m_file);
  }

  FILE* get() const { return m_file; }
  // Closes now; the result of fclose, 0 when nothing was open.
  int close() {
    // The member lets go before the stream is closed, so that no path (the
    // destructor's included) can see a closed stream in it.
    FILE* file = m_file;
    m_file = nullptr;
    return file ? std::fclose(file) : 0;
  }

 private:
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  FILE* m_file;
};

#endif
