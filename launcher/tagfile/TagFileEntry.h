#ifndef LAUNCHER_TAGFILE_TAGFILEENTRY_H
#define LAUNCHER_TAGFILE_TAGFILEENTRY_H

#include "core/SString.h"
#include "core/StringDeque.h"

// One tag of a tag file: its case-sensitive name and its values.
class TagFileEntry {
 public:
  explicit TagFileEntry(const SString& name);
  ~TagFileEntry();

  const SString& getName() const { return m_name; }
  StringDeque* getValues() const { return m_values; }

 private:
  TagFileEntry(const TagFileEntry&) = delete;
  TagFileEntry& operator=(const TagFileEntry&) = delete;

  SString m_name;
  StringDeque* m_values;  // owned
};

#endif
