#include "PackManifest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "JarClassPath.h"
#include "PayloadFormat.h"
#include "core/LauncherException.h"
#include "core/ScopedFile.h"
#include "tagfile/TagFile.h"

namespace {

// Tags of an "input.tag" that name no file; a manifest may carry them.
const char* const kIgnoredTags[] = {"ACTION"};

std::string toStd(const SString& s) {
  return std::string(s.c_str(), s.length());
}

std::string currentDirectory() {
  std::vector<char> buffer(256);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return ".";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return currentDirectory() + "/" + path;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool isIgnoredTag(const std::string& tag) {
  for (const char* ignored : kIgnoredTags)
    if (tag == ignored) return true;
  return false;
}

std::string knownTags() {
  std::string list;
  for (int type = 0; type < kFileTypeCount; ++type) {
    if (type > 0) list += type + 1 == kFileTypeCount ? " or " : ", ";
    list += fileTypeTag(type);
  }
  return list;
}

// Parses the file the way the launcher parses an embedded tag file, under
// its stored name, so that messages match what the launcher would say.
bool parsesAsTagFile(const PackItem& item, std::string& error) {
  ScopedFile file(std::fopen(item.path.c_str(), "r"));
  if (!file.get()) {
    error = "cannot open " + item.path + ": " + std::strerror(errno);
    return false;
  }
  bool parsed = true;
  try {
    TagFile tags;
    tags.load(file.get(), item.name.c_str(), 0, -1);
  } catch (const LauncherException& e) {
    error = toStd(e.getMessage());
    parsed = false;
  }
  return parsed;
}

}  // namespace

bool checkStoredName(const std::string& name, std::string& error) {
  if (name.empty() || name == "." || name == "..") {
    error = "the stored name " + quoted(name) + " is not a file name";
    return false;
  }
  if (name.find_first_of(std::string("/\n\0", 3)) != std::string::npos) {
    error = "the stored name " + quoted(name) +
            " contains a slash, a line feed or a NUL";
    return false;
  }
  if (name.size() > kLongestStoredName) {
    error = "the stored name is longer than 32767 bytes";
    return false;
  }
  if (name == "input.tag") {
    error =
        "the stored name \"input.tag\" is taken by the file that "
        "-tv:extract writes beside the embedded files";
    return false;
  }
  return true;
}

bool parseManifestValue(const std::string& value, bool& hasId, long& id,
                        std::string& path, std::string& error) {
  hasId = false;
  path = value;
  if (value.compare(0, 3, "id=") != 0) return true;
  size_t end = value.find_first_of(" \t", 3);
  std::string number =
      value.substr(3, end == std::string::npos ? end : end - 3);
  bool digits = !number.empty() && number.size() <= 10 &&
                number.find_first_not_of("0123456789") == std::string::npos;
  long long parsed = digits ? std::strtoll(number.c_str(), nullptr, 10) : -1;
  if (!digits || parsed > kLargestPayloadNumber) {
    error = "the file id " + quoted(number) +
            " is not a number from 0 to 2147483647";
    return false;
  }
  size_t start =
      end == std::string::npos ? end : value.find_first_not_of(" \t", end);
  if (start == std::string::npos) {
    error = "no file follows the file id";
    return false;
  }
  hasId = true;
  id = static_cast<long>(parsed);
  path = value.substr(start);
  return true;
}

bool PackManifest::load(const std::string& path, std::string& error) {
  m_label = path;
  m_path = absolutePath(path);
  m_directory = directoryOf(m_path);
  m_items.clear();
  m_extractedInputFile = false;
  ScopedFile file(std::fopen(m_path.c_str(), "r"));
  if (!file.get()) {
    error = "cannot open the manifest " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!checkRepeatedTags(error)) return false;
  TagFile manifest;
  try {
    manifest.load(file.get(), path.c_str(), 0, -1);
  } catch (const LauncherException& e) {
    error = toStd(e.getMessage());
    return false;
  }
  file.close();

  const TagFileEntryPtrDeque& entries = manifest.getEntries();
  for (int i = 0; i < entries.count(); ++i) {
    std::string tag = toStd(entries.at(i)->getName());
    int type = fileTypeOfTag(tag);
    if (type < 0) {
      if (isIgnoredTag(tag)) {
        m_extractedInputFile = true;
        continue;
      }
      error = path + ": unknown tag " + quoted(tag) +
              "; files are named with " + knownTags();
      return false;
    }
    const StringDeque* values = entries.at(i)->getValues();
    for (int v = 0; v < values->count(); ++v) {
      std::string value = toStd(values->at(v));
      // An empty value names nothing (in an input file it only keeps the
      // embedded JVM files out).
      if (value.empty()) continue;
      if (!addValue(type, tag, value, error)) {
        error = path + ": " + tag + " " + quoted(value) + ": " + error;
        return false;
      }
    }
  }
  if (!checkUnique(error) || !checkVerifiable(error)) return false;
  checkClassPaths();
  return true;
}

// A tag file keeps the last of two definitions of a tag, so the files of
// the first would silently not be packed.
bool PackManifest::checkRepeatedTags(std::string& error) const {
  ScopedFile file(std::fopen(m_path.c_str(), "r"));
  if (!file.get()) return true;  // reported when it is read
  std::vector<std::pair<std::string, int>> seen;
  bool inBlock = false;
  int number = 0;
  bool repeated = false;
  char buffer[4096];
  std::string line;
  while (!repeated && std::fgets(buffer, sizeof buffer, file.get())) {
    line += buffer;
    if (line.back() != '\n' && !std::feof(file.get())) continue;
    ++number;
    size_t first = line.find_first_not_of(" \t\r\n");
    size_t last = line.find_last_not_of(" \t\r\n");
    std::string text =
        first == std::string::npos ? "" : line.substr(first, last - first + 1);
    line.clear();
    if (text.empty()) continue;
    if (inBlock) {
      if (text == "/:" || text == "\"/:\"") inBlock = false;
      continue;
    }
    size_t colon = text.find(':');
    if (colon == std::string::npos) continue;  // a syntax error, told later
    std::string tag = text.substr(0, colon);
    size_t end = tag.find_last_not_of(" \t");
    tag = end == std::string::npos ? "" : tag.substr(0, end + 1);
    inBlock = colon + 1 == text.size();
    for (const auto& earlier : seen) {
      if (earlier.first != tag) continue;
      error = m_label + ": line " + std::to_string(number) + ": " + tag +
              " is given again (first at line " +
              std::to_string(earlier.second) +
              "), and only the last would be packed; list every file of a "
              "tag in one value block";
      repeated = true;
    }
    seen.emplace_back(tag, number);
  }
  return !repeated;
}

namespace {

// A Class-Path entry is a URL: an absolute path or one with a scheme
// ("file:", "http:") names a place outside the payload.
bool isAbsoluteURL(const std::string& entry) {
  if (!entry.empty() && entry[0] == '/') return true;
  size_t colon = entry.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = entry[i];
    bool scheme =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!scheme) return false;
  }
  return true;
}

