// The instruction script of a run: a tag file whose "INSTRUCTIONS" values
// are executed one by one. Instructions set the variables N1-N5 and
// S1-S10, jump to labels, and call the launcher's actions.
//
//   SET S1 = "two words"       JMP0 @N1@ LABEL       GOTO LABEL
//   FIND_JVM 1 1               :LABEL                // comment
#ifndef LAUNCHER_INSTRUCTIONS_INSTRUCTIONS_H_
#define LAUNCHER_INSTRUCTIONS_INSTRUCTIONS_H_

#include "core/SString.h"

class TagFile;

class Instructions {
 public:
  // script is not owned and must outlive this object.
  explicit Instructions(const TagFile& script);

  // Runs the script from its first instruction to its last. Raises
  // InstructionsException for a faulty instruction; failures of the
  // actions pass through.
  void execute();

  // The index of the line ":label"; the label may be built from variables.
  long gotoLabel(const SString& label);
  // Replaces every "@VAR@" by the variable's value, rescanning while
  // something was replaced; "@@" stands for one "@".
  void evalExpr(SString& expression, const SString& context);
  // The quoted text (quotes removed) or the first word, then substituted;
  // empty stays empty.
  void evalStringExpr(SString& expression, const SString& context);
  // One argument of line from pos, possibly quoted; pos ends behind it.
  void evalStringExpr(const SString& line, unsigned& pos, SString& result,
                      const SString& context);
  long evalLongExpr(const SString& expression, const SString& context);
  short evalShortExpr(const SString& expression, const SString& context);
  bool evalBoolExpr(const SString& expression, const SString& context);
  [[noreturn]] void throwException(const SString& message) const;

  const TagFile& getScript() const { return *m_script; }
  long getCurrentLine() const { return m_currentLine; }

 private:
  Instructions(const Instructions&) = delete;
  Instructions& operator=(const Instructions&) = delete;

  // One instruction; line is the whole value, pos is behind its command.
  void executeLine(const SString& command, const SString& line, unsigned pos);
  void executeSet(const SString& line, unsigned pos);
  // The next word of line, or the failure message when there is none.
  SString requireToken(const SString& line, unsigned& pos, const char* message);

  const TagFile* m_script;
  long m_currentLine;
};

#endif  // LAUNCHER_INSTRUCTIONS_INSTRUCTIONS_H_
