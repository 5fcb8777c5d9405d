// The launch-script expander: its "%" functions, the jvm file's "@" tags
// and the "#" environment variables, with the side files beside the
// launcher. The input holds, separated by lines "%%": the launch script,
// the jvm file, the side files ".cp1", ".cp", ".cp2", ".sp" and ".ja", and
// environment settings NAME=VALUE, one a line. The command is resolved,
// never run: a resolution gives a command or a LauncherException.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "jvm/JVMFile.h"
#include "jvm/LaunchEnvironment.h"
#include "jvm/LaunchScript.h"
#include "platform/PlatformImpl.h"
#include "tagfile/TagFile.h"

namespace {

const char* const kSideSuffixes[] = {".cp1", ".cp", ".cp2", ".sp", ".ja"};

class ScratchLauncher : public LaunchEnvironment {
 public:
  SString getLauncherFileName() const override {
    return fuzz::ScratchPath("launcher.bin").c_str();
  }
  SString getApplicationArchive() override {
    return fuzz::ScratchPath("app.jar").c_str();
  }
  SString getApplicationArchive(const SString& name) override {
    return (fuzz::ScratchPath("") + name.c_str()).c_str();
  }
};

bool InEnvironment(const std::string& name) {
  return std::getenv(name.c_str()) != nullptr;
}

// The variables this input sets, none of which the process had before.
std::vector<std::string> SetVariables(const std::string& lines) {
  std::vector<std::string> names;
  size_t from = 0;
  while (from < lines.size()) {
    size_t end = lines.find('\n', from);
    if (end == std::string::npos) end = lines.size();
    std::string line = lines.substr(from, end - from);
    from = end + 1;
    size_t equals = line.find('=');
    if (equals == 0 || equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    if (name.find('\0') != std::string::npos || InEnvironment(name)) continue;
    std::string value = line.substr(equals + 1);
    if (value.find('\0') != std::string::npos) continue;
    if (setenv(name.c_str(), value.c_str(), 1) == 0) names.push_back(name);
  }
  return names;
}

TagFile* LoadTagFile(const std::string& name, const std::string& text) {
  const std::string path = fuzz::ScratchPath(name);
  fuzz::WriteFile(path, text);
  try {
    return new TagFile(path.c_str());
  } catch (const LauncherException&) {
    return nullptr;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_enableOutput = false;
  PlatformImpl::setSilent(true);
  static ScratchLauncher launcher;
  LaunchEnvironment::install(&launcher);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::Sections(data, size, 8);
  TagFile* scriptFile = LoadTagFile("script.tag", parts[0]);
  TagFile* jvmTags = LoadTagFile("jvm.tag", parts[1]);
  for (size_t i = 0; i < 5; ++i) {
    const std::string path =
        fuzz::ScratchPath(std::string("launcher") + kSideSuffixes[i]);
    if (parts[2 + i].empty())
      unlink(path.c_str());
    else
      fuzz::WriteFile(path, parts[2 + i]);
  }
  std::vector<std::string> names = SetVariables(parts[7]);
  // The class path may go to a variable the jvm file names: whatever it
  // was before comes back afterwards.
  std::pair<std::string, std::string> saved;
  bool hadSaved = false;
  if (jvmTags) {
    saved.first = jvmTags->getTagValue("CP_ENV_VAR", 0).c_str();
    const char* before = std::getenv(saved.first.c_str());
    hadSaved = before != nullptr;
    if (before) saved.second = before;
  }

  if (scriptFile && jvmTags) {
    JVMFile jvm(*jvmTags);
    try {
      LaunchScript script(*scriptFile, true);
      (void)script.resolve(jvm);
      (void)script.workingDirectory(jvm);
    } catch (const LauncherException&) {
    }
    try {
      LaunchScript command(scriptFile->getTagValue("COMMAND", 0), true, false);
      (void)command.resolve(jvm);
    } catch (const LauncherException&) {
    }
    try {
      (void)jvm.resolve(scriptFile->getTagValue("DESC", 0));
    } catch (const LauncherException&) {
    }
  }

  if (!saved.first.empty() && saved.first.find('=') == std::string::npos) {
    if (hadSaved)
      setenv(saved.first.c_str(), saved.second.c_str(), 1);
    else
      unsetenv(saved.first.c_str());
  }
  for (const std::string& name : names) unsetenv(name.c_str());
  delete scriptFile;
  delete jvmTags;
  return 0;
}