// The relative URL as a file name: "%20" and the like decoded, "./" gone.
std::string relativeFileName(const std::string& entry) {
  std::string name;
  for (size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '%' && i + 2 < entry.size() &&
        std::isxdigit(static_cast<unsigned char>(entry[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(entry[i + 2]))) {
      name += static_cast<char>(std::stoi(entry.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      name += entry[i];
    }
  }
  while (name.compare(0, 2, "./") == 0) name.erase(0, 2);
  return name;
}

}  // namespace

// The class-path archives are unpacked together into a fresh temporary
// directory, the application archive alone into another: a jar finds
// there only the class-path archives packed with it.
void PackManifest::checkClassPaths() {
  const int kClasspathJar = fileTypeOfTag("CLASSPATH_JAR");
  const int kApplicationJar = fileTypeOfTag("APPLICATION_JAR");
  for (const PackItem& item : m_items) {
    if (item.type != kClasspathJar && item.type != kApplicationJar) continue;
    std::vector<std::string> entries;
    if (!readJarClassPath(item.path, entries)) continue;
    for (const std::string& entry : entries) {
      std::string said = m_label + ": " + item.what +
                         ": its manifest's Class-Path names " + quoted(entry);
      if (isAbsoluteURL(entry)) {
        m_warnings.push_back(
            said +
            ", an absolute path, which ties the launcher file to one "
            "machine");
        continue;
      }
      std::string name = relativeFileName(entry);
      bool packed = false;
      if (item.type == kClasspathJar) {
        for (const PackItem& other : m_items)
          packed |= other.type == kClasspathJar && other.name == name;
      }
      if (!packed)
        m_warnings.push_back(
            said +
            ", which is not packed beside it as a CLASSPATH_JAR; the jars run "
            "from a fresh temporary directory, where it is never found");
    }
  }
}

// Without the verification archive no candidate JVM can be verified, so
// the launcher would walk the whole disk and still find none.
// The input.tag that -tv:extract writes names the tag files only: packing
// it again takes the other files from elsewhere, as its packer knows.
bool PackManifest::checkVerifiable(std::string& error) const {
  if (m_extractedInputFile) return true;
  const int kJVMFile = fileTypeOfTag("JVM");
  const int kVerifyJar = fileTypeOfTag("VERIFY_JAR");
  const PackItem* jvmFile = nullptr;
  for (const PackItem& item : m_items) {
    if (item.type == kVerifyJar) return true;
    if (item.type == kJVMFile && !jvmFile) jvmFile = &item;
  }
  if (!jvmFile) return true;
  error = m_label + ": " + jvmFile->what +
          " needs a VERIFY_JAR (the JVM verification archive, the "
          "launcher's verify.jar): without it no JVM can be verified";
  return false;
}

bool PackManifest::addValue(int type, const std::string& tag,
                            const std::string& value, std::string& error) {
  PackItem item;
  item.type = type;
  item.what = tag + " " + quoted(value);
  bool hasId = false;
  std::string source;
  if (!parseManifestValue(value, hasId, item.id, source, error)) return false;
  if (!hasId) item.id = static_cast<long>(m_items.size());
  if (source.find('\0') != std::string::npos) {
    error = "the path contains a NUL";
    return false;
  }
  item.path = source[0] == '/' ? source : m_directory + "/" + source;
  size_t slash = source.rfind('/');
  item.name = slash == std::string::npos ? source : source.substr(slash + 1);
  if (!checkStoredName(item.name, error) || !checkItem(item, error))
    return false;
  m_items.push_back(item);
  return true;
}

bool PackManifest::checkItem(PackItem& item, std::string& error) const {
  struct stat info;
  if (stat(item.path.c_str(), &info) != 0) {
    error = "cannot read " + item.path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = item.path + " is not a regular file";
    return false;
  }
  if (static_cast<long long>(info.st_size) > kLargestPayloadNumber) {
    error = item.path + " is larger than a launcher file can hold (2 GiB)";
    return false;
  }
  item.length = static_cast<long>(info.st_size);
  if (isTagFileType(item.type) && !parsesAsTagFile(item, error)) return false;
  return true;
}

bool PackManifest::checkUnique(std::string& error) const {
  for (size_t i = 0; i < m_items.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      const PackItem& a = m_items[j];
      const PackItem& b = m_items[i];
      if (a.name == b.name) {
        error = m_label + ": " + a.what + " and " + b.what +
                " would both be stored as " + quoted(a.name);
        return false;
      }
      if (a.id == b.id) {
        error = m_label + ": " + a.what + " and " + b.what +
                " would both have the file id " + std::to_string(a.id);
        return false;
      }
    }
  }
  return true;
}
