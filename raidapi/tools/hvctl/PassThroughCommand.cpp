#include "PassThroughCommand.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct RawArgs {
  std::string device, cdb, outFile;
  unsigned in = 0;
  bool logical = false;
};

constexpr size_t kMaxData = 4096;

int RunRaw(const Options &o, const RawArgs &args) {
  PassThru_Struct pt;
  std::memset(&pt, 0, sizeof pt);
  if (args.cdb.size() % 2 || args.cdb.empty() || args.cdb.size() > 20) {
    std::fprintf(stderr, "hvctl: the command block is 1 to 10 hex bytes\n");
    return kExitUsage;
  }
  for (size_t i = 0; i < args.cdb.size(); i += 2) {
    char *end = nullptr;
    std::string byte = args.cdb.substr(i, 2);
    unsigned long v = std::strtoul(byte.c_str(), &end, 16);
    if (*end) {
      std::fprintf(stderr, "hvctl: not hex: %s\n", args.cdb.c_str());
      return kExitUsage;
    }
    pt.Cdb[i / 2] = UChar(v);
  }
  pt.CdbLength = UChar(args.cdb.size() / 2);
  if (args.logical) {
    char *end = nullptr;
    long n = std::strtol(args.device.c_str(), &end, 10);
    if (*end || n < 0 || n >= HVAPI_MAX_LDRV_40LD) return kExitUsage;
    pt.IsLogical = 1;
    pt.LogicalDriveNumber = UChar(n);
  } else {
    Address address;
    if (!ParseAddress(args.device, &address)) return kExitUsage;
    pt.Channel = UChar(address.channel);
    pt.ScsiId = UChar(address.target);
  }
  std::string outData;
  if (!args.outFile.empty()) {
    if (!ReadDataFile(args.outFile, kMaxData, &outData)) return kExitUsage;
    if (!Confirmed(o, "raw write to " + args.device)) return kExitRefused;
  }
  if (args.in && !outData.empty()) {
    std::fprintf(stderr, "hvctl: --in and --out exclude each other\n");
    return kExitUsage;
  }
  // The driver takes the data address as 32 bits: the buffer must lie
  // below 4 GiB.
  void *buffer = mmap(nullptr, kMaxData, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (buffer == MAP_FAILED) {
    std::fprintf(stderr, "hvctl: no memory below 4 GiB\n");
    return kExitCallFailed;
  }
  std::memcpy(buffer, outData.data(), outData.size());
  ULong32 length = args.in ? args.in : ULong32(outData.size());
  UChar dir = args.in           ? HVAPI_DIR_READ
              : outData.empty() ? HVAPI_DIR_NONE
                                : HVAPI_DIR_WRITE;
  pt.DataTransferAddress =
      static_cast<Int>(reinterpret_cast<uintptr_t>(buffer));
  pt.DataTransferLength = static_cast<Int>(length);
  pt.RequestSenseLength = sizeof pt.RequestSenseArea;
  Int rc = ExecuteSCSICmd(UChar(o.adapter), &pt, static_cast<char *>(buffer),
                          args.logical ? 1 : 0, dir, length);
  int status = kExitOk;
  if (rc < 0) {
    status = ReportFailure("ExecuteSCSICmd", rc);
  } else {
    std::printf("scsi_status 0x%02x\n", unsigned(pt.ScsiStatus));
    PrintHex(static_cast<const unsigned char *>(buffer), args.in);
  }
  munmap(buffer, kMaxData);
  return status;
}

}  // namespace

void AddPassThroughCommand(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto args = std::make_shared<RawArgs>();
  auto *raw = app->add_subcommand("raw", "raw SCSI command to a device");
  AddCommonOptions(raw, &o, false);
  raw->add_option("device", args->device, "device C:T (or LD number with --ld)")
      ->required();
  raw->add_option("cdb", args->cdb, "command block in hex, e.g. 120000008000")
      ->required();
  raw->add_option("--in", args->in, "bytes to read back (hex dump on stdout)")
      ->check(CLI::Range(0, 4096));
  raw->add_option("--out", args->outFile, "file whose bytes are sent");
  raw->add_flag("--ld", args->logical, "send to a logical drive");
  raw->add_flag("-y,--yes", o.yes, "do not ask");
  raw->callback([ctx, args] {
    ctx->run = [ctx, args] { return RunRaw(ctx->options, *args); };
  });
}
