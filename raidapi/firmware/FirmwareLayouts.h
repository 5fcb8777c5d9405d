// The data layouts that Halvoran firmware reads and writes, for both
// generations: 8LD (8 logical drives, 5 channels, state entries at
// channel * 15 + target) and 40LD (40 logical drives, 16 channels, entries at
// channel * 16 + target). The firmware reads them byte for byte, so every
// layout is packed and its size pinned below.
#ifndef HVAPI_FIRMWARE_FIRMWARE_LAYOUTS_H
#define HVAPI_FIRMWARE_FIRMWARE_LAYOUTS_H

#include <cstddef>

#include "firmware/AdapterOpcodes.h"
#include "hvapi.h"

// ---------------------------------------------------------------------------
// Firmware types (HVAPI_FW_* in hvapi.h) and what follows from them
// ---------------------------------------------------------------------------

constexpr int kFw8LDStateStride = 15;  // 8LD state index: channel * 15 + target
constexpr int kFw8LDStateEntries = 75;
constexpr int kFw40LDStateStride = 16;
constexpr int kFw40LDStateEntries = 256;

// The device number of the API is channel * 16 + target on every adapter.
constexpr int kDeviceChannelShift = 4;
constexpr int kDeviceTargetMask = 0x0F;

inline bool IsFw8LD(int type) {
  return type == HVAPI_FW_8LD_4SPAN || type == HVAPI_FW_8LD_8SPAN;
}

// A reconstruction progress whose first byte reads this means none runs.
constexpr UChar kReconNotRunning = 100;

#pragma pack(push, 1)

// ---------------------------------------------------------------------------
// 8LD layouts
// ---------------------------------------------------------------------------

typedef struct ADAPTER_INFO_8LD {
  UChar uchMaxConcCmds;
  UChar uchRBldrate;  // rebuild rate, percent
  UChar uchMaxTargPerChan;
  UChar uchChansPresent;  // number of channels
  UChar achFWVer[4];
  UShort shAgeOfFlash;
  UChar uchChipSetVal;
  UChar uchDramSize;
  UChar uchCacheFlushInterval;
  UChar achBIOSVer[4];
  UChar uchBoardType;
  UChar uchSCSISenseAlert;
  UChar uchWriteConfigCount;
  UChar uchDriveInsertionCount;
  UChar uchInsertedDrive;
  UChar uchBatteryStatus;
  UChar uchReserved2;
} ADAPTER_INFO_8LD, AdapterInfo8LD_Struct;

typedef struct LOG_DRV_INFO_8LD {
  UChar uchNumLDrv;  // 0 to 8
  UChar uchReconstionProg;
  UShort ushLDrv_OP_Status;
  ULong32 lLDrvSize[8];
  UChar LDrvProp[8];
  UChar chLDrvState[8];
} LOG_DRV_INFO_8LD, LogDrvInfo8LD_Struct;

typedef struct PHY_DRV_INFO_8LD {
  UChar achPDrvState[kFw8LDStateEntries];  // channel * 15 + target
  UChar uchPredictiveFailures;
} PHY_DRV_INFO_8LD, PhyDrvInfo8LD_Struct;

typedef struct HALVORAN_ENQ_8LD {
  ADAPTER_INFO_8LD stAdpInfo8LD;
  LOG_DRV_INFO_8LD stLogDrvInfo8LD;
  PHY_DRV_INFO_8LD stPhysDrvInfo8LD;
} HALVORAN_ENQ_8LD, HalvoranEnq8LD_Struct;

typedef struct HALVORAN_EXT_ENQ_8LD {
  HALVORAN_ENQ_8LD stHalvoranEnq8LD;
  UShort ushPhyDrvFormatInProg[5];
  UChar uchStackAttention;
  UChar uchModemStatus;
  UChar achReserved2[4];
} HALVORAN_EXT_ENQ_8LD, HalvoranExtEnq8LD_Struct;

