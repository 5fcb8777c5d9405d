// Macro expansion shared by jvm files ("@TAG@") and launch scripts
// ("%FUNCTION%(...)", "#VARIABLE#"): a macro is the text between two
// delimiters, a doubled delimiter stands for one literal delimiter, and a
// macro's value is scanned again for macros of the same kind.
#ifndef LAUNCHER_JVM_MACROHANDLER_H_
#define LAUNCHER_JVM_MACROHANDLER_H_

#include "core/SString.h"
#include "jvm/CommandText.h"

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
  // that refers to itself, directly or through others) or whose text grows
  // beyond kMaxResolvedLength raises LauncherException naming it.
  SString resolve(const SString& text, char delimiter) const;

  // Like resolve, for text that is (part of) a shell command line starting
  // at position start: a value that is data reaches the shell as that data
  // only, quoted for the place where it lands, and is not scanned again.
  SString resolveCommand(const SString& text, char delimiter,
                         const ShellPosition& start = ShellPosition()) const;

  // How many macros one resolution may expand; far beyond any real
  // template, reached only by a value that refers to itself.
  static const unsigned kMaxExpansions = 10000;
  // How long the text of one resolution may grow. The shell takes a command
  // as one argument, of at most 128 KiB, so only a value that keeps growing
  // (one that refers to itself, or doubles through others) gets this far;
  // without the limit each of its many expansions would copy a text ever
  // longer. Beyond it the resolution raises LauncherException naming the
  // macro.
  static const unsigned kMaxResolvedLength = 256 * 1024;

 protected:
  MacroHandler() {}

  // Whether text[start..end], between two delimiters, can be a macro; one
  // that cannot stays as written and its closing delimiter may open the
  // next macro. Every text can by default.
  virtual bool isMacro(const SString& text, char delimiter, unsigned start,
                       unsigned end) const;

  // For resolveCommand: replaces the macro like processMacro, where is the
  // shell position of its opening delimiter. Returns true when the text put
  // in is shell text (scanned again for macros), false when it is data,
  // already free of macros of this kind, that resolveCommand then quotes.
  // By default the value is data whose own macros are expanded first.
  virtual bool insertCommandMacro(SString& text, char delimiter, unsigned start,
                                  unsigned& end,
                                  const ShellPosition& where) const;
};

#endif  // LAUNCHER_JVM_MACROHANDLER_H_
