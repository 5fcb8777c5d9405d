#include "Driver.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "Clock.h"
#include "CommandShape.h"
#include "Faults.h"
#include "Firmware.h"
#include "RequestWindow.h"
#include "ScsiTarget.h"
#include "StateStore.h"
#include "Trace.h"
#include "UserMemory.h"
#include "core/DriverRecords.h"

namespace halvsim {

namespace {

// Transfers are bounded by the request buffer: command area and data.
constexpr uint32_t kMaxTransfer = HALV_CMD_SIZE;
constexpr int kProbeTextMax = 4096;

const char *ErrnoName(int err) {
  switch (err) {
    case 0:
      return "0";
    case EFAULT:
      return "EFAULT";
    case EINVAL:
      return "EINVAL";
    case EIO:
      return "EIO";
    case ENOTTY:
      return "ENOTTY";
    case ENOENT:
      return "ENOENT";
    case ENODEV:
      return "ENODEV";
    default:
      return "EOTHER";
  }
}

// Reports a state problem once per distinct message, so that a broken state
// file is visible without flooding the output.
void ReportOnce(const std::string &message) {
  static auto *mu = new std::mutex;
  static auto *seen = new std::set<std::string>;
  std::lock_guard<std::mutex> g(*mu);
  if (seen->insert(message).second)
    std::fprintf(stderr, "halvsim: %s\n", message.c_str());
}

// One request as decoded from the records, with what the trace shows.
struct Request {
  int iface = 2;
  Node node;
  unsigned long req = 0;
  int adapter = -1;
  int fake = -1;
  int sub = -1;
  bool passthru = false;
  bool query = false;
  Bytes area;  // command area as the driver understands it
  Bytes out;   // outgoing data
  uint64_t out_addr = 0, in_addr = 0;
  uint32_t out_len = 0, in_len = 0;
  uint32_t raw[3] = {0, 0, 0};
  uint64_t status_addr = 0;  // interface 1: where the mailbox status goes
  uint64_t count_addr = 0;   // interface 1, by address: bytes answered
  uint64_t pthru_addr = 0;   // interface 1: the pass-through record
  int result = -1;
  int err = 0;
  int status = -1;
  const char *fault = "-";

  bool Fail(int e) {
    result = -1;
    err = e;
    return false;
  }