typedef struct HALVORAN_EXTEN_ENQ2_8LD {
  HALVORAN_EXT_ENQ_8LD stHalvExtEnq8LD;
  ULong32 lExtendedData;
  UShort shSubSystemID;
  UShort shSubSystemVendorID;  // selects how the firmware version is shown
  ULong32 lSignature;
  UChar achReserved[844];
} HALVORAN_EXTEN_ENQ2_8LD, HalvoranExtenEnq2_8LD_Struct;

typedef struct DEVICE_8LD {
  UChar uchChannel;
  UChar uchTarget;
} DEVICE_8LD, Device8LD_Struct;

typedef struct SPAN_INFO_8LD {
  ULong32 lStartBlock;
  ULong32 lTotalBlocks;
  DEVICE_8LD astDevice8LD[8];
} SPAN_INFO_8LD, SpanInfo8LD_Struct;

typedef struct LOG_DRV_8LD {
  UChar uchSpanDepth;
  UChar uchRaid;
  UChar uchRadAhead;
  UChar uchStripeSize;
  UChar uchStatus;
  UChar uchWritePolicy;
  UChar uchDirectIO;
  UChar uchNoStripes;
  SPAN_INFO_8LD astSpanInfo8LD[4];
} LOG_DRV_8LD, LogDrv8LD_Struct;

typedef struct NEW_LOG_DRV_8LD {
  UChar uchSpanDepth;
  UChar uchRaid;
  UChar uchReadAhead;
  UChar uchStripeSize;
  UChar uchStatus;
  UChar uchWritePolicy;
  UChar uchDirectIO;
  UChar uchNoOfStripes;
  SPAN_INFO_8LD astSpanInfo8LD[8];
} NEW_LOG_DRV_8LD, NewLogDrv8LD_Struct;

typedef struct PHY_DRV_8LD {
  UChar uchType;
  UChar uchCurrStatus;
  UChar uchTagDepth;
  UChar uchReserved1;
  ULong32 lSize;  // sectors
} PHY_DRV_8LD, PhyDrv8LD_Struct;

typedef struct DISK_ARRAY_8LD_4SPAN {
  UChar uchNoOfLogDrives;
  UChar achPad[3];
  LOG_DRV_8LD astLogDrvInfo8LD[8];
  PHY_DRV_8LD astPhysDrv8LD[kFw8LDStateEntries];
} DISK_ARRAY_8LD_4SPAN, DiskArray8LD4Span_Struct;

typedef struct DISK_ARRAY_8LD_8SPAN {
  UChar uchNoOfLogDrives;
  UChar achPad[3];
  NEW_LOG_DRV_8LD astNewLogDrvInfo8LD[8];
  PHY_DRV_8LD astPhysDrv8LD[kFw8LDStateEntries];
} DISK_ARRAY_8LD_8SPAN, DiskArray8LD8Span_Struct;

typedef struct ARRAY_8LD {
  ULong32 lSize;
  Int iNoOfStripes;
  Int aiChannel[8];
  Int aiTarget[8];
} ARRAY_8LD, Array8LD_Struct;

typedef struct ARRAY_TABLE_8LD {
  Int iNoOfArrays;
  ARRAY_8LD astArray8LD[8];
} ARRAY_TABLE_8LD, ArrayTable8LD_Struct;

typedef struct DAC_STAT_8LD {
  ULong32 ulNIOR[8];
  ULong32 ulNIOW[8];
  ULong32 ulNBlkR[8];
  ULong32 ulNBlkW[8];
  ULong32 ulNRFails[8];
  ULong32 ulNWFails[8];
  UChar uchAdpNo;
} DAC_STAT_8LD, DacStat8LD_Struct;

// ---------------------------------------------------------------------------
// 40LD layouts
// ---------------------------------------------------------------------------

