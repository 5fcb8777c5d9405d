// What every hvctl command shares: the options of the command line, the
// command it chose, and the small helpers for device addresses, state names
// and confirmation of destructive commands.
#ifndef RAIDAPI_TOOLS_HVCTL_CONTEXT_H_
#define RAIDAPI_TOOLS_HVCTL_CONTEXT_H_

#include <signal.h>

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "Output.h"
#include "hvapi.h"

// Set by SIGINT and SIGTERM: --wait and monitor end when it is.
extern volatile sig_atomic_t gStop;

// A device being rebuilt; the header names only the states applications set.
constexpr int kPdrvRebuilding = 5;

struct Options {
  int adapter = 0;
  bool json = false;
  bool yes = false;
  bool wait = false;
};

// The options, and the command to run once the library has started.
struct Context {
  Options options;
  std::function<int()> run;
};

// -a/--adapter (so that it may follow the subcommand) and, for read
// commands, --json.
void AddCommonOptions(CLI::App *command, Options *options, bool reads);

struct Address {
  int channel = 0;
  int target = 0;
};

std::string AddressText(int channel, int target);
// "C:T", both parts decimal and at most 255.
bool ParseAddress(const std::string &text, Address *out);
// ParseAddress that says "not a device address" on standard error.
bool ParseAddressOrSay(const std::string &text, Address *out);
// A logical drive number 0 to 255 in decimal.
bool ParseLogicalDrive(const std::string &text, int *out);

std::string PdrvStateName(int state);
std::string LdrvStateName(int status);
std::string LdrvOperationName(int status);
std::string FirmwareName(int type);

// Text of a fixed-size field that may lack its terminating zero, without
// trailing blanks.
std::string FieldText(const char *field, size_t size);
std::string Join(const std::vector<std::string> &parts, const char *sep);

// Destructive commands ask on a terminal and need --yes otherwise.
bool Confirmed(const Options &options, const std::string &what);

// Reads the file whose bytes a command sends, at most limit of them. On
// failure says why on standard error and answers false.
bool ReadDataFile(const std::string &path, size_t limit, std::string *out);

// kExitOk for a library answer of 0 or more, else the failure report.
int CallResult(const char *call, Int rc);

#endif  // RAIDAPI_TOOLS_HVCTL_CONTEXT_H_
