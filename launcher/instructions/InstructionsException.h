// A failure of the instruction script: the message and the instruction
// (counted from 1 in instructions, not in text lines) that raised it.
#ifndef LAUNCHER_INSTRUCTIONS_INSTRUCTIONSEXCEPTION_H_
#define LAUNCHER_INSTRUCTIONS_INSTRUCTIONSEXCEPTION_H_

#include "core/SString.h"

class InstructionsException {
 public:
  InstructionsException(const SString& message, long lineNumber)
      : m_message(message), m_lineNumber(lineNumber) {}
  virtual ~InstructionsException();

  const SString& getMessage() const { return m_message; }
  long getLineNumber() const { return m_lineNumber; }

 private:
  SString m_message;
  long m_lineNumber;
};

#endif  // LAUNCHER_INSTRUCTIONS_INSTRUCTIONSEXCEPTION_H_
