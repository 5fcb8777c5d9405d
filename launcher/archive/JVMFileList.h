// The JVM description files a run knows of, in the order they were added,
// and the verification program an input file asked for. The tag files
// belong to whoever loaded them.
#ifndef LAUNCHER_ARCHIVE_JVMFILELIST_H
#define LAUNCHER_ARCHIVE_JVMFILELIST_H

#include "core/PtrDeque.h"
#include "core/SString.h"
#include "tagfile/TagFile.h"

class JVMFileList {
 public:
  JVMFileList() {}

  void addJVMFile(TagFile* jvmFile) { m_files.push_back(jvmFile, false); }
  int count() const { return m_files.count(); }
  // Null outside 0 to count - 1.
  const TagFile* at(int i) const { return m_files.at(i); }

  void setVerifyClass(const SString& classpath, const SString& verifyClass) {
    m_verifyClasspath = classpath;
    m_verifyClass = verifyClass;
  }
  const SString& getVerifyClasspath() const { return m_verifyClasspath; }
  const SString& getVerifyClass() const { return m_verifyClass; }

 private:
  JVMFileList(const JVMFileList&) = delete;
  JVMFileList& operator=(const JVMFileList&) = delete;

  FlaggedPtrDeque<TagFile> m_files;
  SString m_verifyClasspath;
  SString m_verifyClass;
};

#endif
