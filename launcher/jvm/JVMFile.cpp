#include "jvm/JVMFile.h"

#include "core/LogHandler.h"
#include "core/StringPair.h"
#include "core/TextHelpers.h"
#include "jvm/CommandText.h"
#include "jvm/JVMMatch.h"
#include "jvm/LaunchScript.h"
#include "jvm/VerificationRuns.h"
#include "jvm/VerifiedJVMCache.h"
#include "jvm/VersionCompare.h"
#include "platform/PlatformImpl.h"
#include "platform/SubStatusWrapper.h"
#include "tagfile/TagFile.h"

const char* const jvmPropertiesTag = "JVM_PROPERTIES";

namespace {

const char kMagicLine[] = "1739021872";
const char kPrefixMark[] = "...";
// Progress units: a verification run, and a home without the executable.
const long kVerifyRunUnits = 6;
const long kMissingExecutableUnits = 2;

void log(const SString& text, int type) { logThroughHandler(text, type); }

bool beginsAndEndsWithQuote(const SString& s) {
  return s.length() >= 2 && s.c_str()[0] == '"' &&
         s.c_str()[s.length() - 1] == '"';
}

// text for the inside of a quoted function argument.
SString doubleQuotes(const SString& text) {
  SString result;
  const char* p = text.c_str();
  for (SString::size_type i = 0; i < text.length(); ++i) {
    if (p[i] == '"') result += '"';
    result += p[i];
  }
  return result;
}

// Whether a reported line satisfies the expected value.
bool matches(const SString& line, const SString& expected) {
  SString::size_type mark = stringEndsWith(expected, kPrefixMark);
  if (mark == SString::npos) return line == expected;
  return line.compare(0, mark, expected, 0, mark) == 0;
}

// The comparison a property name asks for with its last character: '>'
// for at least, '<' for at most, 0 for none.
char rangeOf(const SString& name) {
  if (name.empty()) return 0;
  char last = name.c_str()[name.length() - 1];
  return last == '>' || last == '<' ? last : 0;
}

// The property name without the range mark and the blanks before it.
SString propertyName(const SString& name) {
  if (!rangeOf(name)) return name;
  SString bare(name, 0, name.length() - 1);
  trim(bare, whitespaceChars);
  return bare;
}

// Whether the reported line lies in the range.
bool inRange(const SString& line, char range, const SString& bound) {
  int order = 0;
  if (!compareVersions(line, bound, order)) return false;
  return range == '>' ? order >= 0 : order <= 0;
}

// What the verification program reported, as "name=value, ...", for the
// user who asks why no JVM matched; empty when it did not answer.
SString reportedProperties(const SString& output,
                           const StringPairPtrDeque& expected) {
  unsigned pos = 0;
  SString line;
  readLineFromString(output, pos, line);
  if (line != kMagicLine) return SString();
  SString reported;
  for (int i = 0; i < expected.count() && pos < output.length(); ++i) {
    line = "";
    readLineFromString(output, pos, line);
    if (!reported.empty()) reported += ", ";
    reported += propertyName(expected.at(i)->first) + "=" + line;
  }
  return reported.empty() ? SString("nothing but the magic line") : reported;
}

// Each property the verification program reported, for what is decided
// about the JVM later in the run (its version, say).
void recordReported(VerificationRuns& runs, const SString& home,
                    const SString& output, const StringPairPtrDeque& expected) {
  unsigned pos = 0;
  SString line;
  readLineFromString(output, pos, line);
  if (line != kMagicLine) return;
  for (int i = 0; i < expected.count() && pos < output.length(); ++i) {
    line = "";
    readLineFromString(output, pos, line);
    runs.addReported(home, propertyName(expected.at(i)->first), line);
  }
}

}  // namespace

JVMFile::JVMFile(TagFile& tagFile)
    : m_tagFile(&tagFile),
      m_verificationRuns(nullptr),
      m_verifiedCache(nullptr) {}

JVMFile::~JVMFile() {}

bool JVMFile::hasRequiredProperties() const {
  if (!m_tagFile->getTagValue(jvmPropertiesTag, 0).empty()) return true;
  log("Unable to verify " + m_tagFile->getFileName() + " because the " +
          jvmPropertiesTag + " tag was not specified.",
      LOG_WARNING);
  return false;
}

JVMMatch* JVMFile::verify(const SString& classpath,
                          const SString& verifyClass) {
  if (!hasRequiredProperties()) return nullptr;
  return verify(m_tagFile->getTagValue("JVM_HOME", 0), classpath, verifyClass);
}