typedef struct ADAP_INFO_40LD {
  UChar uchMaxConcCmds;
  UChar uchRbldRate;
  UChar uchMaxTargPerChan;
  UChar uchChanPresent;
  UChar uchFwVer[4];
  UShort uchAgeOfFlash;
  UChar uchChipSetValue;
  UChar uchDramSize;
  UChar uchCacheFlushInterval;
  UChar uchBiosVersion[4];
  UChar uchBoardType;
  UChar uchSenseAlert;
  UChar uchWriteConfigCount;
  UChar uchDriveInsertedCount;
  UChar uchInsertedDrive;
  UChar uchBatteryStatus;
  UChar uchDecFaultBusInfo;
} ADAP_INFO_40LD, AdapInfo40LD_Struct;

typedef struct LOG_DRV_INFO_40LD {
  UChar uchNumLDrv;
  UChar achReconState[5];
  UShort ashLogDrvOpStatus[5];
  ULong32 aulLogDrvSize[40];
  UChar achLogDrvProp[40];
  UChar achLogDrvState[40];
} LOG_DRV_INFO_40LD, LogDrvInfo40LD_Struct;

typedef struct PHY_DRIV_INFO_40LD {
  UChar achPhyDrvState[kFw40LDStateEntries];  // channel * 16 + target
} PHY_DRIV_INFO_40LD, PhyDrivInfo40LD_Struct;

typedef struct HALVORAN_ENQ_40LD {
  ADAP_INFO_40LD stAdpInfo40LD;
  LOG_DRV_INFO_40LD stLogdrvInfo40lD;
  PHY_DRIV_INFO_40LD stPhysdrvInfo40LD;
} HALVORAN_ENQ_40LD, HalvoranEnq40LD_Struct;

typedef struct HALVORAN_EXT_ENQ_40LD {
  ADAP_INFO_40LD stAdpInfo40LD;
  LOG_DRV_INFO_40LD stLogdrvInfo40LD;
  PHY_DRIV_INFO_40LD stPhysdrvInfo40LD;
  UShort ushPhysDrvFormat[16];
  UChar uchStackAttention;
  UChar uchModemStatus;
  UChar achReserved[2];
} HALVORAN_EXT_ENQ_40LD, HalvoranExtEnq40LD_Struct;

typedef struct HALVORAN_EXT_ENQ2_40LD {
  ADAP_INFO_40LD stAdpInfo40LD;
  LOG_DRV_INFO_40LD stLogdrvInfo40LD;
  PHY_DRIV_INFO_40LD stPhysdrvInfo40LD;
  UShort ashPhysDrvFormat[16];
  UChar uchStackAttention;
  UChar uchModemStatus;
  UChar achReserved[4];
  ULong32 uchExtendedDataSize;
  UShort ushSubSystemID;
  UShort ushSubSystemVendorID;
  ULong32 ulSignature;
  UChar achtargInfo[80];
  ULong32 ulFCLoopIDChangeCount;
  UChar achFCLoopState[2];
} HALVORAN_EXT_ENQ2_40LD, HalvoranExtEnq2_40LD_Struct;

typedef struct HALVORAN_PRODUCT_INFO_40LD {
  ULong32 ulDataSize;
  ULong32 ulConfigSignature;
  UChar uchFwVer[16];
  UChar uchBiosVer[16];
  UChar uchProductName[80];
  UChar uchMaxConcCmds;
  UChar uchSCSIChanPresent;  // number of channels
  UChar uchFCLoopPresent;
  UChar uchMemType;
  ULong32 ulSignature;
  UShort ushDramSize;
  UShort uchSubSystemID;
  UShort uchSubSystemVendorID;
  UChar uchNumNotifyCounters;
  UChar achReserved[889];
} HALVORAN_PRODUCT_INFO_40LD, HalvoranProductInfo40LD_Struct;