  std::string TraceLine() const {
    char head[160];
    std::snprintf(head, sizeof head, "ioctl if=%d node=%s req=0x%lx", iface,
                  node.Path().c_str(), req);
    std::string line = head;
    line += " adapter=" +
            (adapter < 0 ? std::string("-") : std::to_string(adapter));
    char buf[32];
    if (fake < 0) {
      line += " fake=-";
    } else {
      std::snprintf(buf, sizeof buf, " fake=0x%02x", fake);
      line += buf;
    }
    if (sub < 0) {
      line += " sub=-";
    } else {
      std::snprintf(buf, sizeof buf, " sub=0x%02x", sub);
      line += buf;
    }
    line += " area=" + HexBytes(area.data(), area.size());
    static const char *dirs[] = {"none", "read", "write", "both"};
    int dir = (in_len ? 1 : 0) | (out_len ? 2 : 0);
    line += std::string(" dir=") + dirs[dir];
    line += " out=" + std::to_string(out_len) + " in=" + std::to_string(in_len);
    line += " raw=" + std::to_string(raw[0]) + "," + std::to_string(raw[1]) +
            "," + std::to_string(raw[2]);
    line += " data=" + HexBytes(out.data(), out.size(), 64);
    line += " result=" + std::to_string(result);
    line +=
        " status=" + (status < 0 ? std::string("-") : std::to_string(status));
    line += std::string(" fault=") + fault;
    line += std::string(" errno=") + ErrnoName(err);
    return line;
  }
};

uint32_t LE32(const uint8_t *p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
         uint32_t{p[3]} << 24;
}

// An 8-byte union that carries a 32-bit address: the upper half must be
// clear, or the library handed over a pointer that does not fit.
bool Address8(const uint8_t *p, uint64_t *out) {
  if (LE32(p + 4) != 0) return false;
  *out = LE32(p);
  return true;
}

bool ReadOut(Request &r) {
  if (r.out_len > kMaxTransfer) return r.Fail(EINVAL);
  r.out.resize(r.out_len);
  if (!CopyIn(r.out_addr, r.out.data(), r.out_len)) return r.Fail(EFAULT);
  return true;
}

// The pass-through area from a halv_passthru record (interface 1).
Bytes AreaFromPassThru(const halv_passthru &p) {
  size_t n = p.cdblen <= 10 ? p.cdblen : 10;
  Bytes area = {HALV_AREA_PASSTHRU, 0, p.cdblen};
  area.insert(area.end(), p.cdb, p.cdb + n);
  area.push_back(
      static_cast<uint8_t>(p.timeout | p.ars << 3 | p.islogical << 7));
  area.push_back(p.logdrv);
  area.push_back(p.channel);
  area.push_back(p.target);
  return area;
}

// Decodes request 0x6D00: a uioctl_t at arg.
bool DecodeMimd(const Scenario &sc, uint64_t arg, Request &r) {
  uioctl_t u;
  if (!CopyIn(arg, &u, sizeof u)) return r.Fail(EFAULT);
  r.raw[0] = u.inlen;
  r.raw[1] = u.outlen;
  r.raw[2] = u.ui.fcs.length;
  r.fake = u.ui.fcs.opcode;
  r.area.assign(kMailboxAreaSize, 0);
  r.area[0] = u.mbox[0];
  for (size_t i = 1; i < kMailboxAreaSize; ++i) r.area[i] = u.mbox[i + 1];
  uint64_t data = 0, buffer = 0;
  bool data_ok = Address8(u.data.pad, &data);
  bool buffer_ok = Address8(u.ui.fcs.u.pad, &buffer);
  if (r.fake == HALV_FAKE_DRIVER_QUERY) {
    r.query = true;
    r.sub = u.ui.fcs.subopcode;
    r.area.resize(HALV_MBOX_AREA_LEN);
    if (!data_ok || !buffer_ok) return r.Fail(EFAULT);
    r.in_addr = data ? data : buffer;
    r.in_len = u.outlen;
    return true;
  }
  if (r.fake != HALV_FAKE_MBOX && r.fake != HALV_FAKE_MBOX_BY_ADDR)
    return r.Fail(EINVAL);
  // The adapter: 'm' in the high byte, the index among this interface's
  // adapters in the low one.
  std::vector<size_t> adapters = AdaptersOn(sc, 1);
  uint16_t adapno = u.ui.fcs.adapno;
  if ((adapno & 0xFF00) != HALV_MIMD_ADAPNO_BASE ||
      (adapno & 0xFF) >= adapters.size())
    return r.Fail(ENODEV);
  r.adapter = static_cast<int>(adapters[adapno & 0xFF]);
  r.status_addr = arg + offsetof(uioctl_t, mbox) + HALV_MBOX_STATUS;
  if (r.fake == HALV_FAKE_MBOX && u.mbox[0] == HALV_AREA_PASSTHRU) {
    r.passthru = true;
    r.pthru_addr = LE32(&u.mbox[HALV_MBOX_PTHRU_ADDR]);
    halv_passthru p;
    if (!CopyIn(r.pthru_addr, &p, sizeof p)) return r.Fail(EFAULT);
    r.area = AreaFromPassThru(p);
    if (u.inlen) {
      r.out_addr = p.dataxferaddr;
      r.out_len = p.dataxferlen;
    }
    if (u.outlen) {
      r.in_addr = p.dataxferaddr;
      r.in_len = p.dataxferlen;
    }
    return ReadOut(r);
  }
  uint8_t op = r.area[0];
  r.area.resize(op == 0x2C || op == 0x2D ? 7 : HALV_MBOX_AREA_LEN);
  if (r.fake == HALV_FAKE_MBOX) {
    if (!data_ok) return r.Fail(EFAULT);
    r.out_addr = r.in_addr = data;
    r.out_len = u.inlen;
    r.in_len = u.outlen;
  } else {
    if (!buffer_ok) return r.Fail(EFAULT);
    r.out_addr = r.in_addr = buffer;
    if (u.inlen) {
      r.out_len = u.ui.fcs.length;
    } else if (u.outlen) {
      r.in_len = u.ui.fcs.length;
      // The pass-through record's transfer length tells how much came back.
      r.count_addr = arg + offsetof(uioctl_t, pthru) +
                     offsetof(halv_passthru, dataxferlen);
    }
  }
  return ReadOut(r);
}

// Decodes request 1: the request buffer (sdata) at arg.
bool DecodeSendCommand(const Scenario &sc, uint64_t arg, Request &r) {
  uint8_t head[20];
  if (!CopyIn(arg, head, sizeof head)) return r.Fail(EFAULT);
  uint32_t outgoing = LE32(head), incoming = LE32(head + 4);
  uint32_t buffer = LE32(head + 12), length = LE32(head + 16);
  r.raw[0] = outgoing;
  r.raw[1] = incoming;
  r.raw[2] = length;
  r.fake = head[8];
  r.adapter = r.node.adapter;
  if (r.adapter < 0 || static_cast<size_t>(r.adapter) >= sc.adapters.size())
    return r.Fail(ENODEV);
  uint64_t cmd = arg + offsetof(UserIoctl_Struct, cmd);
  uint8_t first[3];
  if (!CopyIn(cmd, first, sizeof first)) return r.Fail(EFAULT);
  size_t area_len = HALV_MBOX_AREA_LEN;
  if (first[0] == HALV_AREA_PASSTHRU && r.fake == HALV_FAKE_MBOX) {
    r.passthru = true;
    area_len = size_t{first[2]} + 3 + HALV_PT_TRAILER;
  } else if (first[0] == 0x2C || first[0] == 0x2D) {
    area_len = 7;
  }
  r.area.resize(area_len);
  if (!CopyIn(cmd, r.area.data(), area_len)) return r.Fail(EFAULT);
  if (r.fake == HALV_FAKE_DRIVER_QUERY) {
    r.query = true;
    r.sub = r.area[1];
    r.in_addr = arg + HALV_INCOMING_OFFSET;
    r.in_len = incoming;
    return true;
  }
  if (r.fake == HALV_FAKE_MBOX) {
    r.out_addr = cmd + area_len;
    r.out_len =
        outgoing > HALV_OUTGOING_BASE ? outgoing - HALV_OUTGOING_BASE : 0;
    r.in_addr = arg + HALV_INCOMING_OFFSET;
    r.in_len = incoming;
    if (r.out_len + area_len > kMaxTransfer) return r.Fail(EINVAL);
    return ReadOut(r);
  }
  if (r.fake != HALV_FAKE_MBOX_BY_ADDR) return r.Fail(EINVAL);
  // Data by address: answers go to offset 8 of the buffer itself; any other
  // address is data going to the adapter.
  uint64_t incoming_at = arg + HALV_INCOMING_OFFSET;
  if (incoming_at <= UINT32_MAX && buffer == incoming_at) {
    r.in_addr = buffer;
    r.in_len = length;
  } else {
    r.out_addr = buffer;
    r.out_len = length;
  }
  if (r.in_len > kMaxTransfer) return r.Fail(EINVAL);
  return ReadOut(r);
}

RequestKey KeyOf(const Scenario &sc, const Request &r) {
  RequestKey k;
  k.adapter = r.adapter;
  if (r.query) {
    k.op = HALV_FAKE_DRIVER_QUERY;
    k.sub = r.sub;
  } else if (r.passthru) {
    k.op = HALV_AREA_PASSTHRU;
    size_t cdblen = r.area.size() > 2 ? r.area[2] : 0;
    if (r.area.size() >= cdblen + 7 && cdblen > 0) {
      k.sub = r.area[3];
      DevRef at{r.area[cdblen + 5], r.area[cdblen + 6]};
      if (r.adapter >= 0 && static_cast<size_t>(r.adapter) < sc.adapters.size())
        at = PassThroughDevice(sc.adapters[static_cast<size_t>(r.adapter)],
                               at.channel, at.target);
      k.channel = at.channel;
      k.target = at.target;
    }
  } else if (!r.area.empty()) {
    k.op = r.area[0];
    k.sub = r.area.size() > 1 ? r.area[1] : -1;
  }
  return k;
}

// Driver queries: the number of adapters and their SCSI host numbers.
Reply Query(const Scenario &sc, const Request &r) {
  std::vector<size_t> adapters = AdaptersOn(sc, r.iface);
  Reply reply;
  if (r.sub == HALV_QUERY_ADAPTER_COUNT) {
    uint32_t n = static_cast<uint32_t>(adapters.size());
    reply.data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                  static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
  } else if (r.sub == HALV_QUERY_ADAPTER_SEQUENCE) {
    for (size_t i : adapters) {
      uint32_t h = sc.adapters[i].host_number;
      for (int b = 0; b < 4; ++b)
        reply.data.push_back(static_cast<uint8_t>(h >> (8 * b)));
    }
  } else {
    reply.status = kStatusRefused;
  }
  return reply;
}

// Runs a decoded request: faults, the firmware, the answer written back.
void Run(Scenario &sc, Request &r) {
  // Where the answer and the status go must be writable before the command
  // runs, so that a bad address never leaves a change half reported.
  if (r.in_len > kMaxTransfer) {
    r.Fail(EINVAL);
    return;
  }
  if (!Writable(r.in_addr, r.in_len) ||
      !Writable(r.status_addr, r.status_addr ? 1 : 0) ||
      !Writable(r.count_addr, r.count_addr ? 4 : 0) ||
      (r.passthru && r.pthru_addr &&
       !Writable(r.pthru_addr + offsetof(halv_passthru, scsistatus), 1))) {
    r.Fail(EFAULT);
    return;
  }
  if (!r.query) {
    const std::string wrong = CheckCommandShape(
        sc.adapters[static_cast<size_t>(r.adapter)], r.passthru, r.area, r.out,
        r.in_len, r.fake == HALV_FAKE_MBOX);
    if (!wrong.empty()) {
      r.Fail(EINVAL);
      return;
    }
  }
  std::optional<FaultRule> fault = MatchFault(sc, KeyOf(sc, r));
  Reply reply;
  if (fault && fault->action == FaultRule::Action::kFail) {
    r.fault = "fail";
    r.Fail(EIO);
    return;
  }
  if (fault && fault->action == FaultRule::Action::kStatus) {
    r.fault = "status";
    reply.status = static_cast<uint8_t>(fault->status);
  } else if (r.query) {
    reply = Query(sc, r);
  } else {
    Command cmd;
    cmd.passthru = r.passthru;
    cmd.area = r.area;
    cmd.out = r.out;
    reply = Execute(sc, static_cast<size_t>(r.adapter), cmd, NowMs(sc));
  }
  r.status = reply.status;
  // An answer that comes with a non-zero status is written back too.
  if (reply.status == 0 || !reply.data.empty()) {
    uint32_t n = r.in_len;
    // The 40LD group's short answers come back inside the buffer even when
    // the request names no length: the firmware knows its answer's size.
    if (n == 0 && r.in_addr && !r.passthru && !r.query && !r.area.empty() &&
        (r.area[0] == 0xA1 || r.area[0] == 0xA4) && r.fake == HALV_FAKE_MBOX)
      n = static_cast<uint32_t>(reply.data.size() < HALV_INLINE_DATA_MAX
                                    ? reply.data.size()
                                    : HALV_INLINE_DATA_MAX);
    if (n > kMaxTransfer) {
      r.Fail(EINVAL);
      return;
    }
    Bytes answer = reply.data;
    answer.resize(n, 0);
    if (fault && fault->action == FaultRule::Action::kData) {
      r.fault = "data";
      for (size_t i = 0; i < fault->data.size(); ++i)
        if (fault->data_offset + i < answer.size())
          answer[fault->data_offset + i] = fault->data[i];
    }
    // What comes back, and the count the driver reports for it.
    uint32_t written = n, reported = n;
    if (fault && fault->action == FaultRule::Action::kShort) {
      r.fault = "short";
      written = reported = fault->length < n ? fault->length : n;
    } else if (fault && fault->action == FaultRule::Action::kCount) {
      r.fault = "count";
      reported = fault->length;
    }
    if (written && !CopyOut(r.in_addr, answer.data(), written)) {
      r.Fail(EFAULT);
      return;
    }
    if (r.count_addr && !CopyOut(r.count_addr, &reported, 4)) {
      r.Fail(EFAULT);
      return;
    }
  }
  if (r.iface == 1 && !r.query) {
    uint8_t status = static_cast<uint8_t>(reply.status);
    if (r.passthru &&
        !CopyOut(r.pthru_addr + offsetof(halv_passthru, scsistatus), &status,
                 1)) {
      r.Fail(EFAULT);
      return;
    }
    if (!CopyOut(r.status_addr, &status, 1)) {
      r.Fail(EFAULT);
      return;
    }
    r.result = 0;
  } else {
    r.result = reply.status;
  }
}

// Probe host (0x5385): the first four bytes give the buffer's length; the
// host's identification text replaces the buffer's start.
void Probe(Scenario &sc, uint64_t arg, Request &r) {
  uint8_t len_bytes[4];
  if (!CopyIn(arg, len_bytes, 4)) {
    r.Fail(EFAULT);
    return;
  }
  uint32_t len = LE32(len_bytes);
  r.raw[0] = len;
  std::string text = "Generic SCSI host";
  if (r.node.kind == Node::Kind::kDisk) {
    r.adapter = r.node.adapter;
    // The scenario may have lost the adapter since the node was opened.
    if (r.adapter < 0 || static_cast<size_t>(r.adapter) >= sc.adapters.size()) {
      r.Fail(ENODEV);
      return;
    }
    text = sc.adapters[static_cast<size_t>(r.adapter)].host_text;
  }
  RequestKey key;
  key.op = kOpProbe;
  key.adapter = r.adapter;
  std::optional<FaultRule> fault = MatchFault(sc, key);
  if (fault && fault->action == FaultRule::Action::kFail) {
    r.fault = "fail";
    r.Fail(EIO);
    return;
  }
  if (fault && fault->action == FaultRule::Action::kStatus) {
    r.fault = "status";
    r.result = fault->status;
    return;
  }
  Bytes answer(text.begin(), text.end());
  answer.push_back(0);
  if (fault && fault->action == FaultRule::Action::kData) {
    r.fault = "data";
    if (answer.size() < fault->data_offset + fault->data.size())
      answer.resize(fault->data_offset + fault->data.size(), 0);
    std::memcpy(&answer[fault->data_offset], fault->data.data(),
                fault->data.size());
  }
  size_t n = answer.size();
  if (len < n) n = len;
  if (n > kProbeTextMax) n = kProbeTextMax;
  r.in_len = static_cast<uint32_t>(n);
  if (!CopyOut(arg, answer.data(), n)) {
    r.Fail(EFAULT);
    return;
  }
  // As the SCSI layer does: 1 when a host answered.
  r.result = 1;
}

// Set while this thread is inside the simulator. The simulator's own file
// work never comes back through the interposed calls; only a signal handler
// that interrupts it on this thread can, and the scenario is not to be had
// again until the interrupted request is done.
thread_local bool t_inside = false;

class InsideScope {
 public:
  InsideScope() : reentered_(t_inside) { t_inside = true; }
  ~InsideScope() {
    if (!reentered_) t_inside = false;
  }
  bool Reentered() const { return reentered_; }

