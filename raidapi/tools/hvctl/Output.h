// What hvctl prints: aligned tables for people, JSON for scripts, and one
// message per failing library call.
#ifndef RAIDAPI_TOOLS_HVCTL_OUTPUT_H_
#define RAIDAPI_TOOLS_HVCTL_OUTPUT_H_

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "hvapi.h"

// Exit statuses of hvctl (documented in hvctl.1).
enum ExitStatus {
  kExitOk = 0,
  kExitCallFailed = 1,  // a library call answered a failure code
  kExitUsage = 2,       // the command line is wrong
  kExitRefused = 3,     // a destructive command without --yes, not asked
  kExitInterrupted = 4  // --wait or monitor ended by a signal
};

// A library call failed: "hvctl: Name: CODE (text)" on stderr.
inline int ReportFailure(const char *call, Int code) {
  std::fprintf(stderr, "hvctl: %s: %d (%s)\n", call, static_cast<int>(code),
               GetReturnCodeText(code));
  return kExitCallFailed;
}

// Columns padded to their widest cell; the last column is not padded.
class Table {
 public:
  explicit Table(std::vector<std::string> header) {
    rows_.push_back(std::move(header));
  }
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  void Print() const {
    std::vector<size_t> widths;
    for (const auto &row : rows_)
      for (size_t i = 0; i < row.size(); ++i) {
        if (widths.size() <= i) widths.push_back(0);
        if (row[i].size() > widths[i]) widths[i] = row[i].size();
      }
    for (const auto &row : rows_) {
      std::string line;
      for (size_t i = 0; i < row.size(); ++i) {
        line += row[i];
        if (i + 1 < row.size())
          line += std::string(widths[i] - row[i].size() + 2, ' ');
      }
      std::printf("%s\n", line.c_str());
    }
  }

 private:
  std::vector<std::vector<std::string>> rows_;
};

inline void PrintJson(const nlohmann::json &value) {
  std::printf("%s\n", value.dump(2).c_str());
}

// Bytes in lower-case hex, 16 to a line.
inline void PrintHex(const unsigned char *bytes, size_t count) {
  for (size_t i = 0; i < count; ++i)
    std::printf("%02x%s", bytes[i],
                (i % 16 == 15 || i + 1 == count) ? "\n" : " ");
}

#endif  // RAIDAPI_TOOLS_HVCTL_OUTPUT_H_
