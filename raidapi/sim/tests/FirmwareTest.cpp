// The firmware model driven directly with commands: what each firmware type
// accepts, its answers in the library's layouts, and the state changes.
#include <gtest/gtest.h>

#include <cstring>

#include "Firmware.h"
#include "Presets.h"
#include "firmware/FirmwareLayouts.h"

using namespace halvsim;

namespace {

Scenario Preset(const char *name) {
  Scenario sc;
  EXPECT_TRUE(MakePreset(name, &sc));
  return sc;
}

Reply Send(Scenario &sc, std::vector<uint8_t> area, Bytes out = {},
           int64_t now = 1000, size_t adapter = 0) {
  Command cmd;
  cmd.area = std::move(area);
  cmd.out = std::move(out);
  return Execute(sc, adapter, cmd, now);
}

// 40LD mailbox device byte: channel * 16 + target.
uint8_t Dev(uint8_t channel, uint8_t target) {
  return static_cast<uint8_t>(channel << 4 | target);
}

template <class T>
T As(const Bytes &b) {
  T t;
  EXPECT_GE(b.size(), sizeof t);
  std::memcpy(&t, b.data(), sizeof t);
  return t;
}

TEST(Firmware, EachTypeAcceptsOnlyItsOwnCommands) {
  // The order discovery tries them in: 40LD array, 8-span array, 4-span.
  struct Case {
    std::vector<uint8_t> area;
    size_t size;  // answer size when accepted
    bool ok[3];   // types 1, 2, 3
  } cases[] = {
      {{0xA1, 0x04}, sizeof(APP_DISC_ARRAY_40LD), {false, false, true}},
      {{0x67}, sizeof(DISK_ARRAY_8LD_8SPAN), {false, true, false}},
      {{0x07}, sizeof(DISK_ARRAY_8LD_4SPAN), {true, false, false}},
      {{0x05}, sizeof(HALVORAN_ENQ_8LD), {true, true, false}},
      {{0x04}, sizeof(HALVORAN_EXT_ENQ_8LD), {true, true, false}},
      {{0x0C}, sizeof(HALVORAN_EXTEN_ENQ2_8LD), {true, true, false}},
      {{0xA1, 0x0E}, sizeof(HALVORAN_PRODUCT_INFO_40LD), {false, false, true}},
      {{0xA1, 0x0F, 1}, sizeof(HALVORAN_NOTIFY_40LD), {false, false, true}},
      {{0xA1, 0x0F, 2}, sizeof(HALVORAN_ENQ3_40LD), {false, false, true}},
      {{0xA4, 0x02}, 40, {false, false, true}},
      {{0x61}, 4, {true, true, true}},
      {{0x7D}, 1, {true, true, true}},
      {{0x53}, sizeof(SENSE_DUMP), {true, true, true}},
      {{0x92, 0}, sizeof(DRV_HISTORY), {true, true, true}},
      {{0xC3}, sizeof(DAC_STAT_8LD), {true, true, true}},
      {{0x99}, 0, {false, false, false}},
  };
  for (uint8_t type = 1; type <= 3; ++type) {
    Scenario sc = Preset("one40ld");
    sc.adapters[0].firmware = type;
    if (type != 3) {
      sc.adapters[0].channels = 4;
      sc.adapters[0].drives.resize(1);
    }
    for (const Case &c : cases) {
      SCOPED_TRACE("type " + std::to_string(type) + " opcode " +
                   std::to_string(c.area[0]));
      Reply r = Send(sc, c.area);
      EXPECT_EQ(r.status == kStatusOk, c.ok[type - 1]);
      if (r.status == kStatusOk) {
        EXPECT_EQ(r.data.size(), c.size);
      }
    }
  }
}

TEST(Firmware, EnquiriesReportTheModel) {
  Scenario sc = Preset("two8ld");
  auto enq = As<HALVORAN_ENQ_8LD>(Send(sc, {0x05}).data);
  EXPECT_EQ(enq.stAdpInfo8LD.uchChansPresent, 4);
  EXPECT_EQ(enq.stAdpInfo8LD.uchRBldrate, 30);
  EXPECT_EQ(enq.stLogDrvInfo8LD.uchNumLDrv, 2);
  EXPECT_EQ(enq.stLogDrvInfo8LD.chLDrvState[0], kLdOptimal);
  EXPECT_EQ(enq.stPhysDrvInfo8LD.achPDrvState[0 * 15 + 2], kStateOnline);
  EXPECT_EQ(enq.stPhysDrvInfo8LD.achPDrvState[1 * 15 + 0], kStateReady);
  auto enq2 = As<HALVORAN_EXTEN_ENQ2_8LD>(Send(sc, {0x0C}).data);
  EXPECT_EQ(enq2.shSubSystemVendorID, sc.adapters[0].subsystem_vendor);

  Scenario faulty = Preset("faulty");
  auto info = As<HALVORAN_PRODUCT_INFO_40LD>(Send(faulty, {0xA1, 0x0E}).data);
  EXPECT_EQ(info.uchSCSIChanPresent, 3);
  EXPECT_STREQ(reinterpret_cast<const char *>(info.uchFwVer), "1.72");
  Bytes e3 = Send(faulty, {0xA1, 0x0F, 2}).data;
  auto *enq3 = reinterpret_cast<const HALVORAN_ENQ3_40LD *>(e3.data());
  EXPECT_EQ(enq3->uchNumLDrv, 2);
  EXPECT_EQ(enq3->aulLogDrvState[0], kLdDegraded);
  EXPECT_EQ(enq3->achPhyDrvState[Dev(0, 1)], kStateFailed);
  EXPECT_EQ(enq3->achPhyDrvState[Dev(1, 1)], kStateHotSpare);
}

TEST(Firmware, DiskArraysDecodeBackToTheLayout) {
  for (const char *preset : {"one40ld", "two8ld"}) {
    Scenario sc = Preset(preset);
    for (size_t a = 0; a < sc.adapters.size(); ++a) {
      const Adapter &ad = sc.adapters[a];
      SCOPED_TRACE(std::string(preset) + " adapter " + std::to_string(a));
      Bytes array = DiskArray(ad, ad.drives);
      EXPECT_EQ(array.size(), DiskArraySize(ad));
      Layout back;
      std::vector<uint8_t> states;
      std::string why;
      ASSERT_TRUE(ParseDiskArray(ad, array, &back, &states, &why)) << why;
      EXPECT_TRUE(SameLayout(back, ad.drives));
      EXPECT_EQ(states[StateIndex(ad, {0, 0})], kStateOnline);
    }
  }
  // 40LD members travel as channel 0, target channel * 16 + target.
  Scenario sc = Preset("one40ld");
  Bytes array = DiskArray(sc.adapters[0], sc.adapters[0].drives);
  auto *arr = reinterpret_cast<const APP_DISC_ARRAY_40LD *>(array.data());
  const auto &member =
      arr->AppLogDrv40LD[1].stAppSpanInfo40LD[0].stAppDevInfo40LD[1];
  EXPECT_EQ(member.uchChannel, 0);
  EXPECT_EQ(member.uchTarget, 0x10);
  EXPECT_EQ(arr->AppPhyDrv40LD[0x10].ulSize, 4194304u - 2048u);
}

TEST(Firmware, ConfigurationWritesAreCheckedAndApplied) {
  Scenario sc = Preset("one40ld");
  Adapter &ad = sc.adapters[0];
  Bytes good = DiskArray(ad, ad.drives);
  auto *arr = reinterpret_cast<APP_DISC_ARRAY_40LD *>(good.data());
  struct Case {
    const char *what;
    void (*spoil)(APP_DISC_ARRAY_40LD *);
  } bad[] = {
      {"41 drives", [](APP_DISC_ARRAY_40LD *a) { a->uchNumOfLogDrives = 41; }},
      {"RAID 2",
       [](APP_DISC_ARRAY_40LD *a) { a->AppLogDrv40LD[0].uchLevel = 2; }},
      {"no spans",
       [](APP_DISC_ARRAY_40LD *a) { a->AppLogDrv40LD[0].uchSpanDepth = 0; }},
      {"missing disk",
       [](APP_DISC_ARRAY_40LD *a) {
         a->AppLogDrv40LD[0]
             .stAppSpanInfo40LD[0]
             .stAppDevInfo40LD[0]
             .uchTarget = 0x2F;
       }},
      {"channel byte",
       [](APP_DISC_ARRAY_40LD *a) {
         a->AppLogDrv40LD[0]
             .stAppSpanInfo40LD[0]
             .stAppDevInfo40LD[0]
             .uchChannel = 1;
       }},
      // Twice in one drive; drives may share their disks.
      {"twice",
       [](APP_DISC_ARRAY_40LD *a) {
         APP_SPAN_INFO_40LD &span = a->AppLogDrv40LD[0].stAppSpanInfo40LD[0];
         span.stAppDevInfo40LD[1] = span.stAppDevInfo40LD[0];
       }},
  };
  for (const auto &c : bad) {
    Bytes spoilt = good;
    c.spoil(reinterpret_cast<APP_DISC_ARRAY_40LD *>(spoilt.data()));
    EXPECT_EQ(Send(sc, {0xA1, 0x0D}, spoilt).status, kStatusRefused) << c.what;
    EXPECT_EQ(ad.drives.size(), 2u) << c.what;
  }
  EXPECT_EQ(Send(sc, {0xA1, 0x0D}, Bytes(100, 0)).status, kStatusRefused);

  // Drop drive 1: its members become ready, the hot spare stays.
  arr->uchNumOfLogDrives = 1;
  std::memset(&arr->AppLogDrv40LD[1], 0, sizeof arr->AppLogDrv40LD[1]);
  ASSERT_EQ(Send(sc, {0xA1, 0x0D}, good).status, kStatusOk);
  EXPECT_EQ(ad.drives.size(), 1u);
  EXPECT_EQ(ad.FindDevice({0, 3})->state, kStateReady);
  EXPECT_EQ(ad.FindDevice({1, 1})->state, kStateHotSpare);
  EXPECT_EQ(ad.FindDevice({0, 0})->state, kStateOnline);
  EXPECT_EQ(ad.write_config_count, 1);

  // An all-zero array clears the configuration.
  ASSERT_EQ(Send(sc, {0xA1, 0x0D}, Bytes(DiskArraySize(ad), 0)).status,
            kStatusOk);
  EXPECT_TRUE(ad.drives.empty());
  EXPECT_EQ(ad.FindDevice({0, 0})->state, kStateReady);
}

TEST(Firmware, MismatchWordAndStoredConfigurations) {
  Scenario sc = Preset("one40ld");
  Adapter &ad = sc.adapters[0];
  EXPECT_EQ(Send(sc, {0x62, 1}).data, (Bytes{1, 1}));
  // A disk that carries another configuration: high byte 0 until the
  // adapter adopts that configuration.
  ad.stored["old"] = {ad.drives[0]};
  ad.FindDevice({0, 4})->config = "old";
  EXPECT_EQ(Send(sc, {0x62, 1}).data, (Bytes{1, 0}));
  Reply disk = Send(sc, {0xA1, 0x06, Dev(0, 4)});
  ASSERT_EQ(disk.status, kStatusOk);
  EXPECT_EQ(disk.data[0], 1);  // one logical drive recorded there
  ASSERT_EQ(Send(sc, {0xA1, 0x0D}, disk.data).status, kStatusOk);
  EXPECT_EQ(Send(sc, {0x62, 1}).data, (Bytes{1, 1}));
  EXPECT_TRUE(ad.stored.empty());
  // A blank disk holds no configuration; a missing device is refused.
  ad.FindDevice({0, 4})->config = "none";
  EXPECT_EQ(Send(sc, {0xA1, 0x06, Dev(0, 4)}).data[0], 0);
  EXPECT_EQ(Send(sc, {0xA1, 0x06, Dev(5, 5)}).status, kStatusRefused);
  // The BIOS setting changes only the low byte.
  EXPECT_EQ(Send(sc, {0x62, 2}, {0, 0}).status, kStatusOk);
  EXPECT_EQ(Send(sc, {0x62, 1}).data, (Bytes{0, 1}));
  EXPECT_EQ(Send(sc, {0x62, 3}).status, kStatusRefused);
}

TEST(Firmware, MismatchPresetIsResolvedByAdoptingTheDisksConfiguration) {
  Scenario sc = Preset("mismatch");
  Adapter &ad = sc.adapters[0];
  EXPECT_EQ(Send(sc, {0x62, 1}).data[1], 0);
  EXPECT_EQ(Send(sc, {0xA1, 0x04}).data[0], 1);
  Reply disk = Send(sc, {0xA1, 0x06, Dev(0, 3)});
  ASSERT_EQ(disk.data[0], 2);
  ASSERT_EQ(Send(sc, {0xA1, 0x0D}, disk.data).status, kStatusOk);
  EXPECT_EQ(Send(sc, {0x62, 1}).data[1], 1);
  EXPECT_EQ(ad.drives.size(), 2u);
  EXPECT_EQ(ad.FindDevice({1, 0})->state, kStateOnline);
}

TEST(Firmware, DeviceStateChanges) {
  struct Step {
    uint8_t channel, target, state;
    Bytes data;
    uint8_t status;
    uint8_t after;
  } steps[] = {
      {0, 4, 6, {0, 0, 0x40, 0}, kStatusOk, kStateHotSpare},  // ready -> spare
      {0, 4, 6, {0, 0, 0x40, 0}, kStatusOk, kStateHotSpare},  // again
      {0, 4, 4, {}, kStatusOk, kStateFailed},  // hot spare released:
      {0, 4, 3, {}, kStatusOk, kStateOnline},  //   failed, online,
      {0, 4, 0, {}, kStatusOk, kStateReady},   //   ready
      {0, 0, 6, {1, 0, 0, 0}, kStatusRefused, kStateOnline},  // a member
      {0, 0, 0, {}, kStatusRefused, kStateOnline},
      {0, 4, 6, {}, kStatusRefused, kStateReady},  // no size given
      {0, 0, 4, {}, kStatusOk, kStateFailed},      // member fails
      {0, 0, 5, {}, kStatusOk, kStateRebuild},     // and is rebuilt
      {0, 0, 9, {}, kStatusRefused, kStateRebuild},
  };
  Scenario sc = Preset("one40ld");
  Adapter &ad = sc.adapters[0];
  for (const Step &s : steps) {
    SCOPED_TRACE(std::to_string(s.channel) + ":" + std::to_string(s.target) +
                 " -> " + std::to_string(s.state));
    Reply r = Send(sc, {0x06, 0, Dev(s.channel, s.target), s.state}, s.data);
    EXPECT_EQ(r.status, s.status);
    EXPECT_EQ(ad.FindDevice({s.channel, s.target})->state, s.after);
  }
  EXPECT_EQ(ad.FindDevice({0, 4})->spare_sectors, 0u);
  EXPECT_EQ(Send(sc, {0x06, 0, Dev(2, 9), 4}).status, kStatusRefused);
  EXPECT_EQ(Send(sc, {0x06, 1, Dev(0, 0), 4}).status, kStatusRefused);
}

// A member fails either because the adapter is told so (0x06 with state 4)
// or because the disk dies; the firmware treats both alike.
TEST(Firmware, AutomaticRebuildPutsAHotSpareInPlace) {
  struct Case {
    uint8_t auto_rebuild;
    uint8_t channel, target;  // the member that fails
    bool replaced;
  } cases[] = {
      {0, 0, 0, false},  // off: the drive stays degraded
      {1, 0, 0, true},   // RAID 5 member: the spare 1:1 steps in
      {1, 0, 4, false},  // not a member
  };
  for (bool dies : {false, true}) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(dies ? "dies " : "told ") +
                   std::to_string(c.channel) + ":" + std::to_string(c.target) +
                   " auto " + std::to_string(c.auto_rebuild));
      Scenario sc = Preset("one40ld");
      Adapter &ad = sc.adapters[0];
      ad.auto_rebuild = c.auto_rebuild;
      uint32_t notified = ad.notify_pd_state;
      if (dies)
        ASSERT_TRUE(FailDisk(ad, {c.channel, c.target}, 1000));
      else
        ASSERT_EQ(Send(sc, {0x06, 0, Dev(c.channel, c.target), 4}).status,
                  kStatusOk);
      EXPECT_EQ(ad.FindDevice({c.channel, c.target})->state, kStateFailed);
      EXPECT_EQ(ad.FindDevice({1, 1})->state,
                c.replaced ? kStateRebuild : kStateHotSpare);
      EXPECT_EQ(MemberOf(ad.drives, {1, 1}), c.replaced ? 0 : -1);
      ASSERT_EQ(ad.ops.size(), c.replaced ? 1u : 0u);
      if (c.replaced) {
        EXPECT_TRUE(ad.ops[0].dev == (DevRef{1, 1}));
        EXPECT_EQ(ad.ops[0].start_ms, 1000);
      }
      // The notify counters see the change (one or two devices changed).
      EXPECT_GE(ad.notify_pd_state, notified + 1);
    }
  }
  // A spare smaller than the span's blocks does not qualify.
  Scenario sc = Preset("one40ld");
  sc.adapters[0].auto_rebuild = 1;
  sc.adapters[0].FindDevice({1, 1})->sectors = 1000;
  Send(sc, {0x06, 0, Dev(0, 0), 4});
  EXPECT_EQ(sc.adapters[0].FindDevice({1, 1})->state, kStateHotSpare);
}

