// A JVM home that passed verification against one jvm file.
#ifndef LAUNCHER_JVM_JVMMATCH_H_
#define LAUNCHER_JVM_JVMMATCH_H_

#include "core/SString.h"

class TagFile;

class JVMMatch {
 public:
  // tagFile is the matched jvm file; it is not owned.
  JVMMatch(const SString& home, TagFile& tagFile);
  virtual ~JVMMatch();

  const SString& getJVMHome() const { return m_home; }
  TagFile& getTagFile() const { return *m_tagFile; }

  // Writes the jvm file, completed with this home, to a new temporary file
  // (removed at exit unless a caller takes it off the clean-up list) and
  // returns its path. The tag file keeps the completed tags.
  SString writeNewJVMFile();

 private:
  JVMMatch(const JVMMatch&) = delete;
  JVMMatch& operator=(const JVMMatch&) = delete;

  SString m_home;
  TagFile* m_tagFile;
};

#endif  // LAUNCHER_JVM_JVMMATCH_H_
