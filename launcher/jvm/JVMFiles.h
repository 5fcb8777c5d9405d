// The jvm files of a run, in the order added, and the search for an
// installed JVM that satisfies one of them: the user's Java home first,
// then each file's hints, then (when a file asks for it) a walk of the
// disk. The verification program is unpacked once, on first use.
#ifndef LAUNCHER_JVM_JVMFILES_H_
#define LAUNCHER_JVM_JVMFILES_H_

#include "core/SString.h"
#include "core/TypedDeques.h"
#include "jvm/VerificationRuns.h"
#include "jvm/VerifiedJVMCache.h"
#include "platform/FileFindListener.h"

class JVMFile;

class JVMFiles : public FileFindListener {
 public:
  JVMFiles();
  ~JVMFiles();

  // Appends jvmFile and takes ownership of it.
  void addJVMFile(JVMFile* jvmFile);
  long getJVMFileCount() const { return m_jvmFiles.count(); }
  // Raises LauncherException ("Invalid JVM file id.") outside the range.
  const JVMFile* getJVMFile(long index) const;

  // A verification program given by the caller; nothing is unpacked then.
  void setVerifyClass(const SString& classpath, const SString& verifyClass);
  const SString& getVerifyClasspath() const { return m_verifyClasspath; }
  const SString& getVerifyClass() const { return m_verifyClass; }
  // The home the user named on the command line, tried before anything.
  void setUserJavaHome(const SString& home) { m_userJavaHome = home; }

  // Unpacks the embedded verification archive unless a verification
  // program is known already; the second form copies it out.
  void writeVerifyJar();
  void writeVerifyJar(SString& classpath, SString& verifyClass);

  // Appends at most one match. Raises LauncherException when the
  // verification program cannot be unpacked or a JVM cannot be run.
  void search(JVMMatchPtrDeque& matches);
  // Walks the disk and appends every verified match, or with stopAtFirst
  // only the first.
  void searchAll(JVMMatchPtrDeque& matches, bool stopAtFirst);
  void exhaustiveSearch(JVMMatchPtrDeque& matches);

  // Called by the disk walk for every file whose path ends with one of
  // the executables; true stops the walk.
  bool foundFile(const SString& path) override;
  void addUnverifiedMatch(JVMFile* jvmFile, const SString& home);
  const UnverifiedJVMMatchPtrDeque& getUnverifiedMatches() const {
    return m_unverifiedMatches;
  }
  // The verification runs of the last search: each home and question is
  // run once per search.
  const VerificationRuns& getVerificationRuns() const {
    return m_verificationRuns;
  }
  // What the verification program reported in earlier runs of the
  // launcher; off unless the driver turns it on.
  VerifiedJVMCache& getVerifiedJVMCache() { return m_verifiedCache; }

 private:
  JVMFiles(const JVMFiles&) = delete;
  JVMFiles& operator=(const JVMFiles&) = delete;

  void writeVerifyJarOnce();
  void clearCurrentMatch();
  void searchUserJavaHome();
  void searchJavaHomeVariable();
  void searchHints(bool& lastAskedForAll);
  void verifyUnverifiedMatches(JVMMatchPtrDeque& matches);

  JVMFilePtrDeque m_jvmFiles;
  UnverifiedJVMMatchPtrDeque m_unverifiedMatches;
  JVMMatch* m_currentMatch;
  bool m_stopAtFirst;
  SString m_verifyClasspath;
  SString m_verifyClass;
  SString m_userJavaHome;
  VerificationRuns m_verificationRuns;
  VerifiedJVMCache m_verifiedCache;
};

#endif  // LAUNCHER_JVM_JVMFILES_H_