JVMMatch* JVMFile::verify(const SString& jvmHome, const SString& classpath,
                          const SString& verifyClass) {
  SString exe = m_tagFile->getTagValue("JVM_EXE", 0);
  if (exe.empty() || jvmHome.empty()) return nullptr;
  SubStatusWrapper savedSubStatus;
  SString description = m_tagFile->getTagValue("DESC", 0);
  PlatformImpl::setUISubStatus(UI_SUBSTATUS_VERIFYING, description);

  SString executable = jvmHome;
  appendPathSeparator(executable);
  executable += exe;
  log("Verifying JVM at " + executable + "\n   for JVM: " + description,
      LOG_INFORMATION);
  if (!PlatformImpl::fileExists(executable)) {
    log(executable + " does not exist", LOG_INFORMATION);
    PlatformImpl::advanceUIProgress(kMissingExecutableUnits);
    return nullptr;
  }
  if (!performVerify(jvmHome, classpath, verifyClass)) return nullptr;
  log("Found matching JVM at " + jvmHome, LOG_INFORMATION);
  return new JVMMatch(jvmHome, *m_tagFile);
}

JVMMatch* JVMFile::verifyWithPathHints(const SString& classpath,
                                       const SString& verifyClass) {
  if (!hasRequiredProperties()) return nullptr;
  log("Searching for " + m_tagFile->getTagValue("DESC", 0) +
          " using path hints",
      LOG_INFORMATION);
  StringDeque partitions;
  PlatformImpl::getJVMSearchPartitions(partitions);
  const SString separator = PlatformImpl::getPathSeparator();
  JVMMatch* match = nullptr;
  unsigned hints = m_tagFile->getTagValueCount("PATH_HINT");
  for (unsigned i = 0; i < hints && !match; ++i) {
    for (int j = 0; j < partitions.count() && !match; ++j) {
      SString hint = m_tagFile->getTagValue("PATH_HINT", i);
      if (hint.compare(0, separator.length(), separator) == 0) hint.erase(0, 1);
      SString candidate = partitions.at(j);
      appendPathSeparator(candidate);
      candidate += hint;
      if (candidate.empty()) continue;
      log("Checking path hint " + candidate, LOG_INFORMATION);
      match = verify(candidate, classpath, verifyClass);
    }
  }
  return match;
}

JVMMatch* JVMFile::verifyWithPlatformHints(const SString& classpath,
                                           const SString& verifyClass) {
  if (!hasRequiredProperties()) return nullptr;
  log("Searching for " + m_tagFile->getTagValue("DESC", 0) +
          " using platform hints",
      LOG_INFORMATION);
  JVMMatch* match = nullptr;
  unsigned hints = m_tagFile->getTagValueCount("PLATFORM_HINT");
  for (unsigned i = 0; i < hints && !match; ++i) {
    SString value = m_tagFile->getTagValue("PLATFORM_HINT", i);
    if (value.empty()) continue;
    SString home = PlatformImpl::getPlatformHint(value);
    if (home.empty()) continue;
    log("Checking JVM at " + home + " which was resolved from platform hint " +
            value,
        LOG_INFORMATION);
    match = verify(home, classpath, verifyClass);
  }
  return match;
}

