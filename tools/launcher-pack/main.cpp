// launcher-pack: appends a payload to the launcher program, or lists the
// payload of a launcher file. Exit status 0 on success, 1 when packing or
// listing failed, 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "IndexListing.h"
#include "LauncherFileWriter.h"
#include "PackManifest.h"

namespace {

const int kFailure = 1;
const int kUsageError = 2;

const char kUsage[] =
    "Usage: launcher-pack [--depfile FILE] PROGRAM MANIFEST OUTPUT\n"
    "       launcher-pack --list LAUNCHER_FILE\n"
    "       launcher-pack --help\n"
    "\n"
    "Writes OUTPUT: the launcher PROGRAM with the files that MANIFEST names\n"
    "appended behind it, and the index the launcher reads at start-up.\n"
    "MANIFEST is a tag file naming the files by type:\n"
    "  INSTRUCTIONS     instruction script           (type 0)\n"
    "  JVM              JVM description files        (type 1)\n"
    "  LAUNCHSCRIPT     launch script                (type 2)\n"
    "  CLASSPATH_JAR    class-path archives          (type 3)\n"
    "  JVM_INSTALLER    JVM installer program        (type 4)\n"
    "  VERIFY_JAR       JVM verification archive     (type 5)\n"
    "  APPLICATION_JAR  application archive          (type 6)\n"
    "Relative paths are taken from the manifest's directory; a file is\n"
    "stored under its base name. Files get the ids 0, 1, 2 ... in manifest\n"
    "order unless a value starts with \"id=N \". The \"input.tag\" that\n"
    "\"launcher -tv:extract\" writes is a manifest of the files it extracted.\n"
    "\n"
    "  --depfile FILE  also write a make-style list of the files read\n"
    "  --list          print the index of LAUNCHER_FILE, one file a line:\n"
    "                  type, tag, id, length, offset, name\n"
    "  --help          print this text\n";

int usageError(const char* problem) {
  std::fprintf(stderr, "launcher-pack: %s\n%s", problem, kUsage);
  return kUsageError;
}

int failure(const std::string& message) {
  std::fprintf(stderr, "launcher-pack: %s\n", message.c_str());
  return kFailure;
}

int pack(const std::string& program, const std::string& manifestPath,
         const std::string& output, const std::string& depfile) {
  std::string error;
  PackManifest manifest;
  if (!manifest.load(manifestPath, error)) return failure(error);
  for (const std::string& warning : manifest.warnings())
    std::fprintf(stderr, "launcher-pack: warning: %s\n", warning.c_str());
  if (!writeLauncherFile(program, manifest.items(), output, error))
    return failure(error);
  if (!depfile.empty()) {
    std::vector<std::string> inputs;
    inputs.push_back(manifest.path());
    for (const PackItem& item : manifest.items()) inputs.push_back(item.path);
    if (!writeDependencyFile(depfile, output, inputs, error))
      return failure(error);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string depfile;
  bool list = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--list") {
      list = true;
    } else if (arg == "--depfile") {
      if (i + 1 >= argc) return usageError("--depfile needs a file name");
      depfile = argv[++i];
    } else {
      return usageError(("unknown option " + arg).c_str());
    }
  }
  if (list) {
    if (positional.size() != 1 || !depfile.empty())
      return usageError("--list takes one launcher file");
    std::string error;
    if (!listLauncherFile(positional[0], stdout, error)) return failure(error);
    return std::fflush(stdout) == 0 ? 0 : kFailure;
  }
  if (positional.size() != 3)
    return usageError("expected PROGRAM, MANIFEST and OUTPUT");
  return pack(positional[0], positional[1], positional[2], depfile);
}
