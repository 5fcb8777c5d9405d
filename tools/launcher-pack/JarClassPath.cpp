#include "JarClassPath.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "Inflate.h"
#include "core/ScopedFile.h"

namespace {

const uint32_t kEndOfDirectory = 0x06054b50u;
const uint32_t kDirectoryEntry = 0x02014b50u;
const uint32_t kLocalHeader = 0x04034b50u;
const size_t kEndRecordSize = 22;
const size_t kLongestComment = 65535;
// A manifest is text of a few kilobytes; far more is a damaged archive.
const size_t kLargestManifest = 16u << 20;
const char kManifestName[] = "META-INF/MANIFEST.MF";

uint32_t le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Reads byte ranges of an archive.
class File {
 public:
  explicit File(const std::string& path)
      : m_file(std::fopen(path.c_str(), "rb")) {}
  bool ok() const { return m_file.get() != nullptr; }
  long size() {
    if (fseek(m_file.get(), 0, SEEK_END) != 0) return -1;
    return ftell(m_file.get());
  }
  bool read(long offset, size_t length, std::string& into) {
    into.assign(length, '\0');
    return fseek(m_file.get(), offset, SEEK_SET) == 0 &&
           fread(&into[0], 1, length, m_file.get()) == length;
  }

 private:
  ScopedFile m_file;
};

const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// The manifest's bytes from the archive; false when there is none.
bool readManifest(const std::string& path, std::string& manifest) {
  File file(path);
  if (!file.ok()) return false;
  long size = file.size();
  if (size < static_cast<long>(kEndRecordSize)) return false;
  size_t tail = static_cast<size_t>(size) < kEndRecordSize + kLongestComment
                    ? static_cast<size_t>(size)
                    : kEndRecordSize + kLongestComment;
  std::string end;
  if (!file.read(size - static_cast<long>(tail), tail, end)) return false;
  size_t at = tail - kEndRecordSize + 1;
  bool found = false;
  while (at-- > 0) {
    if (le32(bytes(end) + at) == kEndOfDirectory) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  const unsigned char* record = bytes(end) + at;
  uint32_t directorySize = le32(record + 12);
  uint32_t directoryOffset = le32(record + 16);
  if (static_cast<long long>(directoryOffset) + directorySize > size)
    return false;
  std::string directory;
  if (!file.read(directoryOffset, directorySize, directory)) return false;
  for (size_t p = 0; p + 46 <= directory.size();) {
    const unsigned char* entry = bytes(directory) + p;
    if (le32(entry) != kDirectoryEntry) return false;
    uint32_t method = le16(entry + 10);
    uint32_t compressed = le32(entry + 20);
    uint32_t nameLength = le16(entry + 28);
    size_t next = p + 46 + nameLength + le16(entry + 30) + le16(entry + 32);
    if (p + 46 + nameLength > directory.size()) return false;
    std::string name(directory, p + 46, nameLength);
    p = next;
    if (strcasecmp(name.c_str(), kManifestName) != 0) continue;
    uint32_t local = le32(entry + 42);
    std::string header;
    if (!file.read(local, 30, header) || le32(bytes(header)) != kLocalHeader)
      return false;
    long data = static_cast<long>(local) + 30 + le16(bytes(header) + 26) +
                le16(bytes(header) + 28);
    std::string packed;
    if (compressed > kLargestManifest || !file.read(data, compressed, packed))
      return false;
    if (method == 0) {
      manifest = packed;
      return true;
    }
    return method == 8 &&
           inflateRaw(bytes(packed), packed.size(), kLargestManifest, manifest);
  }
  return false;
}

}  // namespace

std::vector<std::string> classPathOfManifest(const std::string& text) {
  // Lines end with CR LF, LF or CR; a line that starts with one blank
  // continues the one before it. The main section ends at an empty line.
  std::vector<std::string> lines;
  size_t p = 0;
  while (p < text.size()) {
    size_t end = text.find_first_of("\r\n", p);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(p, end - p);
    p = end;
    if (p < text.size() && text[p] == '\r') ++p;
    if (p < text.size() && text[p] == '\n') ++p;
    if (line.empty()) break;
    if (line[0] == ' ' && !lines.empty())
      lines.back() += line.substr(1);
    else
      lines.push_back(line);
  }
  std::vector<std::string> entries;
  const std::string kName = "class-path:";
  for (const std::string& line : lines) {
    if (line.size() < kName.size() ||
        strncasecmp(line.c_str(), kName.c_str(), kName.size()) != 0)
      continue;
    std::string value = line.substr(kName.size());
    size_t q = 0;
    while ((q = value.find_first_not_of(' ', q)) != std::string::npos) {
      size_t end = value.find(' ', q);
      if (end == std::string::npos) end = value.size();
      entries.push_back(value.substr(q, end - q));
      q = end;
    }
  }
  return entries;
}

bool readJarClassPath(const std::string& path,
                      std::vector<std::string>& entries) {
  entries.clear();
  std::string manifest;
  if (!readManifest(path, manifest)) return false;
  entries = classPathOfManifest(manifest);
  return true;
}
