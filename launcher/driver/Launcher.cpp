#include "driver/Launcher.h"

#include <cstdio>
#include <exception>
#include <new>

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/PathHelpers.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"
#include "driver/LauncherHooks.h"
#include "instructions/InstructionVariables.h"
#include "instructions/Instructions.h"
#include "instructions/InstructionsException.h"
#include "platform/PlatformImpl.h"
#include "platform/RunSignals.h"
#include "tagfile/TagFile.h"

SString Launcher::m_logFileName;
bool Launcher::m_logFileInitialized = false;
SString Launcher::m_launcherFileName;
LauncherInputFiles Launcher::m_inputFiles;
StringDeque Launcher::m_passThroughArgs;
SString Launcher::m_userJavaHome;
bool Launcher::m_showJavaConsole = false;
SString Launcher::m_applicationArchive;
int Launcher::m_applicationStatus = -1;
bool Launcher::m_noJVM = false;

namespace {

const char kVersion[] = "1.53";
const int kFailureStatus = 1;
const char kHelp[] =
    "Options of the launcher (every other argument reaches the "
    "application):\n"
    "  -tv:log FILE       append a log of the run to FILE\n"
    "  -tv:tempdir DIR    put the temporary files in DIR\n"
    "  -tv:silent         show no status, progress or messages\n"
    "  -tv:javahome DIR   try the JVM in DIR first\n"
    "  -tv:javaconsole    leave the application's output on the console\n"
    "  -tv:noverifycache  verify the JVM again, not from the verified-JVM "
    "cache\n"
    "                     (also with LAUNCHER_NO_VERIFY_CACHE=1)\n"
    "  -tv:in FILE        perform the action FILE asks for and print its "
    "result\n"
    "  -tv:extract        write the embedded files and input.tag here\n"
    "  -tv:version        print the launcher's version\n"
    "  -tv:help           print this text\n"
    "Exit status: the application's, 1 after a failure or when no JVM "
    "was found,\n"
    "128 + the number of a signal that ended the run.\n";
const char kLogSeparator[] = "------------------";
LauncherEnvironment g_launcherEnvironment;
LauncherActions g_launcherActions;

// Lets the layers below the driver (tag files, platform) write to the log.
void logFromBelow(const SString& text, int type) {
  Launcher::logMessage(text, static_cast<LogMessageType>(type));
}

// Packaging tools strip binaries by default, which cuts the payload off;
// such a launcher would do nothing and look successful.
// Only a run that has nothing to do is told (an input file may name the
// files of a run instead).
void warnWithoutPayload(bool whenScriptGiven) {
  LauncherInputFiles& files = Launcher::getInputFiles();
  if (files.hasPayload()) return;
  if (!whenScriptGiven && files.getInstructions()) return;
  std::fprintf(stderr,
               "%s: this launcher file carries no payload (was it "
               "stripped?)\n",
               Launcher::getLauncherFileName().c_str());
  std::fflush(stderr);
}

// The variable turns the verified-JVM cache off for a whole session, as
// the option does for one run: any value but empty or 0.
bool verifyCacheDisabledByEnvironment() {
  SString value =
      PlatformImpl::getEnvironmentVariable("LAUNCHER_NO_VERIFY_CACHE");
  return !value.empty() && value != "0";
}

// Shows a failure that ends the run and logs it as an error.
void reportFailure(const SString& text) {
  PlatformImpl::showUIMessage(text);
  Launcher::logMessage(text, LOG_ERROR);
}

}  // namespace

Launcher::~Launcher() {
  try {
    PlatformImpl::cleanup();
  } catch (...) {
    // Clean-up failures are logged where they happen; the run is over.
  }
}

