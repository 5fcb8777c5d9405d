#include "jvm/LaunchEnvironment.h"

#include "core/PathHelpers.h"
#include "platform/PlatformImpl.h"

namespace {

LaunchEnvironment g_emptyEnvironment;
LaunchEnvironment* g_environment = nullptr;
bool g_callerDirectoryRemembered = false;
SString g_callerDirectory;

}  // namespace

LaunchEnvironment::~LaunchEnvironment() {}

SString LaunchEnvironment::getLauncherFileName() const { return SString(); }

SString LaunchEnvironment::getLauncherDir() const {
  return directoryPart(getLauncherFileName());
}

SString LaunchEnvironment::getApplicationArchive() { return SString(); }

SString LaunchEnvironment::getApplicationArchive(const SString&) {
  return SString();
}

bool LaunchEnvironment::hasEmbeddedFiles(int) const { return false; }

void LaunchEnvironment::extractEmbeddedFiles(int, const SString&,
                                             StringDeque&) {}

SString LaunchEnvironment::digestEmbeddedFiles(int) const { return SString(); }

void LaunchEnvironment::rememberCallerDirectory() {
  g_callerDirectory = PlatformImpl::getCurrentDirectory();
  g_callerDirectoryRemembered = true;
}

SString LaunchEnvironment::getCallerDirectory() {
  return g_callerDirectoryRemembered ? g_callerDirectory
                                     : PlatformImpl::getCurrentDirectory();
}

LaunchEnvironment& LaunchEnvironment::current() {
  return g_environment ? *g_environment : g_emptyEnvironment;
}

void LaunchEnvironment::install(LaunchEnvironment* environment) {
  g_environment = environment;
}
