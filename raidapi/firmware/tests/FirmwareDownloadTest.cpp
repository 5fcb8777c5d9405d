// Firmware image checks and downloads against the simulated driver, which
// keeps what reaches the flash in an image file beside its state file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/tests/LibSimScenario.h"
#include "firmware/FirmwareDownload.h"
#include "hvapi.h"

namespace {

using libsim::AdapterBlock;
using libsim::LibSimTest;
using libsim::StateText;
using libsim::TraceLine;

using Bytes = std::vector<uint8_t>;

constexpr size_t kMiB = 1048576;

struct Section {
  uint32_t offset;
  uint32_t flashAddress;
  uint32_t flashSize;
};

// An image of `size` bytes of a running pattern, with the signature at
// signatureAt (none when negative) and the given section headers. The
// signature is written last, so it may stand inside a header.
Bytes MakeImage(size_t size, long signatureAt,
                const std::vector<Section> &sections) {
  Bytes image(size);
  for (size_t i = 0; i < size; ++i)
    image[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  for (const Section &s : sections) {
    FLASH_HDR h;
    std::memset(&h, 0, sizeof h);
    h.flashAddress = s.flashAddress;
    h.flashSize = s.flashSize;
    std::memcpy(&image[s.offset], &h, sizeof h);
  }
  if (signatureAt >= 0) {
    std::memcpy(&image[static_cast<size_t>(signatureAt)], kFlashSignature,
                sizeof kFlashSignature);
  }
  return image;
}

// Five sections of 0x38000 bytes fill a 1 MiB image; the sixth header
// would lie past its end.
std::vector<Section> Sections(int count, uint32_t size) {
  std::vector<Section> s;
  for (int i = 0; i < count; ++i) {
    s.push_back({static_cast<uint32_t>(i) * size,
                 0x1000000u + static_cast<uint32_t>(i) * size, size});
  }
  return s;
}

class FirmwareDownloadTest : public LibSimTest {
 protected:
  std::string WriteImage(const Bytes &image,
                         const std::string &name = "image.bin") {
    const std::string path = Dir() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(image.data()),
              static_cast<std::streamsize>(image.size()));
    return path;
  }

  Bytes Flash(int adapter) {
    std::ifstream in(StatePath() + ".flash" + std::to_string(adapter),
                     std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in),
                 std::istreambuf_iterator<char>());
  }
};

TEST_F(FirmwareDownloadTest, CheckFileAcceptsTheSignatureAtEachPlace) {
  struct Case {
    const char *name;
    Bytes image;
    Int expected;
  };
  const Case cases[] = {
      {"signature at 0", MakeImage(kMiB, 0, {{0, 0x400000, kMiB}}), 0},
      {"signature at 32", MakeImage(kMiB, 32, {{0, 0x400000, kMiB}}), 0},
      {"signature at 65408", MakeImage(kMiB, 65408, {{0, 0x400000, kMiB}}), 0},
      {"signature at 64", MakeImage(kMiB, 64, {{0, 0x400000, kMiB}}),
       HVAPI_ERR_CMD_FAILED},
      {"no signature", MakeImage(kMiB, -1, {{0, 0x400000, kMiB}}),
       HVAPI_ERR_CMD_FAILED},
      {"shorter than a signature", Bytes{'V', '3', '6'}, HVAPI_ERR_CMD_FAILED},
      {"signature, then no whole header", MakeImage(36, 0, {}),
       HVAPI_ERR_CMD_FAILED},
      {"five sections", MakeImage(kMiB, 0, Sections(5, 0x38000)), 0},
      {"six sections", MakeImage(kMiB, 0, Sections(6, 0x2A000)),
       HVAPI_ERR_CMD_FAILED},
      {"a section of size 0", MakeImage(kMiB, 0, {{0, 0x400000, 0}}),
       HVAPI_ERR_CMD_FAILED},
      {"an empty section later on",
       MakeImage(kMiB, 0, {{0, 0x400000, 0x10000}, {0x10000, 0x410000, 0}}),
       HVAPI_ERR_CMD_FAILED},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, CheckFile(WriteImage(c.image).c_str()));
  }
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, CheckFile((Dir() + "/missing.bin").c_str()));
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, CheckFile(nullptr));
}

TEST_F(FirmwareDownloadTest, CheckFileDescribesTheSections) {
  const Bytes image = MakeImage(kMiB, 0, Sections(5, 0x38000));
  ASSERT_EQ(0, CheckFile(WriteImage(image).c_str()));
  for (size_t i = 0; i < kFlashMaxSections; ++i) {
    EXPECT_EQ(0x1000000u + i * 0x38000, FlashAddressTable[i].StartAddress);
    EXPECT_EQ(0x38000u, FlashAddressTable[i].DataSize);
  }
  EXPECT_EQ(0x1000000u + 4 * 0x38000, StartAddress);
  EXPECT_EQ(0x38000u, DataSize);
  EXPECT_EQ(0x1000000u + 5 * 0x38000, EndAddress);
  EXPECT_EQ(StartAddress, flash_hdr.flashAddress);

  // A file that fails its check leaves the description of the last good
  // one.
  EXPECT_NE(
      0,
      CheckFile(WriteImage(MakeImage(kMiB, 0, Sections(6, 0x2A000))).c_str()));
  EXPECT_EQ(0x1000000u + 4 * 0x38000, StartAddress);
  EXPECT_EQ(0x1000000u, FlashAddressTable[0].StartAddress);
}

