// A class-data archive for the application's launch: the classes one JVM
// loaded for one class path, written by that JVM when the application
// first ends and mapped by later starts, which start faster. The archive
// lies beside the cached class-path archives (CachedClassPathJars), named
// by the JVM's files, its version and the class path, so that an archive
// from another JVM or class path is never given to a JVM. The JVM writes
// to a temporary name; once the application has ended normally the
// launcher renames a whole archive into place (with its size in the name,
// checked before each use: a JVM given a shortened archive can crash).
// Only JVMs known, from what their verification reported, to write such
// archives get one; any doubt starts the application as without it.
#ifndef LAUNCHER_JVM_CLASSDATAARCHIVE_H_
#define LAUNCHER_JVM_CLASSDATAARCHIVE_H_

#include "core/SString.h"
#include "core/StringDeque.h"
#include "jvm/CachedClassPathJars.h"

class LaunchEnvironment;

class ClassDataArchive {
 public:
  ClassDataArchive();

  // The feature version (17 for "17" or "17.0.2", 8 for "1.8") of a
  // reported version property; 0 when it has none.
  static int featureVersion(const SString& version);
  // The feature version that the "release" file of the JVM's real home
  // gives (JAVA_VERSION="17.0.2"), for a JVM whose verification was not
  // asked for its version; 0 when there is no such file or line.
  static int releaseFeatureVersion(const SString& executable);
  // Whether a JVM of that feature version writes archives when asked on
  // its command line (from 13 on).
  static bool supports(int featureVersion);

  // Prepares the launch of the JVM whose executable that is, of that
  // feature version: the cached class-path archives. False (logged) when
  // there is to be no archive.
  bool prepare(LaunchEnvironment& environment, const SString& executable,
               int featureVersion);
  bool isPrepared() const { return m_prepared; }
  const CachedClassPathJars& getJars() const { return m_jars; }

  // The options for the JVM, one word each, that use the archive for that
  // class path or have the JVM write it; none when the class path is
  // empty, lies in a temporary directory of this run, or options were
  // given already in this launch.
  void optionsFor(const SString& classpath, StringDeque& options);

  // After the application ended with that exit status: keeps the archive
  // the JVM wrote, when the application ended by itself and the archive
  // is whole; removes it otherwise.
  void finish(int status);

 private:
  ClassDataArchive(const ClassDataArchive&) = delete;
  ClassDataArchive& operator=(const ClassDataArchive&) = delete;

  // The archive for key, when there is a usable one.
  bool findArchive(const SString& key, SString& name);
  // Removes archives and temporary files of key.
  void removeArchives(const SString& key, const SString& keep);

  CachedClassPathJars m_jars;
  bool m_prepared;
  bool m_optionsGiven;
  int m_featureVersion;
  SString m_jvmIdentity;
  SString m_pendingKey;
  SString m_pendingName;
};

#endif  // LAUNCHER_JVM_CLASSDATAARCHIVE_H_
