#include "jvm/LaunchEnvironment.h"

#include "core/PathHelpers.h"

namespace {

LaunchEnvironment g_emptyEnvironment;
LaunchEnvironment* g_environment = nullptr;

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

LaunchEnvironment& LaunchEnvironment::current() {
  return g_environment ? *g_environment : g_emptyEnvironment;
}

void LaunchEnvironment::install(LaunchEnvironment* environment) {
  g_environment = environment;
}
