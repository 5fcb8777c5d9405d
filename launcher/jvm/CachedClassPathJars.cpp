#include "jvm/CachedClassPathJars.h"

#include "archive/PayloadFormat.h"
#include "core/ContentHash.h"
#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/PathHelpers.h"
#include "core/TextHelpers.h"
#include "jvm/LaunchEnvironment.h"
#include "jvm/VerifiedJVMCache.h"
#include "platform/PlatformImpl.h"

namespace {

const char kSubdirectory[] = "class-data";
const char kManifest[] = "manifest";
const char kClasspathDir[] = "classpath";
const char kApplicationDir[] = "application";
const char kEndMark[] = "end ";
const long kMaxManifestBytes = 1 << 20;

void log(const SString& text) { logThroughHandler(text, LOG_INFORMATION); }

// One manifest line: the subdirectory, the size and the file name.
SString manifestLine(const char* directory, long long size,
                     const SString& name) {
  char number[32];
  std::snprintf(number, sizeof number, "%lld", size);
  return SString(directory) + " " + number + " " + name + "\n";
}

// Extracts the embedded files of type into directory, each left private;
// appends the manifest lines. Raises what extraction raises.
bool extractInto(LaunchEnvironment& environment, int type,
                 const UserCacheDir& directory, const char* directoryName,
                 SString& manifest, SString& reason) {
  StringDeque paths;
  environment.extractEmbeddedFiles(type, directory.path(), paths);
  for (int i = 0; i < paths.count(); ++i) {
    SString name = fileNamePart(paths.at(i));
    struct stat info;
    if (!directory.makePrivate(name) || !directory.checkFile(name, &info)) {
      reason = paths.at(i) + " cannot be made private";
      return false;
    }
    manifest +=
        manifestLine(directoryName, static_cast<long long>(info.st_size), name);
  }
  return true;
}

}  // namespace

CachedClassPathJars::CachedClassPathJars() {}

bool CachedClassPathJars::prepare(LaunchEnvironment& environment) {
  SString reason;
  if (!m_root.open(kSubdirectory, reason)) {
    log("The class-data cache is not used: " + reason);
    return false;
  }
  SString name = payloadDigest(environment);
  if (name.empty()) {
    log("The class-data cache is not used: the payload cannot be read");
    return false;
  }
  if (useExisting(name, reason)) {
    log("Using the class-path archives extracted before in " +
        m_payload.path());
    return true;
  }
  log("Extracting the class-path archives into the cache (" + reason + ")");
  // Another start may have put the directory in place meanwhile: what
  // lies there counts, whoever made it.
  SString failure;
  bool extracted = extract(environment, name, failure);
  if (useExisting(name, reason)) return true;
  log("The class-data cache is not used: " + (extracted ? reason : failure));
  return false;
}

SString CachedClassPathJars::payloadDigest(LaunchEnvironment& environment) {
  // Reading every archive costs time on each start; the digest is kept
  // per launcher file for as long as that file is unchanged (its real
  // path, inode, size and times), which it is while its payload is.
  SString launcher = environment.getLauncherFileName();
  SString identity =
      launcher.empty() ? SString() : VerifiedJVMCache::fileIdentity(launcher);
  const bool known =
      !identity.empty() && stringEndsWith(identity, " absent") == SString::npos;
  SString memoName = "launcher-" + hashText(launcher);
  SString memo;
  if (known && m_root.readFile(memoName, kMaxManifestBytes, memo)) {
    SString body = identity + "\n";
    SString::size_type digestEnd = memo.find('\n', body.length());
    if (memo.compare(0, body.length(), body) == 0 &&
        digestEnd != SString::npos) {
      SString digest(memo, body.length(), digestEnd - body.length());
      body += digest + "\n";
      if (memo == body + kEndMark + hashText(body) + "\n") return digest;
    }
  }
  SString classpathDigest = environment.digestEmbeddedFiles(kClasspathArchive);
  SString applicationDigest =
      environment.digestEmbeddedFiles(kApplicationArchive);
  if (classpathDigest.empty() || applicationDigest.empty()) return SString();
  SString digest = hashText("classpath " + classpathDigest + "\napplication " +
                            applicationDigest);
  if (known) {
    SString body = identity + "\n" + digest + "\n";
    m_root.writeFile(memoName, body + kEndMark + hashText(body) + "\n");
  }
  return digest;
}

