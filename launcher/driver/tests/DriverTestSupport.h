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

#include "testsupport/ScratchDir.h"

inline void writeFile(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr) << path;
  fputs(text.c_str(), file);
  fclose(file);
}

// The whole file, or "<missing>" when it cannot be read.
inline std::string readFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return "<missing>";
  std::string text;
  int c;
  while ((c = fgetc(file)) != EOF) text += static_cast<char>(c);
  fclose(file);
  return text;
}

inline bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// Every occurrence of from in text replaced by to.
inline std::string replaceAll(std::string text, const std::string& from,
                              const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

struct LauncherRun {
  int status;  // exit status, or -1 when the program did not exit normally
  std::string output;  // standard output: results and the application's
  std::string errors;  // standard error: the launcher's own console
};

// Runs the built launcher with args in directory cwd, with English texts
// and standard input empty, and collects its standard output and its
// standard error.
inline LauncherRun runLauncher(const std::vector<std::string>& args,
                               const std::string& cwd) {
  int out[2];
  if (pipe(out) != 0) return {-1, "<no pipe>", ""};
  // A file, not a pipe: nothing to read while the output pipe is read.
  FILE* err = tmpfile();
  if (!err) return {-1, "<no error file>", ""};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(fileno(err), 2);
    close(out[0]);
    close(out[1]);
    FILE* null = freopen("/dev/null", "r", stdin);
    (void)null;
    if (chdir(cwd.c_str()) != 0) _exit(126);
    setenv("LANG", "C", 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(LAUNCHER_PROGRAM));
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(LAUNCHER_PROGRAM, argv.data());
    _exit(127);
  }
  close(out[1]);
  LauncherRun run{-1, "", ""};
  char buffer[4096];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0)
    run.output.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  rewind(err);
  int c;
  while ((c = fgetc(err)) != EOF) run.errors += static_cast<char>(c);
  fclose(err);
  return run;
}

#endif  // LAUNCHER_DRIVER_TESTS_DRIVERTESTSUPPORT_H_
