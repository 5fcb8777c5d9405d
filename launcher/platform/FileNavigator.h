// The directory walk behind the disk scan for JVMs and the removal of
// trees: depth-first without recursion (deep trees cannot exhaust the
// stack), symbolic links handed over as files and never followed.
#ifndef LAUNCHER_PLATFORM_FILENAVIGATOR_H_
#define LAUNCHER_PLATFORM_FILENAVIGATOR_H_

#include "core/SString.h"
#include "core/StringDeque.h"

class FileNavigator {
 public:
  explicit FileNavigator(bool cancelable) : m_cancelable(cancelable) {}

  // Walks the tree below root, handing every entry that is not a
  // directory to processFile. Directories that cannot be read are passed
  // over. Returns true when processFile stopped the walk; a cancel request
  // (for a cancelable walker) ends it with false.
  virtual bool process(const SString& root);
  // True stops the walk.
  virtual bool processFile(const SString& path) = 0;
  // True leaves directory unread.
  virtual bool skipDirectory(const SString& directory);

  bool isCanceled() const;
  // The path exists and is a directory itself, not a link to one.
  static bool isDirectory(const char* path);

  // The directories taken from the work list, in the order visited; every
  // directory comes before its descendants.
  const StringDeque& visitedDirectories() const { return m_visited; }

 protected:
  // Walkers are local objects, never deleted through this base.
  ~FileNavigator() {}

 private:
  FileNavigator(const FileNavigator&) = delete;
  FileNavigator& operator=(const FileNavigator&) = delete;

  // Reads one directory, pushing its subdirectories.
  void readDirectory(const SString& directory, bool& stopped,
                     unsigned& filesHandled);

  StringDeque m_visited;
  StringDeque m_pending;
  bool m_cancelable;
};

#endif  // LAUNCHER_PLATFORM_FILENAVIGATOR_H_