int Launcher::process(StringDeque& args, const SString& launcherFileName) {
  g_logHandler = &logFromBelow;
  LaunchEnvironment::install(&g_launcherEnvironment);
  InstructionActions::install(&g_launcherActions);
  m_launcherFileName = launcherFileName;
  m_inputFiles.setLauncherFileName(launcherFileName);
  m_inputFiles.getJVMFiles().getVerifiedJVMCache().setEnabled(
      !verifyCacheDisabledByEnvironment());
  // Nothing may escape: the caller must still get to the clean-up and an
  // exit status that tells the failure.
  try {
    processCmdLine(args);
    return orderlyExitStatus();
  } catch (const ApplicationInterrupted&) {
    return 128 + RunSignals::received();
  } catch (const LauncherException& e) {
    reportFailure(e.getMessage());
  } catch (const LengthException&) {
    reportFailure("Internal error: a text grew beyond its limit.");
  } catch (const RangeException&) {
    reportFailure("Internal error: a text position was out of range.");
  } catch (const std::bad_alloc&) {
    reportFailure("Internal error: out of memory.");
  } catch (const std::exception& e) {
    reportFailure(SString("Internal error: ") + e.what());
  } catch (...) {
    reportFailure("Internal error: unexpected failure.");
  }
  // A run ended by a signal says so with its status, whatever failed
  // because of it.
  if (RunSignals::received()) return 128 + RunSignals::received();
  return kFailureStatus;
}

int Launcher::orderlyExitStatus() {
  if (RunSignals::received()) return 128 + RunSignals::received();
  if (m_applicationStatus >= 0) return m_applicationStatus;
  return m_noJVM ? kFailureStatus : 0;
}

void Launcher::checkInterrupted() {
  if (!RunSignals::received()) return;
  PlatformImpl::setCanceled(true);
  throw LauncherException(PlatformImpl::getMessageText(MSGID_CANCELED));
}

void Launcher::noteActionResult() {
  if (getLongVariable(1) == 0) m_noJVM = true;
}

int Launcher::processCmdLine(const StringDeque& args) {
  PlatformImpl::setUIProgress(0);
  bool runScript = true;
  for (int i = 0; i < args.count(); ++i) {
    const SString& arg = args.at(i);
    bool hasValue = i + 1 < args.count();
    if (arg == "-tv:log") {
      if (hasValue)
        setLogFileName(args.at(++i));
      else
        PlatformImpl::showUIMessage(
            PlatformImpl::getMessageText(MSGID_LOG_NAME_MISSING));
    } else if (arg == "-tv:tempdir") {
      if (hasValue) PlatformImpl::setSystemTempDir(args.at(++i));
    } else if (arg == "-tv:silent") {
      PlatformImpl::setSilent(true);
    } else if (arg == "-tv:javahome") {
      if (hasValue) m_userJavaHome = args.at(++i);
    } else if (arg == "-tv:extract") {
      m_inputFiles.extractAll();
      warnWithoutPayload(true);
      PlatformImpl::setUIProgress(100);
      runScript = false;
    } else if (arg == "-tv:in") {
      if (hasValue) {
        processInputFile(args.at(++i), runScript);
      } else {
        PlatformImpl::showUIMessage(
            PlatformImpl::getMessageText(MSGID_INPUT_NAME_MISSING));
        runScript = false;
      }
    } else if (arg == "-tv:version") {
      // A result, on standard output, as the help text.
      if (!PlatformImpl::isSilent()) {
        std::printf("%s\n", kVersion);
        std::fflush(stdout);
      }
      runScript = false;
    } else if (arg == "-tv:help") {
      // Printed even when silent: it is what was asked for.
      std::fputs(kHelp, stdout);
      std::fflush(stdout);
      runScript = false;
    } else if (arg == "-tv:javaconsole") {
      m_showJavaConsole = true;
    } else if (arg == "-tv:noverifycache") {
      m_inputFiles.getJVMFiles().getVerifiedJVMCache().setEnabled(false);
    } else {
      m_passThroughArgs.push_back(arg);
    }
  }
  if (runScript) {
    m_inputFiles.load(true);
    warnWithoutPayload(false);
    run();
    PlatformImpl::setUIProgress(100);
  }
  return 0;
}

