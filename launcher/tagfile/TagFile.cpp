#include "tagfile/TagFile.h"

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"

namespace {

// A value needs quotes when reading it back plainly would change it.
bool needsQuotes(const SString& value) {
  if (value.empty()) return true;
  if (isWhitespace(value[0]) || isWhitespace(value[value.length() - 1]))
    return true;
  return value.find('"') != SString::npos;
}

void writeBytes(FILE* file, const SString& text) {
  std::fwrite(text.c_str(), 1, text.length(), file);
}

void writeValueLine(FILE* file, const SString& value) {
  std::fputs("  ", file);
  if (!needsQuotes(value)) {
    writeBytes(file, value);
  } else {
    std::fputc('"', file);
    const char* p = value.c_str();
    for (SString::size_type i = 0; i < value.length(); ++i) {
      if (p[i] == '"') std::fputc('"', file);
      std::fputc(p[i], file);
    }
    std::fputc('"', file);
  }
  std::fputc('\n', file);
}

// The text of a value that starts with a double quote at quote.
SString quotedValue(const SString& line, SString::size_type quote) {
  unsigned pos = quote + 1;
  return parseStringArgument(line, pos, true);
}

}  // namespace

TagFile::TagFile() : m_loaded(false), m_lineNumber(0) {}

TagFile::TagFile(const SString& fileName) : TagFile() {
  FILE* file = std::fopen(fileName.c_str(), "r");
  if (!file)
    throw LauncherException(SString("Unable to load input file: ") + fileName);
  ScopedFile closer(file);
  load(file, fileName, 0, -1);
}

TagFile::~TagFile() {}

void TagFile::load(FILE* stream, const SString& name, long start, long length) {
  m_fileName = name;
  m_lineNumber = 0;
  m_loaded = false;
  if (start < 0 || std::fseek(stream, start, SEEK_SET) != 0)
    throw LauncherException("Unable to read tag file.");
  for (;;) {
    if (length >= 0) {
      long at = std::ftell(stream);
      if (at < 0 || at >= start + length) break;
    }
    SString line;
    readLine(stream, line);
    if (!line.empty()) readTagLine(stream, line);
    if (std::feof(stream) || std::ferror(stream)) break;
  }
  m_loaded = true;
}

void TagFile::readTagLine(FILE* stream, const SString& line) {
  SString::size_type colon = line.find(':');
  if (colon == SString::npos)
    logSyntaxError("Missing colon at the end of the tag name.", m_fileName,
                   m_lineNumber);
  SString tag(line, 0, colon);
  trim(tag, whitespaceChars);
  if (colon + 1 == line.length()) {
    // The last definition wins and takes its place at the end.
    removeValue(tag.c_str());
    readValueBlock(stream, addEntry(tag), m_lineNumber);
    return;
  }
  SString::size_type start = line.find_first_not_of(whitespaceChars, colon + 1);
  SString value =
      line[start] == '"' ? quotedValue(line, start) : line.substr(start);
  removeValue(tag.c_str());
  addEntry(tag)->getValues()->push_back(value);
}

void TagFile::readValueBlock(FILE* stream, TagFileEntry* entry, int tagLine) {
  for (;;) {
    if (std::feof(stream) || std::ferror(stream))
      logSyntaxError("Missing /: tag completer.", m_fileName, tagLine);
    SString line;
    readLine(stream, line);
    if (line.empty()) continue;
    const SString& text = line;
    SString value = text[0] == '"' ? quotedValue(text, 0) : text;
    if (value.empty()) continue;
    if (value == "/:") return;
    entry->getValues()->push_back(value);
  }
}

void TagFile::readLine(FILE* stream, SString& line) {
  readLineFromStream(stream, line);
  ++m_lineNumber;
}

void TagFile::logSyntaxError(const SString& message, const SString& fileName,
                             long line) {
  SString text = SString("Syntax error in ") + fileName + " at line " +
                 convertToString(line) + " ==> " + message;
  logThroughHandler(text, LOG_ERROR);
  throw LauncherException(text);
}

int TagFile::findIndex(const char* tag) const {
  for (int i = 0; i < m_entries.count(); ++i)
    if (m_entries.at(i)->getName() == tag) return i;
  return -1;
}

TagFileEntry* TagFile::findEntry(const char* tag) const {
  int i = findIndex(tag);
  return i < 0 ? nullptr : const_cast<TagFileEntry*>(m_entries.at(i));
}

TagFileEntry* TagFile::addEntry(const SString& tag) {
  TagFileEntry* entry = new TagFileEntry(tag);
  m_entries.push_back(entry);
  return entry;
}

StringDeque* TagFile::getValue(const char* tag) const {
  TagFileEntry* entry = findEntry(tag);
  return entry ? entry->getValues() : nullptr;
}

SString TagFile::getTagValue(const char* tag, unsigned index) const {
  const StringDeque* values = getValue(tag);
  if (!values || index >= static_cast<unsigned>(values->count()))
    return SString();
  return values->at(static_cast<int>(index));
}

unsigned TagFile::getTagValueCount(const char* tag) const {
  const StringDeque* values = getValue(tag);
  return values ? static_cast<unsigned>(values->count()) : 0;
}

void TagFile::setTagValue(const char* tag, const SString& value) {
  TagFileEntry* entry = findEntry(tag);
  if (!entry) entry = addEntry(tag);
  StringDeque* values = entry->getValues();
  while (values->count() > 1) values->erase(values->count() - 1);
  if (values->empty())
    values->push_back(value);
  else
    values->at(0) = value;
}

void TagFile::appendTagValue(const char* tag, const SString& value) {
  TagFileEntry* entry = findEntry(tag);
  if (!entry) entry = addEntry(tag);
  entry->getValues()->push_back(value);
}

void TagFile::removeValue(const char* tag) {
  int i = findIndex(tag);
  if (i >= 0) m_entries.erase(i);
}

bool TagFile::getBoolTagValue(const char* tag, bool defaultValue) const {
  SString value = getTagValue(tag, 0);
  short number;
  if (!value.empty() && convertToShort(value, number)) return number != 0;
  return defaultValue;
}

void TagFile::setBoolTagValue(const char* tag, bool value) {
  setTagValue(tag, value ? "1" : "0");
}

void TagFile::setDynamicJVMTags(const SString& jvmHome, const SString& jvmFile,
                                bool jvmTemp) {
  setTagValue("JVM_HOME", jvmHome);
  setTagValue("JVM_FILE", jvmFile);
  setBoolTagValue("JVM_TEMP", jvmTemp);
}

void TagFile::write(const SString& fileName) const {
  FILE* file = std::fopen(fileName.c_str(), "w");
  if (!file) return;
  ScopedFile closer(file);
  for (int i = 0; i < m_entries.count(); ++i) {
    const TagFileEntry* entry = m_entries.at(i);
    const StringDeque* values = entry->getValues();
    if (values->empty()) continue;
    writeBytes(file, entry->getName());
    std::fputc(':', file);
    if (values->count() == 1) {
      writeValueLine(file, values->at(0));
      continue;
    }
    std::fputc('\n', file);
    for (int v = 0; v < values->count(); ++v)
      writeValueLine(file, values->at(v));
    std::fputs("/:\n", file);
  }
}