typedef struct HALVORAN_NOTIFY_40LD {
  ULong32 ulGlobalCounter;
  UChar uchParamCounter;
  UChar uchParamId;
  UShort ushParamVal;
  UChar uchWriteConfigCounter;
  UChar uchWriteConfigRsvd[3];
  UChar uchLogDrvOpCounter;
  UChar uchLogDrvOpId;
  UChar uchLogDrvOpCmd;
  UChar uchLogDrvOpStatus;
  UChar uchLogDrvStateCounter;
  UChar uchLogDrvStateId;
  UChar uchLogDrvStateNew;
  UChar uchLogDrvStateOld;
  UChar uchPhyDvStateCounter;
  UChar uchPhyDrvStateId;
  UChar uchPhyDrvStateNew;
  UChar uchPhyDrvStateOld;
  UChar uchPhyDrvFmtCounter;
  UChar uchPhyDrvFmtId;
  UChar uchPhyDrvFmtVal;
  UChar uchPhyDrvFmtRsvd;
  UChar uchTargXferCounter;
  UChar uchTargXferId;
  UChar uchTargXferVal;
  UChar uchTargXferRsvd;
  UChar uchFCLoopIdChgCounter;
  UChar uchFCLoopIdPdrvId;
  UChar uchFCLoopId0;
  UChar uchFCLoopId1;
  UChar uchFCLoopStateCounter;
  UChar uchFCLoopState0;
  UChar uchFCLoopState1;
  UChar uchFCLoopStateRsvd;
} HALVORAN_NOTIFY_40LD, HalvoranNotify40LD_Struct;

typedef struct HALVORAN_ENQ3_40LD {
  ULong32 ulDataSize;
  HALVORAN_NOTIFY_40LD stHalvoranNotify40LD;
  UChar achNotifyRsvd[88];
  UChar uchRbldRate;
  UChar uchCacheFlushInterval;
  UChar uchSenseAlert;
  UChar uchDriveInsertedCount;
  UChar uchBatteryStatus;
  UChar uchNumLDrv;
  UChar achReconState[5];
  UShort ashDrvOpStatus[5];
  ULong32 aulLogDrvSize[40];
  UChar aulLogDrvProp[40];
  UChar aulLogDrvState[40];
  UChar achPhyDrvState[kFw40LDStateEntries];  // channel * 16 + target
  UShort achPhyDrvFormat[16];
  UChar achTargXfer[80];
  UChar achTemp[300];
} HALVORAN_ENQ3_40LD, HalvoranEnq3_40LD_Struct;

typedef struct APP_DEVICE_INFO_40LD {
  UChar uchChannel;
  UChar uchTarget;
} APP_DEVICE_INFO_40LD, APP_DeviceInfo40LD_Struct;

typedef struct APP_SPAN_INFO_40LD {
  ULong32 ulStartBlk;
  ULong32 ulNoOfBlks;
  APP_DEVICE_INFO_40LD stAppDevInfo40LD[32];
} APP_SPAN_INFO_40LD, APP_SpanInfo40LD_Struct;

typedef struct APP_LOG_DRV_40LD {
  UChar uchSpanDepth;
  UChar uchLevel;
  UChar uchReadAhead;
  UChar uchStripeSize;
  UChar uchStatus;
  UChar uchWriteMode;
  UChar uchDirectIO;
  UChar uchRowSize;
  APP_SPAN_INFO_40LD stAppSpanInfo40LD[8];
} APP_LOG_DRV_40LD, APP_LogDrv40LD_Struct;

typedef struct APP_PHY_DRV_40LD {
  UChar uchType;
  UChar uchCurrStatus;
  UChar achLoopID[2];
  ULong32 ulSize;  // sectors
} APP_PHY_DRV_40LD, APP_PhyDrv40LD_Struct;

typedef struct APP_DISC_ARRAY_40LD {
  UChar uchNumOfLogDrives;
  UChar achPad[3];
  APP_LOG_DRV_40LD AppLogDrv40LD[40];
  APP_PHY_DRV_40LD AppPhyDrv40LD[kFw40LDStateEntries];  // channel * 16 + target
} APP_DISC_ARRAY_40LD, APP_DiscArray40LD_Struct;

// ---------------------------------------------------------------------------
// Per-adapter caches
// ---------------------------------------------------------------------------

