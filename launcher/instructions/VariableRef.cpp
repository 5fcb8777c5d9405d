#include "instructions/VariableRef.h"

#include <cctype>

#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "instructions/InstructionVariables.h"

void VariableRef::init(const SString& name, const SString& context) {
  if (name.length() < 2)
    throw LauncherException(context +
                            " Variable references must be at least 2 "
                            "characters (e.g. N1 and S10).");
  char type = static_cast<char>(
      std::toupper(static_cast<unsigned char>(name.c_str()[0])));
  if (type != 'N' && type != 'S')
    throw LauncherException(context + " Invalid variable reference (" + name +
                            "). Must use N or S as the variable type, e.g. "
                            "N2 or S1.");
  SString rest(name, 1);
  long number = 0;
  bool valid =
      convertToLong(rest, number) &&
      (type == 'N' ? InstructionVariables::isValidLongVariable(number)
                   : InstructionVariables::isValidStringVariable(number));
  if (!valid)
    throw LauncherException(context + " Variable number is invalid (" + rest +
                            ")");
  m_type = type;
  m_number = number;
}

void VariableRef::setValue(const SString& value, const SString& context) {
  if (m_type == 'S') {
    InstructionVariables::setStringVariable(m_number, value);
    return;
  }
  long number = 0;
  if (!InstructionVariables::readNumber(value, number))
    throw LauncherException(context + " Invalid numeric expression in " +
                            value);
  InstructionVariables::setLongVariable(m_number, number);
}

SString VariableRef::getStringValue() const {
  if (m_type == 'S') return InstructionVariables::getStringVariable(m_number);
  return convertToString(InstructionVariables::getLongVariable(m_number));
}
