// What reached the simulated driver for each row of the opcode table, read
// from its trace: interface, adapter, fake opcode, command area, direction
// and lengths, on both interfaces and both device numberings.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SimSupport.h"
#include "core/AdapterTable.h"
#include "core/IssueCmd.h"

namespace {

struct Row {
  const char *name;
  ULong32 adapter;
  int op;
  int objid;
  uint32_t param1;
  uint32_t param2;
  const char *fake;
  const char *area;
  const char *dir;
  const char *out;
  const char *in;
};

void Check(const Row &row, const std::vector<TraceLine> &sent,
           const char *interface) {
  ASSERT_EQ(1u, sent.size());
  const TraceLine &line = sent[0];
  EXPECT_EQ(interface, line.at("if"));
  // A query of the multi-adapter driver itself names no adapter.
  const bool driverQuery =
      std::string(row.fake) == "0x82" && std::string(interface) == "1";
  EXPECT_EQ(driverQuery ? "-" : std::to_string(row.adapter),
            line.at("adapter"));
  EXPECT_EQ(row.fake, line.at("fake"));
  EXPECT_EQ(row.area, line.at("area"));
  EXPECT_EQ(row.dir, line.at("dir"));
  EXPECT_EQ(row.out, line.at("out"));
  EXPECT_EQ(row.in, line.at("in"));
}

// One 40LD adapter on "/dev/halvdev0": devices numbered channel * 16 + target
// go whole into the area.
const Row kMimd40LD[] = {
    {"state failed", 0, 0x06, 0x10, 4, 0, "0x80", "060010040000", "none", "0",
     "0"},
    {"hot spare with size", 0, 0x06, 0x04, 6, 0, "0x80", "060004060000",
     "write", "4", "0"},
    {"rebuild", 0, 0x08, 0x01, 0, 0, "0x80", "080001000000", "none", "0", "0"},
    {"rebuild progress", 0, 0x18, 0x01, 0, 0, "0x80", "180001000000", "read",
     "0", "4"},
    {"check", 0, 0x09, 1, 0, 0, "0x80", "090100000000", "none", "0", "0"},
    {"check progress", 0, 0x19, 1, 0, 0, "0x80", "190100000000", "read", "0",
     "4"},
    {"rebuild rate", 0, 0x23, 0, 0, 0, "0x80", "230000000000", "read", "0",
     "4"},
    {"set rebuild rate", 0, 0x24, 0, 0, 0, "0x80", "240000000000", "write", "4",
     "0"},
    {"policy", 0, 0x26, 1, 3, 2, "0x80", "260103020000", "none", "0", "0"},
    {"alarm", 0, 0x51, 0, 0, 0, "0x80", "510000000000", "write", "1", "0"},
    {"sense dump", 0, 0x53, 0, 0, 0, "0x80", "530000000000", "read", "0", "81"},
    {"reconstruction", 0, 0x60, 0, 0, 0, "0x80", "600000000000", "both", "40",
     "40"},
    {"reconstruction progress", 0, 0x61, 0, 0, 0, "0x80", "610000000000",
     "read", "0", "4"},
    {"bios word", 0, 0x62, 0, 1, 0, "0x80", "620100000000", "read", "0", "2"},
    {"channel rate", 0, 0x64, 0, 7, 1, "0x80", "640701000000", "read", "0",
     "1"},
    {"cluster query", 0, 0x70, 0, 2, 0, "0x80", "700200000000", "both", "1",
     "1"},
    {"device command", 0, 0x75, 0x10, 1, 0, "0x80", "750010010000", "none", "0",
     "0"},
    {"error counters", 0, 0x77, 0x10, 0, 0, "0x80", "770010000000", "read", "0",
     "2"},
    {"initiator id", 0, 0x7D, 0, 0, 0, "0x80", "7d0000000000", "read", "0",
     "1"},
    {"drive history", 0, 0x92, 0, 0, 0, "0x80", "920000000000", "read", "0",
     "118"},
    {"clear history", 0, 0x92, 0, 1, 0, "0x80", "920100000000", "none", "0",
     "0"},
    {"disk array by address", 0, 0xA1, 0x04, 0, 0, "0x81", "a10400000000",
     "read", "0", "25412"},
    {"disk configuration", 0, 0xA1, 0x06, 0x10, 0, "0x81", "a10610000000",
     "read", "0", "25412"},
    {"product information", 0, 0xA1, 0x0E, 0, 0, "0x80", "a10e00000000", "read",
     "0", "1024"},
    {"enquiry 3", 0, 0xA1, 0x0F, 2, 0, "0x80", "a10f02000000", "read", "0",
     "1061"},
    {"notify", 0, 0xA1, 0x0F, 1, 0, "0x80", "a10f01000000", "read", "0", "40"},
    {"adapter count", 0, 0x101, 0, 0, 0, "0x82", "826d00000000", "read", "0",
     "4"},
    {"inquiry", 0, 0xF0, 0x10, 0, 0, "0x80", "0300061200000080000b000010",
     "read", "0", "128"},
    {"read capacity", 0, 0xF2, 0x01, 0, 0, "0x80",
     "03000a250000000000000000000b000001", "read", "0", "8"},
    {"format unit", 0, 0xF3, 0x04, 0, 0, "0x80", "0300060400000000000b000004",
     "none", "0", "0"},
};

// An 8LD 4-span and an 8LD 8-span adapter on their SCSI disk devices: the
// device number splits into channel and target.
const Row kDisk8LD[] = {
    {"enquiry", 0, 0x05, 0, 0, 0, "0x80", "050000000000", "read", "0", "152"},
    {"extended enquiry", 0, 0x04, 0, 0, 0, "0x80", "040000000000", "read", "0",
     "168"},
    {"enquiry 2", 1, 0x0C, 0, 0, 0, "0x80", "0c0000000000", "read", "0",
     "1024"},
    {"4-span array", 0, 0x07, 0, 0, 0, "0x80", "070000000000", "read", "0",
     "1436"},
    {"8-span array", 1, 0x67, 0, 0, 0, "0x80", "670000000000", "read", "0",
     "2204"},
    {"write 4-span", 0, 0x20, 0, 0, 0, "0x80", "200000000000", "write", "1436",
     "0"},
    {"write 8-span", 1, 0x68, 0, 0, 0, "0x80", "680000000000", "write", "2204",
     "0"},
    {"state online", 0, 0x06, 0x12, 3, 0, "0x80", "060102030000", "none", "0",
     "0"},
    {"hot spare with size", 1, 0x06, 0x13, 6, 0, "0x80", "060103060000",
     "write", "4", "0"},
    {"rebuild", 0, 0x08, 0x01, 0, 0, "0x80", "080001000000", "none", "0", "0"},
    {"abort rebuild", 0, 0x28, 0x21, 0, 0, "0x80", "280201000000", "none", "0",
     "0"},
    {"rebuild progress", 1, 0x18, 0x32, 0, 0, "0x80", "180302000000", "read",
     "0", "4"},
    {"init", 0, 0x0B, 1, 0, 0, "0x80", "0b0100000000", "none", "0", "0"},
    {"reconstruction", 1, 0x60, 0, 0, 0, "0x80", "600000000000", "both", "16",
     "16"},
    {"disk configuration", 1, 0x63, 0x02, 0x02, 0, "0x80", "630002000000",
     "read", "0", "2204"},
    {"auto rebuild", 0, 0x64, 0, 4, 0, "0x80", "640400000000", "write", "1",
     "0"},
    {"reset errors", 0, 0x6A, 0x21, 0, 0, "0x80", "6a0201000000", "none", "0",
     "0"},
    {"error counters", 1, 0x77, 0x21, 0, 0, "0x80", "770201000000", "read", "0",
     "2"},
    {"adapter status", 0, 0xC3, 0, 0, 0, "0x80", "c30000000000", "read", "0",
     "193"},
    {"product name", 0, 0xDD, 0, 0, 0, "0x80", "650100000000", "read", "0",
     "12"},
    {"adapter sequence", 1, 0x104, 0, 2, 0, "0x82", "826100000000", "read", "0",
     "12"},
    {"inquiry", 0, 0xF0, 0x12, 0, 0, "0x80", "0300061200000080000b000102",
     "read", "0", "128"},
    {"inquiry 0xCF", 1, 0xCF, 0x02, 0, 0, "0x80", "0300061200000080000b000002",
     "read", "0", "128"},
    {"read capacity", 1, 0xF2, 0x01, 0, 0, "0x80",
     "03000a250000000000000000000b000001", "read", "0", "8"},
};

class TransportSimTrace : public SimTest {};

TEST_F(TransportSimTrace, EveryRowOnTheMultiAdapterInterfaceWith40LDNumbering) {
  UsePreset("one40ld");
  OpenMimd({HVAPI_FW_40LD});
  for (const Row &row : kMimd40LD) {
    SCOPED_TRACE(row.name);
    gulDacCurAdpNo = row.adapter;
    std::vector<uint8_t> data(32768, 0);
    IssueCmd(row.op, row.objid, reinterpret_cast<unsigned long>(data.data()),
             row.param1, row.param2);
    Check(row, NewRequests(), "1");
  }
}

TEST_F(TransportSimTrace, EveryRowOnTheDiskInterfaceWith8LDNumbering) {
  UsePreset("two8ld");
  OpenDisks({"/dev/sda", "/dev/sdc"}, {HVAPI_FW_8LD_4SPAN, HVAPI_FW_8LD_8SPAN});
  for (const Row &row : kDisk8LD) {
    SCOPED_TRACE(row.name);
    gulDacCurAdpNo = row.adapter;
    std::vector<uint8_t> data(32768, 0);
    IssueCmd(row.op, row.objid, reinterpret_cast<unsigned long>(data.data()),
             row.param1, row.param2);
    Check(row, NewRequests(), "2");
  }
}

TEST_F(TransportSimTrace, RefusedRowsSendNothing) {
  struct Refused {
    int op;
    uint32_t param1;
  } refused[] = {{0x0D, 0}, {0x64, 9}, {0x62, 0}, {0x92, 2},
                 {0x57, 1}, {0x55, 0}, {0xF4, 8}};
  UsePreset("one40ld");
  OpenMimd({HVAPI_FW_40LD});
  uint8_t data[64] = {0x3B};
  for (const Refused &r : refused) {
    EXPECT_EQ(-1, IssueCmd(r.op, 0, reinterpret_cast<unsigned long>(data),
                           r.param1, 0))
        << std::hex << r.op;
  }
  gulDacCurAdpNo = 1;
  EXPECT_EQ(-1, IssueCmd(0x7D, 0, reinterpret_cast<unsigned long>(data), 0, 0));
  EXPECT_TRUE(NewRequests().empty());
}

TEST_F(TransportSimTrace, AnswersComeBackOnBothInterfaces) {
  struct Case {
    const char *preset;
    bool mimd;
    unsigned char type;
    int device;
    uint32_t remapped;  // 4194304 sectors, last block 4194303
  } cases[] = {
      {"one40ld", true, HVAPI_FW_40LD, 0x01, 4192256},
      {"two8ld", false, HVAPI_FW_8LD_4SPAN, 0x01, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.preset);
    UsePreset(c.preset);
    if (c.mimd) {
      OpenMimd({c.type});
    } else {
      OpenDisks({"/dev/sda"}, {c.type});
    }
    uint8_t inquiry[128] = {};
    ASSERT_EQ(0, IssueCmd(0xF0, c.device,
                          reinterpret_cast<unsigned long>(inquiry), 0, 0));
    EXPECT_EQ(0, inquiry[0] & 0x1F) << "a disk";
    EXPECT_EQ(0, std::memcmp("HALVSIM", inquiry + 8, 7));
    uint32_t size = 0;
    ASSERT_EQ(0, IssueCmd(0xF2, c.device,
                          reinterpret_cast<unsigned long>(&size), 0, 0));
    if (c.remapped != 0) {
      EXPECT_EQ(c.remapped, size);
    }
    EXPECT_NE(0u, size);
    EXPECT_EQ(0u, size % 2048);
    uint8_t id = 0xFF;
    ASSERT_EQ(0, IssueCmd(0x7D, 0, reinterpret_cast<unsigned long>(&id), 0, 0));
    EXPECT_EQ(7, id);
    Finish();
  }
}

}  // namespace
