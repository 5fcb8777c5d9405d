// The launcher's own directory in the user's cache (XDG_CACHE_HOME, else
// ~/.cache), and subdirectories in it. What it keeps there saves work on
// later starts, so nothing in it is trusted unless it is the user's own
// and nobody else can change it: every directory and file is checked for
// its owner and its mode before use, and files are replaced atomically.
// Failures are values with a reason for the log; a caller that gets one
// does the work as if there were no cache.
#ifndef LAUNCHER_PLATFORM_USERCACHEDIR_H_
#define LAUNCHER_PLATFORM_USERCACHEDIR_H_

#include <sys/stat.h>
#include <sys/types.h>

#include "core/SString.h"
#include "core/StringDeque.h"

class UserCacheDir {
 public:
  UserCacheDir();
  ~UserCacheDir();

  // Opens the subdirectory name of the launcher's cache directory, making
  // the cache home, the launcher's directory and the subdirectory (mode
  // 0700) where they are missing. False, with the reason, when one cannot
  // be made or opened, is a symbolic link (the launcher's own ones), or
  // belongs to another user or can be written by group or others.
  bool open(const SString& name, SString& reason);
  // The subdirectory name of parent, made and checked the same way.
  bool openSubdirectory(const UserCacheDir& parent, const SString& name,
                        SString& reason);
  bool isOpen() const { return m_fd >= 0; }
  const SString& path() const { return m_path; }
  SString pathOf(const SString& name) const;

  // Whether name is a regular file (not a link) of the owner that neither
  // group nor others can write; info receives its status.
  bool checkFile(const SString& name, struct stat* info) const;
  // The whole file, at most maxBytes long, when checkFile passes.
  bool readFile(const SString& name, long maxBytes, SString& content) const;
  // Writes content under a temporary name and renames it to name, so that
  // a reader sees the old file or the new one, never part of one.
  bool writeFile(const SString& name, const SString& content) const;
  bool renameFile(const SString& from, const SString& to) const;
  void removeFile(const SString& name) const;
  // Whether name (not followed when it is a link) belongs to the owner.
  bool isOwnEntry(const SString& name) const;
  // Leaves name readable and writable by its owner only.
  bool makePrivate(const SString& name) const;
  // The names in the directory, "." and ".." left out.
  void listFiles(StringDeque& names) const;
  // A name for a file that this process writes and no other one does.
  SString uniqueName(const SString& prefix) const;

  // The user that the directories and files must belong to: the effective
  // user, unless a test stands in another one.
  static uid_t expectedOwner();
  static void setExpectedOwnerForTesting(uid_t owner);
  static void resetExpectedOwner();

 private:
  UserCacheDir(const UserCacheDir&) = delete;
  UserCacheDir& operator=(const UserCacheDir&) = delete;

  // Makes (when missing) and opens name below the directory at parentFd,
  // then checks it; the open directory replaces any this object held.
  bool openBelow(int parentFd, const SString& parentPath, const SString& name,
                 SString& reason);
  void close();

  int m_fd;
  SString m_path;
};

#endif  // LAUNCHER_PLATFORM_USERCACHEDIR_H_
