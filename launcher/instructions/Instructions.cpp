#include "instructions/Instructions.h"

#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "instructions/InstructionActions.h"
#include "instructions/InstructionVariables.h"
#include "instructions/InstructionsException.h"
#include "instructions/VariableRef.h"
#include "tagfile/TagFile.h"

namespace {

const char kTag[] = "INSTRUCTIONS";
// A value that refers to itself would otherwise be expanded for ever, and
// one that holds itself twice would double with every pass.
const int kMaxSubstitutionPasses = 256;
const SString::size_type kMaxExpressionLength = 1 << 20;

const char kFindArg1[] =
    "The first argument to FIND_JVM should be a 1 if the UI should be "
    "displayed or a 0 if the UI should be suppressed.";
const char kFindArg2[] =
    "The second argument to FIND_JVM should be a 1 if a find failure message "
    "should be displayed in a UI or 0 if no message should be displayed.";
const char kGotoArg[] =
    "The GOTO command requires a label as its only argument.";
const char kILaunchArg1[] =
    "The first argument to ILAUNCH should be the file index number of the jvm "
    "file.";
const char kILaunchArg2[] =
    "The second argument to ILAUNCH should be the number of seconds to "
    "display the UI during the launch.";
const char kInstallArg[] =
    "The first argument to INSTALL_JVM should be a 0, 1 or 2.";
const char kJmp0Value[] = "The second argument to JMP0 must be numeric.";
const char kJmp0Label[] = "JMP0 requires a jump label as its second argument.";
const char kLaunchArg1[] = "Invalid jvm file name specified in LAUNCH.";
const char kLaunchArg2[] =
    "The second argument to LAUNCH should be the number of seconds to display "
    "the UI during the launch.";
const char kVerifyArg1[] =
    "The first argument to VERIFY should be a 1 if the UI should be displayed "
    "or a 0 if the UI should be suppressed.";
const char kVerifyArg2[] =
    "The second argument to VERIFY should be a 1 if a find failure message "
    "should be displayed in a UI or 0 if no message should be displayed.";
const char kVerifyArg3[] =
    "The third argument to VERIFY should be the file index number of the jvm "
    "file.";

// Text is appended in pieces; room is made by doubling, as an exact fit
// each time would copy the text so far once per piece.
void appendGrowing(SString& text, const SString& piece, SString::size_type pos,
                   SString::size_type n) {
  SString::size_type needed = text.length() + n;
  if (text.capacity() < needed) text.reserve(2 * needed);
  text.append(piece, pos, n);
}

}  // namespace

Instructions::Instructions(const TagFile& script)
    : m_script(&script), m_currentLine(0) {}

void Instructions::execute() {
  long count = static_cast<long>(m_script->getTagValueCount(kTag));
  for (m_currentLine = 0; m_currentLine < count; ++m_currentLine) {
    InstructionActions::current().beforeInstruction(m_currentLine);
    SString line =
        m_script->getTagValue(kTag, static_cast<unsigned>(m_currentLine));
    unsigned pos = 0;
    bool noToken = true;
    SString command = getTokenFromString(line, pos, noToken);
    if (noToken) throwException("No command specified.");
    executeLine(command, line, pos);
  }
}

void Instructions::executeLine(const SString& command, const SString& line,
                               unsigned pos) {
  const SString none;
  if (command.c_str()[0] == ':' || command == "//") return;
  if (command == "FIND_JVM") {
    SString first = requireToken(line, pos, kFindArg1);
    SString second = requireToken(line, pos, kFindArg2);
    bool showUI = evalBoolExpr(first, none);
    bool showFailMsg = evalBoolExpr(second, none);
    InstructionActions::current().findJVM(showUI, showFailMsg);
  } else if (command == "GOTO") {
    SString label = requireToken(line, pos, kGotoArg);
    m_currentLine = gotoLabel(label);
  } else if (command == "ILAUNCH") {
    SString first = requireToken(line, pos, kILaunchArg1);
    SString second = requireToken(line, pos, kILaunchArg2);
    long fileId = evalLongExpr(first, none);
    short seconds = evalShortExpr(second, none);
    InstructionActions::current().ilaunch(fileId, seconds);
  } else if (command == "INITIALIZE_UI") {
    InstructionActions::current().initializeUI();
  } else if (command == "INSTALL_JVM") {
    SString first = requireToken(line, pos, kInstallArg);
    long option = evalLongExpr(first, none);
    if (option < 0 || option > 2) throwException(kInstallArg);
    InstructionActions::current().installJVM(option);
  } else if (command == "JMP0") {
    bool noToken = true;
    SString value = getTokenFromString(line, pos, noToken);
    long number = evalLongExpr(value, kJmp0Value);
    SString label = requireToken(line, pos, kJmp0Label);
    if (number == 0) m_currentLine = gotoLabel(label);
  } else if (command == "LAUNCH") {
    SString jvmFileName;
    evalStringExpr(line, pos, jvmFileName, kLaunchArg1);
    SString second = requireToken(line, pos, kLaunchArg2);
    short seconds = evalShortExpr(second, none);
    InstructionActions::current().launch(jvmFileName, seconds);
  } else if (command == "SET") {
    executeSet(line, pos);
  } else if (command == "VERIFY") {
    SString first = requireToken(line, pos, kVerifyArg1);
    SString second = requireToken(line, pos, kVerifyArg2);
    SString third = requireToken(line, pos, kVerifyArg3);
    bool showUI = evalBoolExpr(first, none);
    bool showFailMsg = evalBoolExpr(second, none);
    long fileId = evalLongExpr(third, none);
    InstructionActions::current().verifyJVM(showUI, showFailMsg, fileId);
  } else {
    throwException("Invalid command (" + command + "). ");
  }
}