typedef struct ADAP_DATA_4SPAN_8LD {
  HALVORAN_ENQ_8LD stRdEnq8LD;
  HALVORAN_EXT_ENQ_8LD stRdExEnq8LD;
  HALVORAN_EXTEN_ENQ2_8LD stRdExEnq2_8LD;
  DISK_ARRAY_8LD_4SPAN stDArr8LD4Span;
} ADAP_DATA_4SPAN_8LD, AdapData4Span8LD_Struct;

typedef struct ADAP_DATA_8SPAN_8LD {
  HALVORAN_ENQ_8LD stRdEnq8LD;
  HALVORAN_EXT_ENQ_8LD stRdExEnq8LD;
  HALVORAN_EXTEN_ENQ2_8LD stRdExEnq2_8LD;
  DISK_ARRAY_8LD_8SPAN stDArr8LD8Span;
} ADAP_DATA_8SPAN_8LD, AdapData8Span8LD_Struct;

// InitLib fills only the product information, notify, enquiry 3 and disk
// array parts; the first three stay as allocated.
typedef struct ADAP_DATA_8SPAN_40LD {
  HALVORAN_EXT_ENQ_40LD stRdExtEnq40LD;
  HALVORAN_ENQ_40LD stRdEnq40LD;
  HALVORAN_EXT_ENQ2_40LD stRdExtEnq2_40LD;
  HALVORAN_PRODUCT_INFO_40LD stRdProInfo40LD;
  HALVORAN_NOTIFY_40LD stRdNotify40LD;
  HALVORAN_ENQ3_40LD stRdEnq3_40LD;
  APP_DISC_ARRAY_40LD stAppDiscArr40LD;
} ADAP_DATA_8SPAN_40LD, AdapData8Span40LD_Struct;

// ---------------------------------------------------------------------------
// Other firmware records
// ---------------------------------------------------------------------------

// SCSI INQUIRY answer.
typedef struct RESPONSE_DATA {
  UChar PeriInfo;
  UChar ScsiType;
  UChar VersionInfo;
  UChar DataTransInfo;
  UChar AdditionLen;
  UChar Reserved1[2];
  UChar scsival;
  UChar VendorInfo[8];
  UChar ProductInfo[16];
  UChar ProductVersion[4];
  UChar aucVendorSpecific[92];
} RESPONSE_DATA, ResponseData_Struct;

typedef struct SENSE_DATA {
  UChar uchChanNo;
  UChar uchTargNo;
  UShort uchErrcodePlusMisc;
  UShort uwSenseKeyPlusMisc;
  UShort uwAddArea1;
  UShort uwAddArea2;
  UShort uwComdSpec0;
  UShort uwComdSpec1;
  UShort uwASCPlusASCQ;
} SENSE_DATA, SensData_Struct;

typedef struct SENSE_DUMP {
  UChar endPtr;
  SENSE_DATA five[5];
} SENSE_DUMP, SenseDump_Struct;

typedef struct ERR_HISTORY {
  unsigned int uchTimeOut : 4;
  unsigned int uchParity : 4;
  UChar uchThrottle;
} ERR_HISTORY, ErrHistory_Struct;

typedef struct FAIL_HISTORY {
  unsigned int uchChan : 3;
  unsigned int uchTarg : 4;
  unsigned int uchValid : 1;
  UChar reason;
} FAIL_HISTORY, FailHist_Struct;

typedef struct DRV_HISTORY {
  ERR_HISTORY astErr_Table[16][3];
  UChar uchFail_Index;
  FAIL_HISTORY astFail_Table[10];
  UChar ChkSum;
} DRV_HISTORY, DrvHistory_Struct;

typedef struct RECONSTRUCT_8LD_DATA {
  UChar operation;
  UChar logdrv;
  UChar numdevs;
  UChar physdrvs[8];
  UChar strpsz;
  UChar raidlevel;
  UChar resvd[3];
} RECONSTRUCT_8LD_DATA, Reconstruct8LDData_Struct;

