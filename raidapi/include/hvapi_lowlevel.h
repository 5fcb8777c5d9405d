/*
 * hvapi_lowlevel.h: the lower-level interface of libhvapi.so.0, for tools
 * that drive the adapters below the operations of hvapi.h: the adapter table
 * and its globals, the command transport, the semaphore, discovery and the
 * firmware download's globals. Applications need only hvapi.h.
 *
 * The functions that reach an adapter expect the library to be started
 * (InitLib) and the caller to hold its lock (Sem_Wait); they take no lock of
 * their own. Valid C99 and C++.
 */
#ifndef HVAPI_LOWLEVEL_H
#define HVAPI_LOWLEVEL_H

#include <sys/sem.h>

#include "hvapi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Adapter table and the transport's globals
 * ------------------------------------------------------------------------ */

/* The table's layout is the library's own; tools read it through the
 * accessors of hvapi.h. */
typedef struct ADAPTER_TABLE ADAPTER_TABLE;

// Process-wide state. Written by discovery and InitLib, read by the
// transport; all of it under the library's semaphore.
HVAPI_EXPORT extern ADAPTER_TABLE gstAdpTab;
HVAPI_EXPORT extern ULong32 gulDacCurAdpNo;  // current adapter, 0-based
// Per adapter: an open SCSI disk descriptor (interface 2) or the adapter
// index (interface 1).
HVAPI_EXPORT extern Int gaiFileHandles[HVAPI_MAX_ADAPTERS];
HVAPI_EXPORT extern UChar gachDacFWType[HVAPI_MAX_ADAPTERS];  // HVAPI_FW_*
HVAPI_EXPORT extern ULong32 guiTotalHalvoranCount;  // last discovery's count
HVAPI_EXPORT extern Int giDriverType;               // HVAPI_DRIVER_*
HVAPI_EXPORT extern Int giMIMDFileDescriptor;       // "/dev/halvdev0"

/* ------------------------------------------------------------------------
 * The library's lock
 * ------------------------------------------------------------------------ */

// Identifier of the set; -1 until Sem_Init. The set is used whenever the
// identifier is 0 or more (the system may hand out 0).
HVAPI_EXPORT extern int giSemId;
HVAPI_EXPORT extern int giNoOfSems;  // semaphores in the set: 1
// The two entries of a take (wait for 0, then raise to 1, undone at exit).
// Shown for inspection only: the calls use their own copies, so threads that
// take and release at once never see each other's entries.
HVAPI_EXPORT extern struct sembuf *pstSemBuf;

// Creates the set (owner read and write only) or opens the existing one and
// stores its identifier. Returns 0; on failure prints "semget() failed" with
// the system's reason and returns -1, which InitLib answers as -11. The
// process is never ended.
HVAPI_EXPORT int Sem_Init(void);

// Takes the lock, blocking the calling thread until it is free; a take that a
// signal interrupts is retried. The kernel gives the lock back if the process
// ends while holding it. Returns 0; on failure prints "semop failed" with the
// reason and returns -1, and the caller goes on without the lock. Does nothing
// before Sem_Init.
HVAPI_EXPORT int Sem_Wait(void);

// Releases the lock. Returns 0; on failure prints "semop 2 failed" with the
// reason and returns -1. Does nothing before Sem_Init.
HVAPI_EXPORT int Sem_Post(void);

// Leaves the set in the system, so a later InitLib in any process finds it.
HVAPI_EXPORT int Sem_Kill(void);

/* ------------------------------------------------------------------------
 * Discovery
 * ------------------------------------------------------------------------ */

// Uses the multi-adapter interface when "/dev/halvdev0" opens, the SCSI disk
// devices otherwise; stores the count in guiTotalHalvoranCount and returns
// it: 0 to 6, or HVAPI_MAX_ADAPTERS + 1.
HVAPI_EXPORT Int Linux_FindAdapters(void);

// Discovery through "/dev/halvdev0", which stays open as
// giMIMDFileDescriptor; the handles are the adapter indexes 0, 1, 2 ...
// Returns the count the driver reports (0 when it cannot be asked), or
// HVAPI_MAX_ADAPTERS + 1 above six.
HVAPI_EXPORT Int Linux_FindAdaptersMIMD(void);

// Discovery through "/dev/sda" to "/dev/sdz": a disk whose SCSI host is a
// Halvoran adapter and that answers the 40LD disk-array read or a plausible
// 8LD enquiry is an adapter, and its descriptor becomes the handle. The
// adapter's other logical drives (the disks that follow) are skipped. Every
// descriptor that is not kept is closed. Returns the count, or
// HVAPI_MAX_ADAPTERS + 1 when a seventh adapter answers.
HVAPI_EXPORT Int Linux_FindAdaptersSCSID(void);

// Sets gachDacFWType of the current adapter from the first disk-array read
// it accepts: 40LD, then 8LD 8-span, then 8LD 4-span. Returns 0, or -1 when
// none is accepted or memory is short.
HVAPI_EXPORT Int FindFirmwareType(void);

/* ------------------------------------------------------------------------
 * Command transport
 * ------------------------------------------------------------------------ */

/* The driver's multi-adapter request record; its layout is the driver's. */
typedef struct uioctl_t uioctl_t;

// Sends opcode op to the current adapter. objid is a logical drive, a
// sub-opcode or a device (channel * 16 + target); dataptr the address of the
// caller's data. Returns 0; -1 for an opcode outside the table, parameters
// its row refuses, a current adapter that was not found, or a request the
// driver refuses; otherwise the adapter's non-zero status.
HVAPI_EXPORT Int IssueCmd(Int op, Int objid, unsigned long dataptr,
                          ULong32 param1, ULong32 param2);