// A disk that dies during its own rebuild fails again, and only disks die.
TEST(Firmware, DiskThatDiesEndsItsRebuild) {
  Scenario sc = Preset("faulty");
  Adapter &ad = sc.adapters[0];
  ASSERT_EQ(Send(sc, {0x08, 0, Dev(0, 1)}, {}, 0).status, kStatusOk);
  ASSERT_EQ(ad.ops.size(), 1u);
  EXPECT_TRUE(FailDisk(ad, {0, 1}, 10));
  EXPECT_EQ(ad.FindDevice({0, 1})->state, kStateFailed);
  EXPECT_TRUE(ad.ops.empty());
  EXPECT_FALSE(FailDisk(ad, {2, 0}, 10));  // the tape
  EXPECT_FALSE(FailDisk(ad, {3, 3}, 10));  // an empty slot
}

TEST(Firmware, EightLDNamesDevicesByChannelAndTarget) {
  Scenario sc = Preset("two8ld");
  EXPECT_EQ(Send(sc, {0x06, 1, 0, 6}, {0, 0, 1, 0}).status, kStatusOk);
  EXPECT_EQ(sc.adapters[0].FindDevice({1, 0})->state, kStateHotSpare);
  EXPECT_EQ(Send(sc, {0x06, 5, 0, 4}).status, kStatusRefused);
  auto enq = As<HALVORAN_ENQ_8LD>(Send(sc, {0x05}).data);
  EXPECT_EQ(enq.stPhysDrvInfo8LD.achPDrvState[15], kStateHotSpare);
}