 private:
  bool reentered_;
};

}  // namespace

int DriverIoctl(const Node &node, unsigned long request, void *arg) {
  InsideScope inside;
  Request r;
  r.node = node;
  r.req = request;
  r.iface = node.kind == Node::Kind::kMimd ? 1 : 2;
  if (inside.Reentered()) {
    errno = EBUSY;
    return -1;
  }
  RequestWindow window(StateStore::StatePath());
  if (window.Overlapped() && TraceEnabled())
    TraceLine("overlap node=" + node.Path() + " req=" +
              std::to_string(request) + " pid=" + std::to_string(::getpid()));
  uint64_t addr = AddressOf(arg);
  std::string error;
  bool ok = StateStore::Instance().Transact(
      [&](Scenario &sc) {
        if (node.kind == Node::Kind::kMimd) {
          if (request != HALV_REQ_MIMD) {
            r.Fail(ENOTTY);
            return;
          }
          if (DecodeMimd(sc, addr, r)) Run(sc, r);
          return;
        }
        if (request == HALV_REQ_PROBE_HOST) {
          Probe(sc, addr, r);
          return;
        }
        if (request != HALV_REQ_SEND_COMMAND) {
          r.Fail(ENOTTY);
          return;
        }
        if (node.kind == Node::Kind::kForeignDisk) {
          r.Fail(EIO);
          return;
        }
        if (DecodeSendCommand(sc, addr, r)) Run(sc, r);
      },
      &error);
  if (!ok) {
    ReportOnce(error);
    r.Fail(EIO);
  }
  if (TraceEnabled()) TraceLine(r.TraceLine());
  if (r.result == -1) errno = r.err;
  return r.result;
}

bool DriverOpen(const char *path, Node *node, int *err) {
  InsideScope inside;
  if (inside.Reentered()) {
    *err = EBUSY;
    return false;
  }
  bool found = false;
  std::string error;
  bool ok = StateStore::Instance().Transact(
      [&](Scenario &sc) { found = ResolveNode(sc, path, node); }, &error);
  if (!ok) ReportOnce(error);
  *err = found ? 0 : ENOENT;
  return ok && found;
}

}  // namespace halvsim
