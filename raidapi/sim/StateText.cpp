#include "StateText.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace halvsim {

namespace {

// ---------------------------------------------------------------- lexing

// Splits a line into words; "quoted text" keeps spaces (\" and \\ escape),
// and # outside quotes starts a comment.
bool Tokenize(const std::string &line, std::vector<std::string> *words,
              std::string *error) {
  words->clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' &&
           line[i] != '\r') {
      if (line[i] == '"') {
        ++i;
        bool closed = false;
        while (i < line.size()) {
          if (line[i] == '\\' && i + 1 < line.size()) {
            word += line[i + 1];
            i += 2;
          } else if (line[i] == '"') {
            ++i;
            closed = true;
            break;
          } else {
            word += line[i++];
          }
        }
        if (!closed) {
          *error = "unterminated quoted text";
          return false;
        }
      } else {
        word += line[i++];
      }
    }
    words->push_back(word);
  }
  return true;
}

std::string Quote(const std::string &s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    // Line breaks cannot live in a one-line value.
    out += (c == '\n' || c == '\r') ? ' ' : c;
  }
  return out + "\"";
}

bool ParseU64(const std::string &s, uint64_t max, uint64_t *out) {
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  errno = 0;
  char *end = nullptr;
  unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *out = v;
  return true;
}

bool ParseI64(const std::string &s, int64_t *out) {
  if (s.empty()) return false;
  errno = 0;
  char *end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return false;
  *out = v;
  return true;
}

