// One file of the payload appended to the launcher: its kind, its id, where
// its bytes lie in the launcher file and the name it is extracted under.
// Tag files (instruction script, JVM description, launch script) are parsed
// straight from their byte range; the other kinds are written to disk on
// demand.
#ifndef LAUNCHER_ARCHIVE_FILEINDEXENTRY_H
#define LAUNCHER_ARCHIVE_FILEINDEXENTRY_H

#include <cstdio>

#include "archive/PayloadFormat.h"
#include "core/SString.h"

class TagFile;

class FileIndexEntry {
 public:
  // sourceFile: the launcher file whose index holds the record; extract
  // reads the bytes from there.
  explicit FileIndexEntry(const SString& sourceFile = SString());
  ~FileIndexEntry();

  // Reads one index record at the stream position. Raises
  // LauncherException when the record is cut short or describes bytes
  // that the file cannot hold.
  void load(FILE* stream);
  // Types 0 to 2: parses the entry's byte range as a tag file named after
  // the entry. Other types: nothing.
  void loadTagFile(FILE* stream);
  // Writes the bytes to directory/name (the current directory when
  // directory is empty), replacing any file there, advancing the progress
  // bar once per block copied; a JVM installer is made executable. Returns
  // the path written. Raises LauncherException when the name is not a
  // plain file name, the disk has no room, the copy fails or is canceled;
  // a failed copy leaves no partial file behind.
  SString extract(const SString& directory) const;

  long getType() const { return m_type; }
  bool isTagFileType() const { return ::isTagFileType(m_type); }
  // Null until loadTagFile has run on a tag-file entry.
  TagFile* getTagFile() const { return m_tagFile; }
  long getId() const { return m_id; }
  long getLength() const { return m_length; }
  long getOffset() const { return m_offset; }
  const SString& getName() const { return m_name; }

  // Whether name can be written inside a directory without leaving it: not
  // empty, not "." or "..", without "/", NUL or line feed.
  static bool isPlainFileName(const SString& name);

  // The progress moves one step per block of this many bytes copied.
  static const long kExtractChunkSize = 61439;

 private:
  FileIndexEntry(const FileIndexEntry&) = delete;
  FileIndexEntry& operator=(const FileIndexEntry&) = delete;

  long m_type;
  TagFile* m_tagFile;
  long m_id;
  long m_length;
  long m_offset;
  SString m_name;
  SString m_sourceFile;
};

#endif