// The first 1 MiB arrives in the adapter's flash, block by block, and the
// closing command ends the download; on either interface.
TEST_F(FirmwareDownloadTest, DownloadReachesTheFlash) {
  for (int interface : {1, 2}) {
    SCOPED_TRACE("interface " + std::to_string(interface));
    UseState(StateText({AdapterBlock(HVAPI_FW_40LD, interface, 1)}));
    std::remove((StatePath() + ".flash0").c_str());
    Start();
    // Longer than the flash: only the first 1 MiB goes.
    const Bytes image =
        MakeImage(kMiB + 8192, 32, {{0, 0x400000, kMiB + 8192}});
    ASSERT_EQ(0, Download_Firmware(0, WriteImage(image).c_str()));

    const Bytes flash = Flash(0);
    ASSERT_EQ(kMiB, flash.size());
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), image.begin()));
    EXPECT_EQ("256", Setting(0, "flash-blocks"));
    EXPECT_EQ("1", Setting(0, "flash-closes"));

    const std::vector<TraceLine> sent = Commands(Trace(), "");
    ASSERT_EQ(1u + kFlashBlocks + 1u,
              sent.size());  // reconstruction query first
    for (size_t i = 0; i < kFlashBlocks; ++i) {
      char area[15];
      std::snprintf(area, sizeof area, "2c%02zx%02zx000000%02zx", i, i, i);
      EXPECT_EQ(area, sent[1 + i].at("area"));
      EXPECT_EQ("0x81", sent[1 + i].at("fake"));
      EXPECT_EQ("4096", sent[1 + i].at("out"));
    }
    EXPECT_EQ(
        "2d8383000000"
        "83",
        sent.back().at("area"));
    EXPECT_EQ("8", sent.back().at("out"));
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  }
}

TEST_F(FirmwareDownloadTest, RefusedDownloads) {
  UseState(StateText({AdapterBlock(HVAPI_FW_40LD, 1, 1),
                      AdapterBlock(HVAPI_FW_8LD_8SPAN, 1, 1)}));
  const std::string good =
      WriteImage(MakeImage(kMiB, 0, {{0, 0x400000, kMiB}}), "good.bin");
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, Download_Firmware(0, good.c_str()));
  Start();
  struct Case {
    const char *name;
    UChar adapter;
    std::string path;
    Int expected;
  };
  const Case cases[] = {
      // The type decides before the file is looked at: a missing file
      // would fail its check.
      {"8LD adapter", 1, Dir() + "/missing.bin", HVAPI_ERR_NEEDS_40LD},
      {"adapter not found", 2, good, HVAPI_ERR_BAD_ADAPTER},
      {"six sections", 0,
       WriteImage(MakeImage(kMiB, 0, Sections(6, 0x2A000)), "six.bin"),
       HVAPI_ERR_BAD_FW_FILE},
      {"empty section", 0,
       WriteImage(MakeImage(kMiB, 0, {{0, 0x400000, 0}}), "zero.bin"),
       HVAPI_ERR_BAD_FW_FILE},
      {"no signature", 0,
       WriteImage(MakeImage(kMiB, -1, {{0, 0x400000, kMiB}}), "nosig.bin"),
       HVAPI_ERR_BAD_FW_FILE},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, Download_Firmware(c.adapter, c.path.c_str()));
    EXPECT_TRUE(Commands(Trace(), "2c").empty());
  }
  EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, Download_Firmware(0, nullptr));
}

// A file shorter than 1 MiB passes its check but runs out at the first
// short block; the download is never closed.
TEST_F(FirmwareDownloadTest, ShortImageFailsPartWay) {
  UsePreset("one40ld");
  Start();
  const Bytes image = MakeImage(kMiB / 2 + 100, 0, {{0, 0x400000, kMiB}});
  const std::string path = WriteImage(image);
  ASSERT_EQ(0, CheckFile(path.c_str()));
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, Download_Firmware(0, path.c_str()));
  const std::vector<TraceLine> sent = Trace();
  EXPECT_EQ(kFlashBlocks / 2, Commands(sent, "2c").size());
  EXPECT_TRUE(Commands(sent, "2d").empty());
  EXPECT_EQ("0", Setting(0, "flash-closes"));
}

TEST_F(FirmwareDownloadTest, FailedBlockStopsTheDownload) {
  UsePreset("one40ld");
  Start();
  UseFaults("op=0x2c from=3 status=1");
  const std::string path =
      WriteImage(MakeImage(kMiB, 0, {{0, 0x400000, kMiB}}));
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, Download_Firmware(0, path.c_str()));
  const std::vector<TraceLine> sent = Trace();
  EXPECT_EQ(3u, Commands(sent, "2c").size());
  EXPECT_TRUE(Commands(sent, "2d").empty());
}

}  // namespace
