#include "jvm/ClassDataArchive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/ContentHash.h"
#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"
#include "jvm/VerifiedJVMCache.h"
#include "platform/PlatformImpl.h"

namespace {

const char kArchiveSuffix[] = ".jsa";
// Exit statuses from here on are those of a JVM that a signal ended: it
// may have been cut off while it wrote the archive.
const int kSignalStatus = 128;
// Room an archive may need; with less the JVM would fail writing it, which
// makes the application's exit status and error output differ.
const long kArchiveSpace = 256L * 1024 * 1024;
// The first bytes of an archive the JVM wrote for an application.
const unsigned char kDynamicArchiveMagic[] = {0xa8, 0xab, 0x0b, 0xf0};
// The feature versions that write an archive at exit when asked, and that
// create one themselves when it is missing.
const int kFirstArchivingVersion = 13;
const int kFirstAutoCreatingVersion = 19;
// A release file is a few lines; what is longer is not one.
const long kMaxReleaseBytes = 64 * 1024;
const char kReleaseVersionKey[] = "JAVA_VERSION=";
const char* const kReleaseVariantKeys[] = {"JVM_VARIANT=", "IMPLEMENTOR="};

bool startsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

void log(const SString& text) { logThroughHandler(text, LOG_INFORMATION); }

// The JVM's own messages about archives stay off the application's
// streams: what the application prints is what it prints without one.
void addQuietOptions(StringDeque& options) {
  options.push_back("-Xshare:auto");
  options.push_back("-Xlog:cds=off");
  options.push_back("-Xlog:cds+dynamic=off");
}

bool leadingNumber(const SString& text, SString::size_type& pos, long& value) {
  SString::size_type start = pos;
  value = 0;
  while (pos < text.length() && text[pos] >= '0' && text[pos] <= '9' &&
         value < 100000)
    value = value * 10 + (text[pos++] - '0');
  return pos > start;
}

}  // namespace

ClassDataArchive::ClassDataArchive()
    : m_prepared(false), m_optionsGiven(false), m_featureVersion(0) {}

int ClassDataArchive::featureVersion(const SString& version) {
  SString::size_type pos = 0;
  long first = 0;
  if (!leadingNumber(version, pos, first)) return 0;
  if (first != 1) return static_cast<int>(first);
  long second = 0;
  if (pos >= version.length() || version[pos] != '.') return 1;
  ++pos;
  return leadingNumber(version, pos, second) ? static_cast<int>(second) : 0;
}

int ClassDataArchive::releaseFeatureVersion(const SString& executable) {
  SString home = VerifiedJVMCache::realHomeOf(executable);
  if (home.empty()) return 0;
  ScopedFile file(std::fopen((home + "/release").c_str(), "rb"));
  if (!file.get()) return 0;
  int version = 0;
  bool openJ9 = false;
  char chunk[512];
  long total = 0;
  bool atLineStart = true;
  // Lines may be longer than a chunk (the list of modules is); only a
  // chunk that begins a line can hold a key.
  while (total < kMaxReleaseBytes &&
         std::fgets(chunk, sizeof chunk, file.get())) {
    size_t length = std::strlen(chunk);
    total += static_cast<long>(length);
    if (atLineStart && startsWith(chunk, kReleaseVersionKey)) {
      const char* value = chunk + sizeof kReleaseVersionKey - 1;
      if (*value == '"') ++value;
      version = featureVersion(SString(value));
    }
    // OpenJ9 shares its classes its own way and takes none of the
    // options that write or use an archive.
    for (const char* key : kReleaseVariantKeys) {
      if (atLineStart && startsWith(chunk, key) && strcasestr(chunk, "J9"))
        openJ9 = true;
    }
    atLineStart = length > 0 && chunk[length - 1] == '\n';
  }
  return openJ9 ? 0 : version;
}

bool ClassDataArchive::supports(int featureVersion) {
  return featureVersion >= kFirstArchivingVersion;
}

bool ClassDataArchive::prepare(LaunchEnvironment& environment,
                               const SString& executable, int featureVersion) {
  m_prepared = false;
  if (!supports(featureVersion)) {
    log("No class-data archive: the JVM's version is not known to write one");
    return false;
  }
  if (!m_jars.prepare(environment)) return false;
  m_featureVersion = featureVersion;
  m_jvmIdentity = VerifiedJVMCache::fileIdentity(executable) + "\n" +
                  convertToString(static_cast<long>(featureVersion));
  m_prepared = true;
  return true;
}

