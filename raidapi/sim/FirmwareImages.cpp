#include "FirmwareImages.h"

#include <cstring>
#include <set>

#include "firmware/FirmwareLayouts.h"

namespace halvsim {

namespace {

template <class T>
Bytes ToBytes(const T &record) {
  Bytes out(sizeof(T));
  std::memcpy(out.data(), &record, sizeof(T));
  return out;
}

template <class T>
T Zeroed() {
  T record;
  std::memset(&record, 0, sizeof record);
  return record;
}

void CopyText(UChar *dst, size_t size, const std::string &text) {
  std::memset(dst, 0, size);
  std::memcpy(dst, text.data(),
              text.size() < size - 1 ? text.size() : size - 1);
}

void CopyBytes(UChar *dst, size_t size, const std::vector<uint8_t> &src) {
  std::memset(dst, 0, size);
  std::memcpy(dst, src.data(), src.size() < size ? src.size() : size);
}

// What the enquiries report per logical drive.
UChar DriveProperties(const LogicalDrive &d) {
  return static_cast<UChar>((d.raid & 0x0F) | (d.read_ahead & 3) << 4 |
                            (d.write_policy & 1) << 6 | (d.direct_io & 1) << 7);
}

ULong32 DriveSectors(const LogicalDrive &d) {
  uint64_t blocks = DriveBlocks(d);
  return blocks > UINT32_MAX ? UINT32_MAX : static_cast<ULong32>(blocks);
}

uint8_t TableState(const Device &d) {
  return d.IsDisk() ? d.state : kStateReady;
}

ADAPTER_INFO_8LD AdapterInfo8LD(const Adapter &ad) {
  auto info = Zeroed<ADAPTER_INFO_8LD>();
  info.uchMaxConcCmds = ad.max_commands;
  info.uchRBldrate = ad.rebuild_rate;
  info.uchMaxTargPerChan = ad.targets;
  info.uchChansPresent = ad.channels;
  CopyBytes(info.achFWVer, sizeof info.achFWVer, ad.fw_bytes);
  info.uchDramSize = static_cast<UChar>(ad.dram_mb > 255 ? 255 : ad.dram_mb);
  info.uchCacheFlushInterval = ad.flush_interval;
  CopyBytes(info.achBIOSVer, sizeof info.achBIOSVer, ad.bios_bytes);
  info.uchSCSISenseAlert = ad.sense_alert;
  info.uchWriteConfigCount = ad.write_config_count;
  info.uchDriveInsertionCount = ad.inserted_count;
  info.uchBatteryStatus = ad.battery;
  return info;
}

HALVORAN_ENQ_8LD Enquiry8LDRecord(const Adapter &ad) {
  auto enq = Zeroed<HALVORAN_ENQ_8LD>();
  enq.stAdpInfo8LD = AdapterInfo8LD(ad);
  LOG_DRV_INFO_8LD &ld = enq.stLogDrvInfo8LD;
  size_t n = ad.drives.size() < 8 ? ad.drives.size() : 8;
  ld.uchNumLDrv = static_cast<UChar>(n);
  for (size_t i = 0; i < n; ++i) {
    ld.lLDrvSize[i] = DriveSectors(ad.drives[i]);
    ld.LDrvProp[i] = DriveProperties(ad.drives[i]);
    ld.chLDrvState[i] =
        static_cast<UChar>(DriveState(ad, i) | DriveOperation(ad, i));
  }
  for (const Operation &op : ad.ops)
    if (op.kind == OpKind::kRecon) ld.uchReconstionProg = 1;
  for (const Device &d : ad.devices) {
    int idx = StateIndex(ad, d.at);
    if (idx >= 0) enq.stPhysDrvInfo8LD.achPDrvState[idx] = TableState(d);
  }
  return enq;
}

HALVORAN_EXT_ENQ_8LD ExtEnquiry8LDRecord(const Adapter &ad) {
  auto ext = Zeroed<HALVORAN_EXT_ENQ_8LD>();
  ext.stHalvoranEnq8LD = Enquiry8LDRecord(ad);
  return ext;
}

template <class SpanRec, size_t kDevs>
void FillSpan(const Adapter &ad, const Span &s, SpanRec &rec) {
  rec.lStartBlock = s.start;
  rec.lTotalBlocks = s.blocks;
  for (size_t k = 0; k < s.members.size() && k < kDevs; ++k) {
    rec.astDevice8LD[k].uchChannel = s.members[k].channel;
    rec.astDevice8LD[k].uchTarget = s.members[k].target;
  }
  (void)ad;
}

// Both 8LD logical drive records share their first eight bytes' meaning.
template <class Rec>
void FillHeader8LD(const Adapter &ad, size_t i, const LogicalDrive &d,
                   bool current, Rec &rec) {
  rec.uchSpanDepth = static_cast<UChar>(d.spans.size());
  rec.uchRaid = d.raid;
  rec.uchStripeSize = d.stripe;
  rec.uchStatus = current ? DriveState(ad, i) : kLdOptimal;
  rec.uchWritePolicy = d.write_policy;
  rec.uchDirectIO = d.direct_io;
}

template <class Array>
void FillDeviceTable8LD(const Adapter &ad, Array &arr) {
  for (const Device &d : ad.devices) {
    int idx = StateIndex(ad, d.at);
    if (idx < 0) continue;
    PHY_DRV_8LD &p = arr.astPhysDrv8LD[idx];
    p.uchType = d.type;
    p.uchCurrStatus = TableState(d);
    p.uchTagDepth = d.IsDisk() ? 32 : 0;
    p.lSize = d.IsDisk() ? UsableSectors(d.sectors) : 0;
  }
}

Bytes DiskArray4Span(const Adapter &ad, const Layout &layout) {
  auto arr = Zeroed<DISK_ARRAY_8LD_4SPAN>();
  bool current = &layout == &ad.drives;
  size_t n = layout.size() < 8 ? layout.size() : 8;
  arr.uchNoOfLogDrives = static_cast<UChar>(n);
  for (size_t i = 0; i < n; ++i) {
    const LogicalDrive &d = layout[i];
    LOG_DRV_8LD &rec = arr.astLogDrvInfo8LD[i];
    FillHeader8LD(ad, i, d, current, rec);
    rec.uchRadAhead = d.read_ahead;
    rec.uchNoStripes = static_cast<UChar>(d.RowSize());
    for (size_t s = 0; s < d.spans.size() && s < 4; ++s)
      FillSpan<SPAN_INFO_8LD, 8>(ad, d.spans[s], rec.astSpanInfo8LD[s]);
  }
  FillDeviceTable8LD(ad, arr);
  return ToBytes(arr);
}

Bytes DiskArray8Span(const Adapter &ad, const Layout &layout) {
  auto arr = Zeroed<DISK_ARRAY_8LD_8SPAN>();
  bool current = &layout == &ad.drives;
  size_t n = layout.size() < 8 ? layout.size() : 8;
  arr.uchNoOfLogDrives = static_cast<UChar>(n);
  for (size_t i = 0; i < n; ++i) {
    const LogicalDrive &d = layout[i];
    NEW_LOG_DRV_8LD &rec = arr.astNewLogDrvInfo8LD[i];
    FillHeader8LD(ad, i, d, current, rec);
    rec.uchReadAhead = d.read_ahead;
    rec.uchNoOfStripes = static_cast<UChar>(d.RowSize());
    for (size_t s = 0; s < d.spans.size() && s < 8; ++s)
      FillSpan<SPAN_INFO_8LD, 8>(ad, d.spans[s], rec.astSpanInfo8LD[s]);
  }
  FillDeviceTable8LD(ad, arr);
  return ToBytes(arr);
}

Bytes DiskArray40LD(const Adapter &ad, const Layout &layout) {
  // 25 KiB: built on the heap rather than the caller's stack.
  std::vector<uint8_t> out(sizeof(APP_DISC_ARRAY_40LD), 0);
  auto *arr = reinterpret_cast<APP_DISC_ARRAY_40LD *>(out.data());
  bool current = &layout == &ad.drives;
  size_t n = layout.size() < 40 ? layout.size() : 40;
  arr->uchNumOfLogDrives = static_cast<UChar>(n);
  for (size_t i = 0; i < n; ++i) {
    const LogicalDrive &d = layout[i];
    APP_LOG_DRV_40LD &rec = arr->AppLogDrv40LD[i];
    rec.uchSpanDepth = static_cast<UChar>(d.spans.size());
    rec.uchLevel = d.raid;
    rec.uchReadAhead = d.read_ahead;
    rec.uchStripeSize = d.stripe;
    rec.uchStatus = current ? DriveState(ad, i) : kLdOptimal;
    rec.uchWriteMode = d.write_policy;
    rec.uchDirectIO = d.direct_io;
    rec.uchRowSize = static_cast<UChar>(d.RowSize());
    for (size_t s = 0; s < d.spans.size() && s < 8; ++s) {
      APP_SPAN_INFO_40LD &span = rec.stAppSpanInfo40LD[s];
      span.ulStartBlk = d.spans[s].start;
      span.ulNoOfBlks = d.spans[s].blocks;
      const auto &members = d.spans[s].members;
      for (size_t k = 0; k < members.size() && k < 32; ++k) {
        span.stAppDevInfo40LD[k].uchChannel = 0;
        span.stAppDevInfo40LD[k].uchTarget =
            static_cast<UChar>(members[k].channel << 4 | members[k].target);
      }
    }
  }
  for (const Device &d : ad.devices) {
    APP_PHY_DRV_40LD &p = arr->AppPhyDrv40LD[StateIndex(ad, d.at)];
    p.uchType = d.type;
    p.uchCurrStatus = TableState(d);
    p.ulSize = d.IsDisk() ? UsableSectors(d.sectors) : 0;
  }
  return out;
}

struct DriveHeader {
  uint8_t spans, raid, read_ahead, stripe, write_policy, direct_io, row;
};

// Checks one logical drive record's members against the adapter and adds it
// to the layout. Several drives may share their disks (a set of spans
// carries each of its drives at other blocks); one drive lists a disk once.
bool AddDrive(const Adapter &ad, const DriveHeader &h,
              const std::vector<Span> &spans, Layout *layout,
              std::string *why) {
  std::string ld = "logical drive " + std::to_string(layout->size());
  if (h.spans < 1 || h.spans > ad.MaxSpans()) {
    *why = ld + ": span depth " + std::to_string(h.spans);
    return false;
  }
  if (h.raid != 0 && h.raid != 1 && h.raid != 3 && h.raid != 5) {
    *why = ld + ": RAID level " + std::to_string(h.raid);
    return false;
  }
  if (h.row < 1 || h.row > ad.MaxRow()) {
    *why = ld + ": " + std::to_string(h.row) + " devices per span";
    return false;
  }
  LogicalDrive d;
  d.raid = h.raid;
  d.stripe = h.stripe;
  d.read_ahead = h.read_ahead;
  d.write_policy = h.write_policy;
  d.direct_io = h.direct_io;
  d.spans = spans;
  std::set<DevRef> seen;
  for (const Span &s : spans) {
    for (const DevRef &m : s.members) {
      const Device *dev = ad.FindDevice(m);
      if (!dev || !dev->IsDisk()) {
        *why = ld + ": no disk at " + std::to_string(m.channel) + ":" +
               std::to_string(m.target);
        return false;
      }
      if (!seen.insert(m).second) {
        *why = ld + ": a device is listed twice";
        return false;
      }
    }
  }
  layout->push_back(d);
  return true;
}

template <class Array, size_t kMaxSpans>
bool Parse8LD(const Adapter &ad, const Bytes &bytes, Layout *layout,
              std::vector<uint8_t> *states, std::string *why) {
  std::vector<uint8_t> copy(sizeof(Array), 0);
  std::memcpy(copy.data(), bytes.data(),
              bytes.size() < copy.size() ? bytes.size() : copy.size());
  const auto *arr = reinterpret_cast<const Array *>(copy.data());
  if (arr->uchNoOfLogDrives > 8) {
    *why = "more than 8 logical drives";
    return false;
  }
  for (size_t i = 0; i < arr->uchNoOfLogDrives; ++i) {
    const auto &rec = [&]() -> const auto & {
      if constexpr (kMaxSpans == 4)
        return arr->astLogDrvInfo8LD[i];
      else
        return arr->astNewLogDrvInfo8LD[i];
    }
    ();
    DriveHeader h{rec.uchSpanDepth,   rec.uchRaid,     0, rec.uchStripeSize,
                  rec.uchWritePolicy, rec.uchDirectIO, 0};
    if constexpr (kMaxSpans == 4) {
      h.read_ahead = rec.uchRadAhead;
      h.row = rec.uchNoStripes;
    } else {
      h.read_ahead = rec.uchReadAhead;
      h.row = rec.uchNoOfStripes;
    }
    std::vector<Span> spans;
    for (size_t s = 0; s < h.spans && s < kMaxSpans; ++s) {
      Span span;
      span.start = rec.astSpanInfo8LD[s].lStartBlock;
      span.blocks = rec.astSpanInfo8LD[s].lTotalBlocks;
      for (size_t k = 0; k < h.row && k < 8; ++k) {
        const DEVICE_8LD &dev = rec.astSpanInfo8LD[s].astDevice8LD[k];
        if (dev.uchChannel > 15 || dev.uchTarget > 15) {
          *why = "device out of range";
          return false;
        }
        span.members.push_back({dev.uchChannel, dev.uchTarget});
      }
      spans.push_back(span);
    }
    if (!AddDrive(ad, h, spans, layout, why)) return false;
  }
  states->assign(kFw8LDStateEntries, 0);
  for (size_t i = 0; i < kFw8LDStateEntries; ++i)
    (*states)[i] = arr->astPhysDrv8LD[i].uchCurrStatus;
  return true;
}

bool Parse40LD(const Adapter &ad, const Bytes &bytes, Layout *layout,
               std::vector<uint8_t> *states, std::string *why) {
  std::vector<uint8_t> copy(sizeof(APP_DISC_ARRAY_40LD), 0);
  std::memcpy(copy.data(), bytes.data(),
              bytes.size() < copy.size() ? bytes.size() : copy.size());
  const auto *arr = reinterpret_cast<const APP_DISC_ARRAY_40LD *>(copy.data());
  if (arr->uchNumOfLogDrives > 40) {
    *why = "more than 40 logical drives";
    return false;
  }
  for (size_t i = 0; i < arr->uchNumOfLogDrives; ++i) {
    const APP_LOG_DRV_40LD &rec = arr->AppLogDrv40LD[i];
    DriveHeader h{rec.uchSpanDepth,  rec.uchLevel,     rec.uchReadAhead,
                  rec.uchStripeSize, rec.uchWriteMode, rec.uchDirectIO,
                  rec.uchRowSize};
    std::vector<Span> spans;
    for (size_t s = 0; s < h.spans && s < 8; ++s) {
      const APP_SPAN_INFO_40LD &src = rec.stAppSpanInfo40LD[s];
      Span span;
      span.start = src.ulStartBlk;
      span.blocks = src.ulNoOfBlks;
      for (size_t k = 0; k < h.row && k < 32; ++k) {
        const APP_DEVICE_INFO_40LD &dev = src.stAppDevInfo40LD[k];
        if (dev.uchChannel != 0) {
          *why = "40LD members are stored with channel 0";
          return false;
        }
        span.members.push_back({static_cast<uint8_t>(dev.uchTarget >> 4),
                                static_cast<uint8_t>(dev.uchTarget & 15)});
      }
      spans.push_back(span);
    }
    if (!AddDrive(ad, h, spans, layout, why)) return false;
  }
  states->assign(kFw40LDStateEntries, 0);
  for (size_t i = 0; i < kFw40LDStateEntries; ++i)
    (*states)[i] = arr->AppPhyDrv40LD[i].uchCurrStatus;
  return true;
}

}  // namespace

int StateIndex(const Adapter &ad, DevRef dev) {
  if (ad.Is8LD()) {
    if (dev.channel >= 5 || dev.target >= kFw8LDStateStride) return -1;
    return dev.channel * kFw8LDStateStride + dev.target;
  }
  return (dev.channel & 15) * kFw40LDStateStride + (dev.target & 15);
}

Bytes Enquiry8LD(const Adapter &ad) { return ToBytes(Enquiry8LDRecord(ad)); }

Bytes ExtEnquiry8LD(const Adapter &ad) {
  return ToBytes(ExtEnquiry8LDRecord(ad));
}

Bytes ExtEnquiry2_8LD(const Adapter &ad) {
  auto e = Zeroed<HALVORAN_EXTEN_ENQ2_8LD>();
  e.stHalvExtEnq8LD = ExtEnquiry8LDRecord(ad);
  e.lExtendedData = sizeof(HALVORAN_EXTEN_ENQ2_8LD);
  e.shSubSystemID = ad.subsystem_id;
  e.shSubSystemVendorID = ad.subsystem_vendor;
  e.lSignature = ad.signature;
  return ToBytes(e);
}

Bytes ProductInfo40LD(const Adapter &ad) {
  auto p = Zeroed<HALVORAN_PRODUCT_INFO_40LD>();
  p.ulDataSize = sizeof p;
  p.ulConfigSignature = 0x00282008;  // 8 spans, 32 devices, 40 drives
  CopyText(p.uchFwVer, sizeof p.uchFwVer, ad.fw_text);
  CopyText(p.uchBiosVer, sizeof p.uchBiosVer, ad.bios_text);
  CopyText(p.uchProductName, sizeof p.uchProductName, ad.product);
  p.uchMaxConcCmds = ad.max_commands;
  p.uchSCSIChanPresent = ad.channels;
  p.ulSignature = ad.signature;
  p.ushDramSize = ad.dram_mb;
  p.uchSubSystemID = ad.subsystem_id;
  p.uchSubSystemVendorID = ad.subsystem_vendor;
  p.uchNumNotifyCounters = 9;
  return ToBytes(p);
}

Bytes Notify40LD(const Adapter &ad) {
  auto n = Zeroed<HALVORAN_NOTIFY_40LD>();
  n.ulGlobalCounter = ad.notify_global;
  n.uchWriteConfigCounter = ad.notify_config;
  n.uchLogDrvOpCounter = ad.notify_ld_op;
  n.uchLogDrvOpId = ad.notify_ld_op_id;
  n.uchLogDrvOpCmd = ad.notify_ld_op_cmd;
  n.uchLogDrvOpStatus = ad.notify_ld_op_status;
  n.uchLogDrvStateCounter = ad.notify_ld_state;
  n.uchLogDrvStateId = ad.notify_ld_id;
  n.uchLogDrvStateNew = ad.notify_ld_new;
  n.uchLogDrvStateOld = ad.notify_ld_old;
  n.uchPhyDvStateCounter = ad.notify_pd_state;
  n.uchPhyDrvStateId = ad.notify_pd_id;
  n.uchPhyDrvStateNew = ad.notify_pd_new;
  n.uchPhyDrvStateOld = ad.notify_pd_old;
  return ToBytes(n);
}

Bytes Enquiry3_40LD(const Adapter &ad) {
  auto e = Zeroed<HALVORAN_ENQ3_40LD>();
  e.ulDataSize = sizeof e;
  Bytes notify = Notify40LD(ad);
  std::memcpy(&e.stHalvoranNotify40LD, notify.data(), notify.size());
  e.uchRbldRate = ad.rebuild_rate;
  e.uchCacheFlushInterval = ad.flush_interval;
  e.uchSenseAlert = ad.sense_alert;
  e.uchDriveInsertedCount = ad.inserted_count;
  e.uchBatteryStatus = ad.battery;
  size_t n = ad.drives.size() < 40 ? ad.drives.size() : 40;
  e.uchNumLDrv = static_cast<UChar>(n);
  for (size_t i = 0; i < n; ++i) {
    e.aulLogDrvSize[i] = DriveSectors(ad.drives[i]);
    e.aulLogDrvProp[i] = DriveProperties(ad.drives[i]);
    uint8_t op = DriveOperation(ad, i);
    e.aulLogDrvState[i] = static_cast<UChar>(DriveState(ad, i) | op);
    if (op == kLdOpRecon)
      e.achReconState[i / 8] |= static_cast<UChar>(1 << (i % 8));
  }
  for (const Device &d : ad.devices)
    e.achPhyDrvState[StateIndex(ad, d.at)] = TableState(d);
  return ToBytes(e);
}

size_t DiskArraySize(const Adapter &ad) {
  switch (ad.firmware) {
    case kFirmware4Span:
      return sizeof(DISK_ARRAY_8LD_4SPAN);
    case kFirmware8Span:
      return sizeof(DISK_ARRAY_8LD_8SPAN);
    default:
      return sizeof(APP_DISC_ARRAY_40LD);
  }
}

Bytes DiskArray(const Adapter &ad, const Layout &layout) {
  switch (ad.firmware) {
    case kFirmware4Span:
      return DiskArray4Span(ad, layout);
    case kFirmware8Span:
      return DiskArray8Span(ad, layout);
    default:
      return DiskArray40LD(ad, layout);
  }
}

bool ParseDiskArray(const Adapter &ad, const Bytes &array, Layout *layout,
                    std::vector<uint8_t> *table_states, std::string *why) {
  layout->clear();
  switch (ad.firmware) {
    case kFirmware4Span:
      return Parse8LD<DISK_ARRAY_8LD_4SPAN, 4>(ad, array, layout, table_states,
                                               why);
    case kFirmware8Span:
      return Parse8LD<DISK_ARRAY_8LD_8SPAN, 8>(ad, array, layout, table_states,
                                               why);
    default:
      return Parse40LD(ad, array, layout, table_states, why);
  }
}

}  // namespace halvsim
