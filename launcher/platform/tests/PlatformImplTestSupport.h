// Shared pieces of the PlatformImpl tests: capturing what the console
// prints, feeding standard input, scratch directories and access to the
// platform's static state so that every test starts from the same state.
#ifndef LAUNCHER_PLATFORM_TESTS_PLATFORMIMPLTESTSUPPORT_H_
#define LAUNCHER_PLATFORM_TESTS_PLATFORMIMPLTESTSUPPORT_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/LogHandler.h"
#include "core/TextHelpers.h"
#include "testsupport/FileHelpers.h"
#include "testsupport/ScratchDir.h"
#include "platform/PlatformImpl.h"

// Puts the platform back into its start-up state.
struct PlatformImplTestPeer {
  static void reset() {
    PlatformImpl::cleanup();
    PlatformImpl::m_silent = false;
    g_enableOutput = true;
    PlatformImpl::ui_progress = 0;
    PlatformImpl::ui_progressBlock = 0;
    PlatformImpl::m_subStatus = UI_SUBSTATUS_NONE;
    PlatformImpl::m_subStatusData = "";
    PlatformImpl::m_tempDir = "";
    PlatformImpl::m_canceled = false;
    PlatformImpl::m_dotsPending = false;
    g_title = "";
  }
  static int progressBlock() { return PlatformImpl::ui_progressBlock; }
  static int createdFileCount() {
    return PlatformImpl::m_sdqCreatedFiles.count();
  }
};

// Everything written to a file descriptor (1: stdout, 2: stderr) while it
// exists.
class OutputCapture {
 public:
  explicit OutputCapture(int fd) : m_fd(fd), m_file(tmpfile()), m_saved(-1) {
    fflush(stdout);
    fflush(stderr);
    m_saved = dup(m_fd);
    dup2(fileno(m_file), m_fd);
  }
  ~OutputCapture() { finish(); }

  std::string finish() {
    if (m_saved >= 0) {
      fflush(stdout);
      fflush(stderr);
      dup2(m_saved, m_fd);
      close(m_saved);
      m_saved = -1;
      rewind(m_file);
      int c;
      while ((c = fgetc(m_file)) != EOF) m_text += static_cast<char>(c);
      fclose(m_file);
    }
    return m_text;
  }

 private:
  int m_fd;
  FILE* m_file;
  int m_saved;
  std::string m_text;
};

class StdoutCapture : public OutputCapture {
 public:
  StdoutCapture() : OutputCapture(1) {}
};

// The launcher's own console.
class StderrCapture : public OutputCapture {
 public:
  StderrCapture() : OutputCapture(2) {}
};

// Standard input reads text while this exists.
class StdinFeed {
 public:
  explicit StdinFeed(const std::string& text) : m_saved(dup(0)) {
    FILE* file = tmpfile();
    fputs(text.c_str(), file);
    rewind(file);
    dup2(fileno(file), 0);
    fclose(file);
    clearerr(stdin);
  }
  ~StdinFeed() {
    dup2(m_saved, 0);
    close(m_saved);
    clearerr(stdin);
  }

 private:
  int m_saved;
};

// The log entries that the layers below the driver write while it exists.
class LogRecorder {
 public:
  LogRecorder() {
    s_entries.clear();
    m_saved = g_logHandler;
    g_logHandler = &record;
  }
  ~LogRecorder() { g_logHandler = m_saved; }
  const std::vector<std::pair<std::string, int>>& entries() const {
    return s_entries;
  }

 private:
  static void record(const SString& text, int type) {
    s_entries.emplace_back(text.c_str(), type);
  }
  static inline std::vector<std::pair<std::string, int>> s_entries;
  LogHandler m_saved;
};

// Every test starts from the platform's start-up state, with English texts.
class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* lang = getenv("LANG");
    m_hadLang = lang != nullptr;
    if (lang) m_lang = lang;
    setenv("LANG", "C", 1);
    PlatformImplTestPeer::reset();
  }
  void TearDown() override {
    PlatformImplTestPeer::reset();
    if (m_hadLang)
      setenv("LANG", m_lang.c_str(), 1);
    else
      unsetenv("LANG");
  }

 private:
  bool m_hadLang = false;
  std::string m_lang;
};

#endif  // LAUNCHER_PLATFORM_TESTS_PLATFORMIMPLTESTSUPPORT_H_
