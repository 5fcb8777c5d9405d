// A variable named in an instruction, such as N1 or s10.
#ifndef LAUNCHER_INSTRUCTIONS_VARIABLEREF_H_
#define LAUNCHER_INSTRUCTIONS_VARIABLEREF_H_

#include "core/SString.h"

class VariableRef {
 public:
  VariableRef() : m_type('\0'), m_number(0) {}

  // Parses name; raises LauncherException starting with context and a
  // blank when it names no variable.
  void init(const SString& name, const SString& context);
  // An N variable takes a decimal number only.
  void setValue(const SString& value, const SString& context);
  // An N variable in decimal.
  SString getStringValue() const;

  char getType() const { return m_type; }
  long getNumber() const { return m_number; }

 private:
  char m_type;
  long m_number;
};

#endif  // LAUNCHER_INSTRUCTIONS_VARIABLEREF_H_
