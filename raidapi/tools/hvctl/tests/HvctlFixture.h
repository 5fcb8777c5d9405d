// The fixture of the hvctl tests: a simulator scenario seeded from a preset,
// hvctl and halvsim run as processes against it (on pipes, or with hvctl on
// a terminal), and readers of their output.
#ifndef RAIDAPI_TOOLS_HVCTL_TESTS_HVCTLFIXTURE_H_
#define RAIDAPI_TOOLS_HVCTL_TESTS_HVCTLFIXTURE_H_

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/ChildProcess.h"
#include "testsupport/FileHelpers.h"
#include "testsupport/SimScenario.h"

class HvctlTest : public ::testing::Test {
 protected:
  using json = nlohmann::json;

  // Seeds the state file from preset, then applies halvsim edits.
  void Start(const std::string &preset,
             const std::vector<std::vector<std::string>> &edits = {}) {
    ProgramRun init =
        Halvsim({"init", "-p", preset, "--force", scenario_.StatePath()});
    ASSERT_EQ(init.status, 0) << init.errors;
    for (const auto &edit : edits) ASSERT_NO_FATAL_FAILURE(Edit(edit));
  }
  // A halvsim edit of the state file: the words after the state file's place.
  void Edit(std::vector<std::string> edit) {
    edit.insert(edit.begin() + 1, scenario_.StatePath());
    ProgramRun run = Halvsim(edit);
    ASSERT_EQ(run.status, 0) << run.errors;
  }
  ProgramRun Halvsim(const std::vector<std::string> &args) {
    return runProgram(HALVSIM_TOOL, args, ChildSetup(false));
  }
  ProgramRun Hvctl(const std::vector<std::string> &args) {
    return runProgram(HVCTL_PROGRAM, args, ChildSetup(true));
  }
  json Json(const std::vector<std::string> &args) {
    ProgramRun run = Hvctl(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    return json::parse(run.output, nullptr, false);
  }
  ProgramSetup ChildSetup(bool preload) {
    ProgramSetup setup;
    setup.cwd = scenario_.Dir();
    if (preload) setup.environment.push_back({"LD_PRELOAD", HALVSIM_PRELOAD});
    for (const auto &variable : environment_)
      setup.environment.push_back(variable);
    return setup;
  }
  // The cells of the table row whose first cell is key.
  static std::vector<std::string> Row(const std::string &table,
                                      const std::string &key) {
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
      std::istringstream words(line);
      std::vector<std::string> cells;
      std::string cell;
      while (words >> cell) cells.push_back(cell);
      if (!cells.empty() && cells[0] == key) return cells;
    }
    return {};
  }
  // The value of an adapter setting in the state file ("" when absent).
  std::string Setting(const std::string &key) {
    std::string text = "\n" + readFile(scenario_.StatePath());
    size_t at = text.find("\n" + key + " ");
    if (at == std::string::npos) return "";
    at += key.size() + 2;
    return text.substr(at, text.find('\n', at) - at);
  }

  // hvctl with its standard input and output on a terminal; input is typed
  // in first. output is everything the terminal showed (standard error
  // too).
  ProgramRun HvctlOnTerminal(const std::vector<std::string> &args,
                             const std::string &input) {
    ProgramSetup setup = ChildSetup(true);
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
      if (chdir(setup.cwd.c_str()) != 0) _exit(126);
      setenv("LANG", "C", 1);
      for (const auto &variable : setup.environment)
        setenv(variable.first.c_str(), variable.second.c_str(), 1);
      std::vector<char *> argv{const_cast<char *>(HVCTL_PROGRAM)};
      for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
      argv.push_back(nullptr);
      execv(HVCTL_PROGRAM, argv.data());
      _exit(127);
    }
    ProgramRun run{-1, "", ""};
    if (pid < 0) return run;
    if (!input.empty() && write(terminal, input.data(), input.size()) !=
                              static_cast<ssize_t>(input.size()))
      run.errors = "input not written";
    // The terminal answers EIO once the child and its descendants closed it.
    char buffer[4096];
    for (;;) {
      ssize_t n = read(terminal, buffer, sizeof buffer);
      if (n > 0)
        run.output.append(buffer, static_cast<size_t>(n));
      else if (n < 0 && errno == EINTR)
        continue;
      else
        break;
    }
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
  }

  SimScenario scenario_;
  // Further variables for every child.
  std::vector<std::pair<std::string, std::string>> environment_;
};

#endif  // RAIDAPI_TOOLS_HVCTL_TESTS_HVCTLFIXTURE_H_
