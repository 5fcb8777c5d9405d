// The launcher's driver: the command line, the input file that selects an
// action, the dispatch of that action, the instruction script, the log and
// the last-chance reporting of failures. State is process-wide.
#ifndef LAUNCHER_DRIVER_LAUNCHER_H_
#define LAUNCHER_DRIVER_LAUNCHER_H_

#include "archive/LauncherInputFiles.h"
#include "core/SString.h"
#include "core/StringDeque.h"
#include "core/TypedDeques.h"

class TagFile;

enum LogMessageType {
  LOG_INFORMATION = 0,  // no prefix
  LOG_WARNING = 1,      // "WARNING: "
  LOG_ERROR = 2,        // "ERROR: "
};

class Launcher {
 public:
  // The one object of a run; destroying it removes the run's temporary
  // files.
  Launcher() {}
  ~Launcher();

  // Runs the command line; 0 after an orderly end, 1 after a failure that
  // has been shown and logged.
  static int process(StringDeque& args, const SString& launcherFileName);
  // Handles the options and input files from left to right, then runs the
  // instruction script unless an option or action said otherwise.
  static int processCmdLine(const StringDeque& args);
  // Executes the instruction script, if there is one.
  static void run();

  // Appends one entry to the log; nothing when no log file is set or it
  // cannot be opened. The first entry of a run in a log file is preceded
  // by a separator line.
  static void logMessage(const SString& text, LogMessageType type);
  static void logMessage(const char* text, LogMessageType type);
  static void setLogFileName(const SString& name);
  static const SString& getLogFileName() { return m_logFileName; }

  static SString getLauncherFileName() { return m_launcherFileName; }
  // The launcher file name up to its last "/" or backslash; empty when it
  // has neither.
  static SString getLauncherDir();

  // The files of the run: the embedded index and what was loaded from it
  // or from the files an input file named.
  static LauncherInputFiles& getInputFiles() { return m_inputFiles; }
  static const StringDeque& getPassThroughArgs() { return m_passThroughArgs; }
  static const SString& getUserJavaHome() { return m_userJavaHome; }
  static bool getShowJavaConsole() { return m_showJavaConsole; }

  // The instruction variables S1 to S10 and N1 to N5, numbered from 1; an
  // unknown number reads as empty or 0 and is not stored.
  static SString getStringVariable(int number);
  static void setStringVariable(int number, const SString& value);
  static long getNumericVariable(int number);
  static void setNumericVariable(int number, long value);

  // The actions an input file asks for. They print their results on
  // standard output for the calling program.
  static void search(bool showUI, bool showFailMsg);
  static void searchAll(bool showUI, bool showFailMsg);
  static void verifyJVM(bool showUI, bool showFailMsg,
                        const SString& jvmFilePath, const SString& jvmHome);
  static void installJVM(bool showUI, bool showFailMsg,
                         const SString& installerPath,
                         const SString& destination);
  // Runs the instruction script held by the run.
  static void runInstructions();

 private:
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // Reads an input file and performs its action; runScript tells whether
  // the instruction script runs afterwards.
  static void processInputFile(const SString& name, bool& runScript);
  [[noreturn]] static void notAvailableYet(const char* what);

  // Constructed in this order before main and destroyed in reverse.
  static SString m_logFileName;
  static bool m_logFileInitialized;
  static SString m_launcherFileName;
  static SString m_stringVariables[10];
  static int m_numericVariables[5];
  static LauncherInputFiles m_inputFiles;
  static StringDeque m_passThroughArgs;
  static SString m_userJavaHome;
  static bool m_showJavaConsole;
  static SString m_applicationArchive;
};

#endif  // LAUNCHER_DRIVER_LAUNCHER_H_
