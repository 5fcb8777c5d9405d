#include "archive/LauncherInputFiles.h"

#include "archive/ArchiveValues.h"
#include "archive/FileIndexEntry.h"
#include "archive/PayloadFormat.h"
#include "core/ScopedFile.h"
#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/TextHelpers.h"
#include "instructions/Instructions.h"
#include "jvm/JVMFile.h"
#include "jvm/LaunchScript.h"
#include "platform/PlatformImpl.h"
#include "tagfile/TagFile.h"

namespace {

const char kIndexOffsetError[] = "Invalid file index offset.";
const char kFileCountError[] = "Unable to read the file count.";

}  // namespace

LauncherInputFiles::LauncherInputFiles()
    : m_instructions(nullptr),
      m_launchScript(nullptr),
      m_instructionsFile(nullptr),
      m_launchScriptFile(nullptr),
      m_jvmFilesSupplied(false),
      m_loaded(false),
      m_hasPayload(false) {}

LauncherInputFiles::~LauncherInputFiles() {
  delete m_instructions;
  delete m_launchScript;
}

void LauncherInputFiles::load(bool loadTagFiles) {
  if (m_loaded) return;
  ScopedFile file(std::fopen(m_launcherFileName.c_str(), "rb"));
  if (!file.get()) throw LauncherException("Cannot open launcher file.");
  if (std::fseek(file.get(), -kPayloadTrailerSize, SEEK_END) != 0)
    throw LauncherException("Invalid launcher format.");
  long indexOffset =
      loadLongValue(file.get(), "Unable to read file index offset.");
  long identification = loadLongValue(
      file.get(), "Unable to read launcher identification value.");
  if (static_cast<uint32_t>(identification) == kLauncherIdentification) {
    m_hasPayload = true;
    loadFileIndex(file.get(), indexOffset);
    logEntries();
    if (loadTagFiles) this->loadTagFiles(file.get());
  }
  m_loaded = true;
}

void LauncherInputFiles::loadFileIndex(FILE* stream, long indexOffset) {
  long size = getStreamSize(stream);
  if (indexOffset < 0 || (size >= 0 && indexOffset > size) ||
      std::fseek(stream, indexOffset, SEEK_SET) != 0)
    throw LauncherException(kIndexOffsetError);
  long count = loadLongValue(stream, kFileCountError);
  if (count < 0) throw LauncherException(kFileCountError);
  // Each record is read before it is kept, so a count larger than the
  // file can hold ends at the first record that is cut short.
  for (long i = 0; i < count; ++i) {
    FileIndexEntry* entry = new FileIndexEntry(m_launcherFileName);
    try {
      entry->load(stream);
    } catch (...) {
      delete entry;
      throw;
    }
    m_files.push_back(entry);
  }
}

void LauncherInputFiles::logEntries() const {
  for (int i = 0; i < m_files.count(); ++i) {
    const FileIndexEntry* entry = m_files.at(i);
    logThroughHandler(SString("file type: ") +
                          convertToString(entry->getType()) +
                          "\n  file id: " + convertToString(entry->getId()) +
                          "\n  length: " + convertToString(entry->getLength()) +
                          "\n  offset: " + convertToString(entry->getOffset()) +
                          "\n  file name: " + entry->getName(),
                      LOG_INFORMATION);
  }
}

void LauncherInputFiles::loadTagFiles(FILE* stream) {
  for (int i = 0; i < m_files.count(); ++i) {
    FileIndexEntry* entry = m_files.at(i);
    entry->loadTagFile(stream);
    switch (entry->getType()) {
      case kInstructionsFile:
        if (!m_instructions) setInstructions(entry->getTagFile());
        break;
      case kJvmFile:
        if (!m_jvmFilesSupplied) addJVMFile(entry->getTagFile());
        break;
      case kLaunchScriptFile:
        if (!m_launchScript) setLaunchScript(entry->getTagFile());
        break;
      default:
        break;
    }
  }
  m_jvmFilesSupplied = true;
}

void LauncherInputFiles::setInstructions(TagFile* script) {
  delete m_instructions;
  m_instructions = nullptr;
  m_instructionsFile = script;
  m_instructions = new Instructions(*script);
}

void LauncherInputFiles::setLaunchScript(TagFile* script) {
  delete m_launchScript;
  m_launchScript = nullptr;
  m_launchScriptFile = script;
  m_launchScript = new LaunchScript(*script, true);
  PlatformImpl::setUITitle(script->getTagValue("DESC", 0));
}

void LauncherInputFiles::addJVMFile(TagFile* jvmFile) {
  m_jvmFiles.addJVMFile(new JVMFile(*jvmFile));
}

TagFile& LauncherInputFiles::loadTagFile(const SString& fileName) {
  TagFile* file = new TagFile(fileName);
  m_tagFiles.push_back(file);
  return *file;
}

void LauncherInputFiles::load(const TagFile& inputFile) {
  SString instructions = inputFile.getTagValue("INSTRUCTIONS", 0);
  if (!instructions.empty()) setInstructions(&loadTagFile(instructions));

  SString launchScript = inputFile.getTagValue("LAUNCHSCRIPT", 0);
  if (!launchScript.empty()) setLaunchScript(&loadTagFile(launchScript));

  SString classpath = inputFile.getTagValue("VERIFY_CLASSPATH", 0);
  SString className = inputFile.getTagValue("VERIFY_CLASS_NAME", 0);
  if (!classpath.empty() && !className.empty())
    m_jvmFiles.setVerifyClass(classpath, className);

  SString title = inputFile.getTagValue("UI_TITLE", 0);
  if (!title.empty()) PlatformImpl::setUITitle(title);

  // Even an empty value counts: it keeps the embedded JVM files out.
  unsigned jvmCount = inputFile.getTagValueCount("JVM");
  for (unsigned i = 0; i < jvmCount; ++i) {
    m_jvmFilesSupplied = true;
    SString name = inputFile.getTagValue("JVM", i);
    if (!name.empty()) addJVMFile(&loadTagFile(name));
  }
}

const FileIndexEntry* LauncherInputFiles::getFileAt(long index) const {
  if (index < 0 || index >= m_files.count()) return nullptr;
  return m_files.at(static_cast<int>(index));
}

const FileIndexEntry* LauncherInputFiles::getFile(long id) const {
  for (int i = 0; i < m_files.count(); ++i)
    if (m_files.at(i)->getId() == id) return m_files.at(i);
  return nullptr;
}

void LauncherInputFiles::extractAll() {
  load(false);
  TagFile inputTag;
  inputTag.setTagValue("ACTION", "RUN_INSTRUCTIONS");
  for (int i = 0; i < m_files.count(); ++i) {
    const FileIndexEntry* entry = m_files.at(i);
    switch (entry->getType()) {
      case kJvmFile:
        inputTag.appendTagValue("JVM", entry->getName());
        break;
      case kLaunchScriptFile:
        inputTag.setTagValue("LAUNCHSCRIPT", entry->getName());
        break;
      case kInstructionsFile:
        inputTag.setTagValue("INSTRUCTIONS", entry->getName());
        break;
      default:
        break;
    }
    entry->extract(SString());
  }
  inputTag.write("input.tag");
}