template <class T>
bool ParseUnsigned(const std::string &s, T *out) {
  uint64_t v = 0;
  if (!ParseU64(s, static_cast<T>(~T(0)), &v)) return false;
  *out = static_cast<T>(v);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(const std::string &s, std::vector<uint8_t> *out) {
  out->clear();
  if (s == "-") return true;
  if (s.size() % 2 != 0) return false;
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

std::string Hex(const std::vector<uint8_t> &bytes) {
  if (bytes.empty()) return "-";
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

bool ParseDev(const std::string &s, DevRef *out) {
  size_t colon = s.find(':');
  if (colon == std::string::npos) return false;
  uint8_t ch = 0, t = 0;
  if (!ParseUnsigned(s.substr(0, colon), &ch) ||
      !ParseUnsigned(s.substr(colon + 1), &t) || ch > 15 || t > 15)
    return false;
  out->channel = ch;
  out->target = t;
  return true;
}

std::string Dev(DevRef d) {
  return std::to_string(d.channel) + ":" + std::to_string(d.target);
}

bool ParseDevList(const std::string &s, std::vector<DevRef> *out) {
  out->clear();
  if (s == "-") return true;
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t comma = s.find(',', pos);
    std::string item = s.substr(
        pos, comma == std::string::npos ? std::string::npos : comma - pos);
    DevRef d;
    if (!ParseDev(item, &d)) return false;
    out->push_back(d);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return true;
}

std::string DevList(const std::vector<DevRef> &list) {
  if (list.empty()) return "-";
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i) out += ',';
    out += Dev(list[i]);
  }
  return out;
}

// "key=value" words after the first ones of a line.
using KeyValues = std::vector<std::pair<std::string, std::string>>;

bool SplitKeyValues(const std::vector<std::string> &words, size_t first,
                    KeyValues *out, std::string *error) {
  out->clear();
  for (size_t i = first; i < words.size(); ++i) {
    size_t eq = words[i].find('=');
    if (eq == std::string::npos) {
      out->emplace_back(words[i], "");
    } else {
      out->emplace_back(words[i].substr(0, eq), words[i].substr(eq + 1));
    }
    if (out->back().first.empty()) {
      *error = "empty key in '" + words[i] + "'";
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------- fields

// A named setting of a record: how to read it from a word and write it back.
template <class R>
struct FieldDef {
  const char *name;
  std::function<bool(R &, const std::string &)> parse;
  std::function<std::string(const R &)> format;
};

template <class R, class T>
FieldDef<R> Num(const char *name, T R::*member) {
  return {name,
          [member](R &r, const std::string &v) {
            return ParseUnsigned(v, &(r.*member));
          },
          [member](const R &r) {
            return std::to_string(static_cast<uint64_t>(r.*member));
          }};
}

template <class R>
FieldDef<R> Ms(const char *name, int64_t R::*member) {
  return {name,
          [member](R &r, const std::string &v) {
            return ParseI64(v, &(r.*member));
          },
          [member](const R &r) { return std::to_string(r.*member); }};
}

template <class R>
FieldDef<R> Text(const char *name, std::string R::*member) {
  return {name,
          [member](R &r, const std::string &v) {
            r.*member = v;
            return true;
          },
          [member](const R &r) { return Quote(r.*member); }};
}

template <class R>
FieldDef<R> Bytes(const char *name, std::vector<uint8_t> R::*member) {
  return {name,
          [member](R &r, const std::string &v) {
            return ParseHex(v, &(r.*member));
          },
          [member](const R &r) { return Hex(r.*member); }};
}

const std::vector<FieldDef<Adapter>> &AdapterFields() {
  // Never destroyed: parsing may run while the process exits.
  static const auto *fields = new std::vector<FieldDef<Adapter>>{
      Num("firmware", &Adapter::firmware),
      Num("interface", &Adapter::interface),
      Num("channels", &Adapter::channels),
      Num("targets", &Adapter::targets),
      Num("initiator-id", &Adapter::initiator_id),
      Num("host-number", &Adapter::host_number),
      Num("rebuild-rate", &Adapter::rebuild_rate),
      Num("alarm", &Adapter::alarm),
      Num("bios", &Adapter::bios),
      Num("cluster", &Adapter::cluster),
      Num("auto-rebuild", &Adapter::auto_rebuild),
      Bytes("channel-rates", &Adapter::channel_rates),
      Bytes("firmware-bytes", &Adapter::fw_bytes),
      Bytes("bios-bytes", &Adapter::bios_bytes),
      Text("firmware-text", &Adapter::fw_text),
      Text("bios-text", &Adapter::bios_text),
      Text("product", &Adapter::product),
      Text("host-text", &Adapter::host_text),
      Num("subsystem-id", &Adapter::subsystem_id),
      Num("subsystem-vendor", &Adapter::subsystem_vendor),
      Num("signature", &Adapter::signature),
      Num("machine-id", &Adapter::machine_id),
      Num("max-commands", &Adapter::max_commands),
      Num("dram-mb", &Adapter::dram_mb),
      Num("flush-interval", &Adapter::flush_interval),
      Num("sense-alert", &Adapter::sense_alert),
      Num("battery", &Adapter::battery),
      Num("inserted-count", &Adapter::inserted_count),
      Num("write-config-count", &Adapter::write_config_count),
      Ms("rebuild-ms", &Adapter::rebuild_ms),
      Ms("check-ms", &Adapter::check_ms),
      Ms("init-ms", &Adapter::init_ms),
      Ms("recon-ms", &Adapter::recon_ms),
      Bytes("history", &Adapter::history),
      Bytes("sense-dump", &Adapter::sense_dump),
      Text("dump-text", &Adapter::dump_text),
      Num("notify-global", &Adapter::notify_global),
      Num("notify-config", &Adapter::notify_config),
      Num("notify-ld-state", &Adapter::notify_ld_state),
      Num("notify-ld-id", &Adapter::notify_ld_id),
      Num("notify-ld-new", &Adapter::notify_ld_new),
      Num("notify-ld-old", &Adapter::notify_ld_old),
      Num("notify-pd-state", &Adapter::notify_pd_state),
      Num("notify-pd-id", &Adapter::notify_pd_id),
      Num("notify-pd-new", &Adapter::notify_pd_new),
      Num("notify-pd-old", &Adapter::notify_pd_old),
      Num("notify-ld-op", &Adapter::notify_ld_op),
      Num("notify-ld-op-id", &Adapter::notify_ld_op_id),
      Num("notify-ld-op-cmd", &Adapter::notify_ld_op_cmd),
      Num("notify-ld-op-status", &Adapter::notify_ld_op_status),
      Bytes("flash-received", &Adapter::flash_received),
      Num("flash-blocks", &Adapter::flash_blocks),
      Num("flash-closes", &Adapter::flash_closes),
  };
  return *fields;
}

const std::vector<FieldDef<Device>> &DeviceFields() {
  // Never destroyed: parsing may run while the process exits.
  static const auto *fields = new std::vector<FieldDef<Device>>{
      Num("type", &Device::type),
      Num("sectors", &Device::sectors),
      Num("state", &Device::state),
      Text("vendor", &Device::vendor),
      Text("product", &Device::product),
      Text("revision", &Device::revision),
      Num("medium-errors", &Device::medium_errors),
      Num("other-errors", &Device::other_errors),
      Num("spare-sectors", &Device::spare_sectors),
      Text("config", &Device::config),
      Bytes("buffer", &Device::buffer),
  };
  return *fields;
}

const std::vector<FieldDef<LogicalDrive>> &DriveFields() {
  // Never destroyed: parsing may run while the process exits.
  static const auto *fields = new std::vector<FieldDef<LogicalDrive>>{
      Num("raid", &LogicalDrive::raid),
      Num("stripe", &LogicalDrive::stripe),
      Num("read-ahead", &LogicalDrive::read_ahead),
      Num("write-policy", &LogicalDrive::write_policy),
      Num("direct-io", &LogicalDrive::direct_io),
      {"status",
       [](LogicalDrive &d, const std::string &v) {
         if (v == "auto") {
           d.status = -1;
           return true;
         }
         uint8_t s = 0;
         if (!ParseUnsigned(v, &s)) return false;
         d.status = s;
         return true;
       },
       [](const LogicalDrive &d) {
         return d.status < 0 ? std::string("auto") : std::to_string(d.status);
       }},
  };
  return *fields;
}

const std::vector<FieldDef<Span>> &SpanFields() {
  // Never destroyed: parsing may run while the process exits.
  static const auto *fields = new std::vector<FieldDef<Span>>{
      Num("start", &Span::start),
      Num("blocks", &Span::blocks),
      {"members",
       [](Span &s, const std::string &v) {
         return ParseDevList(v, &s.members);
       },
       [](const Span &s) { return DevList(s.members); }},
  };
  return *fields;
}

const std::vector<FieldDef<Operation>> &OperationFields() {
  // Never destroyed: parsing may run while the process exits.
  static const auto *fields = new std::vector<FieldDef<Operation>>{
      {"dev",
       [](Operation &o, const std::string &v) { return ParseDev(v, &o.dev); },
       [](const Operation &o) { return Dev(o.dev); }},
      Num("ld", &Operation::ld),
      Num("level", &Operation::level),
      Num("stripe", &Operation::stripe),
      {"add",
       [](Operation &o, const std::string &v) {
         return ParseDevList(v, &o.add);
       },
       [](const Operation &o) { return DevList(o.add); }},
      Ms("start", &Operation::start_ms),
      Ms("duration", &Operation::duration_ms),
  };
  return *fields;
}

template <class R>
bool ApplyKeyValues(const std::vector<FieldDef<R>> &fields, const KeyValues &kv,
                    R *record, std::string *error) {
  for (const auto &[key, value] : kv) {
    bool known = false;
    for (const auto &f : fields) {
      if (key == f.name) {
        known = true;
        if (!f.parse(*record, value)) {
          *error = "bad value '" + value + "' for " + key;
          return false;
        }
      }
    }
    if (!known) {
      *error = "unknown key '" + key + "'";
      return false;
    }
  }
  return true;
}

template <class R>
std::string FormatKeyValues(const std::vector<FieldDef<R>> &fields,
                            const R &record) {
  std::string out;
  for (const auto &f : fields) {
    out += ' ';
    out += f.name;
    out += '=';
    out += f.format(record);
  }
  return out;
}

const char *OpName(OpKind k) {
  switch (k) {
    case OpKind::kRebuild:
      return "rebuild";
    case OpKind::kCheck:
      return "check";
    case OpKind::kInit:
      return "init";
    case OpKind::kRecon:
      return "recon";
  }
  return "?";
}

bool ParseOpName(const std::string &s, OpKind *out) {
  for (OpKind k :
       {OpKind::kRebuild, OpKind::kCheck, OpKind::kInit, OpKind::kRecon}) {
    if (s == OpName(k)) {
      *out = k;
      return true;
    }
  }
  return false;
}

void WriteLayout(const Layout &layout, std::ostringstream &out) {
  for (const LogicalDrive &d : layout) {
    out << "logdrive" << FormatKeyValues(DriveFields(), d) << "\n";
    for (const Span &s : d.spans)
      out << "  span" << FormatKeyValues(SpanFields(), s) << "\n";
  }
}

}  // namespace

// ---------------------------------------------------------------- faults

bool ParseFaultRule(const std::string &text, FaultRule *out,
                    std::string *error) {
  std::vector<std::string> words;
  if (!Tokenize(text, &words, error)) return false;
  KeyValues kv;
  if (!SplitKeyValues(words, 0, &kv, error)) return false;
  FaultRule r;
  bool has_action = false;
  for (const auto &[key, value] : kv) {
    bool ok = true;
    uint8_t byte = 0;
    if (key == "op") {
      if (value == "any")
        r.op = -1;
      else if (value == "probe")
        r.op = kOpProbe;
      else if ((ok = ParseUnsigned(value, &byte)))
        r.op = byte;
    } else if (key == "sub") {
      if (value == "any")
        r.sub = -1;
      else if ((ok = ParseUnsigned(value, &byte)))
        r.sub = byte;
    } else if (key == "adapter") {
      if ((ok = ParseUnsigned(value, &byte))) r.adapter = byte;
    } else if (key == "dev") {
      DevRef d;
      if ((ok = ParseDev(value, &d))) {
        r.channel = d.channel;
        r.target = d.target;
      }
    } else if (key == "from") {
      ok = ParseUnsigned(value, &r.from) && r.from >= 1;
    } else if (key == "times") {
      ok = ParseUnsigned(value, &r.times);
    } else if (key == "seen") {
      ok = ParseUnsigned(value, &r.seen);
    } else if (key == "fail" && value.empty()) {
      r.action = FaultRule::Action::kFail;
      has_action = true;
    } else if (key == "status") {
      if ((ok = ParseUnsigned(value, &byte))) {
        r.action = FaultRule::Action::kStatus;
        r.status = byte;
        has_action = true;
      }
    } else if (key == "short" || key == "count") {
      ok = ParseUnsigned(value, &r.length);
      r.action = key == "short" ? FaultRule::Action::kShort
                                : FaultRule::Action::kCount;
      has_action = true;
    } else if (key == "data") {
      size_t colon = value.find(':');
      ok = colon != std::string::npos &&
           ParseUnsigned(value.substr(0, colon), &r.data_offset) &&
           ParseHex(value.substr(colon + 1), &r.data) && !r.data.empty() &&
           r.data_offset < 65536;
      r.action = FaultRule::Action::kData;
      has_action = true;
    } else {
      *error = "unknown fault key '" + key + "'";
      return false;
    }
    if (!ok) {
      *error = "bad value '" + value + "' for fault key " + key;
      return false;
    }
  }
  if (!has_action) {
    *error =
        "a fault needs fail, status=N, data=OFFSET:HEX, short=N or count=N";
    return false;
  }
  *out = r;
  return true;
}

std::string FormatFaultRule(const FaultRule &r) {
  std::string out = "op=";
  char buf[32];
  if (r.op < 0)
    out += "any";
  else if (r.op == kOpProbe)
    out += "probe";
  else {
    std::snprintf(buf, sizeof buf, "0x%02x", r.op);
    out += buf;
  }
  if (r.sub >= 0) {
    std::snprintf(buf, sizeof buf, " sub=0x%02x", r.sub);
    out += buf;
  }
  if (r.adapter >= 0) out += " adapter=" + std::to_string(r.adapter);
  if (r.channel >= 0)
    out += " dev=" + Dev({static_cast<uint8_t>(r.channel),
                          static_cast<uint8_t>(r.target)});
  out += " from=" + std::to_string(r.from);
  if (r.times) out += " times=" + std::to_string(r.times);
  switch (r.action) {
    case FaultRule::Action::kFail:
      out += " fail";
      break;
    case FaultRule::Action::kStatus:
      out += " status=" + std::to_string(r.status);
      break;
    case FaultRule::Action::kData:
      out += " data=" + std::to_string(r.data_offset) + ":" + Hex(r.data);
      break;
    case FaultRule::Action::kShort:
      out += " short=" + std::to_string(r.length);
      break;
    case FaultRule::Action::kCount:
      out += " count=" + std::to_string(r.length);
      break;
  }
  out += " seen=" + std::to_string(r.seen);
  return out;
}

// ---------------------------------------------------------------- edits

bool SetScenarioSetting(Scenario *sc, const std::string &key,
                        const std::string &value, std::string *error) {
  std::string text = "halvsim-state 1\n" + key + " " + Quote(value) + "\nend\n";
  Scenario parsed;
  if (!ReadScenario(text, &parsed, error)) return false;
  if (key == "clock")
    sc->clock_ms = parsed.clock_ms;
  else if (key == "node")
    sc->node = parsed.node;
  else if (key == "foreign-disks")
    sc->foreign_disks = parsed.foreign_disks;
  else {
    *error = "unknown setting '" + key + "'";
    return false;
  }
  return true;
}

bool SetAdapterSetting(Adapter *ad, const std::string &key,
                       const std::string &value, std::string *error) {
  for (const auto &f : AdapterFields()) {
    if (key == f.name) {
      Adapter copy = *ad;
      if (!f.parse(copy, value)) {
        *error = "bad value '" + value + "' for " + key;
        return false;
      }
      *ad = copy;
      return true;
    }
  }
  *error = "unknown adapter setting '" + key + "'";
  return false;
}

bool SetDeviceFields(Device *dev, const std::vector<std::string> &words,
                     std::string *error) {
  KeyValues kv;
  Device copy = *dev;
  if (!SplitKeyValues(words, 0, &kv, error) ||
      !ApplyKeyValues(DeviceFields(), kv, &copy, error))
    return false;
  *dev = copy;
  return true;
}

bool SetDriveFields(LogicalDrive *drive, const std::vector<std::string> &words,
                    std::string *error) {
  KeyValues kv;
  LogicalDrive copy = *drive;
  if (!SplitKeyValues(words, 0, &kv, error) ||
      !ApplyKeyValues(DriveFields(), kv, &copy, error))
    return false;
  *drive = copy;
  return true;
}

bool ParseOperation(const std::vector<std::string> &words, Operation *op,
                    std::string *error) {
  KeyValues kv;
  Operation o;
  if (words.empty() || !ParseOpName(words[0], &o.kind)) {
    *error = "an operation is rebuild, check, init or recon";
    return false;
  }
  o.start_ms = op->start_ms;
  o.duration_ms = op->duration_ms;
  if (!SplitKeyValues(words, 1, &kv, error) ||
      !ApplyKeyValues(OperationFields(), kv, &o, error))
    return false;
  *op = o;
  return true;
}

bool ParseDeviceRef(const std::string &text, DevRef *out) {
  return ParseDev(text, out);
}

// ---------------------------------------------------------------- scenario

std::string WriteScenario(const Scenario &sc) {
  std::ostringstream out;
  out << "halvsim-state " << kStateFormatVersion << "\n";
  out << "clock " << sc.clock_ms << "\n";
  out << "node " << sc.node << "\n";
  out << "foreign-disks " << Quote(sc.foreign_disks) << "\n";
  for (const FaultRule &f : sc.faults)
    out << "fault " << FormatFaultRule(f) << "\n";
  for (size_t a = 0; a < sc.adapters.size(); ++a) {
    const Adapter &ad = sc.adapters[a];
    out << "\nadapter " << a << "\n";
    for (const auto &f : AdapterFields())
      out << f.name << " " << f.format(ad) << "\n";
    for (const auto &[key, value] : ad.registers)
      out << "register " << key << " " << Hex(value) << "\n";
    for (const Device &d : ad.devices)
      out << "device " << Dev(d.at) << FormatKeyValues(DeviceFields(), d)
          << "\n";
    WriteLayout(ad.drives, out);
    for (const Operation &o : ad.ops)
      out << "op " << OpName(o.kind) << FormatKeyValues(OperationFields(), o)
          << "\n";
    for (const auto &[name, layout] : ad.stored) {
      out << "stored-config " << Quote(name) << "\n";
      WriteLayout(layout, out);
    }
  }
  out << "end\n";
  return out.str();
}

bool ReadScenario(const std::string &text, Scenario *out, std::string *error) {
  Scenario sc;
  std::istringstream in(text);
  std::string line;
  std::vector<std::string> w;
  int lineno = 0;
  bool seen_header = false, seen_end = false;
  Layout *layout = nullptr;  // where logdrive lines go
  auto fail = [&](const std::string &why) {
    *error = "line " + std::to_string(lineno) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineno;
    std::string why;
    if (!Tokenize(line, &w, &why)) return fail(why);
    if (w.empty()) continue;
    const std::string &kw = w[0];
    if (!seen_header) {
      int64_t version = 0;
      if (kw != "halvsim-state" || w.size() != 2 || !ParseI64(w[1], &version))
        return fail("not a halvsim state file");
      if (version != kStateFormatVersion)
        return fail("unsupported state format version " + w[1]);
      seen_header = true;
      continue;
    }
    if (seen_end) return fail("text after 'end'");
    Adapter *ad = sc.adapters.empty() ? nullptr : &sc.adapters.back();
    if (kw == "end") {
      seen_end = true;
    } else if (kw == "clock") {
      if (w.size() != 2 || !ParseI64(w[1], &sc.clock_ms) || sc.clock_ms < 0)
        return fail("clock needs a time in milliseconds");
    } else if (kw == "node") {
      if (w.size() != 2 ||
          (w[1] != "auto" && w[1] != "present" && w[1] != "absent"))
        return fail("node is auto, present or absent");
      sc.node = w[1];
    } else if (kw == "foreign-disks") {
      if (w.size() != 2) return fail("foreign-disks needs one value");
      for (char c : w[1])
        if (c < 'a' || c > 'z') return fail("foreign-disks takes letters a-z");
      sc.foreign_disks = w[1];
    } else if (kw == "fault") {
      FaultRule r;
      std::string rest = line.substr(line.find("fault") + 5);
      if (!ParseFaultRule(rest, &r, &why)) return fail(why);
      sc.faults.push_back(r);
    } else if (kw == "adapter") {
      sc.adapters.emplace_back();
      sc.adapters.back().devices.clear();
      layout = &sc.adapters.back().drives;
    } else if (!ad) {
      return fail("'" + kw + "' outside an adapter");
    } else if (kw == "device") {
      Device d;
      KeyValues kv;
      if (w.size() < 2 || !ParseDev(w[1], &d.at))
        return fail("device needs CHANNEL:TARGET");
      if (ad->FindDevice(d.at)) return fail("device " + w[1] + " twice");
      if (!SplitKeyValues(w, 2, &kv, &why) ||
          !ApplyKeyValues(DeviceFields(), kv, &d, &why))
        return fail(why);
      ad->devices.push_back(d);
    } else if (kw == "logdrive") {
      LogicalDrive d;
      KeyValues kv;
      if (!SplitKeyValues(w, 1, &kv, &why) ||
          !ApplyKeyValues(DriveFields(), kv, &d, &why))
        return fail(why);
      layout->push_back(d);
    } else if (kw == "span") {
      Span s;
      KeyValues kv;
      if (layout->empty()) return fail("span before any logdrive");
      if (!SplitKeyValues(w, 1, &kv, &why) ||
          !ApplyKeyValues(SpanFields(), kv, &s, &why))
        return fail(why);
      layout->back().spans.push_back(s);
    } else if (kw == "op") {
      Operation o;
      KeyValues kv;
      if (w.size() < 2 || !ParseOpName(w[1], &o.kind))
        return fail("op is rebuild, check, init or recon");
      if (!SplitKeyValues(w, 2, &kv, &why) ||
          !ApplyKeyValues(OperationFields(), kv, &o, &why))
        return fail(why);
      ad->ops.push_back(o);
    } else if (kw == "stored-config") {
      if (w.size() != 2 || w[1].empty() || w[1] == "same" || w[1] == "none")
        return fail("stored-config needs a name other than same and none");
      layout = &ad->stored[w[1]];
      layout->clear();
    } else if (kw == "register") {
      std::vector<uint8_t> bytes;
      if (w.size() != 3 || !ParseHex(w[2], &bytes))
        return fail("register needs a key and hex bytes");
      ad->registers[w[1]] = bytes;
    } else {
      bool known = false;
      for (const auto &f : AdapterFields()) {
        if (kw == f.name) {
          known = true;
          if (w.size() != 2 || !f.parse(*ad, w[1]))
            return fail("bad value for " + kw);
        }
      }
      if (!known) return fail("unknown keyword '" + kw + "'");
    }
  }
  if (!seen_header) {
    lineno = 0;
    return fail("empty state file");
  }
  if (!seen_end) return fail("missing 'end' (file cut short?)");
  if (!ValidateScenario(sc, error)) return false;
  *out = sc;
  return true;
}

}  // namespace halvsim
