// What the verification program reported on each JVM, kept across runs in
// the user's cache, so that later starts on the same machine do not run it
// again. An entry holds the lines the program printed, under a key made of
// what identifies the JVM's files (the executable's real path, device,
// inode, size and times, the same for the home's "release" file and
// runtime image), the verification program's content, the question asked
// and the environment that shapes the answer. Any doubt about an entry
// counts as no entry: the JVM is verified again and the entry rewritten.
#ifndef LAUNCHER_JVM_VERIFIEDJVMCACHE_H_
#define LAUNCHER_JVM_VERIFIEDJVMCACHE_H_

#include "core/SString.h"
#include "platform/UserCacheDir.h"

class VerifiedJVMCache {
 public:
  VerifiedJVMCache();

  // Off until enabled: the driver turns it on unless the user said no.
  void setEnabled(bool enabled) { m_enabled = enabled; }
  bool isEnabled() const { return m_enabled; }
  // What identifies the verification program (its archive's content and
  // its class); while there is none nothing is looked up or kept.
  void setVerifier(const SString& identity) { m_verifier = identity; }
  const SString& getVerifier() const { return m_verifier; }
  bool isUsable() const { return m_enabled && !m_verifier.empty(); }

  // The output the verification program gave for question on the JVM at
  // executable (below home) when it last ran there: the magic line, then
  // the lines it reported. False on any doubt; hits and misses are logged.
  bool find(const SString& home, const SString& executable,
            const SString& question, SString& output);
  // Keeps what the program printed, when it answered with the magic line:
  // that line and at most lines more.
  void store(const SString& home, const SString& executable,
             const SString& question, const SString& output, int lines);

  // The real path and status of path ("absent" when it cannot be read), as
  // the key of an entry records it.
  static SString fileIdentity(const SString& path);
  // The identity of a verification program: the content of the archive
  // (a class path of one file, in double quotes or not) and the class; empty
  // when the class path is not one readable file.
  static SString verifierIdentity(const SString& classpath,
                                  const SString& verifyClass);
  // The home a JVM's files lie in, seen from its real executable
  // (home/bin/java): where its "release" file and runtime image are, also
  // when the home the jvm file names is a directory of links. Empty when
  // the executable has no real path.
  static SString realHomeOf(const SString& executable);

 private:
  VerifiedJVMCache(const VerifiedJVMCache&) = delete;
  VerifiedJVMCache& operator=(const VerifiedJVMCache&) = delete;

  bool openDirectory();
  SString keyOf(const SString& home, const SString& executable,
                const SString& question) const;
  static SString entryName(const SString& executable, const SString& question);

  bool m_enabled;
  SString m_verifier;
  bool m_directoryTried;
  UserCacheDir m_directory;
};

#endif  // LAUNCHER_JVM_VERIFIEDJVMCACHE_H_
