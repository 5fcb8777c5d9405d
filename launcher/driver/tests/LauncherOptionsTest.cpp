// Options that only change the launcher's state, seen from inside the
// process, and where the launcher finds its own file.
#include <limits.h>

#include <string>
#include <vector>

#include "DriverTestSupport.h"
#include "driver/Launcher.h"
#include "driver/LauncherFile.h"
#include "platform/PlatformImpl.h"

namespace {

std::string str(const SString& s) { return s.c_str(); }

int processArgs(const std::vector<std::string>& args, const char* launcher) {
  StringDeque deque;
  for (const std::string& arg : args) deque.push_back(arg.c_str());
  return Launcher::process(deque, launcher);
}

TEST(LauncherOptions, ValuesAreConsumedAndOtherArgumentsPassThrough) {
  ScratchDir dir;
  int before = Launcher::getPassThroughArgs().count();
  // -tv:version keeps the run from going on to the payload.
  ASSERT_EQ(processArgs({"app-arg", "-tv:tempdir", dir.path(), "-Xmx64m",
                         "-tv:javahome", "/opt/java", "-tv:javaconsole",
                         "-TV:VERSION", "-tv:silent", "-tv:version", "last"},
                        LAUNCHER_PROGRAM),
            0);
  PlatformImpl::setSilent(false);
  const StringDeque& passed = Launcher::getPassThroughArgs();
  std::vector<std::string> added;
  for (int i = before; i < passed.count(); ++i)
    added.push_back(str(passed.at(i)));
  EXPECT_EQ(added, (std::vector<std::string>{"app-arg", "-Xmx64m",
                                             "-TV:VERSION", "last"}));
  EXPECT_EQ(str(PlatformImpl::getSystemTempDirectory()), dir.path());
  EXPECT_EQ(str(Launcher::getUserJavaHome()), "/opt/java");
  EXPECT_TRUE(Launcher::getShowJavaConsole());
}

TEST(LauncherOptions, LauncherDirectory) {
  struct {
    const char* file;
    const char* dir;
  } const cases[] = {
      {"/opt/app/launcher", "/opt/app"},
      {"/launcher", ""},
      {"C:\\apps\\launcher.exe", "C:\\apps"},
      {"/opt/mixed\\dir/launcher", "/opt/mixed\\dir"},
      {"launcher", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    StringDeque args;
    args.push_back("-tv:silent");
    args.push_back("-tv:version");
    ASSERT_EQ(Launcher::process(args, c.file), 0);
    EXPECT_EQ(str(Launcher::getLauncherFileName()), c.file);
    EXPECT_EQ(str(Launcher::getLauncherDir()), c.dir);
  }
  PlatformImpl::setSilent(false);
}

TEST(LauncherOptions, LocatingTheLauncherFile) {
  ScratchDir dir;
  writeFile(dir.file("tool"), "#!/bin/sh\n");
  chmod(dir.file("tool").c_str(), 0755);
  writeFile(dir.file("plain"), "not executable");
  // Installed as a package installs commands: a link to a link to the
  // file, the links elsewhere.
  mkdir(dir.file("bin").c_str(), 0755);
  mkdir(dir.file("alternatives").c_str(), 0755);
  ASSERT_EQ(symlink("../tool", dir.file("alternatives/tool").c_str()), 0);
  ASSERT_EQ(symlink(dir.file("alternatives/tool").c_str(),
                    dir.file("bin/linked").c_str()),
            0);
  const std::string linked = dir.file("bin/linked");
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const char* path = getenv("PATH");
  std::string savedPath = path ? path : "";

  struct {
    const char* name;
    const char* programName;
    std::string path;  // PATH while locating
    std::string expected;
  } const cases[] = {
      {"absolute", "/opt/app/launcher", "/usr/bin", "/opt/app/launcher"},
      {"relative with a slash", "bin/launcher", "/usr/bin",
       dir.path() + "/bin/launcher"},
      {"bare name found through PATH", "tool", "/nonexistent:" + dir.path(),
       dir.file("tool")},
      {"relative PATH entry", "tool", ".", dir.file("tool")},
      {"empty PATH entry means the current directory", "tool",
       "/usr/bin:", dir.file("tool")},
      {"two links through PATH: the real file", "linked",
       "/nonexistent:" + dir.file("bin"), dir.file("tool")},
      {"two links by absolute name", linked.c_str(), "/usr/bin",
       dir.file("tool")},
      {"not executable: not taken from PATH", "plain", dir.path(),
       dir.file("plain")},
      {"not in PATH: the current directory", "missing", "/nonexistent",
       dir.file("missing")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setenv("PATH", c.path.c_str(), 1);
    EXPECT_EQ(str(locateLauncherFile(c.programName)), c.expected);
  }
  setenv("PATH", savedPath.c_str(), 1);
  ASSERT_EQ(chdir(saved), 0);
}

}  // namespace