SString Instructions::requireToken(const SString& line, unsigned& pos,
                                   const char* message) {
  bool noToken = true;
  SString token = getTokenFromString(line, pos, noToken);
  if (noToken) throwException(message);
  return token;
}

void Instructions::executeSet(const SString& line, unsigned pos) {
  SString statement = pos < line.length() ? SString(line, pos) : SString();
  trim(statement, whitespaceChars);
  if (statement.empty()) throwException("Malformed SET statement.");
  SString::size_type equals = statement.find('=');
  if (equals == SString::npos) throwException("SET statement is missing =.");
  SString left(statement, 0, equals);
  SString right(statement, equals + 1);
  trim(left, whitespaceChars);
  trim(right, whitespaceChars);
  try {
    VariableRef variable;
    variable.init(left,
                  "Invalid variable specified on left hand side of SET "
                  "statement.");
    evalStringExpr(right, "Invalid expression specified for SET command");
    variable.setValue(right, "Invalid value specified for SET command");
  } catch (const LauncherException& e) {
    throwException(e.getMessage());
  }
}

long Instructions::gotoLabel(const SString& label) {
  SString target = ":" + label;
  evalExpr(target, "Invalid label specified.");
  if (target == ":")
    throwException("Label " + label +
                   " resolved to a blank string. Labels cannot be blank.");
  long count = static_cast<long>(m_script->getTagValueCount(kTag));
  for (long i = 1; i < count; ++i)
    if (m_script->getTagValue(kTag, static_cast<unsigned>(i)) == target)
      return i;
  throwException("Label not found (" + label + ")");
}

void Instructions::evalExpr(SString& expression, const SString& context) {
  if (expression.empty()) throwException(context + " Empty expression.");
  const SString written = expression;
  bool replaced = true;
  for (int pass = 0; replaced; ++pass) {
    if (pass == kMaxSubstitutionPasses ||
        expression.length() > kMaxExpressionLength)
      throwException(context + " Variable references refer to themselves (" +
                     written + ")");
    replaced = false;
    // Each pass builds a new text, so that a pass costs its length and not
    // its length times its references.
    SString result;
    SString::size_type from = 0;
    SString::size_type p = expression.find('@');
    while (p != SString::npos) {
      SString::size_type q = expression.find('@', p + 1);
      if (q == SString::npos)
        throwException(context + " Invalid variable specification.");
      // The "@" of "@@" is kept, the other one dropped.
      appendGrowing(result, expression, from, p - from + (q == p + 1));
      if (q != p + 1) {
        VariableRef variable;
        variable.init(SString(expression, p + 1, q - p - 1), context);
        // The value is not read again in this pass; the next pass does.
        SString value = variable.getStringValue();
        appendGrowing(result, value, 0, value.length());
        replaced = true;
      }
      from = q + 1;
      p = expression.find('@', from);
    }
    appendGrowing(result, expression, from, expression.length() - from);
    expression = result;
  }
}

void Instructions::evalStringExpr(SString& expression, const SString& context) {
  if (expression.empty()) return;
  if (expression.c_str()[0] == '"') {
    unsigned pos = 1;
    expression = parseStringArgument(expression, pos, true);
  } else {
    SString::size_type end = expression.find_first_of(whitespaceChars);
    if (end != SString::npos) expression.erase(end);
  }
  evalExpr(expression, context);
}

void Instructions::evalStringExpr(const SString& line, unsigned& pos,
                                  SString& result, const SString& context) {
  SString::size_type length = line.length();
  const char* p = line.c_str();
  while (pos < length && isWhitespace(p[pos])) ++pos;
  SString::size_type start = pos < length ? pos : length;
  SString::size_type end = start;
  if (start < length && p[start] == '"') {
    SString::size_type i = start + 1;
    for (;;) {
      SString::size_type quote = line.find('"', i);
      if (quote == SString::npos)
        throw LauncherException("Expected ending quote in " +
                                SString(line, start) + ":  " + context);
      if (quote + 1 < length && p[quote + 1] == '"') {
        i = quote + 2;
        continue;
      }
      end = quote + 1;
      break;
    }
    pos = end;
  } else {
    while (end < length && !isWhitespace(p[end])) ++end;
    pos = end < length ? end + 1 : end;
  }
  result = SString(line, start, end - start);
  if (result.empty()) throwException(context);
  evalStringExpr(result, context);
}

long Instructions::evalLongExpr(const SString& expression,
                                const SString& context) {
  SString text = expression;
  evalExpr(text, context);
  long value = 0;
  if (!InstructionVariables::readNumber(text, value))
    throwException(context + "Invalid numeric expression (" + text + ")");
  return value;
}

short Instructions::evalShortExpr(const SString& expression,
                                  const SString& context) {
  SString text = expression;
  evalExpr(text, context);
  short value = 0;
  if (!convertToShort(text, value))
    throwException(context + " Invalid numeric expression (" + text + ")");
  return value;
}

bool Instructions::evalBoolExpr(const SString& expression,
                                const SString& context) {
  long value = evalLongExpr(expression, context);
  if (value != 0 && value != 1)
    throwException(context + " Invalid boolean value (" + expression + ")");
  return value == 1;
}

void Instructions::throwException(const SString& message) const {
  throw InstructionsException(message, m_currentLine + 1);
}
