// Reading the simulated driver's trace file in tests: one line per event,
// its first word the kind (open, close, ioctl), then key=value fields.
#ifndef TESTSUPPORT_SIMTRACE_H_
#define TESTSUPPORT_SIMTRACE_H_

#include <cstddef>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// One trace line as key/value fields; "kind" holds its first word.
using TraceLine = std::map<std::string, std::string>;

// The lines of the trace at path after the first `seen` ones; `seen` moves
// to the end, so the next call returns only what came since.
inline std::vector<TraceLine> ReadTraceSince(const std::string &path,
                                             size_t &seen) {
  std::ifstream in(path);
  std::vector<TraceLine> lines;
  std::string text;
  size_t n = 0;
  while (std::getline(in, text)) {
    if (n++ < seen) continue;
    std::istringstream words(text);
    TraceLine line;
    std::string word;
    words >> line["kind"];
    while (words >> word) {
      const size_t eq = word.find('=');
      if (eq != std::string::npos)
        line[word.substr(0, eq)] = word.substr(eq + 1);
    }
    lines.push_back(line);
  }
  seen = n;
  return lines;
}

#endif  // TESTSUPPORT_SIMTRACE_H_
