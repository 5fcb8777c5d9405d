// A jvm file for which the disk walk found candidate homes that are still
// to be verified: the homes without duplicates, in order of discovery.
#ifndef LAUNCHER_JVM_UNVERIFIEDJVMMATCH_H_
#define LAUNCHER_JVM_UNVERIFIEDJVMMATCH_H_

#include "core/SString.h"
#include "core/StringDeque.h"

class JVMFile;

class UnverifiedJVMMatch {
 public:
  // jvmFile is not owned.
  explicit UnverifiedJVMMatch(JVMFile& jvmFile) : m_jvmFile(&jvmFile) {}

  // Appends home unless an equal one is there already.
  void addJVMHome(const SString& home);
  // Whether this match is for that very jvm file.
  bool equals(const JVMFile& jvmFile) const { return m_jvmFile == &jvmFile; }

  JVMFile& getJVMFile() const { return *m_jvmFile; }
  const StringDeque& getJVMHomes() const { return m_homes; }

 private:
  UnverifiedJVMMatch(const UnverifiedJVMMatch&) = delete;
  UnverifiedJVMMatch& operator=(const UnverifiedJVMMatch&) = delete;

  JVMFile* m_jvmFile;
  StringDeque m_homes;
};

#endif  // LAUNCHER_JVM_UNVERIFIEDJVMMATCH_H_
