// A launch script: a command template that becomes a shell command for
// one JVM and runs in the directory "WORKING_DIR" chooses (the launcher's
// by default). The template's macros are
// resolved in three passes: functions "%NAME%(args)" (class path, system
// properties, side files beside the launcher, ...), then the jvm file's
// tags "@TAG@", then environment variables "#NAME#".
#ifndef LAUNCHER_JVM_LAUNCHSCRIPT_H_
#define LAUNCHER_JVM_LAUNCHSCRIPT_H_

#include "core/SString.h"
#include "core/StringDeque.h"
#include "jvm/MacroHandler.h"

class ClassDataArchive;
class JVMFile;
class TagFile;

class LaunchScript : public MacroHandler {
 public:
  // From a launch script file: "COMMAND", "DISPLAY_CONSOLE" (default
  // false), "DESC", "ARCHIVE" and "WORKING_DIR"; the CP function adds the
  // embedded class-path archives.
  LaunchScript(const TagFile& script, bool captureOutput);
  // From a command text, without console, description or archive.
  LaunchScript(const SString& command, bool captureOutput,
               bool includeArchives);
  ~LaunchScript() override;

  // The concrete command for jvm. Raises LauncherException ("Launch script
  // error: ...") for a malformed or unknown function.
  SString resolve(const JVMFile& jvm);
  // Resolves, appends the extra arguments (each as one shell word, taken
  // literally), runs the command in its working directory and waits for
  // it. Output is captured unless the console is to be shown. The script of
  // a launch script file runs the application, which takes over the
  // launcher's terminal while it runs. Returns the command's exit status
  // (128 + the signal that ended it).
  int execute(const JVMFile& jvm, const StringDeque* extraArguments,
              bool showConsole);

  // What the last execution wrote.
  const SString& getStandardOutput() const { return m_stdOut; }
  const SString& getErrorOutput() const { return m_errOut; }
  const SString& getDescription() const { return m_description; }
  const SString& getArchive() const { return m_archive; }
  const SString& getCommand() const { return m_command; }
  // "CLASS_DATA_ARCHIVE": whether the application is to start with a
  // class-data archive (off by default).
  bool wantsClassDataArchive() const { return m_wantsClassDataArchive; }
  // The archive of the next executions (not owned; null: none). The CP
  // function then takes the class-path archives from its cache and puts
  // its options in front of the class path.
  void setClassDataArchive(ClassDataArchive* archive) {
    m_classDataArchive = archive;
  }

  // Where the command runs: for a launch script file "WORKING_DIR" absent
  // or "LAUNCHER", the launcher's directory; "CALLER", the directory the
  // launcher was started in; anything else a path, its macros expanded
  // like the command's, a relative one taken in the launcher's directory.
  // A command text runs in the launcher's directory.
  SString workingDirectory(const JVMFile& jvm);

  // "%" functions and "#" environment variables.
  void processMacro(SString& text, char delimiter, unsigned start,
                    unsigned& end) const override;

  // Parses "(" ["arg" {, "arg"}] [,] ")" from pos, white space allowed
  // between the parts; pos ends behind it.
  void getArguments(const SString& text, unsigned& pos,
                    StringDeque& args) const;
  SString makeSystemProp(const JVMFile* jvm, const SString& name,
                         const SString& value) const;
  SString buildJVMClasspath() const;
  SString buildRuntimeClasspath(const JVMFile* jvm, const char* suffix) const;
  // Without a shell position the texts as they are (for the environment
  // or for further resolution); with one, each option or argument a shell
  // word of its own at that position of the command.
  SString buildRuntimeSystemProps(const JVMFile* jvm,
                                  const ShellPosition* where = nullptr) const;
  SString buildRuntimeJavaArgs(const JVMFile* jvm,
                               const ShellPosition* where = nullptr) const;
  SString buildJARClasspath() const;
  void addToClasspath(const JVMFile* jvm, SString& classpath,
                      const SString& entry) const;
  // Logs the command as far as it was resolved and raises
  // "Launch script error: " + message.
  [[noreturn]] void throwException(const SString& command,
                                   const char* message) const;

  // The side file of the launcher with that suffix: the launcher's file
  // name without its extension, then the suffix.
  static SString sideFileName(const SString& launcherFileName,
                              const char* suffix);

 protected:
  // In a command, functions that build command text on purpose (class
  // path, properties, side-file arguments, conditions, replacements) give
  // shell text with their data quoted; the launcher's file, directory,
  // archive and temporary directory are data.
  // An environment variable's value is a word list: outside quotes each
  // of its words (blank-separated, double quotes group) lands as a shell
  // word of its own, as data.
  bool insertCommandMacro(SString& text, char delimiter, unsigned start,
                          unsigned& end,
                          const ShellPosition& where) const override;

 private:
  LaunchScript(const LaunchScript&) = delete;
  LaunchScript& operator=(const LaunchScript&) = delete;

  // The value of one function call; raises for a wrong one. Without a
  // shell position the value as it is; with one, the value for that
  // position of the command, and isData says whether it still needs
  // quoting (data) or is shell text to scan again.
  SString callFunction(const SString& text, const SString& name,
                       const StringDeque& args, const ShellPosition* where,
                       bool& isData) const;
  SString classpathFunction(const StringDeque& args,
                            const ShellPosition* where) const;
  [[noreturn]] void throwArgumentError(const SString& text, const char* message,
                                       unsigned position) const;

  SString m_command;
  bool m_captureOutput;
  bool m_displayConsole;
  SString m_stdOut;
  SString m_errOut;
  const JVMFile* m_currentJVMFile;
  bool m_includeArchives;
  // Whether the command is the application (from a launch script file).
  bool m_isApplication;
  SString m_description;
  SString m_archive;
  SString m_workingDir;
  bool m_wantsClassDataArchive;
  ClassDataArchive* m_classDataArchive;
  // Guards the resolution of the archive against a CP call inside it.
  mutable unsigned m_archiveDepth;
};

#endif  // LAUNCHER_JVM_LAUNCHSCRIPT_H_