TEST(Firmware, RebuildProgressesFromTimestamps) {
  Scenario sc = Preset("faulty");
  Adapter &ad = sc.adapters[0];
  ad.rebuild_ms = 1000;
  uint8_t d = Dev(0, 1);
  EXPECT_EQ(Send(sc, {0x18, 0, d}, {}, 0).data, (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Send(sc, {0x08, 0, Dev(0, 4)}, {}, 0).status, kStatusRefused);
  EXPECT_EQ(Send(sc, {0x08, 0, d}, {}, 10000).status, kStatusOk);
  EXPECT_EQ(Send(sc, {0x08, 0, d}, {}, 10000).status, 2);
  EXPECT_EQ(ad.FindDevice({0, 1})->state, kStateRebuild);
  EXPECT_EQ(Send(sc, {0x18, 0, d}, {}, 10250).data, (Bytes{25, 0, 0, 0}));
  EXPECT_EQ(Send(sc, {0x18, 0, d}, {}, 10999).data, (Bytes{99, 0, 0, 0}));
  EXPECT_EQ(Send(sc, {0x18, 0, d}, {}, 11000).data, (Bytes{100, 0, 0, 0}));
  EXPECT_EQ(ad.FindDevice({0, 1})->state, kStateOnline);
  EXPECT_EQ(Send(sc, {0x28, 0, d}, {}, 12000).status, kStatusRefused);
  // Abort puts the disk back to failed.
  Send(sc, {0x06, 0, d, 4}, {}, 13000);
  Send(sc, {0x08, 0, d}, {}, 13000);
  EXPECT_EQ(Send(sc, {0x28, 0, d}, {}, 13500).status, kStatusOk);
  EXPECT_EQ(ad.FindDevice({0, 1})->state, kStateFailed);
  EXPECT_TRUE(ad.ops.empty());
}

TEST(Firmware, CheckAndInitialisationStatuses) {
  struct Step {
    std::vector<uint8_t> area;
    int64_t now;
    uint8_t status;
    Bytes data;
  } steps[] = {
      {{0x19, 0}, 0, 0, {100, 0, 0, 0}},  // nothing ran yet: done
      {{0x09, 0}, 0, 0, {}},              // start the check
      {{0x09, 0}, 0, 2, {}},              // already running
      {{0x0B, 0}, 0, 2, {}},              // busy with the check
      {{0x19, 0}, 500, 0, {50, 0, 0, 0}},
      {{0x29, 0}, 600, 0, {}},  // abort it
      {{0x29, 0}, 600, 1, {}},  // nothing to abort
      {{0x09, 7}, 700, 4, {}},  // no such drive
      {{0x0B, 7}, 700, 3, {}},
      {{0x0B, 1}, 1000, 0, {}},  // initialise drive 1
      {{0x1B, 1}, 1250, 0, {25, 0, 0, 0}},
      {{0x1B, 1}, 2000, 0, {100, 0, 0, 0}},  // finished
      {{0x2B, 1}, 2000, 1, {}},
  };
  Scenario sc = Preset("one40ld");
  sc.adapters[0].check_ms = 1000;
  sc.adapters[0].init_ms = 1000;
  for (const Step &s : steps) {
    SCOPED_TRACE(std::to_string(s.area[0]) + " at " + std::to_string(s.now));
    Reply r = Send(sc, s.area, {}, s.now);
    EXPECT_EQ(r.status, s.status);
    if (!s.data.empty()) {
      EXPECT_EQ(r.data, s.data);
    }
  }
  // A degraded drive refuses a check; its progress answers status 2.
  Scenario faulty = Preset("faulty");
  EXPECT_EQ(Send(faulty, {0x09, 0}).status, 1);
  EXPECT_EQ(Send(faulty, {0x19, 0}).status, 2);
  // RAID 0 has nothing to check.
  Scenario pair = Preset("two8ld");
  EXPECT_EQ(Send(pair, {0x09, 1}).status, 4);
}

TEST(Firmware, ReconstructionAddsItsDevicesWhenDone) {
  Scenario sc = Preset("one40ld");
  Adapter &ad = sc.adapters[0];
  ad.recon_ms = 1000;
  RECONSTRUCT_40LD_DATA r;
  std::memset(&r, 0, sizeof r);
  r.operation = 1;
  r.logdrv = 0;
  r.numdevs = 1;
  r.physdrvs[0] = Dev(0, 4);
  r.strpsz = 0x80;
  r.raidlevel = 5;
  Bytes rec(sizeof r);
  std::memcpy(rec.data(), &r, sizeof r);
  EXPECT_EQ(Send(sc, {0x61}, {}, 0).data, (Bytes{100, 0, 0, 0}));
  Bytes busy = rec;
  busy[3] = Dev(0, 3);  // a member of drive 1
  EXPECT_EQ(Send(sc, {0x60}, busy, 0).status, kStatusRefused);
  Reply started = Send(sc, {0x60}, rec, 0);
  ASSERT_EQ(started.status, kStatusOk);
  EXPECT_EQ(started.data, rec);
  EXPECT_EQ(Send(sc, {0x60}, rec, 0).status, kStatusRefused);  // one at a time
  EXPECT_EQ(Send(sc, {0x61}, {}, 400).data, (Bytes{40, 0, 0, 0}));
  EXPECT_EQ(Send(sc, {0xA1, 0x0D}, DiskArray(ad, ad.drives), 400).status,
            kStatusRefused);
  EXPECT_EQ(Send(sc, {0x61}, {}, 1000).data, (Bytes{100, 0, 0, 0}));
  EXPECT_EQ(ad.drives[0].RowSize(), 4u);
  EXPECT_EQ(ad.FindDevice({0, 4})->state, kStateOnline);
}

TEST(Firmware, SettingsAreKept) {
  struct Case {
    std::vector<uint8_t> set_area;
    Bytes set_data;
    uint8_t set_status;
    std::vector<uint8_t> get_area;
    Bytes get_data;
    Bytes expect;
  } cases[] = {
      {{0x24}, {55, 0, 0, 0}, 0, {0x23}, {}, {55, 0, 0, 0}},
      {{0x24}, {101, 0, 0, 0}, 1, {0x23}, {}, {30, 0, 0, 0}},
      {{0x51}, {2}, 0, {0x51}, {3}, {2}},
      {{0x51}, {4}, 1, {0x51}, {3}, {1}},
      {{0x64, 4}, {1}, 0, {0x64, 3}, {}, {1}},
      {{0x64, 4}, {2}, 1, {0x64, 3}, {}, {0}},
      {{0x64, 8, 2}, {3}, 0, {0x64, 7, 2}, {}, {3}},
      {{0x64, 8, 3}, {1}, 1, {0x64, 7, 3}, {}, {}},  // no channel 3
      {{0x64, 6, 1}, {1, 2, 3, 4}, 0, {0x64, 5, 1}, {}, {1, 2, 3, 4}},
      {{0x70, 1}, {1}, 0, {0x70, 2}, {2}, {1}},
      {{0x7F}, {9}, 1, {0x7D}, {}, {7}},  // not in cluster mode
      {{0x26, 0, 3, 0}, {}, 0, {0xA1, 0x04}, {}, {}},
      {{0x26, 0, 1, 2}, {}, 1, {0x61}, {}, {100, 0, 0, 0}},
      {{0x33, 4, 5}, {0xAB, 0xCD}, 0, {0x32, 4, 5}, {}, {0xAB, 0xCD}},
      {{0x92, 1}, {}, 0, {0x92, 0}, {}, Bytes(sizeof(DRV_HISTORY), 0)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.set_area[0]));
    Scenario sc = Preset("faulty");
    EXPECT_EQ(Send(sc, c.set_area, c.set_data).status, c.set_status);
    Reply got = Send(sc, c.get_area, c.get_data);
    if (!c.expect.empty()) {
      EXPECT_EQ(got.data, c.expect);
    }
  }
  Scenario sc = Preset("one40ld");
  Send(sc, {0x26, 0, 3, 0});
  EXPECT_EQ(sc.adapters[0].drives[0].read_ahead, 0);
  Send(sc, {0x70, 1}, {1});
  EXPECT_EQ(Send(sc, {0x7F}, {9}).status, kStatusOk);
  EXPECT_EQ(Send(sc, {0x7D}).data, (Bytes{9}));
}

