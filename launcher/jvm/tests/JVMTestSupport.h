// Shared pieces of the jvm tests: jvm files built in memory, fake JVM
// homes (a script named like the JVM executable), and a launcher
// environment whose launcher file lies in a scratch directory.
#ifndef LAUNCHER_JVM_TESTS_JVMTESTSUPPORT_H_
#define LAUNCHER_JVM_TESTS_JVMTESTSUPPORT_H_

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "jvm/LaunchEnvironment.h"
#include "platform/tests/PlatformImplTestSupport.h"
#include "tagfile/TagFile.h"

inline std::string str(const SString& s) {
  return std::string(s.data(), s.length());
}

// A tag file with the given (tag, value) pairs; a tag given more than once
// gets several values.
inline void fillTags(
    TagFile& file,
    const std::vector<std::pair<std::string, std::string>>& tags) {
  for (const auto& tag : tags)
    file.appendTagValue(tag.first.c_str(), tag.second.c_str());
}

// The command-line conventions of the usual JVM, as jvm files give them.
inline std::vector<std::pair<std::string, std::string>> javaConventions() {
  return {{"DESC", "Test JVM"},
          {"JVM_EXE", "bin/java"},
          {"CLASSPATH", "-classpath "},
          {"CLASSPATH_SEPARATOR", ":"},
          {"SYSTEM", "-D"},
          {"SYSTEM_SEPARATOR", "="}};
}

// home/bin/java as a shell script with the given body.
inline void makeFakeJVM(const std::string& home, const std::string& body) {
  mkdir(home.c_str(), 0755);
  mkdir((home + "/bin").c_str(), 0755);
  std::string exe = home + "/bin/java";
  writeFile(exe, "#!/bin/sh\n" + body + "\n");
  chmod(exe.c_str(), 0755);
}

// The launcher "runs" from launcherFile; its side files lie beside it.
class FakeLaunchEnvironment : public LaunchEnvironment {
 public:
  SString getLauncherFileName() const override { return launcherFile.c_str(); }
  SString getApplicationArchive() override { return "embedded-app.jar"; }
  SString getApplicationArchive(const SString& name) override {
    return ("beside:" + str(name)).c_str();
  }
  bool hasEmbeddedFiles(int type) const override {
    return type == kClasspathArchive && !classpathArchives.empty();
  }
  // Class-path archives hold "jar" + payloadVersion, application archives
  // "app" + payloadVersion.
  void extractEmbeddedFiles(int type, const SString& directory,
                            StringDeque& paths) override {
    extractions.push_back(str(directory));
    const bool classpath = type == kClasspathArchive;
    if (!classpath && type != kApplicationArchive) return;
    for (const std::string& name :
         classpath ? classpathArchives : applicationArchives) {
      std::string path = str(directory) + "/" + name;
      writeFile(path, (classpath ? "jar" : "app") + payloadVersion);
      paths.push_back(path.c_str());
    }
  }
  SString digestEmbeddedFiles(int type) const override {
    ++digests;
    std::string text = std::to_string(type) + payloadVersion;
    for (const std::string& name : classpathArchives) text += " " + name;
    for (const std::string& name : applicationArchives) text += " " + name;
    return text.c_str();
  }

  std::string launcherFile;
  std::vector<std::string> classpathArchives;
  std::vector<std::string> applicationArchives;
  std::string payloadVersion;
  std::vector<std::string> extractions;
  mutable int digests = 0;
};

// Platform start-up state, a scratch directory as the temporary directory
// and a fake launcher environment installed for the test.
class JVMTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    PlatformImpl::setSystemTempDir(scratch.path().c_str());
    const char* tmpdir = getenv("TMPDIR");
    if (tmpdir) m_tmpdir = tmpdir, m_hadTmpdir = true;
    unsetenv("TMPDIR");
    environment.launcherFile = scratch.file("launcher.bin");
    LaunchEnvironment::install(&environment);
    g_enableOutput = false;
  }
  void TearDown() override {
    LaunchEnvironment::install(nullptr);
    PlatformTest::TearDown();
    if (m_hadTmpdir) setenv("TMPDIR", m_tmpdir.c_str(), 1);
  }

  ScratchDir scratch;
  FakeLaunchEnvironment environment;

 private:
  bool m_hadTmpdir = false;
  std::string m_tmpdir;
};

#endif  // LAUNCHER_JVM_TESTS_JVMTESTSUPPORT_H_
