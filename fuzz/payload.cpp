// A launcher file of any content: its payload index is read with the
// embedded tag files, or rejected with a LauncherException, and every file
// of an index that reads is extracted into a scratch directory (or refused).
#include <string>

#include "FuzzSupport.h"
#include "archive/FileIndexEntry.h"
#include "archive/LauncherInputFiles.h"
#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "platform/PlatformImpl.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_enableOutput = false;
  PlatformImpl::setSilent(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string launcher = fuzz::ScratchPath("launcher");
  const std::string out = fuzz::ScratchPath("out");
  fuzz::WriteFile(launcher,
                  std::string(reinterpret_cast<const char*>(data), size));
  fuzz::RemoveTree(out);
  if (mkdir(out.c_str(), 0700) != 0) fuzz::Fail("cannot make the directory");

  LauncherInputFiles files;
  files.setLauncherFileName(launcher.c_str());
  try {
    files.load(true);
  } catch (const LauncherException&) {
    return 0;
  }
  for (long i = 0; i < files.getFileCount(); ++i) {
    const FileIndexEntry* entry = files.getFileAt(i);
    if (!entry) fuzz::Fail("an entry of the index is missing");
    try {
      SString written = entry->extract(out.c_str());
      // The entry's bytes, as they lie in the launcher file.
      const std::string expected(
          reinterpret_cast<const char*>(data) + entry->getOffset(),
          static_cast<size_t>(entry->getLength()));
      if (fuzz::ReadFile(written.c_str()) != expected)
        fuzz::Fail("an extracted file does not hold the entry's bytes");
      // What was written lies inside the directory.
      std::string path = written.c_str();
      if (path.compare(0, out.size() + 1, out + "/") != 0 ||
          path.find('/', out.size() + 1) != std::string::npos)
        fuzz::Fail("an entry was extracted outside its directory");
    } catch (const LauncherException&) {
    }
  }
  PlatformImpl::setCanceled(false);
  return 0;
}
