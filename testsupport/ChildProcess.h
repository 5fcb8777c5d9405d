// Runs a program as a child process for a test, the way a user's shell
// would but with English texts, and collects its exit status, standard
// output and standard error.
#ifndef TESTSUPPORT_CHILDPROCESS_H_
#define TESTSUPPORT_CHILDPROCESS_H_

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
  int status;  // exit status, or -1 when the program did not exit normally
  std::string output;
  std::string errors;
};

// Where and how the child runs besides its arguments.
struct ProgramSetup {
  std::string cwd = ".";
  std::string stdinFile = "/dev/null";
  // Removed from the environment, then the variables set, in order, after
  // LANG=C.
  std::vector<std::string> unset;
  std::vector<std::pair<std::string, std::string>> environment;
};

// Runs program (argv[0] is program) with args.
inline ProgramRun runProgram(const std::string& program,
                             const std::vector<std::string>& args,
                             const ProgramSetup& setup) {
  int out[2];
  int err[2];
  if (pipe(out) != 0) return {-1, "<no pipe>", ""};
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return {-1, "<no pipe>", ""};
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(out[1]);
    close(err[0]);
    close(err[1]);
    int in = open(setup.stdinFile.c_str(), O_RDONLY);
    if (in < 0) _exit(126);
    dup2(in, 0);
    if (chdir(setup.cwd.c_str()) != 0) _exit(126);
    setenv("LANG", "C", 1);
    for (const std::string& name : setup.unset) unsetenv(name.c_str());
    for (const auto& variable : setup.environment)
      setenv(variable.first.c_str(), variable.second.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  ProgramRun run{-1, "", ""};
  // Both pipes are drained together so that neither can fill up and stall
  // the child.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.output, &run.errors};
  int openPipes = 2;
  while (openPipes > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --openPipes;
      }
    }
  }
  for (const pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  if (pid > 0 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

// The same in directory cwd, standard input empty.
inline ProgramRun runProgram(const std::string& program,
                             const std::vector<std::string>& args,
                             const std::string& cwd) {
  ProgramSetup setup;
  setup.cwd = cwd;
  return runProgram(program, args, setup);
}

#endif  // TESTSUPPORT_CHILDPROCESS_H_
