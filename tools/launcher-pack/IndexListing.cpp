#include "IndexListing.h"

#include "PayloadFormat.h"
#include "archive/FileIndexEntry.h"
#include "archive/LauncherInputFiles.h"
#include "core/LauncherException.h"

bool listLauncherFile(const std::string& path, FILE* out, std::string& error) {
  bool hasTrailer = false;
  if (!hasPayloadTrailer(path, hasTrailer, error)) return false;
  if (!hasTrailer) {
    error = path + " carries no payload";
    return false;
  }
  LauncherInputFiles files;
  files.setLauncherFileName(path.c_str());
  try {
    files.load(false);
  } catch (const LauncherException& e) {
    error = path + ": " + e.getMessage().c_str();
    return false;
  }
  for (long i = 0; i < files.getFileCount(); ++i) {
    const FileIndexEntry* entry = files.getFileAt(i);
    const char* tag = fileTypeTag(static_cast<int>(entry->getType()));
    std::fprintf(out, "%ld %-15s %10ld %10ld %10ld ", entry->getType(),
                 tag ? tag : "?", entry->getId(), entry->getLength(),
                 entry->getOffset());
    std::fwrite(entry->getName().c_str(), 1, entry->getName().length(), out);
    std::fputc('\n', out);
  }
  return true;
}