typedef struct RECONSTRUCT_40LD_DATA {
  UChar operation;
  UChar logdrv;
  UChar numdevs;
  UChar physdrvs[32];
  UChar strpsz;
  UChar raidlevel;
  UChar resvd[3];
} RECONSTRUCT_40LD_DATA, Reconstruct40LDData_Struct;

typedef struct RECONSTRUCT_PROG_STATUS {
  ULong32 prcnt_comp;  // first byte kReconNotRunning: no reconstruction
} RECONSTRUCT_PROG_STATUS, ReconstructProgStatus_Struct;

typedef struct ReconstInfo_Struct {
  UChar operation;
  UChar log_drv;
  UChar num_devices;
  UChar ch_targ[8];
  UChar new_stripe;
  UChar new_raid_level;
} ReconstInfo_Struct;

typedef struct LOOPID_MAP {
  UChar loopID0[256];
  UChar loopID1[256];
} LOOPID_MAP, LoopIdMap_Struct;

typedef struct MACHINE_ID {
  ULong32 ulMachineID;
  ULong32 ulN_MachineID;
} MACHINE_ID, MachineId_Struct;

typedef struct HALV_CHAN_PROP {
  UChar termination[2];
  UChar state[5];
  UChar resvd;
} HALV_CHAN_PROP, HalvChanProp_Struct;

#pragma pack(pop)

// ---------------------------------------------------------------------------
// Sizes and the offsets the library relies on
// ---------------------------------------------------------------------------

