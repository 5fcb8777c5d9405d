#include "archive/FileIndexEntry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "archive/ArchiveValues.h"
#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "platform/FileCopy.h"
#include "platform/PlatformImpl.h"
#include "tagfile/TagFile.h"

namespace {

const long kLastFileType = kApplicationArchive;
const char kCannotOpenLauncher[] = "Cannot open launcher file.";

SString writeError(const SString& detail) {
  return PlatformImpl::getMessageText(MSGID_WRITE_ERROR) + detail +
         PlatformImpl::getMessageText(MSGID_TEMP_SPACE_HINT);
}

SString extractError(const SString& detail) {
  return PlatformImpl::getMessageText(MSGID_EXTRACT_ERROR) + detail;
}

// Bytes copied at once: 16 MiB, so that a large file takes few calls of
// the kernel's copy. Each piece ends on a page boundary of the launcher
// file: the kernel copies whole pages at the speed of cp, and a file
// packed at a page boundary is copied in whole pages only.
const long kExtractPieceSize = 16 * FileCopy::kBufferSize;
const long kPageSize = 4096;

int closeDescriptor(int fd) {
  int result = close(fd);
  // Linux releases the descriptor even when close is interrupted.
  return result != 0 && errno == EINTR ? 0 : result;
}

}  // namespace

FileIndexEntry::FileIndexEntry(const SString& sourceFile)
    : m_type(0),
      m_tagFile(nullptr),
      m_id(-1),
      m_length(0),
      m_offset(0),
      m_sourceFile(sourceFile) {}

FileIndexEntry::~FileIndexEntry() { delete m_tagFile; }

void FileIndexEntry::load(FILE* stream) {
  int type = std::fgetc(stream);
  if (type == EOF || type > kLastFileType)
    throw LauncherException("Invalid file type in file index.");
  m_type = type;
  m_id = loadLongValue(stream, "Unable to load file id.");
  m_length = loadLongValue(stream, "Unable to load file length.");
  m_offset = loadLongValue(stream, "Unable to load offset to file bytes.");
  const char* nameError = "Unable to load the string value.";
  short nameLength = loadShortValue(stream, nameError);
  // Numbers in a damaged file are checked against what the file holds
  // before anything is allocated or copied for them.
  long size = getStreamSize(stream);
  long position = std::ftell(stream);
  if (nameLength < 0 ||
      (size >= 0 && position >= 0 && nameLength > size - position))
    throw LauncherException(nameError);
  char name[32767];
  unsigned count = static_cast<unsigned>(nameLength);
  if (getBytes(stream, name, count) != count)
    throw LauncherException(nameError);
  m_name.assign(name, count);
  if (m_offset < 0 || (size >= 0 && m_offset > size))
    throw LauncherException("Unable to load offset to file bytes.");
  if (m_length < 0 || (size >= 0 && m_length > size - m_offset))
    throw LauncherException("Unable to load file length.");
}

void FileIndexEntry::loadTagFile(FILE* stream) {
  if (!isTagFileType()) return;
  delete m_tagFile;
  m_tagFile = new TagFile();
  m_tagFile->load(stream, m_name, m_offset, m_length);
}

bool FileIndexEntry::isPlainFileName(const SString& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (SString::size_type i = 0; i < name.length(); ++i) {
    char c = name[i];
    if (c == '/' || c == '\0' || c == '\n') return false;
  }
  return true;
}

SString FileIndexEntry::extract(const SString& directory) const {
  if (!isPlainFileName(m_name))
    throw LauncherException(extractError(SString("The embedded file name \"") +
                                         m_name +
                                         "\" is not a plain file name."));
  if (!PlatformImpl::checkFreeSpace(directory, m_length))
    throw LauncherException(writeError(SString()));
  SString target = directory;
  appendPathSeparator(target);
  target += m_name;

  int source = open(m_sourceFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) throw LauncherException(kCannotOpenLauncher);
  int output =
      open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool opened = output >= 0;
  bool failed = !opened;
  int error = opened ? 0 : errno;
  bool truncated = false;
  bool canceled = false;
  if (opened) {
    // Large pieces go at once; the progress still moves one step per
    // block of kExtractChunkSize bytes begun.
    posix_fadvise(source, m_offset, m_length, POSIX_FADV_SEQUENTIAL);
    FileCopy copier(source, m_offset, output);
    long remaining = m_length;
    long copied = 0;
    long steps = 0;
    while (remaining > 0) {
      if (PlatformImpl::isCanceled()) {
        canceled = true;
        break;
      }
      long wanted = kExtractPieceSize - (m_offset + copied) % kPageSize;
      if (wanted > remaining) wanted = remaining;
      long got = copier.copy(wanted);
      copied += got;
      remaining -= got;
      long done = (copied + kExtractChunkSize - 1) / kExtractChunkSize;
      if (done > steps) PlatformImpl::advanceUIProgress(done - steps);
      steps = done;
      if (copier.writeFailed()) {
        failed = true;
        error = copier.error();
        break;
      }
      if (got < wanted) {
        // The launcher file changed since its index was read.
        truncated = true;
        break;
      }
    }
    if (closeDescriptor(output) != 0 && !failed) {
      failed = true;
      error = errno;
    }
  }
  closeDescriptor(source);

  // A file cut short must not pass for the embedded one later.
  if (opened && (failed || truncated || canceled)) std::remove(target.c_str());
  if (failed) throw LauncherException(writeError(convertToString(error)));
  if (canceled)
    throw LauncherException(PlatformImpl::getMessageText(MSGID_CANCELED));
  if (truncated)
    throw LauncherException(extractError(
        SString("The launcher file ends inside \"") + m_name + "\"."));
  if (m_type == kJvmInstaller) PlatformImpl::setFileExecutable(target);
  return target;
}
