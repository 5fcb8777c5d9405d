// What the fuzz targets share: a private scratch directory for the files an
// input becomes, and the splitting of one input into the several texts a
// target reads.
#ifndef FUZZ_FUZZSUPPORT_H
#define FUZZ_FUZZSUPPORT_H

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Removes path and, for a directory, everything below it; symbolic links
// are removed, never followed.
inline void RemoveTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (DIR* dir = opendir(path.c_str())) {
      while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// The process's own directory below TMPDIR (or /var/tmp), made on first use
// and removed when the process ends normally.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base && *base ? base : "/var/tmp") + "/fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
      std::perror("fuzz: mkdtemp");
      std::abort();
    }
    return std::string(name.data());
  }();
  static const bool registered = [] {
    return std::atexit([] { RemoveTree(ScratchDir()); }) == 0;
  }();
  (void)registered;
  return dir;
}

inline std::string ScratchPath(const std::string& name) {
  return ScratchDir() + "/" + name;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::perror(path.c_str());
    std::abort();
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

inline std::string ReadFile(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

// The separator of the texts inside one input: a line of its own.
constexpr char kSectionMark[] = "\n%%\n";

// The input cut at each separator line; always count texts, the missing
// ones empty.
inline std::vector<std::string> Sections(const uint8_t* data, size_t size,
                                         size_t count) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  const std::string mark = kSectionMark;
  size_t from = 0;
  while (parts.size() + 1 < count) {
    size_t at = input.find(mark, from);
    if (at == std::string::npos) break;
    parts.push_back(input.substr(from, at - from + 1));
    from = at + mark.size();
  }
  parts.push_back(from <= input.size() ? input.substr(from) : std::string());
  parts.resize(count);
  return parts;
}

// A finding that is no crash: the target's own check failed.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

}  // namespace fuzz

#endif  // FUZZ_FUZZSUPPORT_H
