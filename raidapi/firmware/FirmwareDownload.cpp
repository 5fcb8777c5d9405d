#include "firmware/FirmwareDownload.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/AdapterTable.h"
#include "core/ApiLock.h"
#include "core/DriverRecords.h"
#include "core/IoctlPass.h"
#include "core/LowMemory.h"
#include "firmware/AdapterOpcodes.h"
#include "core/Validations.h"

extern "C" {
HVAPI_EXPORT FLASH_HDR flash_hdr;
HVAPI_EXPORT FLASH_ADDRES_TABLE FlashAddressTable[kFlashMaxSections];
HVAPI_EXPORT ULong32 StartAddress;
HVAPI_EXPORT ULong32 DataSize;
HVAPI_EXPORT ULong32 EndAddress;
HVAPI_EXPORT FLASH_PROGRESS flash_progress;
}

namespace {

constexpr size_t kPageSize = 4096;
// Room for one page-aligned transfer page wherever the allocation starts.
constexpr size_t kTransferAllocation = 2 * kPageSize;
constexpr uint8_t kFlashCloseCode = 0x83;
constexpr uint32_t kBlockIncoming = 64;
constexpr uint32_t kCloseIncoming = 72;
constexpr uint32_t kCloseLength = 8;
constexpr size_t kMailboxAreaBytes = 16;

class File {
 public:
  explicit File(const Char *path)
      : f_(path != nullptr ? std::fopen(path, "rb") : nullptr) {}
  ~File() {
    if (f_ != nullptr) std::fclose(f_);
  }
  File(const File &) = delete;
  File &operator=(const File &) = delete;
  bool Ok() const { return f_ != nullptr; }
  // Reads exactly size bytes at offset.
  bool ReadAt(uint64_t offset, void *to, size_t size) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    if (fseeko(f_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(to, 1, size, f_) == size;
  }
  bool Read(void *to, size_t size) {
    return std::fread(to, 1, size, f_) == size;
  }

 private:
  FILE *f_;
};

bool HasSignature(File &file) {
  for (long offset : kFlashSignatureOffsets) {
    char found[sizeof kFlashSignature] = {};
    if (file.ReadAt(static_cast<uint64_t>(offset), found, sizeof found) &&
        std::memcmp(found, kFlashSignature, sizeof found) == 0) {
      return true;
    }
  }
  return false;
}

// The transfer page and the request record, both below 4 GiB: the driver
// is handed the page's address in a 32-bit field.
class Transfer {
 public:
  Transfer()
      : allocation_(static_cast<uint8_t *>(LowAlloc(kTransferAllocation))),
        request_(
            static_cast<UserIoctlStruc *>(LowAlloc(sizeof(UserIoctlStruc)))) {}
  ~Transfer() {
    LowFree(allocation_, kTransferAllocation);
    LowFree(request_, sizeof(UserIoctlStruc));
  }
  Transfer(const Transfer &) = delete;
  Transfer &operator=(const Transfer &) = delete;

  bool Ok() const { return allocation_ != nullptr && request_ != nullptr; }

  // The first page boundary above the allocation's start.
  uint8_t *Page() const {
    const uintptr_t start = reinterpret_cast<uintptr_t>(allocation_);
    return reinterpret_cast<uint8_t *>((start + kPageSize) &
                                       ~(uintptr_t{kPageSize} - 1));
  }

  // Sends the page's first length bytes with a 7-byte command area: the
  // opcode, then code twice, three zeros and code again.
  Int Send(uint8_t op, uint8_t code, uint32_t incoming, uint32_t length) {
    // The header and every area byte that may reach the mailbox.
    std::memset(request_, 0, sizeof(RequestHeader) + kMailboxAreaBytes);
    request_->OutGoingDataLen = HALV_OUTGOING_BASE;
    request_->InComingDataLen = incoming;
    request_->fakecmd.opcode = HALV_FAKE_MBOX_BY_ADDR;
    if (!ToDriverAddress(Page(), &request_->fakecmd.buffer)) return -1;
    request_->fakecmd.length = length;
    const uint8_t area[] = {op, code, code, 0, 0, 0, code};
    std::memcpy(request_->cmd, area, sizeof area);
    // The adapter fetches the page while the request runs; keeping it
    // resident helps but is not required.
    const bool pinned = mlock(allocation_, kTransferAllocation) == 0;
    const Int result = CommonIoctl(GetFileHandleOfCurrAdapter(),
                                   static_cast<int>(HALV_REQ_SEND_COMMAND),
                                   request_, HALV_DIR_WRITE, 0);
    if (pinned) munlock(allocation_, kTransferAllocation);
    return result;
  }

 private:
  uint8_t *allocation_;
  UserIoctlStruc *request_;
};

}  // namespace

extern "C" Int CheckFile(const Char *pchPathName) {
  File file(pchPathName);
  if (!file.Ok() || !HasSignature(file)) return HVAPI_ERR_CMD_FAILED;

  FLASH_HDR last;
  FLASH_ADDRES_TABLE table[kFlashMaxSections] = {};
  size_t sections = 0;
  uint64_t offset = 0;
  FLASH_HDR header;
  while (file.ReadAt(offset, &header, sizeof header)) {
    // A sixth section has no place in the table, and an empty one would
    // never lead on to the next header.
    if (sections == kFlashMaxSections || header.flashSize == 0)
      return HVAPI_ERR_CMD_FAILED;
    table[sections].StartAddress = header.flashAddress;
    table[sections].DataSize = header.flashSize;
    ++sections;
    last = header;
    offset += header.flashSize;
  }
  if (sections == 0) return HVAPI_ERR_CMD_FAILED;

  flash_hdr = last;
  std::memcpy(FlashAddressTable, table, sizeof table);
  StartAddress = table[sections - 1].StartAddress;
  DataSize = table[sections - 1].DataSize;
  EndAddress = StartAddress + DataSize;
  return 0;
}

extern "C" Int WriteFileToMem(const Char *pchPathName) {
  Transfer transfer;
  if (!transfer.Ok()) return HVAPI_ERR_CMD_FAILED;
  {
    File file(pchPathName);
    if (!file.Ok()) return HVAPI_ERR_CMD_FAILED;
    for (size_t i = 0; i < kFlashBlocks; ++i) {
      if (!file.Read(transfer.Page(), kFlashBlockSize))
        return HVAPI_ERR_CMD_FAILED;
      const uint8_t block = static_cast<uint8_t>(i);
      if (transfer.Send(kOpFlashBlock, block, kBlockIncoming,
                        kFlashBlockSize) != 0) {
        return HVAPI_ERR_CMD_FAILED;
      }
    }
  }
  std::memset(transfer.Page(), 0, kCloseLength);
  return transfer.Send(kOpFlashClose, kFlashCloseCode, kCloseIncoming,
                       kCloseLength) == 0
             ? 0
             : HVAPI_ERR_CMD_FAILED;
}

extern "C" Int Download_Firmware(UChar uchAdaptNo, const Char *pchPathName) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pchPathName == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  if (gachDacFWType[uchAdaptNo] != HVAPI_FW_40LD) return HVAPI_ERR_NEEDS_40LD;
  if (CheckFile(pchPathName) != 0) return HVAPI_ERR_BAD_FW_FILE;
  return WriteFileToMem(pchPathName) == 0 ? 0 : HVAPI_ERR_CMD_FAILED;
}
