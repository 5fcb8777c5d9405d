#include "platform/PlatformImpl.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/PathHelpers.h"
#include "core/TextHelpers.h"
#include "platform/DeleteFullDir.h"
#include "platform/RunSignals.h"

SString g_title;

bool PlatformImpl::m_silent = false;
UISubStatus PlatformImpl::m_subStatus = UI_SUBSTATUS_NONE;
SString PlatformImpl::m_subStatusData;
int PlatformImpl::ui_progress = 0;
int PlatformImpl::ui_progressBlock = 0;
StringDeque PlatformImpl::m_sdqCreatedDrs;
StringDeque PlatformImpl::m_sdqCreatedFiles;
SString PlatformImpl::m_tempDir;
bool PlatformImpl::m_canceled = false;
bool PlatformImpl::m_dotsPending = false;

namespace {

const int kUnitsPerLine = 70;
const char kDefaultTempDir[] = "/var/tmp/";
// Where tempnam falls back to when neither TMPDIR nor the launcher's own
// temporary directory is usable.
const char kLastResortTempDir[] = "/tmp";
const char kTempPrefix[] = "tvj";

// One catalogue text, formatted with arg.
SString message(int index, const char* arg = nullptr) {
  char* text = get_msg(index, const_cast<char*>(arg));
  SString result(text);
  free(text);
  return result;
}

bool isExistingDirectory(const char* path) {
  struct stat info;
  return path && *path && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// path made absolute against the current directory.
SString absoluteFromHere(const SString& path) {
  if (path.empty() || path.c_str()[0] == '/') return path;
  SString here = PlatformImpl::getCurrentDirectory();
  if (here.empty()) return path;
  appendPathSeparator(here);
  SString relative = path;
  while (relative.compare(0, 2, "./") == 0) relative.erase(0, 2);
  if (relative == ".") relative = "";
  return here + relative;
}

// A writable copy of s for the C calls that fill in a name template.
char* writableCopy(const SString& s) {
  char* buffer = new char[s.length() + 1];
  s.copy(buffer, s.length());
  buffer[s.length()] = '\0';
  return buffer;
}

}  // namespace

// ---- Console user interface ----

void PlatformImpl::showUI() {
  if (m_silent)
    hideUI(0);
  else
    g_enableOutput = true;
}

void PlatformImpl::hideUI(short) { g_enableOutput = false; }

bool PlatformImpl::isUIVisible() { return g_enableOutput; }

void PlatformImpl::setSilent(bool silent) { m_silent = silent; }

void PlatformImpl::setUITitle(const SString& title) {
  wchar_t* wide = convertToUnicode(title);
  SString converted;
  // A title the locale cannot represent is better shown as it was given
  // than not at all.
  g_title = wideToMultiByte(wide, converted) ? converted : title;
  delete[] wide;
  if (!m_silent && !g_title.empty()) writeLine(g_title);
}

void PlatformImpl::setUIStatus(UIStatus status) {
  if (m_silent) return;
  // Each status begins with a line break, which also ends the dots.
  m_dotsPending = false;
  switch (status) {
    case UI_STATUS_INITIALIZING:
      writeLine("");
      writeLine(message(MSG_INITIALIZING, g_title.c_str()));
      break;
    case UI_STATUS_SEARCHING:
      writeLine("");
      writeLine(message(MSG_SEARCHING_JVM));
      break;
    case UI_STATUS_LAUNCH_FAILED:
      writeLine("");
      write(message(MSG_NO_JVM_FOUND).c_str());
      writeLine(message(MSG_LAUNCH_FAILED, g_title.c_str()));
      break;
    case UI_STATUS_RUNNING:
      writeLine("");
      writeLine(message(MSG_RUNNING, g_title.c_str()));
      break;
    case UI_STATUS_PREPARING:
      writeLine("");
      writeLine(message(MSG_PREPARING_JVM));
      break;
  }
}

void PlatformImpl::setUISubStatus(UISubStatus, const SString&) {
  if (m_silent) return;
  // The console has no place for a sub-status line; what it shows is
  // always "none".
  m_subStatus = UI_SUBSTATUS_NONE;
  m_subStatusData = "";
}

void PlatformImpl::setUIProgress(long units) {
  if (m_silent) return;
  ui_progress = static_cast<int>(units);
  if (g_enableOutput && ui_progress / kUnitsPerLine > ui_progressBlock) {
    writeLine("");
    m_dotsPending = false;
    ui_progressBlock = ui_progress / kUnitsPerLine;
  }
}

void PlatformImpl::advanceUIProgress(long units) {
  if (m_silent) return;
  if (g_enableOutput && units > 0) {
    // All dots of one step in one write: a long copy advances by many.
    SString dot = message(MSG_PROGRESS_DOT);
    SString dots;
    dots.reserve(static_cast<SString::size_type>(units) * dot.length());
    for (long i = 0; i < units; ++i) dots += dot;
    write(dots.c_str());
    m_dotsPending = true;
  }
  setUIProgress(ui_progress + units);
}

void PlatformImpl::showUIMessage(const SString& text) {
  if (m_silent) return;
  // A message goes on a line of its own, not behind the progress dots.
  if (m_dotsPending) {
    fputc('\n', stderr);
    m_dotsPending = false;
  }
  fwrite(text.data(), 1, text.length(), stderr);
  fputc('\n', stderr);
  fflush(stderr);
}

SString PlatformImpl::promptJVMDestinationDirectory() {
  if (m_silent) return SString();
  writeLine(message(MSG_JVM_DESTINATION_PROMPT));
  return getLine();
}

bool PlatformImpl::isCanceled() {
  return m_canceled || RunSignals::received() != 0;
}

SString PlatformImpl::getMessageText(MessageIdentifier identifier) {
  return message(messageIndexOf(identifier));
}

// ---- Temporary files and clean-up ----

// Children run in other directories, so a relative directory is taken
// from where the launcher was started, once, when it is adopted.
void PlatformImpl::setSystemTempDir(const SString& dir) {
  if (isExistingDirectory(dir.c_str())) m_tempDir = absoluteFromHere(dir);
}

SString PlatformImpl::getSystemTempDirectory() {
  if (m_tempDir.empty()) m_tempDir = kDefaultTempDir;
  return m_tempDir;
}

// The directory choice of tempnam: TMPDIR first, then the launcher's
// temporary directory, then /tmp; the name is the prefix and six random
// characters that mkstemp or mkdtemp fill in.
SString PlatformImpl::tempNameTemplate() {
  const char* tmpdir = getenv("TMPDIR");
  SString dir = getSystemTempDirectory();
  if (isExistingDirectory(tmpdir))
    dir = absoluteFromHere(tmpdir);
  else if (!isExistingDirectory(dir.c_str()))
    dir = kLastResortTempDir;
  while (dir.length() > 1 && dir.c_str()[dir.length() - 1] == '/')
    dir.erase(dir.length() - 1);
  if (dir != "/") dir += '/';
  return dir + kTempPrefix + "XXXXXX";
}

SString PlatformImpl::createTempSubDirectory() {
  char* name = writableCopy(tempNameTemplate());
  if (!mkdtemp(name)) {
    int error = errno;
    delete[] name;
    throw LauncherException(strerror(error));
  }
  SString path(name);
  delete[] name;
  m_sdqCreatedDrs.push_back(path);
  return path;
}

SString PlatformImpl::createTempFile() {
  SString pattern = tempNameTemplate();
  char* name = writableCopy(pattern);
  int fd = mkstemp(name);
  SString path(name);
  delete[] name;
  if (fd < 0) throw LauncherException("Error creating tmp file " + pattern);
  close(fd);
  m_sdqCreatedFiles.push_back(path);
  return path;
}

bool PlatformImpl::isInCreatedTempDirectory(const SString& text) {
  for (int i = 0; i < m_sdqCreatedDrs.count(); ++i)
    if (text.find(m_sdqCreatedDrs.at(i) + "/") != SString::npos) return true;
  return false;
}

void PlatformImpl::addFileToCleanupList(const SString& path) {
  m_sdqCreatedFiles.push_back(path);
}

void PlatformImpl::removeFileFromCleanupList(const SString& path) {
  for (int i = 0; i < m_sdqCreatedFiles.count(); ++i) {
    if (m_sdqCreatedFiles.at(i) == path) {
      m_sdqCreatedFiles.erase(i);
      return;
    }
  }
}

void PlatformImpl::cleanup() {
  for (int i = 0; i < m_sdqCreatedFiles.count(); ++i)
    deleteFile(m_sdqCreatedFiles.at(i));
  for (int i = 0; i < m_sdqCreatedDrs.count(); ++i)
    deleteFile(m_sdqCreatedDrs.at(i));
  // What was removed once must not be tried again by a later clean-up.
  m_sdqCreatedFiles.clear();
  m_sdqCreatedDrs.clear();
}

void PlatformImpl::deleteFile(const SString& path) {
  if (DeleteFullDir::isDirectory(path.c_str())) {
    DeleteFullDir tree;
    tree.process(path);
  } else {
    deleteOneFile(path);
  }
}

// ---- Files, environment and search places ----

bool PlatformImpl::fileExists(const SString& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// LAUNCHER_SEARCH_PARTITIONS, a colon-separated list of directories,
// replaces the root so that administrators (and tests) can keep the disk
// walk and the path hints to the places that matter.
void PlatformImpl::getJVMSearchPartitions(StringDeque& partitions) {
  SString list = getEnvironmentVariable("LAUNCHER_SEARCH_PARTITIONS");
  SString::size_type start = 0;
  while (start < list.length()) {
    SString::size_type colon = list.find(':', start);
    SString::size_type end = colon == SString::npos ? list.length() : colon;
    if (end > start) partitions.push_back(SString(list, start, end - start));
    start = end + 1;
  }
  if (partitions.count() == 0) partitions.push_back("/");
}

SString PlatformImpl::getPathSeparator() { return "/"; }

SString PlatformImpl::getPlatformHint(const SString&) { return SString(); }

SString PlatformImpl::getEnvironmentVariable(const SString& name) {
  return SString(getenv(name.c_str()));
}

// setenv copies name and value, so the caller's strings may go and a
// repeated setting neither invalidates the environment nor piles up.
void PlatformImpl::setEnvironmentVariable(const SString& name,
                                          const SString& value) {
  if (setenv(name.c_str(), value.c_str(), 1) != 0) {
    logThroughHandler("Could not set the environment variable " + name +
                          " :  " + strerror(errno),
                      LOG_WARNING);
  }
}

void PlatformImpl::setFileExecutable(const SString& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return;
  chmod(path.c_str(), info.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
}

bool PlatformImpl::checkFreeSpace(const SString& path, long bytes) {
  SString directory = path.c_str()[0] == '/' ? path : getCurrentDirectory();
  struct statvfs info;
  if (statvfs(directory.c_str(), &info) != 0)
    throw LauncherException(strerror(errno));
  if (bytes <= 0) return true;
  // Compared in whole fragments, which keeps the product of block count and
  // fragment size out of the arithmetic.
  unsigned long long fragment = info.f_frsize ? info.f_frsize : info.f_bsize;
  if (fragment == 0) fragment = 1;
  unsigned long long needed = static_cast<unsigned long long>(bytes);
  unsigned long long fragments =
      needed / fragment + (needed % fragment ? 1 : 0);
  return static_cast<unsigned long long>(info.f_bfree) >= fragments;
}

SString PlatformImpl::getCurrentDirectory() {
  size_t size = 1024;
  for (;;) {
    char* buffer = new char[size];
    if (getcwd(buffer, size)) {
      SString result(buffer);
      delete[] buffer;
      return result;
    }
    int error = errno;
    delete[] buffer;
    if (error != ERANGE) return SString();
    size *= 2;
  }
}

// ---- Conversions ----

SString PlatformImpl::wideToMultiByte(const wchar_t* wide) {
  SString result;
  wideToMultiByte(wide, result);
  return result;
}

bool PlatformImpl::wideToMultiByte(const wchar_t* wide, SString& result) {
  result = "";
  if (!wide) return true;
  size_t length = wcstombs(nullptr, wide, 0);
  if (length == static_cast<size_t>(-1)) return false;
  char* buffer = new char[length + 1];
  wcstombs(buffer, wide, length + 1);
  result.assign(buffer, static_cast<SString::size_type>(length));
  delete[] buffer;
  return true;
}

long PlatformImpl::convertToLong(const char* bytes) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  unsigned long value = (static_cast<unsigned long>(b[0]) << 24) |
                        (static_cast<unsigned long>(b[1]) << 16) |
                        (static_cast<unsigned long>(b[2]) << 8) | b[3];
  return static_cast<int>(static_cast<unsigned int>(value));
}

short PlatformImpl::convertToShort(const char* bytes) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  return static_cast<short>(static_cast<unsigned short>((b[0] << 8) | b[1]));
}
