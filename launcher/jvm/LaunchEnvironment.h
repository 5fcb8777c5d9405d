// What launch scripts need from the launcher that runs them: its own file
// and directory, the application archive and the files embedded in its
// payload. The driver installs the launcher's own environment at start-up;
// until then (and in tests that install none) there is no launcher file
// and nothing is embedded.
#ifndef LAUNCHER_JVM_LAUNCHENVIRONMENT_H_
#define LAUNCHER_JVM_LAUNCHENVIRONMENT_H_

#include "archive/PayloadFormat.h"
#include "core/SString.h"
#include "core/StringDeque.h"

class LaunchEnvironment {
 public:
  virtual ~LaunchEnvironment();

  virtual SString getLauncherFileName() const;
  // The launcher file name up to its last "/" or backslash; empty when it
  // has neither.
  virtual SString getLauncherDir() const;
  // The embedded application archive, and an archive beside the launcher,
  // each unpacked on first use; empty when there is none.
  virtual SString getApplicationArchive();
  virtual SString getApplicationArchive(const SString& name);
  // Whether the payload holds a file of that type (a PayloadFileType).
  virtual bool hasEmbeddedFiles(int fileType) const;
  // Extracts every embedded file of that type into directory, in index
  // order, appending the paths written.
  virtual void extractEmbeddedFiles(int fileType, const SString& directory,
                                    StringDeque& paths);
  // A digest of the names and bytes of every embedded file of that type,
  // in index order (that of no file when there is none); empty when the
  // launcher file cannot be read.
  virtual SString digestEmbeddedFiles(int fileType) const;

  // The directory the launcher was started in, read once, before anything
  // could change it; the current directory when none was remembered.
  static void rememberCallerDirectory();
  static SString getCallerDirectory();

  // The environment in force; never null.
  static LaunchEnvironment& current();
  // Installs environment (not owned); null goes back to the empty one.
  static void install(LaunchEnvironment* environment);
};

#endif  // LAUNCHER_JVM_LAUNCHENVIRONMENT_H_