#define HV_FW_SIZE(type, size) \
  static_assert(sizeof(type) == (size), #type " must be " #size " bytes")
#define HV_FW_OFFSET(type, field, offset)          \
  static_assert(offsetof(type, field) == (offset), \
                #type "." #field " must be at " #offset)

HV_FW_SIZE(ADAPTER_INFO_8LD, 24);
HV_FW_OFFSET(ADAPTER_INFO_8LD, uchRBldrate, 1);
HV_FW_OFFSET(ADAPTER_INFO_8LD, uchChansPresent, 3);
HV_FW_OFFSET(ADAPTER_INFO_8LD, shAgeOfFlash, 8);
HV_FW_OFFSET(ADAPTER_INFO_8LD, achBIOSVer, 13);
HV_FW_OFFSET(ADAPTER_INFO_8LD, uchBatteryStatus, 22);
HV_FW_SIZE(LOG_DRV_INFO_8LD, 52);
HV_FW_OFFSET(LOG_DRV_INFO_8LD, lLDrvSize, 4);
HV_FW_OFFSET(LOG_DRV_INFO_8LD, LDrvProp, 36);
HV_FW_OFFSET(LOG_DRV_INFO_8LD, chLDrvState, 44);
HV_FW_SIZE(PHY_DRV_INFO_8LD, 76);
HV_FW_SIZE(HALVORAN_ENQ_8LD, 152);
HV_FW_OFFSET(HALVORAN_ENQ_8LD, stLogDrvInfo8LD, 24);
HV_FW_OFFSET(HALVORAN_ENQ_8LD, stPhysDrvInfo8LD, 76);
HV_FW_SIZE(HALVORAN_EXT_ENQ_8LD, 168);
HV_FW_OFFSET(HALVORAN_EXT_ENQ_8LD, uchStackAttention, 162);
HV_FW_SIZE(HALVORAN_EXTEN_ENQ2_8LD, 1024);
HV_FW_OFFSET(HALVORAN_EXTEN_ENQ2_8LD, shSubSystemVendorID, 174);
HV_FW_OFFSET(HALVORAN_EXTEN_ENQ2_8LD, lSignature, 176);
HV_FW_SIZE(DEVICE_8LD, 2);
HV_FW_SIZE(SPAN_INFO_8LD, 24);
HV_FW_SIZE(LOG_DRV_8LD, 104);
HV_FW_SIZE(NEW_LOG_DRV_8LD, 200);
HV_FW_SIZE(PHY_DRV_8LD, 8);
HV_FW_SIZE(DISK_ARRAY_8LD_4SPAN, 1436);
HV_FW_OFFSET(DISK_ARRAY_8LD_4SPAN, astLogDrvInfo8LD, 4);
HV_FW_OFFSET(DISK_ARRAY_8LD_4SPAN, astPhysDrv8LD, 836);
HV_FW_SIZE(DISK_ARRAY_8LD_8SPAN, 2204);
HV_FW_OFFSET(DISK_ARRAY_8LD_8SPAN, astPhysDrv8LD, 1604);
HV_FW_SIZE(ARRAY_8LD, 72);
HV_FW_OFFSET(ARRAY_8LD, aiTarget, 40);
HV_FW_SIZE(ARRAY_TABLE_8LD, 580);
HV_FW_SIZE(DAC_STAT_8LD, 193);
HV_FW_OFFSET(DAC_STAT_8LD, uchAdpNo, 192);

HV_FW_SIZE(ADAP_INFO_40LD, 24);
HV_FW_SIZE(LOG_DRV_INFO_40LD, 256);
HV_FW_OFFSET(LOG_DRV_INFO_40LD, ashLogDrvOpStatus, 6);
HV_FW_OFFSET(LOG_DRV_INFO_40LD, aulLogDrvSize, 16);
HV_FW_OFFSET(LOG_DRV_INFO_40LD, achLogDrvProp, 176);
HV_FW_OFFSET(LOG_DRV_INFO_40LD, achLogDrvState, 216);
HV_FW_SIZE(PHY_DRIV_INFO_40LD, 256);
HV_FW_SIZE(HALVORAN_ENQ_40LD, 536);
HV_FW_OFFSET(HALVORAN_ENQ_40LD, stPhysdrvInfo40LD, 280);
HV_FW_SIZE(HALVORAN_EXT_ENQ_40LD, 572);
HV_FW_OFFSET(HALVORAN_EXT_ENQ_40LD, uchStackAttention, 568);
HV_FW_SIZE(HALVORAN_EXT_ENQ2_40LD, 672);
HV_FW_OFFSET(HALVORAN_EXT_ENQ2_40LD, uchExtendedDataSize, 574);
HV_FW_OFFSET(HALVORAN_EXT_ENQ2_40LD, ulSignature, 582);
HV_FW_OFFSET(HALVORAN_EXT_ENQ2_40LD, achtargInfo, 586);
HV_FW_OFFSET(HALVORAN_EXT_ENQ2_40LD, ulFCLoopIDChangeCount, 666);
HV_FW_SIZE(HALVORAN_PRODUCT_INFO_40LD, 1024);
HV_FW_OFFSET(HALVORAN_PRODUCT_INFO_40LD, uchProductName, 40);
HV_FW_OFFSET(HALVORAN_PRODUCT_INFO_40LD, uchSCSIChanPresent, 121);
HV_FW_OFFSET(HALVORAN_PRODUCT_INFO_40LD, ulSignature, 124);
HV_FW_OFFSET(HALVORAN_PRODUCT_INFO_40LD, uchSubSystemVendorID, 132);
HV_FW_OFFSET(HALVORAN_PRODUCT_INFO_40LD, achReserved, 135);
HV_FW_SIZE(HALVORAN_NOTIFY_40LD, 40);
HV_FW_OFFSET(HALVORAN_NOTIFY_40LD, uchPhyDrvStateNew, 22);
HV_FW_SIZE(HALVORAN_ENQ3_40LD, 1061);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, uchRbldRate, 132);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, uchNumLDrv, 137);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, ashDrvOpStatus, 143);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, aulLogDrvSize, 153);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, aulLogDrvProp, 313);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, aulLogDrvState, 353);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, achPhyDrvState, 393);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, achPhyDrvFormat, 649);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, achTargXfer, 681);
HV_FW_OFFSET(HALVORAN_ENQ3_40LD, achTemp, 761);
HV_FW_SIZE(APP_DEVICE_INFO_40LD, 2);
HV_FW_SIZE(APP_SPAN_INFO_40LD, 72);
HV_FW_SIZE(APP_LOG_DRV_40LD, 584);
HV_FW_SIZE(APP_PHY_DRV_40LD, 8);
HV_FW_OFFSET(APP_PHY_DRV_40LD, ulSize, 4);
HV_FW_SIZE(APP_DISC_ARRAY_40LD, 25412);
HV_FW_OFFSET(APP_DISC_ARRAY_40LD, AppLogDrv40LD, 4);
HV_FW_OFFSET(APP_DISC_ARRAY_40LD, AppPhyDrv40LD, 23364);

