#include "jvm/VerificationRuns.h"

#include "core/StringPair.h"
#include "core/TextHelpers.h"

namespace {

// The first line that holds anything.
SString firstLine(const SString& text) {
  unsigned pos = 0;
  while (pos < text.length()) {
    SString line;
    readLineFromString(text, pos, line);
    if (!line.empty()) return line;
  }
  return SString();
}

}  // namespace

bool VerificationRuns::find(const SString& command, SString& output,
                            SString& errors) const {
  for (int i = 0; i < m_outputs.count(); ++i) {
    if (m_outputs.at(i)->first != command) continue;
    output = m_outputs.at(i)->second;
    errors = m_errors.at(i)->second;
    return true;
  }
  return false;
}

void VerificationRuns::add(const SString& command, const SString& output,
                           const SString& errors) {
  m_outputs.push_back(new StringPair(command, output));
  m_errors.push_back(new StringPair(command, errors));
}

void VerificationRuns::addReported(const SString& home, const SString& name,
                                   const SString& value) {
  SString key = home + "\n" + name;
  for (int i = 0; i < m_reported.count(); ++i) {
    if (m_reported.at(i)->first == key) {
      m_reported.at(i)->second = value;
      return;
    }
  }
  m_reported.push_back(new StringPair(key, value));
}

SString VerificationRuns::getReported(const SString& home,
                                      const SString& name) const {
  SString key = home + "\n" + name;
  for (int i = 0; i < m_reported.count(); ++i)
    if (m_reported.at(i)->first == key) return m_reported.at(i)->second;
  return SString();
}

void VerificationRuns::clear() {
  m_outputs.clear();
  m_errors.clear();
  m_reported.clear();
  m_lastExecutable = "";
  m_lastOutput = "";
  m_lastErrors = "";
  m_lastReported = "";
}

void VerificationRuns::setLast(const SString& executable, const SString& output,
                               const SString& errors, const SString& reported) {
  m_lastReported = reported;
  m_lastExecutable = executable;
  m_lastOutput = output;
  m_lastErrors = errors;
}

SString VerificationRuns::describeLast() const {
  if (!m_lastReported.empty())
    return m_lastExecutable + ", which reported " + m_lastReported;
  SString line = firstLine(m_lastOutput);
  if (line.empty()) line = firstLine(m_lastErrors);
  if (line.empty()) return m_lastExecutable + ", which printed nothing.";
  return m_lastExecutable + ", which printed: " + line;
}
