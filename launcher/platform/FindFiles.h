// The disk scan for JVMs: finds files whose paths end with one of a list of
// relative paths, compared by whole trailing components, and passes them
// to a listener. The temporary directories, where the launcher unpacks its
// own files, are not searched. The user's cancel request stops it.
#ifndef LAUNCHER_PLATFORM_FINDFILES_H_
#define LAUNCHER_PLATFORM_FINDFILES_H_

#include "core/SString.h"
#include "core/StringDeque.h"
#include "platform/FileFindListener.h"
#include "platform/FileNavigator.h"

class FindFiles : public FileNavigator {
 public:
  // relativePaths must outlive the walker.
  FindFiles(const StringDeque& relativePaths, FileFindListener& listener);

  // Tells the listener about path once for every relative path it ends
  // with, until the listener asks to stop (then true).
  bool processFile(const SString& path) override;
  // The system temporary directory and "/var/tmp", with or without a
  // trailing "/", and kernel file systems such as proc, sysfs, devtmpfs
  // or cgroup, which cannot hold a JVM.
  bool skipDirectory(const SString& directory) override;

 private:
  const StringDeque* m_relativePaths;
  FileFindListener& m_listener;
  SString m_tempDir;
  StringDeque m_pseudoMountPoints;
};

#endif  // LAUNCHER_PLATFORM_FINDFILES_H_
