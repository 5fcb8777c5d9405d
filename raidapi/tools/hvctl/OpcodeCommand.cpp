#include "OpcodeCommand.h"

#include <cstdio>
#include <memory>

namespace {

// The library copies at most the low 16 bits of a command's length between
// its request buffer and the caller's, so a buffer of 64 KiB holds whatever
// any opcode reads or writes.
constexpr size_t kBufferSize = 65536;

// The opcode whose data is a pass-through record: hvctl raw builds that.
constexpr Int kPassThroughOpcode = 1000;

struct OpcodeArgs {
  Int opcode = 0, objid = 0;
  ULong32 param1 = 0, param2 = 0;
  std::string outFile;
  int in = -1;  // bytes of the answer to show; -1: the command's length
};

int RunOpcode(const Options &o, const OpcodeArgs &args) {
  if (args.opcode == kPassThroughOpcode) {
    std::fprintf(stderr,
                 "hvctl: opcode 1000 carries a SCSI command: use hvctl raw\n");
    return kExitUsage;
  }
  std::vector<unsigned char> buffer(kBufferSize, 0);
  if (!args.outFile.empty()) {
    std::string data;
    if (!ReadDataFile(args.outFile, kBufferSize, &data)) return kExitUsage;
    std::copy(data.begin(), data.end(), buffer.begin());
  }
  char what[32];
  std::snprintf(what, sizeof what, "opcode 0x%x", unsigned(args.opcode));
  if (!Confirmed(o, what)) return kExitRefused;
  size_t shown = 0;
  if (args.in >= 0) {
    shown = static_cast<size_t>(args.in);
  } else {
    Int dir = HVAPI_DIR_NONE;
    Int length = DataLengthOfGivenCmd(args.opcode, args.objid, args.param1,
                                      args.param2, &dir);
    if (length > 0 && (dir & HVAPI_DIR_READ)) shown = size_t(length);
  }
  if (shown > kBufferSize) shown = kBufferSize;
  Int rc = IssueCmd_MT(UChar(o.adapter), args.opcode, args.objid,
                       reinterpret_cast<unsigned long>(buffer.data()),
                       args.param1, args.param2);
  if (rc < 0) return ReportFailure("IssueCmd_MT", rc);
  if (rc > 0) {
    std::fprintf(stderr, "hvctl: IssueCmd_MT: adapter status %d\n", int(rc));
    return kExitCallFailed;
  }
  std::printf("status 0\n");
  PrintHex(buffer.data(), shown);
  return kExitOk;
}

}  // namespace

void AddOpcodeCommand(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto args = std::make_shared<OpcodeArgs>();
  auto *c = app->add_subcommand(
      "opcode", "one adapter command by its opcode, for experts");
  AddCommonOptions(c, &o, false);
  c->add_option("opcode", args->opcode,
                "the library's opcode (decimal or 0x hex), e.g. 0x23")
      ->required()
      ->check(CLI::Range(0, 0xFFFF));
  c->add_option("--objid", args->objid,
                "object: logical drive, sub-opcode, or device C*16+T")
      ->check(CLI::Range(0, 0xFFFF));
  c->add_option("--param1", args->param1, "first parameter");
  c->add_option("--param2", args->param2, "second parameter");
  c->add_option("--out", args->outFile,
                "file whose bytes fill the data buffer (commands that write)");
  c->add_option("--in", args->in,
                "bytes of the answer to show (default: the command's length)")
      ->check(CLI::Range(0, int(kBufferSize)));
  c->add_flag("-y,--yes", o.yes, "do not ask");
  c->callback([ctx, args] {
    ctx->run = [ctx, args] { return RunOpcode(ctx->options, *args); };
  });
}
