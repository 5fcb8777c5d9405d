// Macro expansion shared by jvm files ("@TAG@") and launch scripts
// ("%FUNCTION%(...)", "#VARIABLE#"): a macro is the text between two
// delimiters, a doubled delimiter stands for one literal delimiter, and a
// macro's value is scanned again for macros of the same kind.
#ifndef LAUNCHER_JVM_MACROHANDLER_H_
#define LAUNCHER_JVM_MACROHANDLER_H_

#include "core/SString.h"

class MacroHandler {
 public:
  virtual ~MacroHandler();

  // Replaces the macro that occupies text[start..end] (both delimiters
  // included; a function macro may consume more text after end) by its
  // value, leaving end just behind the value. Raises LauncherException for
  // a macro it cannot resolve.
  virtual void processMacro(SString& text, char delimiter, unsigned start,
                            unsigned& end) const = 0;

  // text with every macro of this delimiter expanded and every doubled
  // delimiter reduced to one. A macro that keeps producing macros (one
  // that refers to itself, directly or through others) raises
  // LauncherException naming it.
  SString resolve(const SString& text, char delimiter) const;

  // How many macros one resolution may expand; far beyond any real
  // template, reached only by a value that refers to itself.
  static const unsigned kMaxExpansions = 10000;

 protected:
  MacroHandler() {}
};

#endif  // LAUNCHER_JVM_MACROHANDLER_H_
