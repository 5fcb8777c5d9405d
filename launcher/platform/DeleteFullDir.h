// Removal of whole directory trees, as the clean-up of temporary
// directories needs it: symbolic links are removed as links and never
// followed, failures are logged without stopping the work, and whatever
// could not be removed stays together with the directories on its path.
#ifndef LAUNCHER_PLATFORM_DELETEFULLDIR_H_
#define LAUNCHER_PLATFORM_DELETEFULLDIR_H_

#include "core/SString.h"
#include "core/StringDeque.h"
#include "platform/FileNavigator.h"

class DeleteFullDir : public FileNavigator {
 public:
  DeleteFullDir() : FileNavigator(false) {}

  // Deletes root and everything below it; each failed removal is logged
  // as a warning. Returns false (the walk is never stopped early).
  bool process(const SString& root) override;
  // Removes one file as the walk reaches it; never stops the walk.
  bool processFile(const SString& path) override;

  // The paths that could not be deleted in the last process().
  const StringDeque& failedPaths() const { return m_failed; }

 private:
  void removeFile(const SString& path);
  bool holdsFailure(const SString& directory) const;

  StringDeque m_failed;
};

// Removes one file or empty directory; on failure logs it and returns false.
bool deleteOneFile(const SString& path);

// Logs the warning "Could not delete <path> :  <system error text>".
void logDeleteFileFailure(const SString& path, int errorNumber);

#endif  // LAUNCHER_PLATFORM_DELETEFULLDIR_H_