TEST(Firmware, FlashDownloadNeedsEveryBlockBeforeTheClose) {
  Scenario sc = Preset("one40ld");
  Bytes block(4096, 0x5A);
  for (int i = 0; i < 256; ++i) {
    uint8_t b = static_cast<uint8_t>(i);
    block[0] = b;
    ASSERT_EQ(Send(sc, {0x2C, b, b, 0, 0, 0, b}, block).status, kStatusOk);
  }
  EXPECT_EQ(Send(sc, {0x2C, 1, 2, 0, 0, 0, 1}, block).status, kStatusRefused);
  EXPECT_EQ(Send(sc, {0x2C, 1, 1, 0, 0, 0, 1}, Bytes(8, 0)).status,
            kStatusRefused);
  EXPECT_EQ(Send(sc, {0x2D, 0x83, 0x83, 0, 0, 0, 0x83}, Bytes(8, 0)).status,
            kStatusOk);
  EXPECT_EQ(sc.adapters[0].flash_closes, 1u);
  // A second close without blocks is refused.
  EXPECT_EQ(Send(sc, {0x2D, 0x83, 0x83, 0, 0, 0, 0x83}, Bytes(8, 0)).status,
            kStatusRefused);
  Bytes image;
  std::string error;
  ASSERT_TRUE(ReadFlashImage(0, &image, &error));
  ASSERT_EQ(image.size(), 1048576u);
  EXPECT_EQ(image[4096 * 7], 7);
  EXPECT_EQ(image[4096 * 7 + 1], 0x5A);
}

