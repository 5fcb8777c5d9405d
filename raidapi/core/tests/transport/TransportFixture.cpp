#include "TransportFixture.h"

#include <cstring>

void SetUpAdapters(int driverType, std::initializer_list<uint8_t> types) {
  std::memset(&gstAdpTab, 0, sizeof gstAdpTab);
  std::memset(gaiFileHandles, 0, sizeof gaiFileHandles);
  std::memset(gachDacFWType, 0, sizeof gachDacFWType);
  int i = 0;
  for (uint8_t type : types) {
    gachDacFWType[i] = type;
    gaiFileHandles[i] =
        driverType == HVAPI_DRIVER_SCSI ? FakeDriver::kFirstDiskFd + i : i;
    ADAPTER_INFO &row = gstAdpTab.astTotAdpInfo[i];
    row.uchAdapterNo = static_cast<UChar>(i + 1);
    row.chAdpType = type;
    row.iAdpHandle = gaiFileHandles[i];
    row.chAdpID = 7;
    ++i;
  }
  gstAdpTab.chTotalNoOFAdp = static_cast<UChar>(i);
  gstAdpTab.iNoOfLiveAplns = HVAPI_APP_HANDLE;
  guiTotalHalvoranCount = static_cast<ULong32>(i);
  giDriverType = driverType;
  giMIMDFileDescriptor =
      driverType == HVAPI_DRIVER_MIMD ? FakeDriver::kMimdFd : 0;
  gulDacCurAdpNo = 0;
}

uint32_t AddressOf(const void *p) {
  uint32_t address = 0;
  EXPECT_TRUE(ToDriverAddress(p, &address));
  return address;
}

uint8_t *SdataBytes() { return reinterpret_cast<uint8_t *>(RequestBuffer()); }

void TransportTest::SetUp() {
  driver.Reset();
  ASSERT_NE(nullptr, RequestBuffer());
  ASSERT_NE(nullptr, MimdRecord());
}

void TransportTest::TearDown() {
  driver.Reset();
  SetUpAdapters(0, {});
  gstAdpTab.iNoOfLiveAplns = 0;
}