HV_FW_SIZE(ADAP_DATA_4SPAN_8LD, 2780);
HV_FW_OFFSET(ADAP_DATA_4SPAN_8LD, stRdExEnq8LD, 152);
HV_FW_OFFSET(ADAP_DATA_4SPAN_8LD, stRdExEnq2_8LD, 320);
HV_FW_OFFSET(ADAP_DATA_4SPAN_8LD, stDArr8LD4Span, 1344);
HV_FW_SIZE(ADAP_DATA_8SPAN_8LD, 3548);
HV_FW_OFFSET(ADAP_DATA_8SPAN_8LD, stDArr8LD8Span, 1344);
HV_FW_SIZE(ADAP_DATA_8SPAN_40LD, 29317);
HV_FW_OFFSET(ADAP_DATA_8SPAN_40LD, stRdEnq40LD, 572);
HV_FW_OFFSET(ADAP_DATA_8SPAN_40LD, stRdExtEnq2_40LD, 1108);
HV_FW_OFFSET(ADAP_DATA_8SPAN_40LD, stRdProInfo40LD, 1780);
HV_FW_OFFSET(ADAP_DATA_8SPAN_40LD, stRdNotify40LD, 2804);
HV_FW_OFFSET(ADAP_DATA_8SPAN_40LD, stRdEnq3_40LD, 2844);
HV_FW_OFFSET(ADAP_DATA_8SPAN_40LD, stAppDiscArr40LD, 3905);

HV_FW_SIZE(RESPONSE_DATA, 128);
HV_FW_OFFSET(RESPONSE_DATA, VendorInfo, 8);
HV_FW_OFFSET(RESPONSE_DATA, ProductInfo, 16);
HV_FW_OFFSET(RESPONSE_DATA, ProductVersion, 32);
HV_FW_OFFSET(RESPONSE_DATA, aucVendorSpecific, 36);
HV_FW_SIZE(SENSE_DATA, 16);
HV_FW_SIZE(SENSE_DUMP, 81);
HV_FW_SIZE(ERR_HISTORY, 2);
HV_FW_SIZE(FAIL_HISTORY, 2);
HV_FW_SIZE(DRV_HISTORY, 118);
HV_FW_OFFSET(DRV_HISTORY, uchFail_Index, 96);
HV_FW_OFFSET(DRV_HISTORY, astFail_Table, 97);
HV_FW_OFFSET(DRV_HISTORY, ChkSum, 117);
HV_FW_SIZE(RECONSTRUCT_8LD_DATA, 16);
HV_FW_OFFSET(RECONSTRUCT_8LD_DATA, strpsz, 11);
HV_FW_SIZE(RECONSTRUCT_40LD_DATA, 40);
HV_FW_OFFSET(RECONSTRUCT_40LD_DATA, strpsz, 35);
HV_FW_SIZE(RECONSTRUCT_PROG_STATUS, 4);
HV_FW_SIZE(ReconstInfo_Struct, 13);
HV_FW_SIZE(LOOPID_MAP, 512);
HV_FW_SIZE(MACHINE_ID, 8);
HV_FW_SIZE(HALV_CHAN_PROP, 8);

#undef HV_FW_SIZE
#undef HV_FW_OFFSET

// The API drive history is the firmware's without its checksum byte.
static_assert(sizeof(DRV_HISTORY) == sizeof(DrvHist_Struct) + 1,
              "drive history records differ by the checksum only");

#endif  // HVAPI_FIRMWARE_FIRMWARE_LAYOUTS_H