TEST(Firmware, PassThroughDevicesAndLogicalDrives) {
  Scenario sc = Preset("faulty");
  auto pt = [&](std::vector<uint8_t> cdb, uint8_t flags, uint8_t ld, uint8_t ch,
                uint8_t t, Bytes out = {}) {
    Command cmd;
    cmd.passthru = true;
    cmd.area = {3, 0, static_cast<uint8_t>(cdb.size())};
    cmd.area.insert(cmd.area.end(), cdb.begin(), cdb.end());
    cmd.area.insert(cmd.area.end(), {flags, ld, ch, t});
    cmd.out = std::move(out);
    return Execute(sc, 0, cmd, 0);
  };
  std::vector<uint8_t> inquiry = {0x12, 0, 0, 0, 0x80, 0};
  std::vector<uint8_t> capacity(10, 0);
  capacity[0] = 0x25;
  Reply disk = pt(inquiry, 0x0B, 0, 0, 2);
  ASSERT_EQ(disk.status, kScsiGood);
  EXPECT_EQ(disk.data.size(), 128u);
  EXPECT_EQ(disk.data[0], 0);
  EXPECT_EQ(std::string(disk.data.begin() + 8, disk.data.begin() + 15),
            "HALVSIM");
  EXPECT_EQ(pt(inquiry, 0x0B, 0, 2, 0).data[0], 1);     // the tape
  EXPECT_EQ(pt(inquiry, 0x0B, 0, 0, 0x21).data[0], 5);  // 2:1 by number
  EXPECT_EQ(pt(inquiry, 0x0B, 0, 0, 0x27).status, kScsiNoDevice);
  EXPECT_EQ(pt(capacity, 0x0B, 0, 2, 0).status, kScsiCheckCondition);
  EXPECT_EQ(pt(capacity, 0x0B, 0, 0, 2).data,
            (Bytes{0x00, 0x3F, 0xFF, 0xFF, 0, 0, 2, 0}));
  EXPECT_EQ(pt(inquiry, 0x0B, 0, 0, 9).status, kScsiNoDevice);
  EXPECT_EQ(pt(inquiry, 0x0B, 0, 0, 7).status, kScsiNoDevice);  // initiator
  EXPECT_EQ(pt(inquiry, 0x0B, 0, 5, 0).status, kScsiNoDevice);  // no channel 5
  EXPECT_EQ(pt({0x77, 0, 0, 0, 0, 0}, 0x0B, 0, 0, 2).status,
            kScsiCheckCondition);
  // Logical drive 1: RAID 1 of 2097152 blocks.
  EXPECT_EQ(pt(capacity, 0x80, 1, 0, 0).data,
            (Bytes{0x00, 0x1F, 0xFF, 0xFF, 0, 0, 2, 0}));
  EXPECT_EQ(pt(capacity, 0x80, 9, 0, 0).status, kScsiNoDevice);
  // WRITE BUFFER then READ BUFFER.
  std::vector<uint8_t> wb(10, 0), rb(10, 0);
  wb[0] = 0x3B;
  rb[0] = 0x3C;
  EXPECT_EQ(pt(wb, 0x08, 0, 0, 2, {1, 2, 3}).status, kScsiGood);
  EXPECT_EQ(pt(rb, 0x08, 0, 0, 2).data, (Bytes{1, 2, 3}));
  // A bad block length is a check condition, not a crash.
  Command odd;
  odd.passthru = true;
  odd.area = {3, 0, 7, 0x12};
  EXPECT_EQ(Execute(sc, 0, odd, 0).status, kScsiCheckCondition);
}

TEST(Firmware, AnyMailboxBytesAnswerWithoutHarm) {
  // Every opcode with a spread of parameters and data lengths: the model
  // must answer each, and stay valid for its own checks.
  for (const char *preset : {"one40ld", "two8ld"}) {
    Scenario sc = Preset(preset);
    uint32_t seed = 12345;
    auto next = [&]() {
      seed = seed * 1103515245u + 12345u;
      return static_cast<uint8_t>(seed >> 16);
    };
    for (int op = 0; op < 256; ++op) {
      for (int round = 0; round < 12; ++round) {
        std::vector<uint8_t> area = {static_cast<uint8_t>(op),
                                     next(),
                                     next(),
                                     next(),
                                     next(),
                                     next(),
                                     next()};
        if (op == 0x2D || op == 0x62) continue;  // exercised elsewhere
        Bytes data(next() % 3 == 0 ? 0 : next() * 8u + 1u);
        for (uint8_t &b : data) b = next();
        Send(sc, area, data, round * 100, 0);
      }
    }
    std::string error;
    EXPECT_TRUE(ValidateScenario(sc, &error)) << preset << ": " << error;
  }
}

}  // namespace
