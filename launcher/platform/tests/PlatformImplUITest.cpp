// The console user interface: the progress bar, status lines, silent and
// hidden output, the prompt, the title and catalogue texts.
#include <clocale>
#include <functional>
#include <string>
#include <vector>

#include "PlatformImplTestSupport.h"
#include "platform/SubStatusWrapper.h"

namespace {

using UIProgressTest = PlatformTest;
using UIOutputTest = PlatformTest;
using UIPromptTest = PlatformTest;
using UITitleTest = PlatformTest;
using UIMessageTextTest = PlatformTest;

// One step of a progress scenario.
struct ProgressStep {
  enum Kind { kAdvance, kSet, kHide, kShow } kind;
  long units;
};

struct ProgressCase {
  const char* name;
  bool silent;
  std::vector<ProgressStep> steps;
  std::string expected;
  long finalProgress;
};

std::string dots(int n) { return std::string(n, '.'); }

TEST_F(UIProgressTest, DotsAndLineBreaks) {
  const ProgressStep a6{ProgressStep::kAdvance, 6};
  const ProgressCase cases[] = {
      {"twelve advances of 6: 72 dots, then one line break after the last",
       false,
       {a6, a6, a6, a6, a6, a6, a6, a6, a6, a6, a6, a6},
       dots(72) + "\n",
       72},
      {"progress 100 after 30 units breaks the line once, not again",
       false,
       {{ProgressStep::kAdvance, 30},
        {ProgressStep::kSet, 100},
        {ProgressStep::kSet, 100}},
       dots(30) + "\n",
       100},
      {"exactly 70 units end the first line",
       false,
       {{ProgressStep::kAdvance, 69}, {ProgressStep::kAdvance, 1}},
       dots(70) + "\n",
       70},
      {"a jump over two lines breaks once",
       false,
       {{ProgressStep::kAdvance, 140}, {ProgressStep::kAdvance, 1}},
       dots(140) + "\n.",
       141},
      {"silent: nothing printed, progress untouched",
       true,
       {{ProgressStep::kAdvance, 80}, {ProgressStep::kSet, 100}},
       "",
       0},
      {"hidden: progress counts without dots or line breaks",
       false,
       {{ProgressStep::kHide, 0}, {ProgressStep::kAdvance, 80}},
       "",
       80},
      {"a line hidden while it filled is ended when shown again",
       false,
       {{ProgressStep::kHide, 0},
        {ProgressStep::kAdvance, 80},
        {ProgressStep::kShow, 0},
        {ProgressStep::kSet, 100}},
       "\n",
       100},
  };
  for (const ProgressCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlatformImplTestPeer::reset();
    PlatformImpl::setSilent(c.silent);
    StderrCapture capture;
    for (const ProgressStep& step : c.steps) {
      switch (step.kind) {
        case ProgressStep::kAdvance:
          PlatformImpl::advanceUIProgress(step.units);
          break;
        case ProgressStep::kSet:
          PlatformImpl::setUIProgress(step.units);
          break;
        case ProgressStep::kHide:
          PlatformImpl::hideUI(0);
          break;
        case ProgressStep::kShow:
          PlatformImpl::showUI();
          break;
      }
    }
    EXPECT_EQ(capture.finish(), c.expected);
    EXPECT_EQ(PlatformImpl::getUIProgress(), c.finalProgress);
  }
}

// What each console operation prints when the UI is visible, when it is
// hidden and when the launcher is silent.
struct OutputCase {
  const char* name;
  std::function<void()> action;
  std::string visible;
  std::string hidden;
  std::string silent;
};

TEST_F(UIOutputTest, VisibleHiddenAndSilent) {
  const OutputCase cases[] = {
      {"a message reaches the user even while the UI is hidden",
       [] { PlatformImpl::showUIMessage("Something failed."); },
       "Something failed.\n", "Something failed.\n", ""},
      {"a message after progress dots starts a line of its own",
       [] {
         PlatformImpl::advanceUIProgress(3);
         PlatformImpl::showUIMessage("No match.");
         PlatformImpl::showUIMessage("Again.");
       },
       "...\nNo match.\nAgain.\n", "No match.\nAgain.\n", ""},
      {"a status after progress dots ends their line once",
       [] {
         PlatformImpl::advanceUIProgress(2);
         PlatformImpl::setUIStatus(UI_STATUS_SEARCHING);
         PlatformImpl::showUIMessage("m");
       },
       "..\nSearching for Java(tm) Virtual Machine...\nm\n", "m\n", ""},
      {"status initializing",
       [] { PlatformImpl::setUIStatus(UI_STATUS_INITIALIZING); },
       "\nInitializing Demo...\n", "", ""},
      {"status searching",
       [] { PlatformImpl::setUIStatus(UI_STATUS_SEARCHING); },
       "\nSearching for Java(tm) Virtual Machine...\n", "", ""},
      {"status launch failed: both texts on one line",
       [] { PlatformImpl::setUIStatus(UI_STATUS_LAUNCH_FAILED); },
       "\nNo Java(tm) Virtual Machine was found.Demo could not be launched.\n",
       "", ""},
      {"status running", [] { PlatformImpl::setUIStatus(UI_STATUS_RUNNING); },
       "\nRunning Demo...\n", "", ""},
      {"status preparing",
       [] { PlatformImpl::setUIStatus(UI_STATUS_PREPARING); },
       "\nPreparing Java(tm) Virtual Machine...\n", "", ""},
      {"an unknown status prints nothing",
       [] { PlatformImpl::setUIStatus(static_cast<UIStatus>(7)); }, "", "", ""},
      {"the title is shown as a line", [] { PlatformImpl::setUITitle("Demo"); },
       "Demo\n", "", ""},
      {"an empty title shows nothing", [] { PlatformImpl::setUITitle(""); }, "",
       "", ""},
      {"sub-statuses have no line of their own",
       [] { PlatformImpl::setUISubStatus(UI_SUBSTATUS_VERIFYING, "/opt/jvm"); },
       "", "", ""},
      {"progress dots", [] { PlatformImpl::advanceUIProgress(3); }, "...", "",
       ""},
  };
  enum Mode { kVisible, kHidden, kSilent };
  for (const OutputCase& c : cases) {
    for (Mode mode : {kVisible, kHidden, kSilent}) {
      SCOPED_TRACE(std::string(c.name) + (mode == kVisible  ? " (visible)"
                                          : mode == kHidden ? " (hidden)"
                                                            : " (silent)"));
      PlatformImplTestPeer::reset();
      g_title = "Demo";
      if (mode == kHidden) PlatformImpl::hideUI(0);
      if (mode == kSilent) PlatformImpl::setSilent(true);
      // The launcher's console is standard error; standard output is the
      // application's.
      StdoutCapture results;
      StderrCapture capture;
      c.action();
      const std::string& expected = mode == kVisible  ? c.visible
                                    : mode == kHidden ? c.hidden
                                                      : c.silent;
      EXPECT_EQ(capture.finish(), expected);
      EXPECT_EQ(results.finish(), "");
    }
  }
}

TEST_F(UIOutputTest, SilentKeepsTheUIHidden) {
  struct {
    bool silent;
    bool visibleAfterShow;
  } const cases[] = {{false, true}, {true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.silent ? "silent" : "not silent");
    PlatformImplTestPeer::reset();
    PlatformImpl::hideUI(0);
    PlatformImpl::setSilent(c.silent);
    EXPECT_FALSE(PlatformImpl::isUIVisible());
    PlatformImpl::showUI();
    EXPECT_EQ(PlatformImpl::isUIVisible(), c.visibleAfterShow);
  }
}

TEST_F(UIOutputTest, SubStatusScopeRestoresTheSavedOne) {
  {
    SubStatusWrapper scope;
    PlatformImpl::setUISubStatus(UI_SUBSTATUS_SCANNING, "");
  }
  EXPECT_EQ(PlatformImpl::getUISubStatus(), UI_SUBSTATUS_NONE);
  EXPECT_EQ(PlatformImpl::getUISubStatusData(), "");
}

struct PromptCase {
  const char* name;
  bool silent;
  bool hidden;
  std::string input;
  std::string answer;
  std::string shown;
  std::string nextWord;  // what standard input gives afterwards
};

TEST_F(UIPromptTest, ReadsOneWord) {
  const std::string prompt =
      "Supply the destination directory for the Java Virtual Machine:\n";
  const std::string longWord(1500, 'x');
  const PromptCase cases[] = {
      {"one word, leading blanks skipped", false, false, "  /opt/jvm rest\n",
       "/opt/jvm", prompt, "rest"},
      {"hidden: no prompt line, the answer is still read", false, true,
       "/opt/jvm\n", "/opt/jvm", "", ""},
      {"silent: empty answer, nothing read", true, false, "/opt/jvm\n", "", "",
       "/opt/jvm"},
      {"an overlong answer is cut at 1023 characters", false, false,
       longWord + "\n", longWord.substr(0, 1023), prompt,
       longWord.substr(1023)},
      {"no answer at all", false, false, "", "", prompt, ""},
  };
  for (const PromptCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlatformImplTestPeer::reset();
    PlatformImpl::setSilent(c.silent);
    if (c.hidden) PlatformImpl::hideUI(0);
    StdinFeed feed(c.input);
    StderrCapture capture;
    SString answer = PlatformImpl::promptJVMDestinationDirectory();
    EXPECT_EQ(capture.finish(), c.shown);
    EXPECT_EQ(std::string(answer.c_str()), c.answer);
    EXPECT_EQ(std::string(getLine().c_str()), c.nextWord);
  }
}

struct TitleCase {
  const char* locale;
  const char* title;
  const char* stored;
};

TEST_F(UITitleTest, ConvertedInTheLocaleOrKeptAsGiven) {
  const TitleCase cases[] = {
      {"C", "Plain title", "Plain title"},
      {"C", "A\\u0042C", "ABC"},
      // The C locale has no e-acute: the title keeps its original bytes.
      {"C", "Caf\\u00e9", "Caf\\u00e9"},
      {"C", "Caf\xc3\xa9", "Caf\xc3\xa9"},
      {"C.UTF-8", "Caf\\u00e9", "Caf\xc3\xa9"},
      {"C.UTF-8", "Caf\xc3\xa9", "Caf\xc3\xa9"},
      {"C.UTF-8", "\\u65e5\\u672c", "\xe6\x97\xa5\xe6\x9c\xac"},
  };
  for (const TitleCase& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.title);
    if (!setlocale(LC_CTYPE, c.locale)) {
      ADD_FAILURE() << "locale " << c.locale << " is not available";
      continue;
    }
    PlatformImplTestPeer::reset();
    StderrCapture capture;
    PlatformImpl::setUITitle(c.title);
    EXPECT_EQ(std::string(g_title.c_str()), c.stored);
    EXPECT_EQ(capture.finish(), std::string(c.stored) + "\n");
  }
  setlocale(LC_CTYPE, "C");
}

TEST_F(UIMessageTextTest, IdentifiersNameTheirTexts) {
  struct {
    MessageIdentifier id;
    const char* text;
  } const cases[] = {
      {MSGID_INPUT_FILE_LOAD_ERROR, "Could not load the input file."},
      {MSGID_INVALID_ACTION, "Invalid action in input file: "},
      {MSGID_INPUT_FILE_OPEN_ERROR,
       "Unable to open input file specified on the command line after the "
       "-in option."},
      {MSGID_WRITE_ERROR, "Error writing file = "},
      {MSGID_CANCELED, "Canceled by the user."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(std::string(PlatformImpl::getMessageText(c.id).c_str()), c.text);
  }
}

}  // namespace
