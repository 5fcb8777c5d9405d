/*
 * hvapi.h: the C interface of libhvapi.so.0, which drives Halvoran RAID
 * adapters through their Linux driver. Applications allocate and own every
 * record passed to the library; the library never keeps or frees one.
 *
 * Valid C99 and C++. Every record is packed (no padding, so a 32-bit field
 * may start at an odd offset) and little-endian; the sizes are pinned below
 * at compile time because applications share these records byte for byte.
 */
#ifndef HVAPI_H
#define HVAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Export and compile-time checks
 * ------------------------------------------------------------------------ */

/* The library is built with hidden visibility; only what carries this mark
 * is part of its dynamic interface. */
#if defined(__GNUC__)
#define HVAPI_EXPORT __attribute__((visibility("default")))
#else
#define HVAPI_EXPORT
#endif

/* Pins a record's size or a field's offset when the header is compiled. C99
 * has no static assertion, so a negative array size stands in for one. */
#if defined(__cplusplus)
#define HVAPI_CHECK_SIZE(type, size) \
  static_assert(sizeof(type) == (size), #type " must be " #size " bytes")
#define HVAPI_CHECK_OFFSET(type, field, offset)    \
  static_assert(offsetof(type, field) == (offset), \
                #type "." #field " must be at " #offset)
#else
#define HVAPI_CHECK_SIZE(type, size) \
  typedef char hvapi_size_of_##type[(sizeof(type) == (size)) ? 1 : -1]
#define HVAPI_CHECK_OFFSET(type, field, offset) \
  typedef char hvapi_offset_of_##type##_##field \
      [(offsetof(type, field) == (offset)) ? 1 : -1]
#endif

/* ------------------------------------------------------------------------
 * Scalar types
 *
 * The names are those of the adapter interface, which was defined on a
 * 32-bit system. They are fixed-width here: on x86-64 `unsigned long` is
 * 8 bytes, but ULong, ULong32 and Long are 4 bytes in every record.
 * ------------------------------------------------------------------------ */

typedef int32_t Int;
typedef uint32_t UInt;
typedef uint8_t UChar;
typedef uint8_t Byte;
typedef char Char;
typedef uint32_t ULong32;
typedef uint32_t ULong;
typedef int32_t Long;
typedef uint16_t UShort;
typedef uint16_t Word;
/* 0 false, anything else true. X11's <X11/Xlib.h> defines Bool as a macro
 * for int, the same 32-bit signed type; after it, that macro stands in. */
#ifndef Bool
typedef int32_t Bool;
#endif
typedef void Void;

/* ------------------------------------------------------------------------
 * Return codes
 *
 * Every exported operation returns 0 (or a non-negative answer that it
 * defines) on success and one of these negative codes on failure.
 * ------------------------------------------------------------------------ */

#define HVAPI_APP_HANDLE 255 /* InitLib succeeded; the handle */
#define HVAPI_SUCCESS 0
#define HVAPI_ERR_TRANSPORT (-1)     /* internal transport failure */
#define HVAPI_ERR_NO_ADAPTER (-2)    /* no adapter found */
#define HVAPI_ERR_CMD_FAILED (-11)   /* a command to the adapter failed */
#define HVAPI_ERR_BAD_ARGUMENT (-16) /* an argument is out of range */
#define HVAPI_ERR_NOT_INITIALISED (-24)
#define HVAPI_ERR_RECONSTRUCTING (-42) /* adapter busy reconstructing */
#define HVAPI_ERR_BAD_ADAPTER (-44)    /* adapter number out of range */
#define HVAPI_ERR_BAD_HANDLE (-47)     /* CloseLib handle is not 255 */
#define HVAPI_ERR_BAD_FW_FILE (-56)    /* firmware image failed its check */
#define HVAPI_ERR_NEEDS_40LD (-57)     /* firmware download needs 40LD */
#define HVAPI_ERR_TOO_MANY_ADAPTERS (-60)
#define HVAPI_ERR_NOT_CLUSTERED (-65) /* ID change needs cluster mode */

/* Codes of the drive operations. */
#define HVAPI_ERR_CHECK_REFUSED (-7)    /* adapter refused the check */
#define HVAPI_ERR_IS_MEMBER (-8)        /* device is in a logical drive */
#define HVAPI_ERR_NOT_MEMBER (-9)       /* device is in no logical drive */
#define HVAPI_ERR_NOT_OPTIMAL (-10)     /* drive not optimal, or busy */
#define HVAPI_ERR_INIT_RUNNING (-13)    /* an initialisation runs */
#define HVAPI_ERR_BAD_CHANNEL (-14)     /* channel out of range */
#define HVAPI_ERR_BAD_RAID_LEVEL (-17)  /* RAID level not possible */
#define HVAPI_ERR_BAD_TARGET (-18)      /* target out of range, or the ID */
#define HVAPI_ERR_BAD_LDRV (-19)        /* logical drive out of range */
#define HVAPI_ERR_NO_LDRV (-22)         /* no logical drive configured */
#define HVAPI_ERR_NO_INIT (-23)         /* no initialisation runs */
#define HVAPI_ERR_RAID0 (-25)           /* RAID 0 has no redundancy */
#define HVAPI_ERR_TOO_FEW_DEVICES (-26) /* too few devices for the level */
#define HVAPI_ERR_NOT_HOTSPARE (-27)    /* device is no hot spare */
#define HVAPI_ERR_NO_DEVICE (-31)       /* device does not answer INQUIRY */
#define HVAPI_ERR_TOO_MANY_DEVICES (-37)
#define HVAPI_ERR_CHECK_RUNNING (-45) /* a consistency check runs */
#define HVAPI_ERR_ABORT_REFUSED (-46) /* check abort refused */
#define HVAPI_ERR_DEVICE_TWICE (-52)  /* device listed twice */
#define HVAPI_ERR_DEVICE_IN_USE (-54) /* member or hot spare */
#define HVAPI_ERR_NO_REBUILD (-55)    /* no rebuild runs on the device */
#define HVAPI_ERR_SPANNED (-61)       /* logical drive has several spans */
#define HVAPI_ERR_DEVICE_SMALL (-62)  /* device smaller than the members */

/* Codes of the configuration operations. */
#define HVAPI_ERR_LDRV_COUNT (-48)     /* no or too many logical drives */
#define HVAPI_ERR_SPAN_COUNT (-49)     /* no or too many spans */
#define HVAPI_ERR_BAD_STRIPE (-50)     /* stripe size not accepted */
#define HVAPI_ERR_SPAN_DEVICES (-51)   /* span device counts not accepted */
#define HVAPI_ERR_NO_CAPACITY (-53)    /* the spans cannot hold the drives */
#define HVAPI_ERR_NONE_NEW (-58)       /* no unannounced logical drive */
#define HVAPI_ERR_CONFIGS_AGREE (-63)  /* nothing to resolve */
#define HVAPI_ERR_CONFIG_COUNT (-64)   /* stored configuration's count */
#define HVAPI_ERR_SET_COUNT (-66)      /* no or too many sets */

/* ------------------------------------------------------------------------
 * Value sets
 * ------------------------------------------------------------------------ */

#define HVAPI_MAX_ADAPTERS 6

/* Firmware type of an adapter (GetAdpType). */
#define HVAPI_FW_8LD_4SPAN 1 /* 8 logical drives, 4 spans each */
#define HVAPI_FW_8LD_8SPAN 2 /* 8 logical drives, 8 spans each */
#define HVAPI_FW_40LD 3      /* 40 logical drives */

/* Driver interface in use (GetDriverType). */
#define HVAPI_DRIVER_MIMD 1 /* multi-adapter device "/dev/halvdev0" */
#define HVAPI_DRIVER_SCSI 2 /* the adapters' SCSI disk devices */

/* Data direction of a command: bit 0 read, bit 1 write. */
#define HVAPI_DIR_NONE 0
#define HVAPI_DIR_READ 1
#define HVAPI_DIR_WRITE 2
#define HVAPI_DIR_BOTH 3

/* Physical device state. Drives that belong to no logical drive and are no
 * hot spare are reported ready; other values are the firmware's own. */
#define HVAPI_PDRV_READY 0
#define HVAPI_PDRV_ONLINE 3
#define HVAPI_PDRV_FAILED 4
#define HVAPI_PDRV_HOTSPARE 6

/* Logical drive state: the low four bits are the state, the high four the
 * operation running on it. */
#define HVAPI_LDRV_STATE_MASK 0x0F
#define HVAPI_LDRV_OPTIMAL 2
#define HVAPI_LDRV_OP_MASK 0xF0
#define HVAPI_LDRV_OP_INIT 0x10
#define HVAPI_LDRV_OP_CONSCHECK 0x20
#define HVAPI_LDRV_OP_RECON 0x30

/* RAID levels whose sizes the library computes. */
#define HVAPI_RAID0 0
#define HVAPI_RAID1 1
#define HVAPI_RAID3 3
#define HVAPI_RAID5 5

/* Sizes are MiB: 512-byte sectors shifted right by this. */
#define HVAPI_SECTORS_TO_MIB_SHIFT 11
/* The API stripe size is the firmware's stripe byte shifted right by this. */
#define HVAPI_STRIPE_SHIFT 1

/* Device addresses: channel and target. A device number is channel * 16 +
 * target. 8LD adapters have channels 0 to 4, 40LD adapters 0 to 15. */
#define HVAPI_TARGETS_PER_CHANNEL 16
#define HVAPI_MAX_CHANNELS_8LD 5
#define HVAPI_MAX_CHANNELS_40LD 16
#define HVAPI_MAX_LDRV_8LD 8
#define HVAPI_MAX_LDRV_40LD 40
#define HVAPI_MAX_SPANS 8
#define HVAPI_MAX_DEVICES 256

/* Sentinels of the membership test of a physical device. */
#define HVAPI_MEMBER_HOTSPARE (-1)
#define HVAPI_MEMBER_FREE (-2)

/* The library's version (GetLibVer); the build takes the project's version
 * from this line. */
#define HVAPI_LIB_VERSION "01.65"

/* ------------------------------------------------------------------------
 * Records of the adapter operations
 * ------------------------------------------------------------------------ */

#pragma pack(push, 1)

typedef struct Lib_Struct {
  Char achLibVersion[10]; /* version text with its terminating zero */
} Lib_Struct;

typedef struct Adp_Struct {
  ULong32 ulDataSize; /* size of what follows: always 136 */
  ULong32 ulConfigSignature;
  Char achFwVer[16];
  Char achBiosVer[16];
  Char achProductName[80];
  UChar uchMaxConcCmds;
  UChar uchSCSIChanPresent;
  UChar uchMaxTargPerChan;
  UChar uchDRamSize;
  UShort shSubSystemID;
  UShort shSubSystemvendorID;
  ULong32 ulSignature;
  UChar uchRbldRate; /* percent */
  UChar uchCacheFlushInterval;
  UChar uchDriveInsertedCount;
  UChar uchBatteryStatus;
  /* A pointer in the 32-bit original; kept 4 bytes wide so the record keeps
   * its size. The library never writes it. */
  ULong32 pchReserved;
} Adp_Struct;

typedef struct Cluster_Struct {
  Bool bBiosEnable;
  Bool bClusterMode;
  Int iAdapterID; /* the adapter's SCSI initiator ID */
} Cluster_Struct;

typedef struct SCSI_Struct {
  Char achDeviceModel[100];
  ULong32 ulDevSize; /* MiB (units of 2048 sectors) */
  UChar uchDevType;
  Char achVendor[9];
  Char achRevision[5];
  UChar aucVendorSpecific[92];
} SCSI_Struct;

/* Raw SCSI command of ExecuteSCSICmd. */
typedef struct PassThru_Struct {
  unsigned int Timeout : 3;
  unsigned int Ars : 1; /* automatic request sense */
  unsigned int Dummy : 3;
  unsigned int IsLogical : 1;
  UChar LogicalDriveNumber;
  UChar Channel;
  UChar ScsiId;
  UChar QueueTag;
  UChar QueueAction;
  UChar Cdb[10];
  UChar CdbLength;
  UChar RequestSenseLength;
  UChar RequestSenseArea[32];
  UChar NoSGElements;
  UChar ScsiStatus;
  Int DataTransferAddress;
  Int DataTransferLength;
} PassThru_Struct;

/* ------------------------------------------------------------------------
 * Records of the physical drive operations
 * ------------------------------------------------------------------------ */

typedef struct Drive_Struct {
  UChar uchChanNo;
  UChar uchTargID;
  UChar uchState; /* HVAPI_PDRV_* or the firmware's own value */
  ULong32 ulSize; /* MiB */
} Drive_Struct;

typedef struct AllDrvInfo_Struct {
  UChar uchTotalDrv; /* valid entries of astDrive */
  Drive_Struct astDrive[256];
} AllDrvInfo_Struct;

typedef struct NewDrv_Struct {
  UChar uchTotalDrv;  /* unconfigured devices that answered */
  UChar uchtotalDisk; /* valid entries of astDrive */
  Drive_Struct astDrive[256];
} NewDrv_Struct;

typedef struct Err_Struct {
  UChar uchMediumErrors;
  UChar uchOtherErrors;
} Err_Struct;

typedef struct SenseData_Struct {
  UChar uchChanNo;
  UChar uchTargNo;
  UShort uchErrcodePlusMisc;
  UShort uwSenseKeyPlusMisc;
  UShort uwComdSpec0;
  UShort uwComdSpec1;
  UShort uwASCPlusASCQ;
} SenseData_Struct;

typedef struct SSDa_Struct {
  UChar uchEndPtr; /* the adapter's end pointer, passed through */
  SenseData_Struct astSenData[5];
} SSDa_Struct;

typedef struct Da_Struct {
  Char achDumpArea[4096];
} Da_Struct;

typedef struct Err_History {
  unsigned int uchTimeOut : 4;
  unsigned int uchParity : 4;
  UChar uchThrottle;
} Err_History;

typedef struct FailHistory_Struct {
  unsigned int uchChan : 3;
  unsigned int uchTarg : 4;
  unsigned int uchValid : 1;
  UChar uchReason;
} FailHistory_Struct;

/* The adapter's drive history without its checksum byte. */
typedef struct DrvHist_Struct {
  Err_History astErr_history[3][16];
  UChar uchFailIndex;
  FailHistory_Struct astFailHistory[10];
} DrvHist_Struct;

/* ------------------------------------------------------------------------
 * Records of the logical drive operations
 * ------------------------------------------------------------------------ */

typedef struct LdrvPolicy_Struct {
  UChar uchReadPolicy;  /* 0 to 2 */
  UChar uchWritePolicy; /* 0 or 1 */
  UChar uchCachePolicy; /* 0 or 1 */
} LdrvPolicy_Struct;

typedef struct Ldrv_Struct {
  UChar uchLogDrvNo;
  UChar uchStatus; /* HVAPI_LDRV_* */
  UChar uchSpanDepth;
  UChar uchRaidLevel;
  LdrvPolicy_Struct stLogDrv_Policy;
  UChar uchStripeSize;  /* API form: firmware stripe byte halved */
  UChar uchNoOfStripes; /* member devices in each span */
  ULong32 ulLDrvSize;   /* usable size, MiB */
} Ldrv_Struct;

typedef struct RaidSetDrive_Struct {
  UChar uchType;
  ULong32 uPhyDrvSize;
  UChar uchChanNo;
  UChar uchTargID;
} RaidSetDrive_Struct;

typedef struct NewPhyDrvInfo_Struct {
  UChar uchNo_Newdev; /* devices listed */
  RaidSetDrive_Struct astDrives[256];
} NewPhyDrvInfo_Struct;

/* ------------------------------------------------------------------------
 * Records of the status and configuration operations
 * ------------------------------------------------------------------------ */

typedef struct LDrv_State_Struct {
  UChar uchLDrvNo;
  UChar uchStatus;
} LDrv_State_Struct;

typedef struct PDrv_State_Struct {
  UChar uchChannel;
  UChar uchTarget;
  UChar uchStatus;
} PDrv_State_Struct;

typedef struct AdapterStatus_Struct {
  UChar uchNVRAM_Mismatch; /* stored and on-disk configurations differ */
  UChar uchRecon_Prog;     /* a reconstruction runs */
  Char achConsCheck_Prog[40];
  Char achInit_Prog[40];
  UChar uchPDrvCount;
  UChar uchLDrvCount;
  LDrv_State_Struct astLogDrvStatus[40];  /* logical drives not optimal */
  PDrv_State_Struct astPhyDrvStatus[256]; /* devices in an unusual state */
} AdapterStatus_Struct;

typedef struct Config_Struct {
  UChar uchConfig; /* 0 the adapter's, 1 the one stored on the device */
  UChar uchChan;
  UChar uchTarg;
} Config_Struct;

typedef struct ArrayInfo_Struct {
  UChar uchPhyDrvPerArray;
  RaidSetDrive_Struct astDrives[256];
} ArrayInfo_Struct;

typedef struct FullLogDrvInfo_struct {
  Ldrv_Struct stLdrv;
  ArrayInfo_Struct astArrayInfo[8]; /* one per span */
} FullLogDrvInfo_struct;

typedef struct RaidConfig_Struct {
  UChar uchNoOfLD;
  FullLogDrvInfo_struct astFullLogDrvInfo[40];
} RaidConfig_Struct;

typedef struct LogDrvInfo_Struct {
  UChar uchLogDrvNo;
  UChar uchStatus;
  UChar uchRaidLevel;
  LdrvPolicy_Struct stLogDrv_Policy;
  UChar uchStripeSize;
  ULong32 ulLogDrvSize; /* MiB */
} LogDrvInfo_Struct;

typedef struct RaidSet_Struct {
  UChar uchRaidLevel;
  UChar uchNoOfSpan;
  ArrayInfo_Struct stArrayInfo[8];
  UChar uchStripeSize;
  UChar uchNoOfLD;
  LogDrvInfo_Struct astLogDrvInfo[40];
} RaidSet_Struct;

typedef struct NewRaidSet_Struct {
  UChar uchNoOfSpan;
  ArrayInfo_Struct stArrayInfo[8];
  UChar uchNoOfLD;
  LogDrvInfo_Struct astLogDrvInfo[40];
} NewRaidSet_Struct;

typedef struct ConfigInfo_Struct {
  UChar uchNoOfRaidset;
  NewRaidSet_Struct astRaidSetStruct[40];
} ConfigInfo_Struct;

#pragma pack(pop)

HVAPI_CHECK_SIZE(Lib_Struct, 10);
HVAPI_CHECK_SIZE(Adp_Struct, 140);
HVAPI_CHECK_OFFSET(Adp_Struct, achProductName, 40);
HVAPI_CHECK_OFFSET(Adp_Struct, uchMaxConcCmds, 120);
HVAPI_CHECK_OFFSET(Adp_Struct, shSubSystemID, 124);
HVAPI_CHECK_OFFSET(Adp_Struct, ulSignature, 128);
HVAPI_CHECK_OFFSET(Adp_Struct, uchRbldRate, 132);
HVAPI_CHECK_OFFSET(Adp_Struct, pchReserved, 136);
HVAPI_CHECK_SIZE(Cluster_Struct, 12);
HVAPI_CHECK_SIZE(SCSI_Struct, 211);
HVAPI_CHECK_OFFSET(SCSI_Struct, ulDevSize, 100);
HVAPI_CHECK_OFFSET(SCSI_Struct, achVendor, 105);
HVAPI_CHECK_OFFSET(SCSI_Struct, achRevision, 114);
HVAPI_CHECK_OFFSET(SCSI_Struct, aucVendorSpecific, 119);
HVAPI_CHECK_SIZE(PassThru_Struct, 60);
HVAPI_CHECK_OFFSET(PassThru_Struct, LogicalDriveNumber, 1);
HVAPI_CHECK_OFFSET(PassThru_Struct, Cdb, 6);
HVAPI_CHECK_OFFSET(PassThru_Struct, CdbLength, 16);
HVAPI_CHECK_OFFSET(PassThru_Struct, RequestSenseArea, 18);
HVAPI_CHECK_OFFSET(PassThru_Struct, NoSGElements, 50);
HVAPI_CHECK_OFFSET(PassThru_Struct, DataTransferAddress, 52);
HVAPI_CHECK_OFFSET(PassThru_Struct, DataTransferLength, 56);

HVAPI_CHECK_SIZE(Drive_Struct, 7);
HVAPI_CHECK_OFFSET(Drive_Struct, ulSize, 3);
HVAPI_CHECK_SIZE(AllDrvInfo_Struct, 1793);
HVAPI_CHECK_SIZE(NewDrv_Struct, 1794);
HVAPI_CHECK_OFFSET(NewDrv_Struct, astDrive, 2);
HVAPI_CHECK_SIZE(Err_Struct, 2);
HVAPI_CHECK_SIZE(SenseData_Struct, 12);
HVAPI_CHECK_OFFSET(SenseData_Struct, uwASCPlusASCQ, 10);
HVAPI_CHECK_SIZE(SSDa_Struct, 61);
HVAPI_CHECK_SIZE(Da_Struct, 4096);
HVAPI_CHECK_SIZE(Err_History, 2);
HVAPI_CHECK_OFFSET(Err_History, uchThrottle, 1);
HVAPI_CHECK_SIZE(FailHistory_Struct, 2);
HVAPI_CHECK_OFFSET(FailHistory_Struct, uchReason, 1);
HVAPI_CHECK_SIZE(DrvHist_Struct, 117);
HVAPI_CHECK_OFFSET(DrvHist_Struct, uchFailIndex, 96);
HVAPI_CHECK_OFFSET(DrvHist_Struct, astFailHistory, 97);

HVAPI_CHECK_SIZE(LdrvPolicy_Struct, 3);
HVAPI_CHECK_SIZE(Ldrv_Struct, 13);
HVAPI_CHECK_OFFSET(Ldrv_Struct, stLogDrv_Policy, 4);
HVAPI_CHECK_OFFSET(Ldrv_Struct, uchStripeSize, 7);
HVAPI_CHECK_OFFSET(Ldrv_Struct, ulLDrvSize, 9);
HVAPI_CHECK_SIZE(RaidSetDrive_Struct, 7);
HVAPI_CHECK_OFFSET(RaidSetDrive_Struct, uPhyDrvSize, 1);
HVAPI_CHECK_OFFSET(RaidSetDrive_Struct, uchChanNo, 5);
HVAPI_CHECK_SIZE(NewPhyDrvInfo_Struct, 1793);

HVAPI_CHECK_SIZE(LDrv_State_Struct, 2);
HVAPI_CHECK_SIZE(PDrv_State_Struct, 3);
HVAPI_CHECK_SIZE(AdapterStatus_Struct, 932);
HVAPI_CHECK_OFFSET(AdapterStatus_Struct, achInit_Prog, 42);
HVAPI_CHECK_OFFSET(AdapterStatus_Struct, uchPDrvCount, 82);
HVAPI_CHECK_OFFSET(AdapterStatus_Struct, astLogDrvStatus, 84);
HVAPI_CHECK_OFFSET(AdapterStatus_Struct, astPhyDrvStatus, 164);
HVAPI_CHECK_SIZE(Config_Struct, 3);
HVAPI_CHECK_SIZE(ArrayInfo_Struct, 1793);
HVAPI_CHECK_SIZE(FullLogDrvInfo_struct, 14357);
HVAPI_CHECK_OFFSET(FullLogDrvInfo_struct, astArrayInfo, 13);
HVAPI_CHECK_SIZE(RaidConfig_Struct, 574281);
HVAPI_CHECK_SIZE(LogDrvInfo_Struct, 11);
HVAPI_CHECK_OFFSET(LogDrvInfo_Struct, uchStripeSize, 6);
HVAPI_CHECK_OFFSET(LogDrvInfo_Struct, ulLogDrvSize, 7);
HVAPI_CHECK_SIZE(RaidSet_Struct, 14788);
HVAPI_CHECK_OFFSET(RaidSet_Struct, uchStripeSize, 14346);
HVAPI_CHECK_OFFSET(RaidSet_Struct, astLogDrvInfo, 14348);
HVAPI_CHECK_SIZE(NewRaidSet_Struct, 14786);
HVAPI_CHECK_OFFSET(NewRaidSet_Struct, uchNoOfLD, 14345);
HVAPI_CHECK_OFFSET(NewRaidSet_Struct, astLogDrvInfo, 14346);
HVAPI_CHECK_SIZE(ConfigInfo_Struct, 591441);

/* ------------------------------------------------------------------------
 * Accessors of the adapter table
 *
 * Plain reads and writes of the library's state; they take no lock.
 * ------------------------------------------------------------------------ */

/* Number of adapters of the last discovery. */
HVAPI_EXPORT Int GetTotalAdapters(void);
/* The 0-based adapter that every command goes to. */
HVAPI_EXPORT Int GetCurrentAdaptNumber(void);
/* Makes an adapter current without checking it; the transport refuses
 * commands while the number is not that of a found adapter. Returns 0. */
HVAPI_EXPORT Int SetCurrentAdaptNumber(ULong32 ulCurAdpNo);
/* Transport handle of the current adapter; -1 when the current number lies
 * outside the table. */
HVAPI_EXPORT Int GetFileHandleOfCurrAdapter(void);
/* HVAPI_DRIVER_MIMD or HVAPI_DRIVER_SCSI once discovery ran, else 0. */
HVAPI_EXPORT Int GetDriverType(void);
/* Open descriptor of "/dev/halvdev0" (multi-adapter interface). */
HVAPI_EXPORT Int GetMIMDFileDescriptor(void);
/* Firmware type (HVAPI_FW_*) of an adapter's row; -16 for a number beyond
 * the table's six rows. */
HVAPI_EXPORT Int GetAdpType(UChar uchAdaptNo);
/* SCSI initiator ID of an adapter's row (low byte); -16 for a number
 * beyond the table's six rows. */
HVAPI_EXPORT Int GetAdpterID(UChar uchAdaptNo);
/* 1 once InitLib has succeeded, else 0. */
HVAPI_EXPORT Int IsApiInitialized(void);
/* 1 when the number (a signed byte: 128 and above are negative) names a
 * found adapter, else 0. */
HVAPI_EXPORT Int ValidateAdapterNo(signed char uchAdaptNo);

/* ------------------------------------------------------------------------
 * Adapter command set
 * ------------------------------------------------------------------------ */

/* Data length of an adapter command, or -1 for a command it does not know.
 * Sets *datadir (when not NULL) to HVAPI_DIR_READ first, then to the
 * command's direction. For the 40LD group 0xA1 and for 0xA4, objid is the
 * sub-opcode. */
HVAPI_EXPORT Int DataLengthOfGivenCmd(Int opcode, Int objid, ULong32 param1,
                                      ULong32 param2, Int *datadir);

/* ------------------------------------------------------------------------
 * Generic commands and SCSI pass-through
 *
 * Each returns -24 before InitLib, takes the library's lock, checks that
 * the adapter is found and not reconstructing (-44, -42) and makes it
 * current, sends, and releases the lock.
 * ------------------------------------------------------------------------ */

/* Sends adapter opcode op (with its object number, data address and two
 * parameters) to adapter uchAdpNo and returns the transport's result
 * unchanged: 0, -1 for a refused opcode or request, or the adapter's
 * non-zero status. */
HVAPI_EXPORT Int IssueCmd_MT(UChar uchAdpNo, Int op, Int objid,
                             unsigned long dataptr, ULong32 param1,
                             ULong32 param2);
/* As IssueCmd_MT, but any failure of the command answers -11. Opcode 1000
 * sends the raw SCSI command of the PassThru_Struct at cpDataPtr and moves
 * up to 4096 bytes of its data (ulparam2 bytes, ulparam1 the direction)
 * through the record's 32-bit DataTransferAddress. A 64-bit caller must
 * place that data below 4 GiB (for example mmap with MAP_32BIT) and store
 * its address there: a pointer cut to 32 bits names other memory. Data at
 * an address that is not mapped for the access fails the command (-11); it
 * never crashes the caller. */
HVAPI_EXPORT Int ExecuteCmd(UChar uchAdaptNo, Int iCommand, Int iObjID,
                            char *cpDataPtr, ULong32 ulparam1,
                            ULong32 ulparam2);
/* Sends the raw SCSI command of pstPassThru to a device (bIsLogical 0) or a
 * logical drive (1) behind adapter uchAdaptNo, with ulDataLength bytes (at
 * most 4096) at ulDataPtr in the direction ucDataDir (HVAPI_DIR_*). On the
 * multi-adapter interface the record travels whole, so the data goes to
 * its own DataTransferAddress, which the driver takes as a 32-bit address:
 * a 64-bit caller must place that data below 4 GiB (for example mmap with
 * MAP_32BIT) and store its address there, never a cut pointer. Returns 0,
 * -16 for a bad argument, or -11 when the command fails. */
HVAPI_EXPORT Int ExecuteSCSICmd(UChar uchAdaptNo, PassThru_Struct *pstPassThru,
                                char *ulDataPtr, Bool bIsLogical,
                                UChar ucDataDir, ULong32 ulDataLength);

/* ------------------------------------------------------------------------
 * Start and stop
 * ------------------------------------------------------------------------ */

/* Starts the library: creates or opens the lock shared by every process,
 * finds the adapters, determines each one's firmware type and loads its
 * firmware data. Both arguments are ignored. Returns 255 (the application
 * handle; also at once when already started), -2 when no adapter is found,
 * -60 when more than six are, or -11 when an adapter cannot be typed or
 * read or the lock cannot be created. A failed start keeps nothing. */
HVAPI_EXPORT Int InitLib(Int iEvntCacheLimit, Int iErrCacheLimit);
/* Stops the library: frees the adapters' data and descriptors and returns
 * to the not-initialised state (InitLib may start it again). Returns 0,
 * -24 when not started, or -47 (nothing freed) for a handle other than
 * 255. */
HVAPI_EXPORT Int CloseLib(Int iAppHandle);
/* Copies the library's version text HVAPI_LIB_VERSION into the record.
 * Returns 0, -24 before InitLib, or -16 for a null record. */
HVAPI_EXPORT Int GetLibVer(Lib_Struct *pstLib);

/* ------------------------------------------------------------------------
 * Device details
 * ------------------------------------------------------------------------ */

/* Inquiry and size of the device at channel uchChID, target uchTID (0 to
 * 15 each) behind an adapter. The texts are always zero-terminated inside
 * their fields. Returns 0; -24, -42, -44; -16 for a bad address, a null
 * record or a device that does not answer. */
HVAPI_EXPORT Int GetScsiDetails(UChar uchAdaptNo, UChar uchChID, UChar uchTID,
                                SCSI_Struct *pstSCSIData);

/* ------------------------------------------------------------------------
 * Adapter information and settings
 *
 * Each returns -24 before InitLib, takes the library's lock, checks its
 * arguments (-16), checks that the adapter is found and not reconstructing
 * (-44, -42), and answers -11 when a command to the adapter fails.
 * ------------------------------------------------------------------------ */

/* Runs discovery again (uchAdaptNo is not used) and returns the number of
 * adapters found, or -11 when there are more than six; the first six then
 * stay usable and GetTotalAdapters answers 6. The adapters' data loaded by
 * InitLib is kept. */
HVAPI_EXPORT Int GetNumberOfAdapters(UChar uchAdaptNo);
/* Writes the adapter's cache out. Returns 0. */
HVAPI_EXPORT Int FlushAdapter(UChar uchAdaptNo);
/* The adapter's firmware type, HVAPI_FW_*. */
HVAPI_EXPORT Int GetFirmwareType(UChar uchAdaptNo);
/* Versions, product name, limits and counters of the adapter. Returns 0;
 * on a failure the fields filled so far keep their values. */
HVAPI_EXPORT Int GetAdapterInfo(UChar uchAdaptNo, Adp_Struct *pstAdaptInfo);
/* The automatic-rebuild setting (the firmware's byte). */
HVAPI_EXPORT Int GetAutoRbld(UChar uchAdaptNo);
/* Sets automatic rebuild off (0) or on (1). Returns 0. */
HVAPI_EXPORT Int SetAutoRbld(UChar uchAdaptNo, Bool bRbldFlg);
/* The rebuild rate in percent, 0 to 100. */
HVAPI_EXPORT Int GetRebuildRate(UChar uchAdaptNo);
/* Sets the rebuild rate, at most 100 percent. Returns 0. */
HVAPI_EXPORT Int SetRebuildRate(UChar uchAdaptNo, UChar uchRRate);
/* Sends alarm control 0, 1 or 2 (their meaning is the firmware's). */
HVAPI_EXPORT Int ControlAlarm(UChar uchAdaptNo, UChar uchValue);
/* Stores the alarm state in *piAlarmState. Returns 0. */
HVAPI_EXPORT Int GetAlarmState(UChar uchAdaptNo, Int *piAlarmState);
/* Sets the BIOS off (0) or on (1). Returns 0. */
HVAPI_EXPORT Int SetBiosMode(UChar uchAdaptNo, Bool bBiosMode);
/* BIOS state, cluster mode (0 or 1) and initiator ID. Returns 0. */
HVAPI_EXPORT Int GetClusterState(UChar uchAdaptNo, Cluster_Struct *pstCluster);
/* Sets cluster mode off (0) or on (1). Returns 0. */
HVAPI_EXPORT Int SetClusterState(UChar uchAdaptNo, Bool bClusterMode);
/* Sets the adapter's SCSI initiator ID (0 to 15); only in cluster mode,
 * else -65. Returns 0. */
HVAPI_EXPORT Int SetAdapterID(UChar uchAdaptNo, UChar ucAdapterID);
/* Stores the transfer rate (0 to 3) of a channel in *uchRate. A channel at
 * or above the adapter's channel count answers -16. Returns 0. */
HVAPI_EXPORT Int GetChannelRate(UChar uchAdaptNo, UChar uchChannel,
                                UChar *uchRate);
/* Sets the transfer rate (0 to 3) of a channel. Returns 0. */
HVAPI_EXPORT Int SetChannelRate(UChar uchAdaptNo, UChar uchChannel,
                                UChar uchChanRate);

/* ------------------------------------------------------------------------
 * Physical drives
 *
 * Adapter, channel and target are taken as unsigned bytes. Each returns -24
 * before InitLib, takes the library's lock, checks its arguments (-16 for a
 * null record), checks that the adapter is found and not reconstructing
 * (-44, -42), and answers -11 when a command to the adapter fails, the
 * firmware type is unknown or the adapter's disk array holds counts beyond
 * its layout. Operations on one device then check, in this order: channel
 * (below 5 on 8LD, below 16 on 40LD adapters; else -14), target (at most 15,
 * or 16 for the rebuild operations, and not the adapter's initiator ID; else
 * -18) and that the device answers INQUIRY (-31). On 8LD adapters target 15
 * shares the state of target 7.
 * ------------------------------------------------------------------------ */

/* Number of devices behind the adapter that report a non-zero capacity
 * (8LD: the channels and targets of the extended enquiry; 40LD: channels 0
 * to 2). */
HVAPI_EXPORT Int GetNumOfPDrv(Int uchAdaptNo);
/* Lists the disks behind the adapter with their state and size (MiB); a
 * disk in no logical drive and no hot spare is ready (0). Returns 0; on a
 * failure the count stays 0. */
HVAPI_EXPORT Int GetAllPDrvInfo(Int uchAdaptNo, AllDrvInfo_Struct *pstAllDrv);
/* Lists the disks that belong to no logical drive and are no hot spare;
 * uchTotalDrv counts every such device that answered, uchtotalDisk the
 * disks listed. The record is cleared first. Returns 0; -11 also for such a
 * disk whose capacity is 0. */
HVAPI_EXPORT Int ScanforNewDevices(Int uchAdaptNo, NewDrv_Struct *stNewDrvInfo);
/* ScanforNewDevices for a caller that holds the lock. */
HVAPI_EXPORT Int TScanforNewDevices(Int uchAdaptNo,
                                    NewDrv_Struct *stNewDrvInfo);
/* Stores a device's state (HVAPI_PDRV_*, ready for a device in no logical
 * drive and no hot spare) in *pucPstate. Returns 0. */
HVAPI_EXPORT Int GetPDrvState(Int uchAdaptNo, UChar *pucPstate, Int uchChid,
                              Int uchTid);
/* Sets a member device online (3) or failed (4); another state answers -16
 * before the device checks. Returns 0, or -9 for a device in no logical
 * drive. */
HVAPI_EXPORT Int SetPDrvState(Int uchAdaptNo, Int uchPstate, Int uchChid,
                              Int uchTid);
/* Fails a member device. Returns 0, or -9 for a device in no logical
 * drive. */
HVAPI_EXPORT Int FailDrv(Int uchAdaptNo, Int uchChid, Int uchTid);
/* Makes a ready device (or a hot spare, again) a hot spare of its size.
 * Returns 0, or -8 for a member of a logical drive. */
HVAPI_EXPORT Int SetHotSpare(Int uchAdaptNo, Int uchChid, Int uchTid);
/* Makes a hot spare ready again (through failed and online). Returns 0; -8
 * for a member of a logical drive, -27 for a device that is no hot spare;
 * -11 when a state command fails, which may leave it failed or online. */
HVAPI_EXPORT Int ReSetHotSpare(Int uchAdaptNo, Int uchChid, Int uchTid);
/* The device's error counters, as the adapter keeps them. Returns 0. */
HVAPI_EXPORT Int GetErrCntr(Int uchAdaptNo, Int uchChid, Int uchTid,
                            Err_Struct *pstErrInfo);
/* Clears the device's error counters. Returns 0. */
HVAPI_EXPORT Int ResetErrCntr(Int uchAdaptNo, Int uchChid, Int uchTid);
/* The adapter's last five sense entries with its end pointer. Returns 0. */
HVAPI_EXPORT Int GetSCSIDump(Int uchAdaptNo, SSDa_Struct *pstScsiSenseDta);
/* The adapter's dump text, zero-terminated, zeros behind it. Returns 0. */
HVAPI_EXPORT Int GetDump(Int uchAdaptNo, Da_Struct *pstDumpArea);
/* The adapter's drive history (without its checksum byte). Returns 0. */
HVAPI_EXPORT Int GetDrvHist(Int uchAdaptNo, DrvHist_Struct *stDrvHist);
/* Clears the adapter's drive history. Returns 0. */
HVAPI_EXPORT Int ClearDrvHist(Int uchAdaptNo);
/* Starts the rebuild of a member device and waits one second. Returns 0;
 * -9 for a device in no logical drive, -1 when its drive has RAID level 0
 * or its configuration cannot be read. Target 16 passes the target check
 * but names no device (-31). */
HVAPI_EXPORT Int StartRbld(Int uchAdaptNo, Int uchChid, Int uchTid);
/* Rebuild progress of a member device, 0 to 255; 100 for an online device,
 * without asking the adapter. Codes as StartRbld. */
HVAPI_EXPORT Int GetRbldPrg(Int uchAdaptNo, Int uchChid, Int uchTid);
/* Aborts the rebuild of a member device. Returns 0; -55 when none runs
 * (progress 0 or above 99); other codes as StartRbld. */
HVAPI_EXPORT Int AbortRbldPrg(Int uchAdaptNo, Int uchChid, Int uchTid);

/* Membership of a device for a caller that holds the lock and made the
 * adapter current: the number of the first logical drive that lists it;
 * else -1 when ChkPDrvStruct is true and it is a hot spare; else -2. -11
 * when the disk array cannot be read or holds counts beyond its layout;
 * -2 for an unknown firmware type. */
HVAPI_EXPORT Int IsConfigured(UChar uchChID, UChar uchTID, UChar FWType,
                              Bool ChkPDrvStruct);
/* For a caller that holds the lock: 0 when logical drive uchLDrv exists,
 * else -1 (also when the disk array cannot be read). 0 for an unknown
 * firmware type. */
HVAPI_EXPORT Int ValidateLDrv(UChar uchLDrv, UChar FWType);
/* For a caller that holds the lock: 0 when the RAID level of logical drive
 * uchLDrv is not 0, else -1 (also when the array cannot be read, or the
 * number lies beyond the layout's drive records). It does not check the
 * number against the count of drives. 0 for an unknown firmware type. */
HVAPI_EXPORT Int ValidateRaidLevel(UChar uchLDrv, UChar FWType);

/* ------------------------------------------------------------------------
 * Logical drives
 *
 * Adapter and logical drive numbers are taken as unsigned bytes. Each
 * returns -24 before InitLib, takes the library's lock, checks its
 * arguments (-16 for a null record), checks that the adapter is found and
 * not reconstructing (-44, -42), and answers -11 when a command to the
 * adapter fails, the firmware type is unknown or the disk array holds
 * counts beyond its layout. A logical drive number not below the number of
 * drives answers -19.
 * ------------------------------------------------------------------------ */

/* Number of logical drives (1 to 40); -22 when there is none. */
HVAPI_EXPORT Int GetNumOfLogDrvs(Int uchAdaptNo);
/* Properties of a logical drive; its size in MiB is the usable size of its
 * spans for its RAID level. A number above 7 (8LD) or 39 (40LD) answers -19
 * before any command. Returns 0. */
HVAPI_EXPORT Int GetLogDrvProp(Int uchAdaptNo, Int uchLdrv,
                               Ldrv_Struct *stLogDrvInfo);
/* GetLogDrvProp for a caller that holds the lock. */
HVAPI_EXPORT Int TGetLogDrvProp(Int uchAdaptNo, Int uchLdrv,
                                Ldrv_Struct *stLogDrvInfo);
/* Sets the write (0 or 1), cache (0 or 1) and read (0 to 2) policies of a
 * logical drive, in that order; a value out of range answers -16 before
 * any command. A failure may leave the earlier policies set. Returns 0. */
HVAPI_EXPORT Int SetPolicy(Int uchAdaptNo, Int uchLdrv,
                           LdrvPolicy_Struct stLogPolicy);
/* Starts the reconstruction of a one-span optimal logical drive to RAID
 * level uchNewRlevel (0, 1, 3, 5; else -17), adding the devices listed in
 * pstDrvInfo (channel and target of the first uchNo_Newdev entries).
 * Returns 0; -37 for more than 8 (8LD) or 32 (40LD) devices; -10 for a
 * drive not optimal; -61 for a drive of several spans; -17 for a level the
 * drive cannot take (RAID 1 needs exactly two devices, RAID 3 a stripe
 * size of 0x40); -26 for too few devices; -14, -18 for a device address
 * out of range; -52 for a device listed twice; -54 for a member or hot
 * spare; -62 for a device smaller than the drive's smallest member. */
HVAPI_EXPORT Int StartRecon(Int uchAdaptNo, Int uchLdrv, Int uchNewRlevel,
                            NewPhyDrvInfo_Struct *pstDrvInfo);
/* Reconstruction progress, the first byte of the adapter's answer (100:
 * none runs). Works while the adapter reconstructs; an adapter number out
 * of range answers 0 and sends nothing. */
HVAPI_EXPORT Int GetReconPrg(Int uchAdaptNo);
/* Starts a consistency check and waits one second. Returns 0; -25 for a
 * RAID 0 drive; -45 when a check runs; -10 when the adapter answers that
 * the drive is not ready; -7 when it refuses the check. */
HVAPI_EXPORT Int StartConsistency(Int uchAdaptNo, Int uchLdrv);
/* Consistency-check progress, 0 to 100 (100: finished or none runs); -25
 * for a RAID 0 drive; -10 for a drive the adapter reports not ready. */
HVAPI_EXPORT Int GetConsistencyPrg(Int uchAdaptNo, Int uchLdrv);
/* GetConsistencyPrg for a caller that holds the lock. */
HVAPI_EXPORT Int TGetConsistencyPrg(Int uchAdaptNo, Int uchLdrv);
/* Aborts a consistency check. Returns 0; -46 when the adapter refuses;
 * other codes as GetConsistencyPrg. */
HVAPI_EXPORT Int AbortConsistency(Int uchAdaptNo, Int uchLdrv);
/* Starts an initialisation. Returns 0; -13 when one runs already; -10 when
 * the adapter refuses and cannot say why. */
HVAPI_EXPORT Int StartInit(Int uchAdaptNo, Int uchldrv);
/* Initialisation progress, the adapter's 32-bit value; -10 when the
 * adapter answers that the drive is not ready; -23 for another refusal. */
HVAPI_EXPORT Int GetInitPrg(Int uchAdaptNo, Int uchLdrv);
/* Aborts an initialisation. Returns 0; -23 when none runs (progress above
 * 99). */
HVAPI_EXPORT Int AbortInit(Int uchAdaptNo, Int uchLdrv);

/* ------------------------------------------------------------------------
 * Configuration and system status
 *
 * Each returns -24 before InitLib, takes the library's lock for its whole
 * run, answers -16 for a null record, checks that the adapter is found and
 * not reconstructing (-44, -42; CheckSystemStatus only -44), and answers
 * -11 when a command to the adapter fails, the firmware type is unknown or
 * an answer holds counts beyond its layout.
 * ------------------------------------------------------------------------ */

/* Reads a configuration into *pstRaidConfig: the adapter's (uchConfig 0) or
 * the one recorded on the disk at uchChan, uchTarg (uchConfig 1). Members
 * are reported by channel and target; uchType and uPhyDrvSize are not
 * written. Returns 0; -16 for uchConfig above 1 or an address above 16;
 * -31 when the named device is no disk (target 16 names none); -64 when the
 * configuration holds no logical drive or more than the adapter allows. A
 * failure after the count may leave the record partly filled. */
HVAPI_EXPORT Int ReadConfig(UChar uchAdaptNo, Config_Struct *pstConfig,
                            RaidConfig_Struct *pstRaidConfig);
/* Resolves a disagreement between the adapter's configuration and the ones
 * recorded on its disks by writing the chosen one (as for ReadConfig) as the
 * adapter's. Returns 0; -63 (nothing written) when they agree; other codes
 * as ReadConfig. */
HVAPI_EXPORT Int UseConfig(UChar uchAdaptNo, Config_Struct *pstConfig);
/* Fills astAdapterStatus[a] for every adapter a found (GetTotalAdapters
 * records): configuration mismatch, reconstruction, the checks and
 * initialisations running, the logical drives not optimal and the devices
 * neither ready, online nor hot spare (on 8LD adapters every one of the 75
 * entries; an entry of target 7 is reported as target 15, the address that
 * shares it). At most 255 devices are listed. Works while an adapter
 * reconstructs; uchAdaptNo is current afterwards. Returns 0; -44 for an
 * invalid adapter (nothing filled); -11 stops at the failing adapter, the
 * records before it complete. */
HVAPI_EXPORT Int CheckSystemStatus(UChar uchAdaptNo,
                                   AdapterStatus_Struct *astAdapterStatus);

/* The configuration writes below check the whole description before
 * anything is written; the first failing check gives its code. Per set, in
 * this order: spans (1 to 4 on 4-span, 1 to 8 on other adapters; -49),
 * logical drives (-48), each drive's RAID level (0, 1, 3, 5; -17) and
 * stripe size (0, 2, 4, ..., 64; -50: 128 does not fit the adapter's
 * stripe byte) -- WriteNewConfig and AddLogDrvToConfig check level and
 * stripe first --; per span its device count (1 to 8 on 8LD, 1 to 32 on
 * 40LD adapters, at most 80 / 256 in all; -51), then per member its
 * channel (below 5 / 16; -14), its target (at most 16 and not the
 * initiator ID; -18), a disk named twice anywhere in what is written
 * (-52) and, for AddLogDrvToConfig, membership (-54); spans of unequal
 * device counts (-51); each member answering INQUIRY as a disk (-31;
 * target 16 names none) and its capacity (-11); then the sizing, which
 * checks the level against the devices per span n (RAID 1 needs n = 2,
 * RAID 3 and 5 n >= 3; -17) and the capacity (-53). Sizes are MiB,
 * computed without 32-bit overflow; a logical drive of at most 9 MiB is
 * made 10 MiB, and what the spans offer beyond the drives is given to the
 * set's last drive, so the caller's record may be changed even when a later
 * check fails. Spans of unequal disks are sized to the smallest: every span
 * of a set counts as large as the set's smallest disk, since each logical
 * drive takes the same blocks from every span; a layout whose start blocks
 * pass 32 bits is refused (-53). The array is written in one command (-11
 * when the adapter refuses it; its configuration then stays). Members
 * become online; WriteConfig and WriteNewConfig keep no hot spare of the
 * old configuration. */

/* Replaces the whole configuration with the sets of pConInfo (1 to 8 on
 * 8LD, 1 to 40 on 40LD adapters; else -66), each with its own levels and
 * stripe sizes; at most 8 / 40 logical drives in all (-48). Returns 0. */
HVAPI_EXPORT Int WriteConfig(UChar uchAdaptNo, ConfigInfo_Struct *pConInfo);
/* Replaces the whole configuration with one set whose level and stripe
 * apply to all its logical drives; RAID 0 takes one span only (-17). More
 * than 10 MiB left over becomes a new logical drive appended to the record
 * (uchNoOfLD grows) while the adapter allows one more. Returns 0. */
HVAPI_EXPORT Int WriteNewConfig(UChar uchAdaptNo, RaidSet_Struct *pstRaidSet);
/* Appends one set, described as for WriteNewConfig, to the adapter's
 * configuration. Its devices must be in no logical drive and no hot spare
 * (-54). Existing and new logical drives above 8 / 40 give -48; capacity
 * left over becomes a new drive only while that keeps within the limit.
 * Returns 0. */
HVAPI_EXPORT Int AddLogDrvToConfig(UChar uchAdaptNo,
                                   RaidSet_Struct *pstRaidSet);
/* Writes an empty configuration (no logical drive). Returns 0. */
HVAPI_EXPORT Int ClearConfig(UChar uchAdaptNo);
/* Removes the last logical drive. Without force (bForceLastDrive 0) only a
 * drive not yet announced to the operating system may go (-58 otherwise);
 * with force (1) any. The count announced is kept: the operating system
 * still knows those numbers, so a drive made there later is not announced
 * again. Returns 0; -16 for another bForceLastDrive; -22 when there is no
 * logical drive. */
HVAPI_EXPORT Int DeleteNewLogDrv(UChar uchAdaptNo, Bool bForceLastDrive);
/* Announces every logical drive to the Linux SCSI layer, one line "scsi
 * add-single-device HOST CHANNEL ID LUN" (an 80-byte block, zero-filled)
 * per drive written to "/proc/scsi/scsi": the adapter's host number, its
 * channel count, drive / 8, drive % 8. The library remembers the count
 * announced until it stops. Returns 0; -11 when the control file cannot be
 * opened or written or the adapter's host number is unknown (a failure
 * part way leaves the earlier lines written). */
HVAPI_EXPORT Int AddSettoOS(UChar uchAdaptNo);
/* As AddSettoOS for the logical drives added since the last announcement
 * only; -58 (nothing written) when there is none. Returns 0. */
HVAPI_EXPORT Int MakeDrvUse(UChar uchAdaptNo);

/* ------------------------------------------------------------------------
 * Firmware download
 * ------------------------------------------------------------------------ */

/* Writes the firmware image file at pchPathName into a 40LD adapter's
 * flash: the file's first 1 MiB in 256 blocks of 4096 bytes. Returns 0;
 * -24, -42, -44; -16 for a null path; -57 when the adapter is no 40LD
 * adapter (the file is not opened); -56 when the file fails its check
 * (signature "V362" at offset 0, 32 or 65408; one to five sections, none
 * empty); -11 when writing fails, which may leave part of the image
 * written. */
HVAPI_EXPORT Int Download_Firmware(UChar uchAdaptNo, const Char *pchPathName);

#ifdef __cplusplus
}
#endif

#endif /* HVAPI_H */
