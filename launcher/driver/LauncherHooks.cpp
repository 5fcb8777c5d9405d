#include "driver/LauncherHooks.h"

#include <cstdio>

#include "archive/FileIndexEntry.h"
#include "core/ContentHash.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"
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

SString LauncherEnvironment::digestEmbeddedFiles(int fileType) const {
  const LauncherInputFiles& files = Launcher::getInputFiles();
  ScopedFile launcher(
      std::fopen(Launcher::getLauncherFileName().c_str(), "rb"));
  if (!launcher.get()) return SString();
  ContentHash hash;
  for (long i = 0; i < files.getFileCount(); ++i) {
    const FileIndexEntry* entry = files.getFileAt(i);
    if (entry->getType() != fileType) continue;
    hash.addLine(entry->getName());
    hash.addLine(convertToString(entry->getLength()));
    if (std::fseek(launcher.get(), entry->getOffset(), SEEK_SET) != 0 ||
        !hash.addStream(launcher.get(), entry->getLength()))
      return SString();
  }
  return hash.hex();
}

// A signal that ends the run stops the script after the action it
// interrupted (which has ended what it ran); the JVM actions also tell the
// run whether they came up with a JVM.
void LauncherActions::findJVM(bool showUI, bool showFailMsg) {
  Launcher::findJVM(showUI, showFailMsg);
  Launcher::checkInterrupted();
  Launcher::noteActionResult();
}

void LauncherActions::initializeUI() {
  Launcher::initializeUI();
  Launcher::checkInterrupted();
}

void LauncherActions::installJVM(long option) {
  Launcher::installJVM(option);
  Launcher::checkInterrupted();
  Launcher::noteActionResult();
}

void LauncherActions::launch(const SString& jvmFileName, short seconds) {
  Launcher::launch(jvmFileName, seconds);
  Launcher::checkInterrupted();
}

void LauncherActions::ilaunch(long fileId, short seconds) {
  Launcher::ilaunch(fileId, seconds);
  Launcher::checkInterrupted();
}

void LauncherActions::verifyJVM(bool showUI, bool showFailMsg, long fileId) {
  Launcher::verifyJVM(showUI, showFailMsg, fileId);
  Launcher::checkInterrupted();
  Launcher::noteActionResult();
}
