#include "LauncherFileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PayloadFormat.h"
#include "core/ScopedFile.h"

namespace {

std::string systemError() { return std::strerror(errno); }

// The output under construction: removed unless it was committed.
class PendingFile {
 public:
  ~PendingFile() {
    if (m_file) std::fclose(m_file);
    if (!m_path.empty()) std::remove(m_path.c_str());
  }

  bool create(const std::string& output, mode_t mode, std::string& error) {
    std::string pattern = output + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
      error = "cannot create a temporary file beside " + output + ": " +
              systemError();
      return false;
    }
    m_path = name.data();
    m_file = fdopen(fd, "wb");
    if (!m_file) {
      error = "cannot write " + m_path + ": " + systemError();
      close(fd);
      return false;
    }
    if (fchmod(fd, mode) != 0) {
      error = "cannot set the permissions of " + m_path + ": " + systemError();
      return false;
    }
    return true;
  }

  FILE* file() const { return m_file; }
  long long written() const { return m_written; }

  bool write(const void* bytes, size_t count, std::string& error) {
    if (std::fwrite(bytes, 1, count, m_file) != count) {
      error = "cannot write " + m_path + ": " + systemError();
      return false;
    }
    m_written += static_cast<long long>(count);
    return true;
  }

  // Zero bytes up to the next multiple of alignment.
  bool padTo(long long alignment, std::string& error) {
    static const char zeros[kPageSize] = {};
    long long gap = (alignment - m_written % alignment) % alignment;
    while (gap > 0) {
      size_t piece = static_cast<size_t>(
          gap < static_cast<long long>(sizeof zeros) ? gap : sizeof zeros);
      if (!write(zeros, piece, error)) return false;
      gap -= static_cast<long long>(piece);
    }
    return true;
  }

  bool writeNumber(uint32_t value, int width, std::string& error) {
    unsigned char bytes[4];
    for (int i = 0; i < width; ++i)
      bytes[i] = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
    return write(bytes, static_cast<size_t>(width), error);
  }

  // Appends the whole of path, which must still hold expected bytes.
  bool copyFrom(const std::string& path, long long expected,
                std::string& error) {
    ScopedFile source(std::fopen(path.c_str(), "rb"));
    if (!source.get()) {
      error = "cannot open " + path + ": " + systemError();
      return false;
    }
    static char buffer[1 << 16];
    long long copied = 0;
    size_t got;
    bool ok = true;
    while (ok &&
           (got = std::fread(buffer, 1, sizeof buffer, source.get())) > 0) {
      ok = write(buffer, got, error);
      copied += static_cast<long long>(got);
    }
    if (ok && std::ferror(source.get())) {
      error = "cannot read " + path + ": " + systemError();
      ok = false;
    }
    source.close();
    if (ok && expected >= 0 && copied != expected) {
      error = path + " changed while it was being packed";
      ok = false;
    }
    return ok;
  }

  bool commit(const std::string& output, std::string& error) {
    bool ok = std::fflush(m_file) == 0 && fsync(fileno(m_file)) == 0;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    if (!ok) {
      error = "cannot write " + m_path + ": " + systemError();
      return false;
    }
    if (std::rename(m_path.c_str(), output.c_str()) != 0) {
      error =
          "cannot rename " + m_path + " to " + output + ": " + systemError();
      return false;
    }
    m_path.clear();
    return true;
  }

 private:
  FILE* m_file = nullptr;
  std::string m_path;
  long long m_written = 0;
};

mode_t outputMode(mode_t programMode) {
  mode_t mask = umask(0);
  umask(mask);
  return programMode & 0777 & ~mask;
}

bool fitsInIndex(long long value, const std::string& what, std::string& error) {
  if (value <= kLargestPayloadNumber) return true;
  error = what +
          " would lie beyond the 2 GiB that a launcher file can "
          "address";
  return false;
}

std::string escapeForMake(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == ' ' || c == '#' || c == '\\') escaped += '\\';
    if (c == '$') escaped += '$';
    escaped += c;
  }
  return escaped;
}

}  // namespace

bool writeLauncherFile(const std::string& program,
                       const std::vector<PackItem>& items,
                       const std::string& output, std::string& error) {
  struct stat info;
  if (stat(program.c_str(), &info) != 0) {
    error = "cannot read the program " + program + ": " + systemError();
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "the program " + program + " is not a regular file";
    return false;
  }
  bool packed = false;
  if (!hasPayloadTrailer(program, packed, error)) return false;
  if (packed) {
    error = "the program " + program +
            " already carries a payload; pack the plain launcher program";
    return false;
  }

  PendingFile out;
  if (!out.create(output, outputMode(info.st_mode), error)) return false;
  if (!out.copyFrom(program, static_cast<long long>(info.st_size), error))
    return false;

  std::vector<long long> offsets;
  for (const PackItem& item : items) {
    if (item.length >= kPageAlignedFileSize && !out.padTo(kPageSize, error))
      return false;
    offsets.push_back(out.written());
    if (!fitsInIndex(out.written() + item.length, item.what, error) ||
        !out.copyFrom(item.path, item.length, error))
      return false;
    // The launcher reads the last line of an embedded tag file up to the
    // next line feed, which may lie beyond the file's own bytes; a line
    // feed between the files keeps that line from running into the next.
    if (isTagFileType(item.type) && !out.write("\n", 1, error)) return false;
  }

  long long indexOffset = out.written();
  if (!fitsInIndex(indexOffset, "the index", error)) return false;
  if (!out.writeNumber(static_cast<uint32_t>(items.size()), 4, error))
    return false;
  for (size_t i = 0; i < items.size(); ++i) {
    const PackItem& item = items[i];
    unsigned char type = static_cast<unsigned char>(item.type);
    if (!out.write(&type, 1, error) ||
        !out.writeNumber(static_cast<uint32_t>(item.id), 4, error) ||
        !out.writeNumber(static_cast<uint32_t>(item.length), 4, error) ||
        !out.writeNumber(static_cast<uint32_t>(offsets[i]), 4, error) ||
        !out.writeNumber(static_cast<uint32_t>(item.name.size()), 2, error) ||
        !out.write(item.name.data(), item.name.size(), error))
      return false;
  }
  if (!out.writeNumber(static_cast<uint32_t>(indexOffset), 4, error) ||
      !out.writeNumber(kLauncherIdentification, 4, error))
    return false;
  if (!fitsInIndex(out.written(), "the end of the index", error)) return false;
  return out.commit(output, error);
}

bool writeDependencyFile(const std::string& depfile, const std::string& output,
                         const std::vector<std::string>& inputs,
                         std::string& error) {
  ScopedFile file(std::fopen(depfile.c_str(), "w"));
  if (!file.get()) {
    error = "cannot write " + depfile + ": " + systemError();
    return false;
  }
  std::fprintf(file.get(), "%s:", escapeForMake(output).c_str());
  for (const std::string& input : inputs)
    std::fprintf(file.get(), " \\\n  %s", escapeForMake(input).c_str());
  std::fputc('\n', file.get());
  if (file.close() != 0) {
    error = "cannot write " + depfile + ": " + systemError();
    return false;
  }
  return true;
}
