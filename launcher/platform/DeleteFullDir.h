// Removal of whole directory trees, as the clean-up of temporary
// directories needs it: depth-first without recursion, symbolic links
// removed as links and never followed, failures logged without stopping.
#ifndef LAUNCHER_PLATFORM_DELETEFULLDIR_H_
#define LAUNCHER_PLATFORM_DELETEFULLDIR_H_

#include "core/SString.h"
#include "core/StringDeque.h"

class DeleteFullDir {
 public:
  DeleteFullDir() {}

  // Deletes root and everything below it. Entries that cannot be removed
  // stay, with the directories on their path; each failure is logged as a
  // warning. Returns false (the walk is never stopped early).
  bool process(const SString& root);

  // The paths that could not be deleted in the last process().
  const StringDeque& failedPaths() const { return m_failed; }

  // True when path exists and is a directory itself, not a link to one.
  static bool isDirectory(const char* path);

 private:
  DeleteFullDir(const DeleteFullDir&) = delete;
  DeleteFullDir& operator=(const DeleteFullDir&) = delete;

  void removeFile(const SString& path);
  bool holdsFailure(const SString& directory) const;

  StringDeque m_visited;
  StringDeque m_pending;
  StringDeque m_failed;
};

// Removes one file or empty directory; on failure logs it and returns false.
bool deleteOneFile(const SString& path);

// Logs the warning "Could not delete <path> :  <system error text>".
void logDeleteFileFailure(const SString& path, int errorNumber);

#endif  // LAUNCHER_PLATFORM_DELETEFULLDIR_H_
