#ifndef LAUNCHER_TAGFILE_TAGFILE_H
#define LAUNCHER_TAGFILE_TAGFILE_H

#include <cstdio>

#include "core/SString.h"
#include "core/StringDeque.h"
#include "core/TypedDeques.h"
#include "tagfile/TagFileEntry.h"

// The launcher's configuration text: named tags, each with one or more
// string values, read from a file or a byte range of one and written back.
//
//   NAME:  value            a single value
//   NAME:  "  quoted ""x"" " quotes keep white space; "" is one quote
//   LIST:                   a value block, one value per line,
//     first                 ended by the line /:
//   /:
class TagFile {
 public:
  TagFile();
  // Loads the whole file; raises LauncherException "Unable to load input
  // file: <name>" when it cannot be opened.
  explicit TagFile(const SString& fileName);
  virtual ~TagFile();

  // Reads tags from byte offset start; a negative length reads to the end
  // of the file, otherwise no line starting at or past start + length is
  // read (a value block begun inside the range is read to its end). name
  // is used in messages. Raises LauncherException on a syntax error
  // (logged too) or when start cannot be reached.
  void load(FILE* stream, const SString& name, long start, long length);
  bool isLoaded() const { return m_loaded; }

  // The values of tag, or null when it is absent.
  StringDeque* getValue(const char* tag) const;
  // Value index of tag; empty when absent.
  SString getTagValue(const char* tag, unsigned index = 0) const;
  unsigned getTagValueCount(const char* tag) const;
  // Leaves tag (appended when new) with exactly this one value.
  void setTagValue(const char* tag, const SString& value);
  void appendTagValue(const char* tag, const SString& value);
  void removeValue(const char* tag);
  // Value 0 read as a decimal short: non-zero is true, 0 false; anything
  // else (absent, empty, not a number) gives defaultValue.
  bool getBoolTagValue(const char* tag, bool defaultValue) const;
  void setBoolTagValue(const char* tag, bool value);
  // Records a chosen JVM: JVM_HOME, JVM_FILE and the flag JVM_TEMP.
  void setDynamicJVMTags(const SString& jvmHome, const SString& jvmFile,
                         bool jvmTemp);

  // Writes every tag that has values; a file that cannot be opened is
  // silently not written.
  void write(const SString& fileName) const;

  // Reads one trimmed line and counts it.
  void readLine(FILE* stream, SString& line);
  // Logs "Syntax error in <file> at line <n> ==> <message>" as an error
  // and raises it as a LauncherException.
  [[noreturn]] void logSyntaxError(const SString& message,
                                   const SString& fileName, long line);

  const SString& getFileName() const { return m_fileName; }
  int getLineNumber() const { return m_lineNumber; }
  // The tags in file order.
  const TagFileEntryPtrDeque& getEntries() const { return m_entries; }

 private:
  TagFile(const TagFile&) = delete;
  TagFile& operator=(const TagFile&) = delete;

  TagFileEntry* findEntry(const char* tag) const;
  int findIndex(const char* tag) const;
  TagFileEntry* addEntry(const SString& tag);
  void readTagLine(FILE* stream, const SString& line);
  void readValueBlock(FILE* stream, TagFileEntry* entry, int tagLine);

  TagFileEntryPtrDeque m_entries;
  bool m_loaded;
  int m_lineNumber;
  SString m_fileName;
};

#endif
