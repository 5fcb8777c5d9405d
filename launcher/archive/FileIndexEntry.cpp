#include "archive/FileIndexEntry.h"

#include <cerrno>
#include <cstdio>

#include "archive/ArchiveValues.h"
#include "core/ScopedFile.h"
#include "core/LauncherException.h"
#include "core/TextHelpers.h"
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

  ScopedFile source(std::fopen(m_sourceFile.c_str(), "rb"));
  if (!source.get() || std::fseek(source.get(), m_offset, SEEK_SET) != 0)
    throw LauncherException(kCannotOpenLauncher);
  ScopedFile output(std::fopen(target.c_str(), "wb"));
  bool opened = output.get() != nullptr;
  bool failed = !opened;
  int error = opened ? 0 : errno;
  bool truncated = false;
  bool canceled = false;
  if (opened) {
    char buffer[kExtractChunkSize];
    long remaining = m_length;
    while (remaining > 0 && !failed) {
      if (PlatformImpl::isCanceled()) {
        canceled = true;
        break;
      }
      size_t wanted = static_cast<size_t>(
          remaining < kExtractChunkSize ? remaining : kExtractChunkSize);
      size_t got = std::fread(buffer, 1, wanted, source.get());
      if (got == 0) {
        // The launcher file changed since its index was read.
        truncated = true;
        break;
      }
      remaining -= static_cast<long>(got);
      if (std::fwrite(buffer, 1, got, output.get()) < got) {
        failed = true;
        error = errno;
      }
      // Buffered writes may report a full disk only when flushed.
      if (std::fflush(output.get()) != 0 && !failed) {
        failed = true;
        error = errno;
      }
      PlatformImpl::advanceUIProgress(1);
    }
    if (output.close() != 0 && !failed) {
      failed = true;
      error = errno;
    }
  }
  source.close();

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
