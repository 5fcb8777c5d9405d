// A fresh directory for one test under the test framework's temporary
// directory, removed with everything in it when the object goes. A directory
// that cannot be made fails the test (the constructor throws); only the
// directory this object made is ever removed, without a shell.
#ifndef TESTSUPPORT_SCRATCHDIR_H_
#define TESTSUPPORT_SCRATCHDIR_H_

#include <ftw.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Removes path and everything under it, depth first and links not followed
// (a link inside goes, not its target); true when nothing is left, also when
// there was nothing. Only for names inside a test's own scratch directory.
inline bool removeTree(const std::string& path) {
  struct Entry {
    static int remove(const char* name, const struct stat*, int, struct FTW*) {
      return std::remove(name);
    }
  };
  return nftw(path.c_str(), Entry::remove, 16, FTW_DEPTH | FTW_PHYS) == 0 ||
         errno == ENOENT;
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "scratchXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
      throw std::runtime_error("cannot make a scratch directory from " +
                               pattern + ": " + std::strerror(errno));
    m_path = name.data();
  }
  ~ScratchDir() {
    if (!removeTree(m_path))
      ADD_FAILURE() << "cannot remove " << m_path << ": "
                    << std::strerror(errno);
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

#endif  // TESTSUPPORT_SCRATCHDIR_H_
