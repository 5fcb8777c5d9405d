// Macro expansion: delimiters, doubled delimiters, rescanning of values,
// self-reference, and the "@" macros of jvm files.
#include <map>
#include <string>

#include "JVMTestSupport.h"
#include "core/LauncherException.h"
#include "jvm/JVMFile.h"
#include "jvm/MacroHandler.h"

namespace {

// Replaces a macro by the value in the table ("<name>" when absent) and
// counts the calls.
class TableMacros : public MacroHandler {
 public:
  explicit TableMacros(std::map<std::string, std::string> values)
      : m_values(std::move(values)) {}
  void processMacro(SString& text, char, unsigned start,
                    unsigned& end) const override {
    ++calls;
    std::string name = str(SString(text, start + 1, end - start - 1));
    auto found = m_values.find(name);
    std::string value =
        found == m_values.end() ? "<" + name + ">" : found->second;
    text.replace(start, end - start + 1, value.c_str());
    end = start + static_cast<unsigned>(value.size());
  }
  mutable int calls = 0;

 private:
  std::map<std::string, std::string> m_values;
};

struct ResolveCase {
  const char* text;
  const char* expected;
};

TEST(MacroHandlerTest, ResolvesMacrosAndDoubledDelimiters) {
  TableMacros macros(
      {{"A", "alpha"}, {"NEST", "[%A%]"}, {"EMPTY", ""}, {"PCT", "100%%"}});
  const ResolveCase cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"%A%", "alpha"},
      {"x%A%y%A%z", "xalphayalphaz"},
      {"%", "%"},
      {"%%", "%"},
      {"%A", "%A"},
      {"a % b", "a % b"},
      // Two single delimiters at least two apart always make a macro.
      {"50 % and 60 %", "50 < and 60 >"},
      {"%%%%", "%%"},
      // A doubled delimiter is a literal one even when a macro follows.
      {"100%% of %A%", "100% of alpha"},
      {"%%A%", "%A%"},
      {"%%%A%", "%alpha"},
      // Values are scanned again.
      {"%NEST%", "[alpha]"},
      {"<%EMPTY%>", "<>"},
      {"%PCT%", "100%"},
      {"%A%%", "alpha%"},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(str(macros.resolve(c.text, '%')), c.expected);
  }
  // Other delimiters are left alone.
  EXPECT_EQ(str(macros.resolve("@A@ #A# %%", '#')), "@A@ alpha %%");
}

TEST(MacroHandlerTest, SelfReferenceEndsWithAnExceptionNamingTheMacro) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> values;
    const char* text;
    const char* named;
  } cases[] = {
      {"direct", {{"SELF", "x%SELF%"}}, "%SELF%", "%SELF%"},
      {"in place", {{"SELF", "%SELF%"}}, "a %SELF% b", "%SELF%"},
      {"through another", {{"A", "%B%"}, {"B", "<%A%>"}}, "%A%", "%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableMacros macros(c.values);
    try {
      macros.resolve(c.text, '%');
      ADD_FAILURE() << "no exception";
    } catch (const LauncherException& e) {
      std::string message = str(e.getMessage());
      EXPECT_NE(message.find(c.named), std::string::npos) << message;
      EXPECT_NE(message.find("refers to itself"), std::string::npos) << message;
    }
    EXPECT_LE(macros.calls, static_cast<int>(MacroHandler::kMaxExpansions));
  }
}

// A value that holds itself with more text grows with every expansion:
// the resolution stops once the text is too long for any command, long
// before the count of expansions would stop it.
TEST(MacroHandlerTest, GrowingValueEndsWhenTheTextIsTooLong) {
  const std::string padding(100, 'x');
  TableMacros macros({{"GROW", padding + "%GROW%"}});
  try {
    macros.resolve("%GROW%", '%');
    ADD_FAILURE() << "no exception";
  } catch (const LauncherException& e) {
    std::string message = str(e.getMessage());
    EXPECT_NE(message.find("%GROW%"), std::string::npos) << message;
    EXPECT_NE(message.find("grows beyond 262144 characters"), std::string::npos)
        << message;
  }
  EXPECT_LE(macros.calls,
            static_cast<int>(MacroHandler::kMaxResolvedLength / 100 + 1));
}

TEST(MacroHandlerTest, ManyMacrosAreNoSelfReference) {
  TableMacros macros(std::map<std::string, std::string>{{"A", "a"}});
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "%A%";
  EXPECT_EQ(str(macros.resolve(text.c_str(), '%')), std::string(5000, 'a'));
}

TEST(JVMFileMacroTest, ReplacesTagsByTheirFirstValue) {
  TagFile tags;
  fillTags(tags, {{"JVM_EXE", "bin/java"},
                  {"LIST", "first"},
                  {"LIST", "second"},
                  {"REF", "@JVM_EXE@"},
                  {"SELF", "-@SELF@"},
                  {"OTHER_HOME", "/opt/jdk\\"}});
  JVMFile jvm(tags);
  const ResolveCase cases[] = {
      {"@JVM_EXE@", "bin/java"},
      {"@LIST@", "first"},
      {"<@MISSING@>", "<>"},
      {"a@@b", "a@b"},
      {"user@@host @JVM_EXE@", "user@host bin/java"},
      {"@REF@", "bin/java"},
      // Only the home loses a trailing backslash.
      {"@OTHER_HOME@", "/opt/jdk\\"},
      {"%CP% #X#", "%CP% #X#"},
      // Only letters, digits and underscores make a tag name; other text
      // between two signs stays, and its second sign may open a tag.
      {"mail a@b.org or c@d.org", "mail a@b.org or c@d.org"},
      {"@not a tag@JVM_EXE@", "@not a tagbin/java"},
      {"a@b c@JVM_EXE@", "a@b cbin/java"},
      {"@x-y@", "@x-y@"},
      {"@@x y@@", "@x y@"},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(str(jvm.resolve(c.text)), c.expected);
  }
  struct HomeCase {
    const char* home;
    const char* expected;
  } homes[] = {{"/opt/jdk\\", "/opt/jdk"},
               {"/opt/jdk\\\\", "/opt/jdk\\"},
               {"/opt/jdk/", "/opt/jdk/"},
               {"", ""}};
  for (const HomeCase& h : homes) {
    SCOPED_TRACE(h.home);
    tags.setTagValue("JVM_HOME", h.home);
    EXPECT_EQ(str(jvm.resolve("@JVM_HOME@")), h.expected);
  }
  EXPECT_THROW(jvm.resolve("@SELF@"), LauncherException);
}

}  // namespace
