#include "Scenario.h"

#include <set>

namespace halvsim {

Device *Adapter::FindDevice(DevRef at) {
  for (Device &d : devices)
    if (d.at == at) return &d;
  return nullptr;
}

const Device *Adapter::FindDevice(DevRef at) const {
  for (const Device &d : devices)
    if (d.at == at) return &d;
  return nullptr;
}

int MemberOf(const Layout &layout, DevRef dev) {
  for (size_t i = 0; i < layout.size(); ++i)
    for (const Span &s : layout[i].spans)
      for (const DevRef &m : s.members)
        if (m == dev) return static_cast<int>(i);
  return -1;
}

uint8_t DriveState(const Adapter &ad, size_t i) {
  const LogicalDrive &d = ad.drives.at(i);
  if (d.status >= 0) return static_cast<uint8_t>(d.status & 0x0F);
  bool degraded = false;
  for (const Span &s : d.spans) {
    size_t down = 0;
    for (const DevRef &m : s.members) {
      const Device *dev = ad.FindDevice(m);
      if (!dev || dev->state != kStateOnline) ++down;
    }
    if (down == 0) continue;
    if (d.raid == 0 || down > 1) return kLdOffline;
    degraded = true;
  }
  return degraded ? kLdDegraded : kLdOptimal;
}

uint8_t DriveOperation(const Adapter &ad, size_t i) {
  for (const Operation &op : ad.ops) {
    if (op.ld != i) continue;
    switch (op.kind) {
      case OpKind::kCheck:
        return kLdOpCheck;
      case OpKind::kInit:
        return kLdOpInit;
      case OpKind::kRecon:
        return kLdOpRecon;
      case OpKind::kRebuild:
        break;
    }
  }
  return 0;
}

uint64_t DriveBlocks(const LogicalDrive &d) {
  uint64_t total = 0;
  for (const Span &s : d.spans) {
    uint64_t n = s.members.size(), data = 0;
    if (d.raid == 0)
      data = n;
    else if (d.raid == 1)
      data = n ? 1 : 0;
    else if (d.raid == 3 || d.raid == 5)
      data = n ? n - 1 : 0;
    total += uint64_t{s.blocks} * data;
  }
  return total;
}

uint32_t UsableSectors(uint32_t sectors) {
  return sectors < 32 ? 0 : (sectors - 32) & ~uint32_t{2047};
}

bool SameLayout(const Layout &a, const Layout &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const LogicalDrive &x = a[i], &y = b[i];
    if (x.raid != y.raid || x.stripe != y.stripe ||
        x.read_ahead != y.read_ahead || x.write_policy != y.write_policy ||
        x.direct_io != y.direct_io || x.spans.size() != y.spans.size())
      return false;
    for (size_t s = 0; s < x.spans.size(); ++s) {
      const Span &p = x.spans[s], &q = y.spans[s];
      if (p.start != q.start || p.blocks != q.blocks || p.members != q.members)
        return false;
    }
  }
  return true;
}

const Layout *StoredLayout(const Adapter &ad, const Device &dev) {
  if (dev.config == "same") return &ad.drives;
  auto it = ad.stored.find(dev.config);
  return it == ad.stored.end() ? nullptr : &it->second;
}

bool ConfigMismatch(const Adapter &ad) {
  for (const Device &d : ad.devices) {
    if (!d.IsDisk() || d.config == "same" || d.config == "none") continue;
    const Layout *l = StoredLayout(ad, d);
    if (l && !SameLayout(*l, ad.drives)) return true;
  }
  return false;
}

namespace {

bool ValidateLayout(const Adapter &ad, const Layout &layout,
                    const std::string &where, std::string *error) {
  if (layout.size() > ad.MaxDrives()) {
    *error = where + ": more logical drives than the firmware holds";
    return false;
  }
  for (size_t i = 0; i < layout.size(); ++i) {
    const LogicalDrive &d = layout[i];
    // Drives of one set share their disks; one drive lists a disk once.
    std::set<DevRef> seen;
    std::string ld = where + " logical drive " + std::to_string(i);
    if (d.spans.empty() || d.spans.size() > ad.MaxSpans()) {
      *error = ld + ": 1 to " + std::to_string(ad.MaxSpans()) + " spans";
      return false;
    }
    for (const Span &s : d.spans) {
      if (s.members.empty() || s.members.size() > ad.MaxRow() ||
          s.members.size() != d.spans[0].members.size()) {
        *error = ld + ": spans need 1 to " + std::to_string(ad.MaxRow()) +
                 " devices, the same number in each";
        return false;
      }
      for (const DevRef &m : s.members) {
        if (!seen.insert(m).second) {
          *error = ld + ": device listed twice";
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace

bool ValidateScenario(const Scenario &sc, std::string *error) {
  for (size_t a = 0; a < sc.adapters.size(); ++a) {
    const Adapter &ad = sc.adapters[a];
    std::string where = "adapter " + std::to_string(a);
    if (ad.firmware < 1 || ad.firmware > 3) {
      *error = where + ": firmware is 1, 2 or 3";
      return false;
    }
    if (ad.interface < 1 || ad.interface > 2) {
      *error = where + ": interface is 1 or 2";
      return false;
    }
    if (ad.channels < 1 || ad.channels > (ad.Is8LD() ? 5 : 16)) {
      *error = where + ": channels out of range";
      return false;
    }
    if (ad.initiator_id > 15) {
      *error = where + ": initiator-id is 0 to 15";
      return false;
    }
    for (const Device &d : ad.devices) {
      if (d.at.channel >= (ad.Is8LD() ? 5 : 16)) {
        *error = where + ": device channel out of range";
        return false;
      }
      // 8LD state tables have entries for targets 0 to 14 only.
      if (d.at.target > (ad.Is8LD() ? 14 : 15)) {
        *error = where + ": device target out of range";
        return false;
      }
    }
    if (!ValidateLayout(ad, ad.drives, where, error)) return false;
    for (const auto &[name, layout] : ad.stored)
      if (!ValidateLayout(ad, layout, where + " stored-config " + name, error))
        return false;
  }
  return true;
}

}  // namespace halvsim
