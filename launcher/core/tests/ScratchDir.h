// A fresh directory for one test, removed with its contents afterwards.
#ifndef LAUNCHER_CORE_TESTS_SCRATCHDIR_H_
#define LAUNCHER_CORE_TESTS_SCRATCHDIR_H_

#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "launchertestXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) m_path = name.data();
  }
  ~ScratchDir() {
    std::string command = "rm -rf '" + m_path + "'";
    if (system(command.c_str()) != 0)
      ADD_FAILURE() << "cannot remove " << m_path;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const {
    return m_path + "/" + name;
  }

 private:
  std::string m_path;
};

#endif  // LAUNCHER_CORE_TESTS_SCRATCHDIR_H_
