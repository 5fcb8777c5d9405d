// The launcher's actions: find, verify, install and launch a JVM, for the
// instruction script and for the input-file actions, and the application
// archive for launch scripts.
#include <cerrno>
#include <cstdio>

#include "archive/FileIndexEntry.h"
#include "core/LauncherException.h"
#include "core/PathHelpers.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"
#include "driver/Launcher.h"
#include "jvm/ClassDataArchive.h"
#include "jvm/CommandText.h"
#include "jvm/JVMFile.h"
#include "jvm/JVMFiles.h"
#include "jvm/JVMMatch.h"
#include "jvm/LaunchEnvironment.h"
#include "jvm/LaunchScript.h"
#include "platform/PlatformImpl.h"
#include "platform/RunSignals.h"
#include "tagfile/TagFile.h"

namespace {

const long kCopyBlockSize = 4096;

SString messageText(MessageIdentifier identifier) {
  return PlatformImpl::getMessageText(identifier);
}

// One result line for the calling program; false when it could not be
// written (the caller closed the pipe), so that the caller never got it.
bool printLine(const SString& text) {
  std::fwrite(text.data(), 1, text.length(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool printNumber(long value) { return printLine(convertToString(value)); }

const FileIndexEntry* firstEntryOfType(const LauncherInputFiles& files,
                                       long type) {
  for (long i = 0; i < files.getFileCount(); ++i)
    if (files.getFileAt(i)->getType() == type) return files.getFileAt(i);
  return nullptr;
}

// Child processes run in another directory, so relative paths are made
// absolute against the launcher's own one first.
SString absolutePath(const SString& path) {
  return absoluteAgainst(path, PlatformImpl::getCurrentDirectory());
}

// The shell command of an installer an input file names: a program and
// its arguments, as a word list (double quotes group), each word data for
// the shell. The program is looked up the way the caller sees it; the
// arguments are taken in the destination, where the installer runs. A
// value that names an existing file as a whole is that one program, so
// that a path with blanks keeps working.
SString installerCommand(const SString& value) {
  if (PlatformImpl::fileExists(value))
    return quoteForShell(absolutePath(value));
  StringDeque words;
  splitWordList(value, words);
  SString command;
  for (int i = 0; i < words.count(); ++i) {
    SString word = words.at(i);
    if (i == 0 && word.find('/') != SString::npos) word = absolutePath(word);
    if (i > 0) command += ' ';
    command += quoteForShell(word);
  }
  return command;
}

SString jvmFileIn(const SString& directory) {
  SString path = directory;
  appendPathSeparator(path);
  return path + "jvm";
}

}  // namespace

void Launcher::openSearchUI(bool showUI) {
  if (showUI) {
    PlatformImpl::showUI();
    PlatformImpl::setUIStatus(UI_STATUS_SEARCHING);
  } else {
    PlatformImpl::hideUI(0);
  }
}

void Launcher::findJVM(bool showUI, bool showFailMsg) {
  logMessage("Finding a JVM", LOG_INFORMATION);
  openSearchUI(showUI);
  setStringVariable(1, SString());
  setStringVariable(2, SString());
  setLongVariable(1, 0);
  try {
    JVMFiles& jvmFiles = m_inputFiles.getJVMFiles();
    jvmFiles.setUserJavaHome(m_userJavaHome);
    JVMMatchPtrDeque matches;
    jvmFiles.search(matches);
    if (matches.count() > 0) {
      JVMMatch* match = matches.at(0);
      SString path = match->writeNewJVMFile();
      logMessage("Matching JVM home is " + match->getJVMHome(),
                 LOG_INFORMATION);
      logMessage("Matching JVM file is " + path, LOG_INFORMATION);
      setStringVariable(1, match->getJVMHome());
      setStringVariable(2, path);
      setLongVariable(1, 1);
      return;
    }
  } catch (const LauncherException& e) {
    SString text = messageText(MSGID_NO_MATCHING_JVM) + " " + e.getMessage();
    logMessage(text, LOG_ERROR);
    if (showFailMsg) PlatformImpl::showUIMessage(text);
    throw;
  }
  SString text = messageText(MSGID_NO_MATCHING_JVM);
  logMessage(text, LOG_INFORMATION);
  if (showFailMsg && !PlatformImpl::isCanceled()) {
    PlatformImpl::showUIMessage(text);
    // The reason is otherwise only in the log: a JVM that cannot load the
    // verification program, a class path option quoted twice.
    const VerificationRuns& runs =
        m_inputFiles.getJVMFiles().getVerificationRuns();
    if (runs.hasLast())
      PlatformImpl::showUIMessage("The last JVM tried was " +
                                  runs.describeLast());
  }
}

void Launcher::initializeUI() {
  PlatformImpl::showUI();
  PlatformImpl::setUIStatus(UI_STATUS_INITIALIZING);
  PlatformImpl::setUISubStatus(UI_SUBSTATUS_NONE, SString());
}

void Launcher::installJVM(long option) {
  setStringVariable(1, SString());
  setLongVariable(1, 0);
  if (option == 0) {
    PlatformImpl::hideUI(0);
  } else {
    PlatformImpl::showUI();
    PlatformImpl::setUIStatus(UI_STATUS_PREPARING);
  }
  const FileIndexEntry* installer =
      firstEntryOfType(m_inputFiles, kJvmInstaller);
  if (!installer) throw LauncherException(messageText(MSGID_NO_JVM_INSTALLER));

  SString destination;
  if (option == 0 || option == 1)
    destination = PlatformImpl::createTempSubDirectory();
  else if (option == 2)
    destination = PlatformImpl::promptJVMDestinationDirectory();
  if (destination.empty()) return;
  destination = absolutePath(destination);

  SString installerPath = installer->extract(destination);
  try {
    PlatformImpl::executeProcess(quoteForShell(installerPath), destination,
                                 true, nullptr, nullptr);
  } catch (...) {
    // A destination the user chose is not cleaned up at exit.
    PlatformImpl::deleteFile(installerPath);
    throw;
  }
  PlatformImpl::deleteFile(installerPath);

  SString jvmFile = jvmFileIn(destination);
  if (!PlatformImpl::fileExists(jvmFile)) {
    logMessage("Invalid bundled JVM. Missing 'jvm' file.", LOG_ERROR);
    return;
  }
  TagFile tags(jvmFile);
  tags.setDynamicJVMTags(destination, jvmFile, true);
  tags.write(jvmFile);
  setLongVariable(1, 1);
  setStringVariable(1, jvmFile);
}

void Launcher::launch(const SString& jvmFileName, short seconds) {
  if (!m_inputFiles.getLaunchScript()) return;
  TagFile jvmFile(jvmFileName);
  launch(jvmFile, seconds);
}

void Launcher::ilaunch(long fileId, short seconds) {
  const FileIndexEntry* entry = m_inputFiles.getFile(fileId);
  if (!m_inputFiles.getLaunchScript() || !entry ||
      entry->getType() != kJvmFile || !entry->getTagFile()) {
    logMessage(
        "Unable to launch the internal launch script with the internal JVM "
        "file. Either the launch script or the JVM file is missing from the "
        "launcher.",
        LOG_ERROR);
    return;
  }
  launch(*entry->getTagFile(), seconds);
}

void Launcher::launch(TagFile& jvmFile, short seconds) {
  JVMFile jvm(jvmFile);
  if (seconds > 0) {
    PlatformImpl::setUIStatus(UI_STATUS_RUNNING);
    PlatformImpl::setUISubStatus(UI_SUBSTATUS_NONE, SString());
  }
  PlatformImpl::hideUI(seconds);
  LaunchScript* script = m_inputFiles.getLaunchScript();
  ClassDataArchive archive;
  if (script->wantsClassDataArchive()) prepareClassDataArchive(archive, jvm);
  script->setClassDataArchive(archive.isPrepared() ? &archive : nullptr);
  try {
    m_applicationStatus =
        script->execute(jvm, &m_passThroughArgs, m_showJavaConsole);
  } catch (...) {
    script->setClassDataArchive(nullptr);
    throw;
  }
  script->setClassDataArchive(nullptr);
  archive.finish(m_applicationStatus);
  // The signal went on to the application, which has ended; the run ends
  // with it, as it would have ended the application started directly.
  if (RunSignals::received()) throw ApplicationInterrupted();
}

void Launcher::prepareClassDataArchive(ClassDataArchive& archive,
                                       const JVMFile& jvm) {
  const TagFile& tags = jvm.getTagFile();
  SString home = tags.getTagValue("JVM_HOME", 0);
  // What the JVM can do is known from what its verification reported in
  // this run, or else from its home's release file; a JVM that tells
  // neither starts as always.
  const VerificationRuns& runs =
      m_inputFiles.getJVMFiles().getVerificationRuns();
  const char* const versionProperties[] = {"java.specification.version",
                                           "java.vm.specification.version",
                                           "java.version"};
  int version = 0;
  for (const char* name : versionProperties) {
    if (version == 0)
      version = ClassDataArchive::featureVersion(runs.getReported(home, name));
  }
  SString executable = home;
  appendPathSeparator(executable);
  executable += tags.getTagValue("JVM_EXE", 0);
  if (version == 0)
    version = ClassDataArchive::releaseFeatureVersion(executable);
  if (!archive.prepare(LaunchEnvironment::current(), executable, version))
    return;
  // The application archive from the cache too, unless one was extracted
  // already.
  if (m_applicationArchive.empty())
    m_applicationArchive = archive.getJars().getApplicationJar();
}

void Launcher::verifyJVM(bool showUI, bool showFailMsg, long fileId) {
  openSearchUI(showUI);
  const FileIndexEntry* entry = m_inputFiles.getFile(fileId);
  SString id = convertToString(fileId);
  if (!entry)
    throw LauncherException("Cannot verify jvm file at index " + id +
                            " because it does not exist.");
  if (entry->getType() != kJvmFile)
    throw LauncherException(
        "To verify a JVM, use an index of a jvm file. The index passed in "
        "was " +
        id + " which corresponds to the file named " + entry->getName());
  if (!entry->getTagFile())
    throw LauncherException("The jvm file with file id " + id +
                            " could not be read.");
  verifyJVM(showUI, showFailMsg, *entry->getTagFile(), SString());
}

void Launcher::verifyJVM(bool showUI, bool showFailMsg, TagFile& jvmFile,
                         const SString& jvmHome) {
  setLongVariable(1, 0);
  if (showUI)
    PlatformImpl::setUISubStatus(UI_SUBSTATUS_VERIFYING,
                                 jvmFile.getTagValue("DESC", 0));
  JVMFile jvm(jvmFile);
  JVMFiles& jvmFiles = m_inputFiles.getJVMFiles();
  jvm.setVerifiedJVMCache(&jvmFiles.getVerifiedJVMCache());
  SString classpath;
  SString verifyClass;
  jvmFiles.writeVerifyJar(classpath, verifyClass);
  JVMMatch* match = jvmHome.empty()
                        ? jvm.verify(classpath, verifyClass)
                        : jvm.verify(jvmHome, classpath, verifyClass);
  if (!match) {
    if (showFailMsg)
      PlatformImpl::showUIMessage(messageText(MSGID_JVM_NOT_VALID));
    logMessage("In VERIFY, the jvm is invalid.", LOG_INFORMATION);
    return;
  }
  delete match;
  SString home = jvmFile.getTagValue("JVM_HOME", 0);
  setLongVariable(1, 1);
  setStringVariable(1, home);
  logMessage("After VERIFY, the jvm home is " + home, LOG_INFORMATION);
}

void Launcher::verifyJVM(bool showUI, bool showFailMsg,
                         const SString& jvmFilePath, const SString& jvmHome) {
  TagFile jvmFile(jvmFilePath);
  verifyJVM(showUI, showFailMsg, jvmFile, jvmHome);
  printNumber(getLongVariable(1));
}

void Launcher::installJVM(bool, bool, const SString& installerPath,
                          const SString& destination) {
  PlatformImpl::executeProcess(installerCommand(installerPath), destination,
                               false, nullptr, nullptr);
  SString home = absolutePath(destination);
  SString jvmFilePath = jvmFileIn(home);
  TagFile jvmFile(jvmFilePath);
  jvmFile.setDynamicJVMTags(home, jvmFilePath, false);
  jvmFile.write(jvmFilePath);
  printLine(jvmFilePath);
}

void Launcher::search(bool showUI, bool showFailMsg) {
  try {
    findJVM(showUI, showFailMsg);
    long found = getLongVariable(1);
    bool printed = printNumber(found);
    if (found != 0) {
      SString jvmFile = getStringVariable(2);
      printed = printLine(getStringVariable(1)) && printed;
      printed = printLine(jvmFile) && printed;
      // A jvm file the caller never heard of is removed with the rest.
      if (printed) PlatformImpl::removeFileFromCleanupList(jvmFile);
    }
  } catch (const LauncherException&) {
    // findJVM has logged it.
  } catch (...) {
    logMessage("Unexpected failure in search.", LOG_ERROR);
  }
}

void Launcher::searchAll(bool showUI, bool showFailMsg) {
  logMessage("Finding all matching JVMs", LOG_INFORMATION);
  openSearchUI(showUI);
  try {
    JVMMatchPtrDeque matches;
    m_inputFiles.getJVMFiles().searchAll(matches, false);
    // Every file is written before any is kept, so a failure half-way
    // leaves none of them behind.
    StringDeque paths;
    for (int i = 0; i < matches.count(); ++i)
      paths.push_back(matches.at(i)->writeNewJVMFile());
    bool printed = printNumber(matches.count());
    for (int i = 0; i < matches.count(); ++i) {
      printed = printLine(matches.at(i)->getJVMHome()) && printed;
      printed = printLine(paths.at(i)) && printed;
      // A jvm file the caller never heard of is removed with the rest.
      if (printed) PlatformImpl::removeFileFromCleanupList(paths.at(i));
    }
  } catch (const LauncherException& e) {
    SString text = messageText(MSGID_SEARCH_ALL_ERROR) + e.getMessage();
    logMessage(text, LOG_ERROR);
    if (showFailMsg) PlatformImpl::showUIMessage(text);
    printNumber(0);
  }
}

const SString& Launcher::getApplicationArchive() {
  if (!m_applicationArchive.empty()) return m_applicationArchive;
  if (!firstEntryOfType(m_inputFiles, kApplicationArchive))
    return m_applicationArchive;
  SString directory = PlatformImpl::createTempSubDirectory();
  SString path;
  for (long i = 0; i < m_inputFiles.getFileCount(); ++i) {
    const FileIndexEntry* entry = m_inputFiles.getFileAt(i);
    if (entry->getType() == kApplicationArchive)
      path = entry->extract(directory);
  }
  m_applicationArchive = path;
  return m_applicationArchive;
}

const SString& Launcher::getApplicationArchive(const SString& name) {
  if (!m_applicationArchive.empty()) return m_applicationArchive;
  SString source = getLauncherDir();
  if (!source.empty() && stringEndsWith(source, "/") == SString::npos)
    source += "/";
  source += name;
  SString base = fileNamePart(name);
  SString destination = PlatformImpl::createTempSubDirectory();
  appendPathSeparator(destination);
  destination += base;

  ScopedFile in(std::fopen(source.c_str(), "rb"));
  ScopedFile out(in.get() ? std::fopen(destination.c_str(), "wb") : nullptr);
  int writeError = 0;
  bool readFailed = false;
  const bool opened = in.get() && out.get();
  if (opened) {
    char block[kCopyBlockSize];
    size_t read;
    while ((read = std::fread(block, 1, sizeof block, in.get())) > 0) {
      if (std::fwrite(block, 1, read, out.get()) < read) {
        writeError = errno ? errno : EIO;
        break;
      }
    }
    // A source that cannot be read (a directory, say) ends the loop as an
    // end of file would.
    readFailed = std::ferror(in.get()) != 0;
    if (std::fflush(out.get()) != 0 && !writeError)
      writeError = errno ? errno : EIO;
  }
  if (out.close() != 0 && !writeError) writeError = errno ? errno : EIO;
  in.close();
  if (writeError)
    throw LauncherException(messageText(MSGID_WRITE_ERROR) +
                            convertToString(writeError) +
                            messageText(MSGID_TEMP_SPACE_HINT));
  // A copy cut short is no archive; the path is kept only for a whole one.
  if (opened && !readFailed) m_applicationArchive = destination;
  return m_applicationArchive;
}
