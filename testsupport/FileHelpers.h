// Small file helpers for tests: whole files written and read as bytes, and
// whether a name exists at all (a dangling link counts).
#ifndef TESTSUPPORT_FILEHELPERS_H_
#define TESTSUPPORT_FILEHELPERS_H_

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Writes bytes as the whole file; a file that cannot be made fails the test.
inline void writeFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The whole file, or "<missing>" when it cannot be read.
inline std::string readFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

inline bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The names in a directory, "." and ".." left out; none when it cannot be
// read.
inline std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

#endif  // TESTSUPPORT_FILEHELPERS_H_