bool JVMFile::performVerify(const SString& jvmHome, const SString& classpath,
                            const SString& verifyClass) {
  m_tagFile->setTagValue("JVM_HOME", jvmHome);

  // The home comes from the disk or from the user: it is quoted, so that
  // blanks, quotes, ";" or "$" in it run that JVM and nothing else, and
  // any macro delimiters in it stay literal.
  SString home = jvmHome;
  appendPathSeparator(home);
  SString command = templateLiteral(quoteForShell(home)) + "@JVM_EXE@ %CP%(";
  // Inside the function's quoted argument a doubled quote stands for one,
  // so a quoted class path arrives with its quotes. The path between them
  // lies in a temporary directory named by the environment: it is escaped
  // for those quotes, so that it stays one path and nothing more.
  if (beginsAndEndsWithQuote(classpath)) {
    SString path(classpath, 1, classpath.length() - 2);
    command += "\"\"\"" +
               doubleQuotes(templateLiteral(escapeInDoubleQuotes(path))) +
               "\"\"\"";
  } else {
    command += classpath;
  }
  // An input file may name the class, quoted like the class path or not: it
  // is one argument for the JVM either way, never shell code.
  command += ") ";
  if (beginsAndEndsWithQuote(verifyClass)) {
    SString name(verifyClass, 1, verifyClass.length() - 2);
    command += "\"" + templateLiteral(escapeInDoubleQuotes(name)) + "\"";
  } else {
    command += templateLiteral(shellData(verifyClass, ShellPosition()));
  }

  StringPairPtrDeque expected;
  SString names;
  unsigned settings = m_tagFile->getTagValueCount(jvmPropertiesTag);
  for (unsigned i = 0; i < settings; ++i) {
    SString setting = m_tagFile->getTagValue(jvmPropertiesTag, i);
    SString::size_type equals = setting.find('=');
    if (equals == SString::npos) {
      log(SString("Invalid ") + jvmPropertiesTag + " setting (" + setting +
              ") in JVM File " + m_tagFile->getFileName(),
          LOG_WARNING);
      continue;
    }
    SString name(setting, 0, equals);
    SString value(setting, equals + 1);
    trim(name, whitespaceChars);
    trim(value, whitespaceChars);
    command += " " + templateLiteral(quoteForShell(propertyName(name)));
    names += propertyName(name) + "\n";
    expected.push_back(new StringPair(name, value));
  }

  // Everything of the jvm file that shapes the run is part of what is
  // asked; the same question to the same JVM gets the same answer.
  SString question = command;
  // Across runs the verification program lies in another temporary
  // directory each time; its content stands for it in the cache's key.
  SString lastingQuestion = jvmHome + "\n" + verifyClass + "\n" + names;
  const char* const shaping[] = {
      "JVM_EXE",       "CLASSPATH",      "CLASSPATH_SEPARATOR",
      "JVM_CLASSPATH", "USE_CP_ENV_VAR", "CP_ENV_VAR"};
  for (const char* tag : shaping) {
    question += "\n" + m_tagFile->getTagValue(tag, 0);
    lastingQuestion += "\n" + m_tagFile->getTagValue(tag, 0);
  }
  const SString executable = home + m_tagFile->getTagValue("JVM_EXE", 0);
  SString output, errors;
  if (m_verificationRuns &&
      m_verificationRuns->find(question, output, errors)) {
    log("Matching the output of the earlier run of " + jvmHome + " again",
        LOG_INFORMATION);
  } else if (m_verifiedCache &&
             m_verifiedCache->find(jvmHome, executable, lastingQuestion,
                                   output)) {
    if (m_verificationRuns) m_verificationRuns->add(question, output, errors);
  } else {
    LaunchScript script(command, true, false);
    script.execute(*this, nullptr, false);
    output = script.getStandardOutput();
    errors = script.getErrorOutput();
    if (m_verificationRuns) m_verificationRuns->add(question, output, errors);
    if (m_verifiedCache)
      m_verifiedCache->store(jvmHome, executable, lastingQuestion, output,
                             expected.count());
  }
  if (m_verificationRuns) {
    m_verificationRuns->setLast(executable, output, errors,
                                reportedProperties(output, expected));
    recordReported(*m_verificationRuns, jvmHome, output, expected);
  }
  bool result = verifyJVMOutput(output, expected);
  PlatformImpl::advanceUIProgress(kVerifyRunUnits);
  return result;
}

bool JVMFile::verifyJVMOutput(const SString& output,
                              const StringPairPtrDeque& expected) {
  if (output.empty()) return false;
  unsigned pos = 0;
  SString line;
  readLineFromString(output, pos, line);
  if (line != kMagicLine) {
    log("Invalid magic value: " + line + "\n", LOG_ERROR);
    return false;
  }
  bool result = true;
  for (int i = 0; result && pos < output.length() && i < expected.count();
       ++i) {
    line = "";
    readLineFromString(output, pos, line);
    const StringPair& pair = *expected.at(i);
    char range = rangeOf(pair.first);
    result =
        range ? inRange(line, range, pair.second) : matches(line, pair.second);
  }
  return result;
}

SString JVMFile::resolve(const SString& text) const {
  return MacroHandler::resolve(text, '@');
}

void JVMFile::processMacro(SString& text, char, unsigned start,
                           unsigned& end) const {
  SString name(text, start + 1, end - start - 1);
  SString value = m_tagFile->getTagValue(name.c_str(), 0);
  if (name == "JVM_HOME" && stringEndsWith(value, "\\") != SString::npos)
    value.erase(value.length() - 1);
  text.replace(start, end - start + 1, value);
  end = start + value.length();
}

bool JVMFile::isMacro(const SString& text, char, unsigned start,
                      unsigned end) const {
  const char* p = text.c_str();
  for (unsigned i = start + 1; i < end; ++i) {
    char c = p[i];
    bool nameChar = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                    (c >= '0' && c <= '9') || c == '_';
    if (!nameChar) return false;
  }
  return true;
}

bool JVMFile::insertCommandMacro(SString& text, char delimiter, unsigned start,
                                 unsigned& end,
                                 const ShellPosition& where) const {
  SString name(text, start + 1, end - start - 1);
  if (name != "JVM_HOME" && name != "JVM_FILE")
    return MacroHandler::insertCommandMacro(text, delimiter, start, end, where);
  processMacro(text, delimiter, start, end);
  return false;
}
