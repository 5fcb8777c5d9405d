// The launcher's driver: the command line, the input file that selects an
// action, the dispatch of that action, the instruction script, the log and
// the last-chance reporting of failures. State is process-wide.
#ifndef LAUNCHER_DRIVER_LAUNCHER_H_
#define LAUNCHER_DRIVER_LAUNCHER_H_

#include "archive/LauncherInputFiles.h"
#include "core/LogHandler.h"
#include "core/SString.h"
#include "core/StringDeque.h"
#include "core/TypedDeques.h"

class ClassDataArchive;
class JVMFile;
class TagFile;

class Launcher {
 public:
  // The one object of a run; destroying it removes the run's temporary
  // files.
  Launcher() {}
  ~Launcher();

  // Runs the command line and returns the exit status of the run: the
  // application's own status when the instruction script launched it; 1
  // after a failure that has been shown and logged, or when the script
  // ended without launching because no JVM could be found, verified or
  // installed; 128 + the signal that ended the run; 0 otherwise.
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

  // Ends an instruction script that received a signal which ends the run:
  // raises the canceled message.
  static void checkInterrupted();
  // Notes that an action of the instruction script found, verified or
  // installed no JVM (N1 is 0 afterwards).
  static void noteActionResult();

  // The instruction variables N1 to N5 and S1 to S10, numbered from 1; an
  // unknown number raises LauncherException.
  static bool isValidLongVariable(long n);
  static bool isValidStringVariable(long n);
  static long getLongVariable(long n);
  static void setLongVariable(long n, long value);
  static SString getStringVariable(long n);
  static void setStringVariable(long n, const SString& value);

  // The actions of the instruction script. They report through N1 (1 on
  // success), S1 and S2.
  // Searches for a JVM; on success S1 = its home, S2 = a jvm file written
  // for it (removed at exit), N1 = 1.
  static void findJVM(bool showUI, bool showFailMsg);
  static void initializeUI();
  // Installs the embedded JVM into a new temporary directory (option 0
  // with the UI hidden, 1 with it shown) or into a directory the user
  // types (2); on success S1 = the installed jvm file, N1 = 1.
  static void installJVM(long option);
  // Runs the launch script with the jvm file at that path, or with the
  // embedded jvm file of that id, and waits for the application.
  static void launch(const SString& jvmFileName, short seconds);
  static void ilaunch(long fileId, short seconds);
  // Verifies the embedded jvm file of that id at its own home.
  static void verifyJVM(bool showUI, bool showFailMsg, long fileId);
  // Verifies jvmFile at jvmHome (at its own "JVM_HOME" when empty); on
  // success S1 = the home, N1 = 1.
  static void verifyJVM(bool showUI, bool showFailMsg, TagFile& jvmFile,
                        const SString& jvmHome);

  // The actions an input file asks for. They print their results on
  // standard output for the calling program, one item per line; the jvm
  // files they name survive the launcher's exit.
  static void search(bool showUI, bool showFailMsg);
  static void searchAll(bool showUI, bool showFailMsg);
  static void verifyJVM(bool showUI, bool showFailMsg,
                        const SString& jvmFilePath, const SString& jvmHome);
  static void installJVM(bool showUI, bool showFailMsg,
                         const SString& installerPath,
                         const SString& destination);

  // The embedded application archive, or the archive name beside the
  // launcher, unpacked into a temporary directory on the first call of
  // either; later calls return that same path.
  static const SString& getApplicationArchive();
  static const SString& getApplicationArchive(const SString& name);

 private:
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // Reads an input file and performs its action; runScript tells whether
  // the instruction script runs afterwards.
  static void processInputFile(const SString& name, bool& runScript);
  // Shows the UI with the searching status, or hides it.
  static void openSearchUI(bool showUI);
  // Runs the launch script with jvmFile.
  static void launch(TagFile& jvmFile, short seconds);
  // Readies the class-data archive of a launch of jvm, when its version is
  // known to allow one.
  static void prepareClassDataArchive(ClassDataArchive& archive,
                                      const JVMFile& jvm);

  // Thrown when the application ended while the run was being ended by a
  // signal: the run stops without a further message.
  struct ApplicationInterrupted {};

  // The exit status process returns after an orderly end.
  static int orderlyExitStatus();

  // Constructed in this order before main and destroyed in reverse.
  static SString m_logFileName;
  static bool m_logFileInitialized;
  static SString m_launcherFileName;
  static LauncherInputFiles m_inputFiles;
  static StringDeque m_passThroughArgs;
  static SString m_userJavaHome;
  static bool m_showJavaConsole;
  static SString m_applicationArchive;
  // The exit status of the last application launched; -1 before any.
  static int m_applicationStatus;
  // An action of the instruction script found no JVM.
  static bool m_noJVM;
};

#endif  // LAUNCHER_DRIVER_LAUNCHER_H_
