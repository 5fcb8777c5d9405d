// The payload's class-path archives and application archive, extracted
// once per user into the launcher's cache and used from there by later
// starts, so that their paths stay the same from start to start (which a
// class-data archive needs) and nothing is extracted again. The directory
// is named by a digest of the payload's archives: a changed payload gets a
// directory of its own, never the old jars. A directory is made under a
// temporary name and renamed into place when it is complete; its
// manifest, written last, lists every file with its size, checked before
// use.
#ifndef LAUNCHER_JVM_CACHEDCLASSPATHJARS_H_
#define LAUNCHER_JVM_CACHEDCLASSPATHJARS_H_

#include "core/SString.h"
#include "core/StringDeque.h"
#include "platform/UserCacheDir.h"

class LaunchEnvironment;

class CachedClassPathJars {
 public:
  CachedClassPathJars();

  // Finds, or else extracts, the archives of the payload of environment.
  // False, logged, when they cannot be used from the cache (the caller
  // then extracts them as always).
  bool prepare(LaunchEnvironment& environment);

  // The class-path archives in payload order, and the application archive
  // (the last one; empty when there is none): absolute paths.
  const StringDeque& getClasspathJars() const { return m_classpathJars; }
  const SString& getApplicationJar() const { return m_applicationJar; }
  // The payload's directory, where class-data archives are kept too.
  const UserCacheDir& getDirectory() const { return m_payload; }

 private:
  CachedClassPathJars(const CachedClassPathJars&) = delete;
  CachedClassPathJars& operator=(const CachedClassPathJars&) = delete;

  // The name of the payload's directory: a digest of its archives; empty
  // when they cannot be read.
  SString payloadDigest(LaunchEnvironment& environment);
  // Uses the directory name when it is complete and unchanged.
  bool useExisting(const SString& name, SString& reason);
  // Extracts into a new directory and renames it to name.
  bool extract(LaunchEnvironment& environment, const SString& name,
               SString& reason);

  UserCacheDir m_root;
  UserCacheDir m_payload;
  StringDeque m_classpathJars;
  SString m_applicationJar;
};

#endif  // LAUNCHER_JVM_CACHEDCLASSPATHJARS_H_
