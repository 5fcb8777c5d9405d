#include "instructions/InstructionVariables.h"

#include <cstdint>

#include "core/LauncherException.h"
#include "core/TextHelpers.h"

namespace {

int32_t g_longVariables[InstructionVariables::kLongCount];
SString g_stringVariables[InstructionVariables::kStringCount];

void checkLong(long n) {
  if (!InstructionVariables::isValidLongVariable(n))
    throw LauncherException("Invalid numeric variable number: " +
                            convertToString(n));
}

void checkString(long n) {
  if (!InstructionVariables::isValidStringVariable(n))
    throw LauncherException("Invalid string variable number: " +
                            convertToString(n));
}

}  // namespace

long InstructionVariables::getLongVariable(long n) {
  checkLong(n);
  return g_longVariables[n - 1];
}

void InstructionVariables::setLongVariable(long n, long value) {
  checkLong(n);
  g_longVariables[n - 1] = static_cast<int32_t>(value);
}

SString InstructionVariables::getStringVariable(long n) {
  checkString(n);
  return g_stringVariables[n - 1];
}

void InstructionVariables::setStringVariable(long n, const SString& value) {
  checkString(n);
  g_stringVariables[n - 1] = value;
}

bool InstructionVariables::readNumber(const SString& text, long& value) {
  long number = 0;
  // strtol saturates at the limits of a long; those lie outside 32 bits.
  if (!convertToLong(text, number) || number < INT32_MIN || number > INT32_MAX)
    return false;
  value = number;
  return true;
}

void InstructionVariables::reset() {
  for (long i = 0; i < kLongCount; ++i) g_longVariables[i] = 0;
  for (long i = 0; i < kStringCount; ++i) g_stringVariables[i] = SString();
}
