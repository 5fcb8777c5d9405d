// The variables that carry values between instructions and out of the
// launcher's actions: N1 to N5 (signed 32-bit numbers) and S1 to S10
// (strings). They live for the whole run.
#ifndef LAUNCHER_INSTRUCTIONS_INSTRUCTIONVARIABLES_H_
#define LAUNCHER_INSTRUCTIONS_INSTRUCTIONVARIABLES_H_

#include "core/SString.h"

class InstructionVariables {
 public:
  static const long kLongCount = 5;
  static const long kStringCount = 10;

  static bool isValidLongVariable(long n) { return n >= 1 && n <= kLongCount; }
  static bool isValidStringVariable(long n) {
    return n >= 1 && n <= kStringCount;
  }
  // Outside the range: LauncherException "Invalid numeric variable
  // number: n" or "Invalid string variable number: n".
  static long getLongVariable(long n);
  static void setLongVariable(long n, long value);
  static SString getStringVariable(long n);
  static void setStringVariable(long n, const SString& value);

  // Reads a number as N variables hold it and instructions take it: a
  // decimal number (leading blanks allowed, trailing text ignored) within
  // signed 32 bits, so that a value stored and a value written read the
  // same. False for anything else.
  static bool readNumber(const SString& text, long& value);

  // Every variable back to 0 or empty.
  static void reset();
};

#endif  // LAUNCHER_INSTRUCTIONS_INSTRUCTIONVARIABLES_H_
