#include <sys/mman.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "core/AdapterTable.h"
#include "firmware/FirmwareLayouts.h"

namespace {

// Sets the table and globals up as discovery and InitLib leave them: a 40LD
// adapter on descriptor 5 with initiator 7 and an 8LD 4-span adapter on
// descriptor 9 with initiator 0x10F (only the low byte is an ID).
class AdapterTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clear();
    gstAdpTab.chTotalNoOFAdp = 2;
    gstAdpTab.iNoOfLiveAplns = 255;
    guiTotalHalvoranCount = 2;
    giDriverType = HVAPI_DRIVER_SCSI;
    giMIMDFileDescriptor = 12;
    gaiFileHandles[0] = 5;
    gaiFileHandles[1] = 9;
    gachDacFWType[0] = HVAPI_FW_40LD;
    gachDacFWType[1] = HVAPI_FW_8LD_4SPAN;
    ADAPTER_INFO *rows = gstAdpTab.astTotAdpInfo;
    rows[0] = ADAPTER_INFO{1, HVAPI_FW_40LD, 5, 7, 0, 0, 0, 0, 0, 0, 0};
    rows[1] =
        ADAPTER_INFO{2, HVAPI_FW_8LD_4SPAN, 9, 0x10F, 0, 0, 0, 0, 0, 0, 0};
    gulDacCurAdpNo = 1;
  }
  void TearDown() override { Clear(); }

  static void Clear() {
    std::memset(&gstAdpTab, 0, sizeof gstAdpTab);
    std::memset(gaiFileHandles, 0, sizeof gaiFileHandles);
    std::memset(gachDacFWType, 0, sizeof gachDacFWType);
    gulDacCurAdpNo = 0;
    guiTotalHalvoranCount = 0;
    giDriverType = 0;
    giMIMDFileDescriptor = 0;
  }
};

TEST_F(AdapterTableTest, AccessorsReadTheTable) {
  struct {
    const char *name;
    Int (*get)();
    Int expected;
  } cases[] = {
      {"GetTotalAdapters", GetTotalAdapters, 2},
      {"GetCurrentAdaptNumber", GetCurrentAdaptNumber, 1},
      {"GetFileHandleOfCurrAdapter", GetFileHandleOfCurrAdapter, 9},
      {"GetDriverType", GetDriverType, HVAPI_DRIVER_SCSI},
      {"GetMIMDFileDescriptor", GetMIMDFileDescriptor, 12},
      {"IsApiInitialized", IsApiInitialized, 1},
      {"GetAdpType(0)", [] { return GetAdpType(0); }, HVAPI_FW_40LD},
      {"GetAdpType(1)", [] { return GetAdpType(1); }, HVAPI_FW_8LD_4SPAN},
      {"GetAdpType(5)", [] { return GetAdpType(5); }, 0},
      {"GetAdpType(6)", [] { return GetAdpType(6); }, HVAPI_ERR_BAD_ARGUMENT},
      {"GetAdpType(255)", [] { return GetAdpType(255); },
       HVAPI_ERR_BAD_ARGUMENT},
      {"GetAdpterID(0)", [] { return GetAdpterID(0); }, 7},
      {"GetAdpterID(1)", [] { return GetAdpterID(1); }, 0x0F},
      {"GetAdpterID(6)", [] { return GetAdpterID(6); }, HVAPI_ERR_BAD_ARGUMENT},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, c.get());
  }
}

TEST_F(AdapterTableTest, CurrentAdapterChoosesTheHandle) {
  struct {
    ULong32 current;
    Int handle;
  } cases[] = {{0, 5}, {1, 9}, {5, 0}, {6, -1}, {0xFFFFFFFF, -1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.current);
    EXPECT_EQ(0, SetCurrentAdaptNumber(c.current));
    EXPECT_EQ(static_cast<Int>(c.current), GetCurrentAdaptNumber());
    EXPECT_EQ(c.handle, GetFileHandleOfCurrAdapter());
  }
}