// IssueCmd with narrowed arguments, in discovery's order.
HVAPI_EXPORT Int issue_adp_cmd(UChar op, UShort objid, UChar param1,
                               UChar param2, unsigned long dataptr);

// Fills the request buffer with the command area and, for a write, the
// caller's datalen bytes at user_dataptr, sends it, and for a read copies
// datalen answer bytes back to user_dataptr. refire 0xA1 leaves the data
// lengths of the buffer at zero. Returns 0, -1 when the request cannot be
// built or the driver refuses it, or the adapter's non-zero status.
HVAPI_EXPORT Int CallIoctlPass(int fd, unsigned long user_dataptr,
                               ULong32 datalen, int datadir, UChar CmdArea_Len,
                               UChar *CmdArea_Addr, UChar refire);

// Sends the request buffer pstData (sdata, or a record with the same head
// and at least the firmware download's size) through the interface in use.
// Interface 2 answers the driver's result unchanged; interface 1 answers -1
// for a failed request, else the completion status (or for a driver query,
// the request's own result).
HVAPI_EXPORT Int CommonIoctl(int iFileDesptr, int iRequest, void *pstData,
                             int iDataDirection, int iCmdArea_Len);

// On the SCSI disk interface the record's block goes out with the data of
// pcDataPtr (ulDataLength bytes in the direction ucDataDir) to the logical
// drive or the device the record names. On the multi-adapter interface the
// record travels whole, so its own data address and length are used.
// Returns 0, -1 when the request cannot be built or the driver refuses it,
// or the device's non-zero status.
HVAPI_EXPORT Int SCSICommand(PassThru_Struct *pstPassThru, char *pcDataPtr,
                             Bool bIsLogical, UChar ucDataDir,
                             ULong32 ulDataLength);

// Refuses an adapter that is reconstructing (-42) or that was not found
// (-44); otherwise makes it current and returns 0. The reconstruction query
// makes the adapter current in either case.
HVAPI_EXPORT Int PerformValidations(UChar uchAdaptNo);

// Makes the adapter current and answers 1 while it reports a reconstruction
// under way, 0 otherwise (a failed query included).
HVAPI_EXPORT Int IsReconProgress(UChar uchAdaptNo);

// The current adapter's SCSI initiator ID, or 7 when the query fails or the
// answer is not a valid ID.
HVAPI_EXPORT Int GetInitiatorID(void);

// Reads the driver's adapter sequence (iNoOfAdps * 4 + 4 bytes) into
// iAdpSeq. Returns 0; -11 when the query fails or the driver marks the
// sequence unknown (first entry 255).
HVAPI_EXPORT Int GetAdpSeq(Int *iAdpSeq, Int iNoOfAdps);

// The four bytes of value in reverse order (big-endian to host order).
HVAPI_EXPORT ULong32 swap4(ULong32 value);

// A sector count less the adapter's 32 reserved sectors, rounded down to a
// multiple of 2048 (one MiB); 0 for a disk smaller than the reserved area.
HVAPI_EXPORT ULong32 RemappedDiskSize(ULong32 scsiszInSectors);

// Prints the multi-adapter record, then its pass-through part.
HVAPI_EXPORT Int Printuioctl_t(uioctl_t *pstIoctl);

// Prints a pass-through record, then waits for ENTER.
HVAPI_EXPORT Int PrintPassThru_Struct(PassThru_Struct *pstPassThru);

// Asks for ENTER and reads one character from standard input. Returns 0.
HVAPI_EXPORT Int PressC(void);

/* ------------------------------------------------------------------------
 * Firmware download
 * ------------------------------------------------------------------------ */

/* Sections the flash address table holds. */
#define HVAPI_FLASH_MAX_SECTIONS 5

#pragma pack(push, 1)

// One section header of the image; the chain starts at offset 0 and each
// next header lies flashSize bytes after the one before.
typedef struct FLASH_HDR {
  ULong32 checkWord;
  ULong32 loadAddress;
  ULong32 dataSize;
  ULong32 startAddress;
  Char name[4];
  ULong32 flashAddress;  // where the section goes in flash
  ULong32 flashSize;     // the section's size
  ULong32 versionOffset;
  ULong32 buildDataOffset;
  ULong32 buildTimeOffset;
} FLASH_HDR, FlashHeader_Struct;

typedef struct FLASH_ADDRES_TABLE {
  ULong32 StartAddress;
  ULong32 DataSize;
  ULong32 Type;
} FLASH_ADDRES_TABLE, FlashAddressTable_Struct;

// Declared for applications; no operation fills it.
typedef struct FLASH_PROGRESS {
  ULong32 ulCurPhase;
  ULong32 ulProgress;
} FLASH_PROGRESS, FlashProgress_Struct;

#pragma pack(pop)

HVAPI_CHECK_SIZE(FLASH_HDR, 40);
HVAPI_CHECK_OFFSET(FLASH_HDR, flashAddress, 20);
HVAPI_CHECK_OFFSET(FLASH_HDR, flashSize, 24);
HVAPI_CHECK_SIZE(FLASH_ADDRES_TABLE, 12);
HVAPI_CHECK_SIZE(FLASH_PROGRESS, 8);

// The last successful check: its last header, its sections, and the last
// section's flash address, size and end.
HVAPI_EXPORT extern FLASH_HDR flash_hdr;
HVAPI_EXPORT extern FLASH_ADDRES_TABLE
    FlashAddressTable[HVAPI_FLASH_MAX_SECTIONS];
HVAPI_EXPORT extern ULong32 StartAddress;
HVAPI_EXPORT extern ULong32 DataSize;
HVAPI_EXPORT extern ULong32 EndAddress;
HVAPI_EXPORT extern FLASH_PROGRESS flash_progress;

#ifdef __cplusplus
}
#endif

#endif /* HVAPI_LOWLEVEL_H */
