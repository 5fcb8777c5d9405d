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
    int result = m_file ? std::fclose(m_file) : 0;
    m_file = nullptr;
    return result;
  }

 private:
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  FILE* m_file;
};

#endif