void ClassDataArchive::optionsFor(const SString& classpath,
                                  StringDeque& options) {
  if (!m_prepared || m_optionsGiven || classpath.empty()) return;
  m_optionsGiven = true;
  // A path that changes from start to start would leave an archive behind
  // on each one that no later start could use.
  if (PlatformImpl::isInCreatedTempDirectory(classpath)) {
    log("No class-data archive: the class path lies in a temporary "
        "directory");
    return;
  }
  const UserCacheDir& directory = m_jars.getDirectory();
  SString key = hashText(m_jvmIdentity + "\n" + classpath);
  SString name;
  if (findArchive(key, name)) {
    log("Using the class-data archive " + directory.pathOf(name));
    options.push_back("-XX:SharedArchiveFile=" + directory.pathOf(name));
    addQuietOptions(options);
    return;
  }
  bool room = false;
  try {
    room = PlatformImpl::checkFreeSpace(directory.path(), kArchiveSpace);
  } catch (const LauncherException&) {
    room = false;
  }
  if (!room) {
    log("No class-data archive: too little room in " + directory.path());
    return;
  }
  removeArchives(key, SString());
  m_pendingKey = key;
  m_pendingName = directory.uniqueName(key);
  SString file = directory.pathOf(m_pendingName);
  log("The JVM writes the class-data archive " + file);
  if (m_featureVersion >= kFirstAutoCreatingVersion) {
    options.push_back("-XX:+AutoCreateSharedArchive");
    options.push_back("-XX:SharedArchiveFile=" + file);
  } else {
    options.push_back("-XX:ArchiveClassesAtExit=" + file);
  }
  addQuietOptions(options);
}

bool ClassDataArchive::findArchive(const SString& key, SString& name) {
  const UserCacheDir& directory = m_jars.getDirectory();
  StringDeque names;
  directory.listFiles(names);
  SString prefix = key + "-";
  for (int i = 0; i < names.count(); ++i) {
    const SString& candidate = names.at(i);
    if (candidate.compare(0, prefix.length(), prefix) != 0 ||
        stringEndsWith(candidate, kArchiveSuffix) == SString::npos)
      continue;
    SString size(
        candidate, prefix.length(),
        candidate.length() - prefix.length() - (sizeof kArchiveSuffix - 1));
    struct stat info;
    if (directory.checkFile(candidate, &info) &&
        convertToString(static_cast<long>(info.st_size)) == size) {
      name = candidate;
      return true;
    }
    log("The class-data archive " + directory.pathOf(candidate) +
        " is not whole or not private; it is written again");
  }
  return false;
}

void ClassDataArchive::removeArchives(const SString& key, const SString& keep) {
  const UserCacheDir& directory = m_jars.getDirectory();
  StringDeque names;
  directory.listFiles(names);
  for (int i = 0; i < names.count(); ++i) {
    const SString& name = names.at(i);
    if (name != keep && name.compare(0, key.length(), key) == 0 &&
        directory.isOwnEntry(name))
      directory.removeFile(name);
  }
}

void ClassDataArchive::finish(int status) {
  if (m_pendingName.empty()) return;
  const UserCacheDir& directory = m_jars.getDirectory();
  SString name = m_pendingName;
  m_pendingName = "";
  struct stat info;
  bool whole = status >= 0 && status < kSignalStatus &&
               directory.checkFile(name, &info) &&
               info.st_size > static_cast<off_t>(sizeof kDynamicArchiveMagic);
  if (whole) {
    unsigned char magic[sizeof kDynamicArchiveMagic] = {0};
    int fd =
        open(directory.pathOf(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    whole = fd >= 0 &&
            read(fd, magic, sizeof magic) == static_cast<ssize_t>(sizeof magic);
    if (fd >= 0) close(fd);
    for (size_t i = 0; whole && i < sizeof magic; ++i)
      whole = magic[i] == kDynamicArchiveMagic[i];
  }
  SString final = m_pendingKey + "-" +
                  convertToString(static_cast<long>(whole ? info.st_size : 0)) +
                  kArchiveSuffix;
  if (whole && directory.makePrivate(name) &&
      directory.renameFile(name, final)) {
    log("Kept the class-data archive " + directory.pathOf(final));
    removeArchives(m_pendingKey, final);
    return;
  }
  log("The JVM wrote no whole class-data archive");
  directory.removeFile(name);
}
