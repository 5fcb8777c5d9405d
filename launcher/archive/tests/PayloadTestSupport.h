// Shared pieces of the payload tests: launcher files put together byte by
// byte (so that damaged ones can be made too), scratch directories, file
// helpers and running programs as child processes.
#ifndef LAUNCHER_ARCHIVE_TESTS_PAYLOADTESTSUPPORT_H
#define LAUNCHER_ARCHIVE_TESTS_PAYLOADTESTSUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "testsupport/ChildProcess.h"
#include "testsupport/FileHelpers.h"
#include "testsupport/ScratchDir.h"

inline std::string be32(uint32_t value) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes += static_cast<char>((value >> shift) & 0xFF);
  return bytes;
}

inline std::string be16(uint16_t value) {
  return std::string(1, static_cast<char>(value >> 8)) +
         static_cast<char>(value & 0xFF);
}

inline std::string indexRecord(int type, int32_t id, int32_t length,
                               int32_t offset, const std::string& name) {
  return std::string(1, static_cast<char>(type)) + be32(id) + be32(length) +
         be32(offset) + be16(static_cast<uint16_t>(name.size())) + name;
}

inline std::string trailer(int32_t indexOffset) {
  return be32(static_cast<uint32_t>(indexOffset)) + be32(0xCA82CA82u);
}

// A launcher file: some program bytes, the files' bytes in order, the index
// and the trailer, laid out the way the build tool lays them out.
struct PayloadFile {
  int type;
  int32_t id;
  std::string name;
  std::string bytes;
};

inline std::string launcherBytes(const std::vector<PayloadFile>& files,
                                 const std::string& program = "#program#") {
  std::string out = program;
  std::string index = be32(static_cast<uint32_t>(files.size()));
  for (const PayloadFile& f : files) {
    index += indexRecord(f.type, f.id, static_cast<int32_t>(f.bytes.size()),
                         static_cast<int32_t>(out.size()), f.name);
    out += f.bytes;
  }
  int32_t indexOffset = static_cast<int32_t>(out.size());
  return out + index + trailer(indexOffset);
}

inline bool isExecutable(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && (info.st_mode & 0111) == 0111;
}

// The names in a directory, sorted.
std::vector<std::string> listDirectory(const std::string& path);

#endif  // LAUNCHER_ARCHIVE_TESTS_PAYLOADTESTSUPPORT_H