void Launcher::processInputFile(const SString& name, bool& runScript) {
  SString cannotOpen =
      PlatformImpl::getMessageText(MSGID_INPUT_FILE_OPEN_ERROR);
  if (name.empty()) throw LauncherException(cannotOpen);
  // The quotes go for opening only; messages name the file as it was given.
  SString openName = name;
  stripQuotes(openName);
  ScopedFile file(fopen(openName.c_str(), "r"));
  if (!file.get()) throw LauncherException(cannotOpen);
  logMessage("Loading input file " + name, LOG_INFORMATION);
  TagFile input;
  input.load(file.get(), name, 0, -1);
  file.close();
  setLogFileName(input.getTagValue("LOGFILE", 0));

  // The UI is settled before the files are loaded: a calling program that
  // asked for no UI reads standard output as its result, so no title line
  // may come before it.
  bool showProgress = input.getBoolTagValue("SHOW_PROGRESS", false);
  bool showFailMsg = input.getBoolTagValue("SHOW_FAIL_MSG", false);
  if (!showProgress && !showFailMsg)
    PlatformImpl::hideUI(0);
  else
    PlatformImpl::showUI();

  m_inputFiles.load(input);
  m_inputFiles.load(true);

  if (showProgress) PlatformImpl::setUIProgress(0);

  SString action = input.getTagValue("ACTION", 0);
  runScript = false;
  if (action == "RUN_INSTRUCTIONS") {
    runScript = true;
  } else if (action == "SEARCH") {
    search(showProgress, showFailMsg);
    PlatformImpl::setUIProgress(100);
  } else if (action == "SEARCH_ALL") {
    searchAll(showProgress, showFailMsg);
    PlatformImpl::setUIProgress(100);
  } else if (action == "VERIFY_JVM") {
    SString jvmFile = input.getTagValue("VERIFY_JVM_FILE", 0);
    SString jvmHome = input.getTagValue("VERIFY_JVM_HOME", 0);
    if (!jvmFile.empty() && !jvmHome.empty()) {
      verifyJVM(showProgress, showFailMsg, jvmFile, jvmHome);
      PlatformImpl::setUIProgress(100);
    } else {
      logMessage(
          "TO execute the VERIFY_JVM action, you must also provide values in "
          "the input file for VERIFY_JVM_FILE and VERIFY_JVM_HOME.",
          LOG_ERROR);
    }
  } else if (action == "INSTALL_JVM") {
    SString exe = input.getTagValue("INSTALL_JVM_EXE", 0);
    SString dest = input.getTagValue("INSTALL_JVM_DEST", 0);
    if (!exe.empty() && !dest.empty())
      installJVM(showProgress, showFailMsg, exe, dest);
    PlatformImpl::setUIProgress(100);
  } else {
    SString text = PlatformImpl::getMessageText(MSGID_INVALID_ACTION) + action;
    PlatformImpl::showUIMessage(text);
    throw LauncherException(text);
  }
}

void Launcher::run() {
  Instructions* instructions = m_inputFiles.getInstructions();
  if (!instructions) return;
  try {
    instructions->execute();
  } catch (const InstructionsException& e) {
    throw LauncherException("Error in instructions. " + e.getMessage() +
                            " Line number (" +
                            convertToString(e.getLineNumber()) + ")");
  }
}

// ---- Log ----

void Launcher::logMessage(const SString& text, LogMessageType type) {
  if (m_logFileName.empty()) return;
  ScopedFile log(fopen(m_logFileName.c_str(), "a"));
  if (!log.get()) return;
  if (!m_logFileInitialized) {
    fprintf(log.get(), "%s\n", kLogSeparator);
    m_logFileInitialized = true;
  }
  const char* prefix = "";
  if (type == LOG_WARNING)
    prefix = "WARNING: ";
  else if (type == LOG_ERROR)
    prefix = "ERROR: ";
  fprintf(log.get(), "%s%s\n", prefix, text.c_str());
  fflush(log.get());
}

void Launcher::logMessage(const char* text, LogMessageType type) {
  logMessage(SString(text), type);
}

// A run that moves to another log file separates its entries there too.
void Launcher::setLogFileName(const SString& name) {
  if (name != m_logFileName) m_logFileInitialized = false;
  m_logFileName = name;
}

SString Launcher::getLauncherDir() { return directoryPart(m_launcherFileName); }

// ---- Instruction variables ----

bool Launcher::isValidLongVariable(long n) {
  return InstructionVariables::isValidLongVariable(n);
}

bool Launcher::isValidStringVariable(long n) {
  return InstructionVariables::isValidStringVariable(n);
}

long Launcher::getLongVariable(long n) {
  return InstructionVariables::getLongVariable(n);
}

void Launcher::setLongVariable(long n, long value) {
  InstructionVariables::setLongVariable(n, value);
}

SString Launcher::getStringVariable(long n) {
  return InstructionVariables::getStringVariable(n);
}

void Launcher::setStringVariable(long n, const SString& value) {
  InstructionVariables::setStringVariable(n, value);
}
