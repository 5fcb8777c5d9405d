#include "jvm/VerifiedJVMCache.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "core/ContentHash.h"
#include "core/LogHandler.h"
#include "core/PathHelpers.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"
#include "jvm/LaunchEnvironment.h"
#include "jvm/LaunchScript.h"

namespace {

const char kSubdirectory[] = "verified-jvms";
const char kFormatLine[] = "launcher verified JVM 1";
const char kMagicLine[] = "1739021872";
const char kOutputMark[] = "--\n";
const char kEndMark[] = "end ";
// An entry is a few lines; anything much larger is not one of ours.
const long kMaxEntryBytes = 1 << 20;

// What changes what a JVM reports besides its files: the options every
// JVM reads from the environment, and the locale.
const char* const kShapingVariables[] = {
    "JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS", "JDK_JAVA_OPTIONS",
    "CLASSPATH",         "LANG",          "LC_ALL",
    "LC_CTYPE",          "LC_MESSAGES"};
// The class-path side files, which reach the verification run too.
const char* const kClasspathSideFiles[] = {".cp1", ".cp", ".cp2"};

void log(const SString& text) { logThroughHandler(text, LOG_INFORMATION); }

SString number(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", value);
  return SString(text);
}

// The content of a file, hashed; "absent" when it cannot be read.
SString fileContentHash(const SString& path) {
  ScopedFile file(std::fopen(path.c_str(), "rb"));
  if (!file.get()) return SString("absent");
  ContentHash hash;
  if (!hash.addStream(file.get(), -1)) return SString("unreadable");
  return hash.hex();
}

}  // namespace

VerifiedJVMCache::VerifiedJVMCache()
    : m_enabled(false), m_directoryTried(false) {}

SString VerifiedJVMCache::realHomeOf(const SString& executable) {
  char real[PATH_MAX];
  if (!realpath(executable.c_str(), real)) return SString();
  return directoryPart(directoryPart(SString(real)));
}

SString VerifiedJVMCache::fileIdentity(const SString& path) {
  char real[PATH_MAX];
  struct stat info;
  if (!realpath(path.c_str(), real) || stat(real, &info) != 0)
    return path + " absent";
  return SString(real) + " dev " + number(static_cast<long long>(info.st_dev)) +
         " inode " + number(static_cast<long long>(info.st_ino)) + " size " +
         number(static_cast<long long>(info.st_size)) + " mtime " +
         number(static_cast<long long>(info.st_mtim.tv_sec)) + "." +
         number(info.st_mtim.tv_nsec) + " ctime " +
         number(static_cast<long long>(info.st_ctim.tv_sec)) + "." +
         number(info.st_ctim.tv_nsec);
}

SString VerifiedJVMCache::verifierIdentity(const SString& classpath,
                                           const SString& verifyClass) {
  SString path = classpath;
  stripQuotes(path);
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return SString();
  SString content = fileContentHash(path);
  if (content == "absent" || content == "unreadable") return SString();
  return content + " " + verifyClass;
}

bool VerifiedJVMCache::openDirectory() {
  if (!m_directoryTried) {
    m_directoryTried = true;
    SString reason;
    if (!m_directory.open(kSubdirectory, reason))
      log("The verified-JVM cache is not used: " + reason);
  }
  return m_directory.isOpen();
}

SString VerifiedJVMCache::keyOf(const SString& home, const SString& executable,
                                const SString& question) const {
  SString key = SString(kFormatLine) + "\n";
  key += "executable " + fileIdentity(executable) + "\n";
  key += "release " + fileIdentity(home + "/release") + "\n";
  key += "modules " + fileIdentity(home + "/lib/modules") + "\n";
  SString realHome = realHomeOf(executable);
  key += "real release " + fileIdentity(realHome + "/release") + "\n";
  key += "real modules " + fileIdentity(realHome + "/lib/modules") + "\n";
  key += "verifier " + m_verifier + "\n";
  key += "question " + hashText(question) + "\n";
  SString launcherFile = LaunchEnvironment::current().getLauncherFileName();
  for (const char* suffix : kClasspathSideFiles) {
    key += SString("side file ") + suffix + " " +
           fileContentHash(LaunchScript::sideFileName(launcherFile, suffix)) +
           "\n";
  }
  for (const char* name : kShapingVariables) {
    const char* value = getenv(name);
    key += SString("environment ") + name +
           (value ? SString("=") + hashText(value) : SString(" unset")) + "\n";
  }
  return key;
}

SString VerifiedJVMCache::entryName(const SString& executable,
                                    const SString& question) {
  return hashText(executable + "\n" + question) + ".entry";
}

bool VerifiedJVMCache::find(const SString& home, const SString& executable,
                            const SString& question, SString& output) {
  if (!isUsable() || !openDirectory()) return false;
  SString name = entryName(executable, question);
  SString content;
  if (!m_directory.readFile(name, kMaxEntryBytes, content)) {
    log("No verified-JVM cache entry for " + executable);
    return false;
  }
  // The last line holds the digest of everything before it: an entry cut
  // short or changed is no entry.
  SString::size_type end = content.rfind(kEndMark);
  SString body(content, 0, end == SString::npos ? 0 : end);
  if (end == SString::npos || (end > 0 && content[end - 1] != '\n') ||
      content != body + kEndMark + hashText(body) + "\n") {
    log("The verified-JVM cache entry for " + executable +
        " is damaged; verifying again");
    return false;
  }
  SString expected = keyOf(home, executable, question) + kOutputMark;
  if (body.compare(0, expected.length(), expected) != 0) {
    log("The verified-JVM cache entry for " + executable +
        " is out of date; verifying again");
    return false;
  }
  output = SString(body, expected.length());
  log("Using the verified-JVM cache entry for " + executable);
  return true;
}

void VerifiedJVMCache::store(const SString& home, const SString& executable,
                             const SString& question, const SString& output,
                             int lines) {
  if (!isUsable() || !openDirectory()) return;
  unsigned pos = 0;
  SString line;
  readLineFromString(output, pos, line);
  // Only an answer is kept; a JVM that did not answer is asked again.
  if (line != kMagicLine) return;
  SString kept = line + "\n";
  for (int i = 0; i < lines && pos < output.length(); ++i) {
    line = "";
    readLineFromString(output, pos, line);
    kept += line + "\n";
  }
  SString body = keyOf(home, executable, question) + kOutputMark + kept;
  if (!m_directory.writeFile(entryName(executable, question),
                             body + kEndMark + hashText(body) + "\n"))
    log("The verified-JVM cache entry for " + executable +
        " could not be written");
}
