#include "driver/LauncherHooks.h"

#include "archive/FileIndexEntry.h"
#include "driver/Launcher.h"

SString LauncherEnvironment::getLauncherFileName() const {
  return Launcher::getLauncherFileName();
}

SString LauncherEnvironment::getApplicationArchive() {
  return Launcher::getApplicationArchive();
}

SString LauncherEnvironment::getApplicationArchive(const SString& name) {
  return Launcher::getApplicationArchive(name);
}

bool LauncherEnvironment::hasEmbeddedFiles(int fileType) const {
  const LauncherInputFiles& files = Launcher::getInputFiles();
  for (long i = 0; i < files.getFileCount(); ++i)
    if (files.getFileAt(i)->getType() == fileType) return true;
  return false;
}

void LauncherEnvironment::extractEmbeddedFiles(int fileType,
                                               const SString& directory,
                                               StringDeque& paths) {
  const LauncherInputFiles& files = Launcher::getInputFiles();
  for (long i = 0; i < files.getFileCount(); ++i) {
    const FileIndexEntry* entry = files.getFileAt(i);
    if (entry->getType() == fileType)
      paths.push_back(entry->extract(directory));
  }
}

void LauncherActions::findJVM(bool showUI, bool showFailMsg) {
  Launcher::findJVM(showUI, showFailMsg);
}

void LauncherActions::initializeUI() { Launcher::initializeUI(); }

void LauncherActions::installJVM(long option) { Launcher::installJVM(option); }

void LauncherActions::launch(const SString& jvmFileName, short seconds) {
  Launcher::launch(jvmFileName, seconds);
}

void LauncherActions::ilaunch(long fileId, short seconds) {
  Launcher::ilaunch(fileId, seconds);
}

void LauncherActions::verifyJVM(bool showUI, bool showFailMsg, long fileId) {
  Launcher::verifyJVM(showUI, showFailMsg, fileId);
}