bool CachedClassPathJars::useExisting(const SString& name, SString& reason) {
  m_classpathJars.clear();
  m_applicationJar = "";
  UserCacheDir payload, classpath, application;
  SString manifest;
  if (!payload.openSubdirectory(m_root, name, reason) ||
      !classpath.openSubdirectory(payload, kClasspathDir, reason) ||
      !application.openSubdirectory(payload, kApplicationDir, reason)) {
    return false;
  }
  if (!payload.readFile(kManifest, kMaxManifestBytes, manifest)) {
    reason = payload.pathOf(kManifest) + " is missing or not private";
    return false;
  }
  SString::size_type end = manifest.rfind(kEndMark);
  SString body(manifest, 0, end == SString::npos ? 0 : end);
  if (end == SString::npos ||
      manifest != body + kEndMark + hashText(body) + "\n") {
    reason = payload.pathOf(kManifest) + " is damaged";
    return false;
  }
  unsigned pos = 0;
  while (pos < body.length()) {
    SString line;
    readLineFromString(body, pos, line);
    SString::size_type first = line.find(' ');
    SString::size_type second =
        first == SString::npos ? SString::npos : line.find(' ', first + 1);
    if (second == SString::npos) {
      reason = payload.pathOf(kManifest) + " is damaged";
      return false;
    }
    SString where(line, 0, first);
    SString size(line, first + 1, second - first - 1);
    SString file(line, second + 1);
    const UserCacheDir& directory =
        where == kClasspathDir ? classpath : application;
    struct stat status;
    if ((where != kClasspathDir && where != kApplicationDir) ||
        !directory.checkFile(file, &status) ||
        manifestLine(where.c_str(), static_cast<long long>(status.st_size),
                     file) != line + "\n") {
      reason = directory.pathOf(file) + " is missing, changed or not private";
      return false;
    }
    if (where == kClasspathDir)
      m_classpathJars.push_back(directory.pathOf(file));
    else
      m_applicationJar = directory.pathOf(file);
  }
  return m_payload.openSubdirectory(m_root, name, reason);
}

bool CachedClassPathJars::extract(LaunchEnvironment& environment,
                                  const SString& name, SString& reason) {
  // What lies under the final name is no usable directory. When it is
  // the user's own (damaged, say) it goes, moved aside first so that other
  // starts see it whole or not at all; another user's is left alone, and
  // the cache is not used.
  if (PlatformImpl::fileExists(m_root.pathOf(name))) {
    // Another start may have just put its directory in place.
    SString whyNot;
    if (useExisting(name, whyNot)) return true;
    if (!m_root.isOwnEntry(name)) return false;
    SString aside = m_root.uniqueName(name + ".old");
    if (!m_root.renameFile(name, aside)) return false;
    PlatformImpl::deleteFile(m_root.pathOf(aside));
  }
  SString temporaryName = m_root.uniqueName(name);
  UserCacheDir temporary, classpath, application;
  if (!temporary.openSubdirectory(m_root, temporaryName, reason)) return false;
  bool ok = classpath.openSubdirectory(temporary, kClasspathDir, reason) &&
            application.openSubdirectory(temporary, kApplicationDir, reason);
  SString manifest;
  try {
    ok = ok &&
         extractInto(environment, kClasspathArchive, classpath, kClasspathDir,
                     manifest, reason) &&
         extractInto(environment, kApplicationArchive, application,
                     kApplicationDir, manifest, reason);
  } catch (const LauncherException& e) {
    reason = e.getMessage();
    ok = false;
  }
  ok = ok && temporary.writeFile(
                 kManifest, manifest + kEndMark + hashText(manifest) + "\n");
  // Another start may have put the same directory in place meanwhile; then
  // that one is used and this one goes.
  ok = ok && m_root.renameFile(temporaryName, name);
  if (!ok) {
    if (reason.empty()) reason = "the extracted files cannot be kept";
    PlatformImpl::deleteFile(m_root.pathOf(temporaryName));
  }
  return ok;
}
