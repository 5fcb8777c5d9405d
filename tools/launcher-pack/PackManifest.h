// The manifest of launcher-pack: a tag file naming the files to append to
// a launcher program, by type, in the order they go into the index. It
// accepts the "input.tag" that "-tv:extract" writes, so an extracted
// directory can be packed again. See README.md for the format.
#ifndef TOOLS_LAUNCHER_PACK_PACKMANIFEST_H
#define TOOLS_LAUNCHER_PACK_PACKMANIFEST_H

#include <string>
#include <vector>

// One file to append.
struct PackItem {
  int type;          // 0 to 6
  long id;           // explicit, or its position in the manifest
  std::string path;  // where the bytes are read from
  std::string name;  // stored name: the base name of the path
  long length;       // size of the file when it was checked
  std::string what;  // the manifest tag and value, for messages
};

class PackManifest {
 public:
  // Reads the manifest and checks every file it names: a plain stored
  // name, a readable regular file, a tag file that parses, unique names
  // and ids, and a verification archive when there are jvm files. A tag
  // given twice is refused (a tag file keeps only the last). False
  // with a message in error at the first problem.
  bool load(const std::string& path, std::string& error);

  const std::vector<PackItem>& items() const { return m_items; }
  // What packs but will not work as meant: a jar whose manifest's
  // Class-Path names a jar that is not packed beside it, or an absolute
  // path. One message each, without the program's name.
  const std::vector<std::string>& warnings() const { return m_warnings; }
  // The manifest as an absolute path.
  const std::string& path() const { return m_path; }

 private:
  bool addValue(int type, const std::string& tag, const std::string& value,
                std::string& error);
  bool checkItem(PackItem& item, std::string& error) const;
  bool checkUnique(std::string& error) const;
  bool checkVerifiable(std::string& error) const;
  bool checkRepeatedTags(std::string& error) const;
  void checkClassPaths();

  std::string m_label;  // the manifest as it was named
  std::string m_path;
  std::string m_directory;
  std::vector<PackItem> m_items;
  std::vector<std::string> m_warnings;
  // The manifest is an extracted "input.tag" (it has an ACTION).
  bool m_extractedInputFile = false;
};

// Whether name is fit to be stored: a plain file name (not empty, "." or
// "..", without "/", NUL or line feed), not longer than the index allows,
// and not "input.tag", which "-tv:extract" writes beside the files. False
// with the reason in error.
bool checkStoredName(const std::string& name, std::string& error);

// Splits a manifest value into an optional leading "id=N" and the path
// behind it. False with a message in error for a malformed id.
bool parseManifestValue(const std::string& value, bool& hasId, long& id,
                        std::string& path, std::string& error);

#endif
