// The adapter opcodes (command-area byte 0) and sub-opcodes that the library
// sends, by name; the transport's table (core/AdapterCommand.cpp) says how
// each travels.
#ifndef HVAPI_FIRMWARE_ADAPTER_OPCODES_H
#define HVAPI_FIRMWARE_ADAPTER_OPCODES_H

// Opcodes that read or write a firmware layout (named beside them).
constexpr int kOpExtEnquiry8LD = 0x04;  // HALVORAN_EXT_ENQ_8LD
constexpr int kOpEnquiry8LD = 0x05;     // HALVORAN_ENQ_8LD
constexpr int kOpSetDeviceState = 0x06;
constexpr int kOpDiskArray4Span = 0x07;    // DISK_ARRAY_8LD_4SPAN
constexpr int kOpExtEnquiry2_8LD = 0x0C;   // HALVORAN_EXTEN_ENQ2_8LD
constexpr int kOpWriteConfig4Span = 0x20;  // DISK_ARRAY_8LD_4SPAN
constexpr int kOpSenseDump = 0x53;         // SENSE_DUMP
constexpr int kOpStartRecon = 0x60;        // RECONSTRUCT_*_DATA
constexpr int kOpReconProgress = 0x61;     // RECONSTRUCT_PROG_STATUS
constexpr int kOpDeviceConfig8LD = 0x63;   // DISK_ARRAY_8LD_8SPAN
constexpr int kOpAdapterProperty = 0x64;
constexpr int kOpDiskArray8Span = 0x67;    // DISK_ARRAY_8LD_8SPAN
constexpr int kOpWriteConfig8Span = 0x68;  // DISK_ARRAY_8LD_8SPAN
constexpr int kOpDriveHistory = 0x92;      // DRV_HISTORY
constexpr int kOp40LD = 0xA1;              // 40LD group, sub-opcode below
constexpr int kOpA4 = 0xA4;
constexpr int kOpAdapterStatus = 0xC3;  // DAC_STAT_8LD

// Sub-opcodes of the 40LD group 0xA1 (command-area byte 1; param1 in byte 2).
constexpr int kSub40LDReadDiskArray = 0x04;     // APP_DISC_ARRAY_40LD
constexpr int kSub40LDReadDiskArray2 = 0x05;    // same size, no user
constexpr int kSub40LDReadDeviceConfig = 0x06;  // param1: device number
constexpr int kSub40LDLoopIdMap = 0x0A;         // LOOPID_MAP
constexpr int kSub40LD0C = 0x0C;                // 1 byte read, no user
constexpr int kSub40LDWriteConfig = 0x0D;       // APP_DISC_ARRAY_40LD
constexpr int kSub40LDProductInfo = 0x0E;       // HALVORAN_PRODUCT_INFO_40LD
constexpr int kSub40LDEnquiry3 = 0x0F;          // param1 below
constexpr int kEnq3Notify = 1;                  // HALVORAN_NOTIFY_40LD
constexpr int kEnq3Full = 2;                    // HALVORAN_ENQ3_40LD
// The only sub-opcode of 0xA4: 40 bytes read.
constexpr int kSubA4Read = 0x02;

// Adapter settings and information.
constexpr int kOpFlush = 0x0A;
constexpr int kOpGetRebuildRate = 0x23;
constexpr int kOpSetRebuildRate = 0x24;
constexpr int kOpAlarm = 0x51;
constexpr int kOpBiosWord = 0x62;
constexpr int kOpCluster = 0x70;
constexpr int kOpSetInitiatorID = 0x7F;

// Physical drives: rebuild, error counters, dump, device commands.
constexpr int kOpStartRebuild = 0x08;
constexpr int kOpRebuildProgress = 0x18;
constexpr int kOpAbortRebuild = 0x28;
constexpr int kOpResetErrors = 0x6A;
constexpr int kOpReadErrors = 0x77;
constexpr int kOpDump = 0x52;
constexpr int kOpDeviceCommand = 0x75;

// Logical drives: policies, consistency check and initialisation.
constexpr int kOpSetPolicy = 0x26;
constexpr int kOpStartCheck = 0x09;
constexpr int kOpCheckProgress = 0x19;
constexpr int kOpAbortCheck = 0x29;
constexpr int kOpStartInit = 0x0B;
constexpr int kOpInitProgress = 0x1B;
constexpr int kOpAbortInit = 0x2B;

// Firmware download.
constexpr int kOpFlashBlock = 0x2C;
constexpr int kOpFlashClose = 0x2D;

// SCSI commands the library sends to a device itself.
constexpr int kOpInquiry = 0xF0;
constexpr int kOpReadCapacity = 0xF2;

#endif  // HVAPI_FIRMWARE_ADAPTER_OPCODES_H