TEST_F(AdapterTableTest, InitialisedOnlyWithTheMark) {
  struct {
    Int mark;
    Int expected;
  } cases[] = {{0, 0}, {1, 0}, {254, 0}, {255, 1}, {256, 1}, {-255, 0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mark);
    gstAdpTab.iNoOfLiveAplns = c.mark;
    EXPECT_EQ(c.expected, IsApiInitialized());
  }
}

TEST_F(AdapterTableTest, ValidatesAdapterNumbersAsSignedBytes) {
  struct {
    UChar found;
    int number;
    Int expected;
  } cases[] = {
      {2, 0, 1},
      {2, 1, 1},
      {2, 2, 0},
      {2, -1, 0},
      {2, 127, 0},
      {2, 128, 0},
      {2, 255, 0},
      {6, 5, 1},
      {6, 6, 0},
      {0, 0, 0},
      // A discovery that counted more than the table holds validates only
      // the six rows there are.
      {7, 5, 1},
      {7, 6, 0},
      {200, 100, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "found " << int(c.found) << " number " << c.number);
    gstAdpTab.chTotalNoOFAdp = c.found;
    EXPECT_EQ(c.expected,
              ValidateAdapterNo(static_cast<signed char>(c.number)));
  }
}

TEST_F(AdapterTableTest, CacheIsKeptInTheFieldOfTheAdaptersType) {
  void *low =
      mmap(nullptr, sizeof(ADAP_DATA_8SPAN_40LD), PROT_READ | PROT_WRITE,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  ASSERT_NE(MAP_FAILED, low);
  const uint32_t address =
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(low));

  ASSERT_EQ(0, SetAdpCache(0, low));
  EXPECT_EQ(address, gstAdpTab.astTotAdpInfo[0].pstAdapData8Span40LD);
  EXPECT_EQ(0u, gstAdpTab.astTotAdpInfo[0].pstAdapData4Span8LD);
  EXPECT_EQ(low, GetAdpCache(0));

  ASSERT_EQ(0, SetAdpCache(1, low));
  EXPECT_EQ(address, gstAdpTab.astTotAdpInfo[1].pstAdapData4Span8LD);
  EXPECT_EQ(0u, gstAdpTab.astTotAdpInfo[1].pstAdapData8Span40LD);

  // Another type makes another field the valid one.
  gstAdpTab.astTotAdpInfo[1].chAdpType = HVAPI_FW_8LD_8SPAN;
  EXPECT_EQ(nullptr, GetAdpCache(1));

  ASSERT_EQ(0, SetAdpCache(0, nullptr));
  EXPECT_EQ(nullptr, GetAdpCache(0));
  munmap(low, sizeof(ADAP_DATA_8SPAN_40LD));
}

TEST_F(AdapterTableTest, RefusesCachesItCannotKeep) {
  void *high = reinterpret_cast<void *>(uintptr_t{1} << 40);
  void *low = reinterpret_cast<void *>(uintptr_t{0x10000});
  struct {
    const char *name;
    UChar adapter;
    UChar type;
    void *cache;
  } cases[] = {
      {"address above 4 GiB", 0, HVAPI_FW_40LD, high},
      {"unknown firmware type", 2, 0, low},
      {"row beyond the table", 6, HVAPI_FW_40LD, low},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    if (c.adapter < HVAPI_MAX_ADAPTERS) {
      gstAdpTab.astTotAdpInfo[c.adapter].chAdpType = c.type;
    }
    const ADAPTER_TABLE before = gstAdpTab;
    EXPECT_EQ(-1, SetAdpCache(c.adapter, c.cache));
    EXPECT_EQ(0, std::memcmp(&before, &gstAdpTab, sizeof before));
    EXPECT_EQ(nullptr, GetAdpCache(c.adapter));
  }
}

}  // namespace
