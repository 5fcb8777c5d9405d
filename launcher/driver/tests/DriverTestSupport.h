// Shared pieces of the driver tests: scratch directories, small file
// helpers and running the built launcher as a child process.
#ifndef LAUNCHER_DRIVER_TESTS_DRIVERTESTSUPPORT_H_
#define LAUNCHER_DRIVER_TESTS_DRIVERTESTSUPPORT_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testsupport/ChildProcess.h"
#include "testsupport/FileHelpers.h"
#include "testsupport/ScratchDir.h"

// Every occurrence of from in text replaced by to.
inline std::string replaceAll(std::string text, const std::string& from,
                              const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Runs the built launcher with args in directory cwd, with English texts
// and standard input empty.
inline ProgramRun runLauncher(const std::vector<std::string>& args,
                              const std::string& cwd) {
  return runProgram(LAUNCHER_PROGRAM, args, cwd);
}

#endif  // LAUNCHER_DRIVER_TESTS_DRIVERTESTSUPPORT_H_
