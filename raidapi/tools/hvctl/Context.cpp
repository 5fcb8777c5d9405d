#include "Context.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

volatile sig_atomic_t gStop = 0;

void AddCommonOptions(CLI::App *command, Options *options, bool reads) {
  command->add_option("-a,--adapter", options->adapter, "adapter number")
      ->check(CLI::Range(0, HVAPI_MAX_ADAPTERS - 1));
  if (reads) command->add_flag("--json", options->json, "JSON output");
}

std::string AddressText(int channel, int target) {
  return std::to_string(channel) + ":" + std::to_string(target);
}

bool ParseAddress(const std::string &text, Address *out) {
  unsigned channel = 0, target = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%u:%u%c", &channel, &target, &tail) != 2 ||
      channel > 255 || target > 255)
    return false;
  out->channel = static_cast<int>(channel);
  out->target = static_cast<int>(target);
  return true;
}

bool ParseAddressOrSay(const std::string &text, Address *out) {
  if (ParseAddress(text, out)) return true;
  std::fprintf(stderr, "hvctl: not a device address C:T: %s\n", text.c_str());
  return false;
}

bool ParseLogicalDrive(const std::string &text, int *out) {
  char *end = nullptr;
  long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || n < 0 || n > 255) return false;
  *out = static_cast<int>(n);
  return true;
}

std::string PdrvStateName(int state) {
  switch (state) {
    case HVAPI_PDRV_READY:
      return "ready";
    case HVAPI_PDRV_ONLINE:
      return "online";
    case HVAPI_PDRV_FAILED:
      return "failed";
    case kPdrvRebuilding:
      return "rebuilding";
    case HVAPI_PDRV_HOTSPARE:
      return "hotspare";
    default:
      return "state-" + std::to_string(state);
  }
}

std::string LdrvStateName(int status) {
  switch (status & HVAPI_LDRV_STATE_MASK) {
    case 0:
      return "offline";
    case 1:
      return "degraded";
    case HVAPI_LDRV_OPTIMAL:
      return "optimal";
    default:
      return "state-" + std::to_string(status & HVAPI_LDRV_STATE_MASK);
  }
}

std::string LdrvOperationName(int status) {
  switch (status & HVAPI_LDRV_OP_MASK) {
    case 0:
      return "none";
    case HVAPI_LDRV_OP_INIT:
      return "init";
    case HVAPI_LDRV_OP_CONSCHECK:
      return "check";
    case HVAPI_LDRV_OP_RECON:
      return "recon";
    default:
      return "op-" + std::to_string((status & HVAPI_LDRV_OP_MASK) >> 4);
  }
}

std::string FirmwareName(int type) {
  switch (type) {
    case HVAPI_FW_8LD_4SPAN:
      return "8LD-4span";
    case HVAPI_FW_8LD_8SPAN:
      return "8LD-8span";
    case HVAPI_FW_40LD:
      return "40LD";
    default:
      return "unknown";
  }
}

std::string FieldText(const char *field, size_t size) {
  size_t n = strnlen(field, size);
  std::string text(field, n);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string Join(const std::vector<std::string> &parts, const char *sep) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) text += (i ? sep : "") + parts[i];
  return text;
}

bool Confirmed(const Options &options, const std::string &what) {
  if (options.yes) return true;
  if (!isatty(STDIN_FILENO)) {
    std::fprintf(stderr,
                 "hvctl: %s is destructive; give --yes when standard input "
                 "is not a terminal\n",
                 what.c_str());
    return false;
  }
  std::fprintf(stderr, "%s? [y/N] ", what.c_str());
  char answer[16] = {0};
  if (!std::fgets(answer, sizeof answer, stdin)) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

int CallResult(const char *call, Int rc) {
  return rc < 0 ? ReportFailure(call, rc) : int(kExitOk);
}

bool ReadDataFile(const std::string &path, size_t limit, std::string *out) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "hvctl: cannot open %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  std::string data(limit + 1, '\0');
  size_t n = std::fread(&data[0], 1, data.size(), f);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    std::fprintf(stderr, "hvctl: cannot read %s\n", path.c_str());
    return false;
  }
  if (n > limit) {
    std::fprintf(stderr, "hvctl: at most %zu bytes go out\n", limit);
    return false;
  }
  data.resize(n);
  *out = data;
  return true;
}
