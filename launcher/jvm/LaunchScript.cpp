#include "jvm/LaunchScript.h"

#include <cstdio>

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/PathHelpers.h"
#include "core/ScopedFile.h"
#include "core/TextHelpers.h"
#include "jvm/ClassDataArchive.h"
#include "jvm/CommandText.h"
#include "jvm/JVMFile.h"
#include "jvm/LaunchEnvironment.h"
#include "platform/PlatformImpl.h"
#include "tagfile/TagFile.h"

namespace {

const SString::size_type npos = SString::npos;

void log(const SString& text, int type) { logThroughHandler(text, type); }

SString tagOf(const JVMFile* jvm, const char* tag) {
  return jvm ? jvm->getTagFile().getTagValue(tag, 0) : SString();
}

// The lines of a side file beside the launcher; none when it is missing.
void readSideFile(const char* suffix, StringDeque& lines) {
  SString name = LaunchScript::sideFileName(
      LaunchEnvironment::current().getLauncherFileName(), suffix);
  if (name.empty()) return;
  ScopedFile file(fopen(name.c_str(), "r"));
  if (!file.get()) return;
  while (!feof(file.get()) && !ferror(file.get())) {
    SString line;
    readLineFromStream(file.get(), line);
    if (!line.empty()) lines.push_back(line);
  }
}

void joinWithBlank(SString& joined, const SString& item) {
  if (item.empty()) return;
  if (!joined.empty()) joined += ' ';
  joined += item;
}

// Each non-empty item as a shell word of its own (or, with splitWords, as
// the words of its word list), joined by blanks, from that position of
// the command on.
SString joinAsShellWords(const StringDeque& items, const ShellPosition& where,
                         bool splitWords = false) {
  SString joined;
  for (int i = 0; i < items.count(); ++i) {
    if (items.at(i).empty()) continue;
    ShellPosition at = where.after(joined);
    SString piece =
        splitWords ? shellWords(items.at(i), at) : shellData(items.at(i), at);
    if (piece.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += templateLiteral(piece);
  }
  return joined;
}

// The entries of a class path and their separator. For the command
// (a shell position given) it is shell text behind the jvm file's class
// path option, with data entries quoted where they land; for the
// environment it is the plain entries.
class ClasspathText {
 public:
  ClasspathText(const JVMFile* jvm, const ShellPosition* where)
      : m_separator(tagOf(jvm, "CLASSPATH_SEPARATOR")),
        m_prefix(where ? tagOf(jvm, "CLASSPATH") : SString()),
        m_where(where) {}

  // Where an entry added next would begin.
  ShellPosition nextPosition() const {
    SString before = m_prefix + m_entries;
    if (!m_entries.empty()) before += m_separator;
    return m_where ? m_where->after(before) : ShellPosition();
  }
  void addData(const SString& entry) {
    if (entry.empty()) return;
    add(m_where ? templateLiteral(shellData(entry, nextPosition())) : entry);
  }
  void addShellText(const SString& entry) {
    if (!entry.empty()) add(entry);
  }
  const SString& entries() const { return m_entries; }
  SString text() const {
    return m_entries.empty() ? SString() : m_prefix + m_entries;
  }

 private:
  void add(const SString& piece) {
    if (!m_entries.empty()) m_entries += m_separator;
    m_entries += piece;
  }

  SString m_separator;
  SString m_prefix;
  const ShellPosition* m_where;
  SString m_entries;
};

// Leaves the launcher's directory as the working directory of the command;
// the root for a launcher file there.
SString workingDirectoryOf(const SString& launcherFileName) {
  SString directory = directoryPart(launcherFileName);
  if (directory.empty() && lastPathSeparator(launcherFileName) == 0)
    return SString("/");
  return directory;
}

// Sets the jvm file of a resolution; cleared on every way out, also when a
// function raises.
class CurrentJVMFile {
 public:
  CurrentJVMFile(const JVMFile*& slot, const JVMFile& jvm) : m_slot(slot) {
    m_slot = &jvm;
  }
  ~CurrentJVMFile() { m_slot = nullptr; }

 private:
  const JVMFile*& m_slot;
};

}  // namespace

LaunchScript::LaunchScript(const TagFile& script, bool captureOutput)
    : m_command(script.getTagValue("COMMAND", 0)),
      m_captureOutput(captureOutput),
      m_displayConsole(script.getBoolTagValue("DISPLAY_CONSOLE", false)),
      m_currentJVMFile(nullptr),
      m_includeArchives(true),
      m_isApplication(true),
      m_description(script.getTagValue("DESC", 0)),
      m_archive(script.getTagValue("ARCHIVE", 0)),
      m_workingDir(script.getTagValue("WORKING_DIR", 0)),
      m_wantsClassDataArchive(
          script.getBoolTagValue("CLASS_DATA_ARCHIVE", false)),
      m_classDataArchive(nullptr),
      m_archiveDepth(0) {}

LaunchScript::LaunchScript(const SString& command, bool captureOutput,
                           bool includeArchives)
    : m_command(command),
      m_captureOutput(captureOutput),
      m_displayConsole(false),
      m_currentJVMFile(nullptr),
      m_includeArchives(includeArchives),
      m_isApplication(false),
      m_wantsClassDataArchive(false),
      m_classDataArchive(nullptr),
      m_archiveDepth(0) {}

LaunchScript::~LaunchScript() {}

SString LaunchScript::resolve(const JVMFile& jvm) {
  CurrentJVMFile current(m_currentJVMFile, jvm);
  // Whatever a pass puts in as data is quoted where it lands, so that the
  // shell takes it as data only.
  SString text = resolveCommand(m_command, '%');
  text = jvm.resolveCommand(text, '@');
  return resolveCommand(text, '#');
}

SString LaunchScript::workingDirectory(const JVMFile& jvm) {
  SString launcherDir =
      workingDirectoryOf(LaunchEnvironment::current().getLauncherFileName());
  if (!m_isApplication || m_workingDir.empty() || m_workingDir == "LAUNCHER")
    return launcherDir;
  if (m_workingDir == "CALLER") {
    SString caller = LaunchEnvironment::getCallerDirectory();
    // Running elsewhere would make every relative path the user gave
    // name something else.
    if (caller.empty())
      throw LauncherException(
          "The directory the launcher was started in cannot be found.");
    return caller;
  }
  // A path, expanded as plain text: it is no shell command.
  CurrentJVMFile current(m_currentJVMFile, jvm);
  SString path = MacroHandler::resolve(m_workingDir, '%');
  path = jvm.resolve(path);
  path = MacroHandler::resolve(path, '#');
  return absoluteAgainst(path, launcherDir);
}

int LaunchScript::execute(const JVMFile& jvm, const StringDeque* extraArguments,
                          bool showConsole) {
  SString command = resolve(jvm);
  SString directory = workingDirectory(jvm);
  if (extraArguments) {
    // Each argument reaches the application as it was given: inside the
    // double quotes the shell would still expand "$" and backquotes.
    for (int i = 0; i < extraArguments->count(); ++i)
      command += " \"" + escapeInDoubleQuotes(extraArguments->at(i)) + "\"";
  }
  log("Executing launch script command: " + command + " in working directory " +
          directory,
      LOG_INFORMATION);
  bool console = m_displayConsole || showConsole;
  bool capture = m_captureOutput && !console;
  m_stdOut = "";
  m_errOut = "";
  int status = PlatformImpl::executeProcess(
      command, directory, capture, &m_stdOut, &m_errOut, m_isApplication);
  if (!console && m_captureOutput) {
    log("Output from the launch script execution", LOG_INFORMATION);
    log("StdOut:", LOG_INFORMATION);
    log(m_stdOut, LOG_INFORMATION);
    log("ErrOut:", LOG_INFORMATION);
    log(m_errOut, LOG_INFORMATION);
  }
  log("The launch script command ended with exit status " +
          convertToString(static_cast<long>(status)),
      LOG_INFORMATION);
  if (m_isApplication && (status == 126 || status == 127)) {
    log(status == 127 ? "The shell found no program to run for the command."
                      : "The shell could not run the program of the command.",
        LOG_ERROR);
    // The shell said why on the error output, which went to the log only.
    if (capture && !m_errOut.empty()) {
      fwrite(m_errOut.data(), 1, m_errOut.length(), stderr);
      fflush(stderr);
    }
  }
  return status;
}

void LaunchScript::processMacro(SString& text, char delimiter, unsigned start,
                                unsigned& end) const {
  SString name(text, start + 1, end - start - 1);
  if (delimiter == '#') {
    SString value = PlatformImpl::getEnvironmentVariable(name);
    text.replace(start, end - start + 1, value);
    end = start + value.length();
    return;
  }
  unsigned pos = end + 1;
  StringDeque args;
  getArguments(text, pos, args);
  bool isData = false;
  SString value = callFunction(text, name, args, nullptr, isData);
  SString::size_type stop = pos == npos ? text.length() : pos;
  text.replace(start, stop - start, value);
  end = start + value.length();
}

bool LaunchScript::insertCommandMacro(SString& text, char delimiter,
                                      unsigned start, unsigned& end,
                                      const ShellPosition& where) const {
  if (delimiter == '#') {
    SString name(text, start + 1, end - start - 1);
    // The value's own variables expand first, as they always did.
    SString value =
        MacroHandler::resolve(PlatformImpl::getEnvironmentVariable(name), '#');
    SString words = templateLiteral(shellWords(value, where), "#");
    text.replace(start, end - start + 1, words);
    end = start + words.length();
    // Shell text now, whose "#" are doubled: scanning it again expands
    // nothing.
    return true;
  }
  if (delimiter != '%')
    return MacroHandler::insertCommandMacro(text, delimiter, start, end, where);
  SString name(text, start + 1, end - start - 1);
  unsigned pos = end + 1;
  StringDeque args;
  getArguments(text, pos, args);
  bool isData = false;
  SString value = callFunction(text, name, args, &where, isData);
  SString::size_type stop = pos == npos ? text.length() : pos;
  text.replace(start, stop - start, value);
  end = start + value.length();
  return !isData;
}

void LaunchScript::getArguments(const SString& text, unsigned& pos,
                                StringDeque& args) const {
  enum { kOpen, kArgument, kSeparator } state = kOpen;
  const char* c = text.c_str();
  for (;;) {
    unsigned stepStart = pos;
    while (pos < text.length() && isWhitespace(c[pos])) ++pos;
    char next = pos < text.length() ? c[pos] : '\0';
    switch (state) {
      case kOpen:
        if (next != '(')
          throwArgumentError(text, "Expected left parenthesis.", stepStart);
        ++pos;
        state = kArgument;
        break;
      case kArgument:
        if (next == '"') {
          ++pos;
          args.push_back(parseStringArgument(text, pos, true));
          // A closing quote at the very end of the text ends the list.
          if (pos == npos) return;
          state = kSeparator;
        } else if (next == ')') {
          ++pos;
          return;
        } else {
          throwArgumentError(text, "Expected string arg.", stepStart);
        }
        break;
      case kSeparator:
        if (next == ',') {
          ++pos;
          state = kArgument;
        } else if (next == ')') {
          ++pos;
          return;
        } else {
          throwArgumentError(text, "Expected right parenthesis.", stepStart);
        }
        break;
    }
  }
}

SString LaunchScript::callFunction(const SString& text, const SString& name,
                                   const StringDeque& args,
                                   const ShellPosition* where,
                                   bool& isData) const {
  isData = false;
  const int count = args.count();
  const JVMFile* jvm = m_currentJVMFile;
  // Functions that read the jvm file exist only within a resolution.
  auto needJVMFile = [&]() {
    if (!jvm)
      throwException(text, (name + " function needs a jvm file.").c_str());
  };
  if (name == "REPLACE") {
    if (count != 3)
      throwException(text, "REPLACE function requires 3 arguments.");
    needJVMFile();
    SString search = jvm->resolve(args.at(0));
    // In a command the tags of the replacement are left to the tag pass,
    // which quotes their values where they land.
    SString replacement = where ? args.at(1) : jvm->resolve(args.at(1));
    SString subject = args.at(2);
    // Every position would match an empty search text.
    if (search.empty()) return subject;
    for (SString::size_type at = subject.find(search); at != npos;
         at = subject.find(search, at + replacement.length())) {
      subject.replace(at, search.length(), replacement);
    }
    return subject;
  }
  if (name == "RUNTIME_SYSTEMPROP") {
    if (count != 0)
      throwException(text, "RUNTIME_SYSTEMPROP function takes no arguments.");
    needJVMFile();
    return buildRuntimeSystemProps(jvm, where);
  }
  if (name == "RUNTIME_JAVAARGS") {
    if (count != 0)
      throwException(text, "RUNTIME_JAVAARGS function takes no arguments.");
    needJVMFile();
    return buildRuntimeJavaArgs(jvm, where);
  }
  if (name == "SYSTEMPROP") {
    if (count != 2)
      throwException(text, "SYSTEMPROP function requires 2 arguments.");
    needJVMFile();
    // In a command the value's tags are left to the tag pass.
    if (where) {
      return tagOf(jvm, "SYSTEM") + args.at(0) +
             tagOf(jvm, "SYSTEM_SEPARATOR") + args.at(1);
    }
    return makeSystemProp(jvm, args.at(0), args.at(1));
  }
  if (name == "CP") {
    needJVMFile();
    return classpathFunction(args, where);
  }
  if (name == "IF_EXISTS") {
    if (count != 2)
      throwException(text, "IF_EXISTS function requires 2 arguments.");
    needJVMFile();
    if (tagOf(jvm, args.at(0).c_str()).empty()) return SString();
    return where ? args.at(1) : jvm->resolve(args.at(1));
  }
  LaunchEnvironment& environment = LaunchEnvironment::current();
  // The remaining functions give paths: data.
  isData = true;
  if (name == "LAUNCHER_FILE") {
    if (count != 0)
      throwException(text, "LAUNCHER_FILE function takes 0 arguments.");
    return environment.getLauncherFileName();
  }
  if (name == "LAUNCHER_DIR") {
    if (count != 0)
      throwException(text, "LAUNCHER_DIR function takes 0 arguments.");
    return environment.getLauncherDir();
  }
  if (name == "APPLICATION_ARCHIVE") {
    if (count > 1)
      throwException(text, "APPLICATION_ARCHIVE function takes 0 arguments.");
    return count == 0 ? environment.getApplicationArchive()
                      : environment.getApplicationArchive(args.at(0));
  }
  if (name == "TEMP_DIR") {
    if (count != 0)
      throwException(text, "TEMP_DIR function takes 0 arguments.");
    SString dir = PlatformImpl::getSystemTempDirectory();
    if (stringEndsWith(dir, "\\") != npos) dir.erase(dir.length() - 1);
    return dir;
  }
  throwException(text, ("Invalid function name (" + name + ").").c_str());
}

SString LaunchScript::classpathFunction(const StringDeque& args,
                                        const ShellPosition* where) const {
  const JVMFile* jvm = m_currentJVMFile;
  const bool inEnvironment = tagOf(jvm, "USE_CP_ENV_VAR") == "1";
  // The environment variable takes the plain entries, never shell text.
  const ShellPosition* position = inEnvironment ? nullptr : where;
  ClasspathText classpath(jvm, position);
  classpath.addData(buildRuntimeClasspath(jvm, ".cp1"));
  SString own = buildJVMClasspath();
  // In a command the tags in it used to be resolved by the tag pass; as
  // data they are resolved here.
  classpath.addData(position ? jvm->resolve(own) : own);
  classpath.addData(buildRuntimeClasspath(jvm, ".cp"));
  // The arguments are the template's own text.
  for (int i = 0; i < args.count(); ++i) {
    SString entry = args.at(i);
    if (inEnvironment) stripQuotes(entry);
    classpath.addShellText(entry);
  }
  if (m_archiveDepth > 0) {
    throw LauncherException(
        "The macro %CP% does not resolve: its value refers to itself.");
  }
  ++m_archiveDepth;
  SString archive;
  try {
    if (position) {
      // Resolved here, where it lands, and not again by the pass that
      // called this function.
      archive = templateLiteral(
          resolveCommand(m_archive, '%', classpath.nextPosition()), "%");
    } else {
      archive = MacroHandler::resolve(m_archive, '%');
    }
  } catch (...) {
    --m_archiveDepth;
    throw;
  }
  --m_archiveDepth;
  if (inEnvironment) stripQuotes(archive);
  classpath.addShellText(archive);
  classpath.addData(buildJARClasspath());
  classpath.addData(buildRuntimeClasspath(jvm, ".cp2"));

  // The archive's options go in front of the class path option, where
  // the command has JVM options; the class path is what the archive is
  // made for.
  StringDeque archiveOptions;
  if (m_classDataArchive && m_isApplication && where &&
      where->quotes == ShellPosition::kUnquoted && !where->escaped)
    m_classDataArchive->optionsFor(classpath.text(), archiveOptions);
  SString options;
  if (archiveOptions.count() > 0)
    options = joinAsShellWords(archiveOptions, *where);

  if (!inEnvironment) {
    if (position && !options.empty())
      return classpath.text().empty() ? SString()
                                      : options + " " + classpath.text();
    if (position) return classpath.text();
    return classpath.entries().empty()
               ? SString()
               : tagOf(jvm, "CLASSPATH") + classpath.entries();
  }
  SString variable = tagOf(jvm, "CP_ENV_VAR");
  if (variable.empty()) {
    log("If USE_CP_ENV_VAR is set to 1 in the jvm file, then the jvm file "
        "should also define CP_ENV_VAR.",
        LOG_ERROR);
  } else {
    PlatformImpl::setEnvironmentVariable(variable, classpath.entries());
    log("Set env var " + variable + " to " + classpath.entries() + "\n",
        LOG_INFORMATION);
  }
  return where ? options : SString();
}

SString LaunchScript::makeSystemProp(const JVMFile* jvm, const SString& name,
                                     const SString& value) const {
  return tagOf(jvm, "SYSTEM") + name + tagOf(jvm, "SYSTEM_SEPARATOR") +
         jvm->resolve(value);
}

SString LaunchScript::buildJVMClasspath() const {
  return tagOf(m_currentJVMFile, "JVM_CLASSPATH");
}

SString LaunchScript::buildRuntimeClasspath(const JVMFile* jvm,
                                            const char* suffix) const {
  StringDeque lines;
  readSideFile(suffix, lines);
  SString classpath;
  for (int i = 0; i < lines.count(); ++i)
    addToClasspath(jvm, classpath, lines.at(i));
  return classpath;
}

SString LaunchScript::buildRuntimeSystemProps(
    const JVMFile* jvm, const ShellPosition* where) const {
  StringDeque lines;
  readSideFile(".sp", lines);
  StringDeque options;
  for (int i = 0; i < lines.count(); ++i) {
    const SString& line = lines.at(i);
    SString::size_type equals = line.find('=');
    if (equals == npos) continue;
    options.push_back(makeSystemProp(jvm, SString(line, 0, equals),
                                     SString(line, equals + 1)));
  }
  if (where) return joinAsShellWords(options, *where);
  SString joined;
  for (int i = 0; i < options.count(); ++i)
    joinWithBlank(joined, options.at(i));
  return joined;
}

SString LaunchScript::buildRuntimeJavaArgs(const JVMFile* jvm,
                                           const ShellPosition* where) const {
  StringDeque lines;
  readSideFile(".ja", lines);
  StringDeque arguments;
  for (int i = 0; i < lines.count(); ++i)
    arguments.push_back(jvm->resolve(lines.at(i)));
  if (where) return joinAsShellWords(arguments, *where, true);
  SString joined;
  for (int i = 0; i < arguments.count(); ++i)
    joinWithBlank(joined, arguments.at(i));
  return joined;
}

SString LaunchScript::buildJARClasspath() const {
  if (!m_includeArchives) return SString();
  // Extracted once into the cache, at paths that stay the same.
  if (m_classDataArchive && m_classDataArchive->isPrepared()) {
    const StringDeque& jars = m_classDataArchive->getJars().getClasspathJars();
    SString classpath;
    for (int i = 0; i < jars.count(); ++i)
      addToClasspath(m_currentJVMFile, classpath, jars.at(i));
    return classpath;
  }
  LaunchEnvironment& environment = LaunchEnvironment::current();
  if (!environment.hasEmbeddedFiles(kClasspathArchive)) return SString();
  SString directory = PlatformImpl::createTempSubDirectory();
  StringDeque paths;
  environment.extractEmbeddedFiles(kClasspathArchive, directory, paths);
  SString classpath;
  for (int i = 0; i < paths.count(); ++i)
    addToClasspath(m_currentJVMFile, classpath, paths.at(i));
  return classpath;
}

void LaunchScript::addToClasspath(const JVMFile* jvm, SString& classpath,
                                  const SString& entry) const {
  if (entry.empty()) return;
  if (!classpath.empty()) classpath += tagOf(jvm, "CLASSPATH_SEPARATOR");
  classpath += entry;
}

void LaunchScript::throwException(const SString& command,
                                  const char* message) const {
  log("Launch command:", LOG_INFORMATION);
  log(command, LOG_INFORMATION);
  throw LauncherException(SString("Launch script error: ") + message);
}

void LaunchScript::throwArgumentError(const SString& text, const char* message,
                                      unsigned position) const {
  SString full = SString(message) + " (near character " +
                 convertToString(static_cast<long>(position)) + ")";
  throwException(text, full.c_str());
}

SString LaunchScript::sideFileName(const SString& launcherFileName,
                                   const char* suffix) {
  if (launcherFileName.empty()) return SString();
  SString base = launcherFileName;
  SString::size_type dot = base.rfind('.');
  SString::size_type separator = lastPathSeparator(base);
  // Only a dot in the file's own name starts an extension; a name without
  // any directory keeps its extension.
  if (dot != npos && separator != npos && separator < dot) base.erase(dot);
  return base + suffix;
}
