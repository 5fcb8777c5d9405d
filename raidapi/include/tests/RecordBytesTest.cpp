// The records are shared byte for byte with applications: a field written
// through the declaration must land, little-endian, at the offset an
// application reads it from, including the unaligned ones and bit-fields.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hvapi.h"

namespace {

struct FieldCase {
  std::string name;
  size_t recordSize;
  // Writes the field of a zeroed record held in the given bytes.
  std::function<void(unsigned char *)> write;
  size_t offset;
  std::vector<unsigned char> expected;  // bytes from offset on
};

template <typename T>
std::function<void(unsigned char *)> Write(std::function<void(T &)> set) {
  return [set](unsigned char *bytes) {
    T record;
    std::memset(&record, 0, sizeof record);
    set(record);
    std::memcpy(bytes, &record, sizeof record);
  };
}

const std::vector<FieldCase> kFieldCases = {
    {"Drive_Struct.ulSize",
     sizeof(Drive_Struct),
     Write<Drive_Struct>([](Drive_Struct &r) { r.ulSize = 0x11223344; }),
     3,
     {0x44, 0x33, 0x22, 0x11}},
    {"Ldrv_Struct.ulLDrvSize",
     sizeof(Ldrv_Struct),
     Write<Ldrv_Struct>([](Ldrv_Struct &r) { r.ulLDrvSize = 0xA1B2C3D4; }),
     9,
     {0xD4, 0xC3, 0xB2, 0xA1}},
    {"Ldrv_Struct.stLogDrv_Policy",
     sizeof(Ldrv_Struct),
     Write<Ldrv_Struct>([](Ldrv_Struct &r) {
       r.stLogDrv_Policy.uchReadPolicy = 2;
       r.stLogDrv_Policy.uchWritePolicy = 1;
       r.stLogDrv_Policy.uchCachePolicy = 1;
       r.uchStripeSize = 0x40;
     }),
     4,
     {2, 1, 1, 0x40}},
    {"RaidSetDrive_Struct.uPhyDrvSize",
     sizeof(RaidSetDrive_Struct),
     Write<RaidSetDrive_Struct>([](RaidSetDrive_Struct &r) {
       r.uPhyDrvSize = 0x01020304;
       r.uchChanNo = 5;
       r.uchTargID = 6;
     }),
     1,
     {4, 3, 2, 1, 5, 6}},
    {"LogDrvInfo_Struct.ulLogDrvSize",
     sizeof(LogDrvInfo_Struct),
     Write<LogDrvInfo_Struct>(
         [](LogDrvInfo_Struct &r) { r.ulLogDrvSize = 0x00ABCDEF; }),
     7,
     {0xEF, 0xCD, 0xAB, 0x00}},
    {"AllDrvInfo_Struct.astDrive[1].ulSize",
     sizeof(AllDrvInfo_Struct),
     Write<AllDrvInfo_Struct>(
         [](AllDrvInfo_Struct &r) { r.astDrive[1].ulSize = 0x55667788; }),
     1 + 7 + 3,
     {0x88, 0x77, 0x66, 0x55}},
    {"RaidConfig_Struct last logical drive",
     sizeof(RaidConfig_Struct),
     Write<RaidConfig_Struct>([](RaidConfig_Struct &r) {
       r.astFullLogDrvInfo[39].stLdrv.ulLDrvSize = 0x0A0B0C0D;
     }),
     1 + 39 * 14357 + 9,
     {0x0D, 0x0C, 0x0B, 0x0A}},
    {"RaidSet_Struct.uchStripeSize",
     sizeof(RaidSet_Struct),
     Write<RaidSet_Struct>([](RaidSet_Struct &r) {
       r.uchStripeSize = 0x20;
       r.uchNoOfLD = 3;
     }),
     14346,
     {0x20, 3}},
    {"Adp_Struct.shSubSystemvendorID",
     sizeof(Adp_Struct),
     Write<Adp_Struct>([](Adp_Struct &r) {
       r.shSubSystemID = 0x1234;
       r.shSubSystemvendorID = 0x5678;
     }),
     124,
     {0x34, 0x12, 0x78, 0x56}},
    {"SenseData_Struct.uwASCPlusASCQ",
     sizeof(SSDa_Struct),
     Write<SSDa_Struct>(
         [](SSDa_Struct &r) { r.astSenData[4].uwASCPlusASCQ = 0x0429; }),
     1 + 4 * 12 + 10,
     {0x29, 0x04}},
    {"PassThru_Struct flags byte",
     sizeof(PassThru_Struct),
     Write<PassThru_Struct>([](PassThru_Struct &r) {
       r.Timeout = 5;
       r.Ars = 1;
       r.IsLogical = 1;
       r.LogicalDriveNumber = 7;
     }),
     0,
     {0x8D, 7}},
    {"PassThru_Struct.DataTransferLength",
     sizeof(PassThru_Struct),
     Write<PassThru_Struct>(
         [](PassThru_Struct &r) { r.DataTransferLength = -2; }),
     56,
     {0xFE, 0xFF, 0xFF, 0xFF}},
    {"Err_History nibbles",
     sizeof(DrvHist_Struct),
     Write<DrvHist_Struct>([](DrvHist_Struct &r) {
       r.astErr_history[0][1].uchTimeOut = 0xA;
       r.astErr_history[0][1].uchParity = 0x5;
       r.astErr_history[0][1].uchThrottle = 9;
     }),
     2,
     {0x5A, 9}},
    {"FailHistory_Struct bits",
     sizeof(DrvHist_Struct),
     Write<DrvHist_Struct>([](DrvHist_Struct &r) {
       r.astFailHistory[9].uchChan = 2;
       r.astFailHistory[9].uchTarg = 9;
       r.astFailHistory[9].uchValid = 1;
       r.astFailHistory[9].uchReason = 0x33;
     }),
     97 + 18,
     {0x80 | (9 << 3) | 2, 0x33}},
    {"AdapterStatus_Struct.astPhyDrvStatus",
     sizeof(AdapterStatus_Struct),
     Write<AdapterStatus_Struct>(
         [](AdapterStatus_Struct &r) { r.astPhyDrvStatus[255].uchStatus = 4; }),
     164 + 255 * 3 + 2,
     {4}},
};

TEST(RecordBytes, FieldsLandAtTheirApplicationOffsets) {
  for (const FieldCase &c : kFieldCases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> bytes(c.recordSize, 0);
    c.write(bytes.data());
    ASSERT_LE(c.offset + c.expected.size(), bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
      const bool inField = i >= c.offset && i < c.offset + c.expected.size();
      const unsigned char want = inField ? c.expected[i - c.offset] : 0;
      ASSERT_EQ(want, bytes[i]) << "byte " << i;
    }
  }
}

}  // namespace
