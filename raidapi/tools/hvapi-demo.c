/*
 * hvapi-demo: starts libhvapi.so.0, prints its version and every adapter it
 * finds with its logical drives and its health, changes one setting (the
 * rebuild rate of the first adapter), reads it back, restores it and stops
 * the library. Run it with the simulated
 * driver preloaded when no adapter is at hand.
 */
#include <stdio.h>
#include <stdlib.h>

#include "hvapi.h"

static const char *FirmwareName(Int type) {
  switch (type) {
    case HVAPI_FW_8LD_4SPAN:
      return "8LD, 4 spans";
    case HVAPI_FW_8LD_8SPAN:
      return "8LD, 8 spans";
    case HVAPI_FW_40LD:
      return "40LD";
    default:
      return "unknown";
  }
}

/* Prints the logical drives of an adapter's configuration. */
static Int ShowConfig(UChar adapter) {
  Config_Struct source = {0, 0, 0};
  RaidConfig_Struct *config = malloc(sizeof *config);
  Int code, i, s, k;
  if (config == NULL) return HVAPI_ERR_CMD_FAILED;
  code = ReadConfig(adapter, &source, config);
  if (code == HVAPI_ERR_CONFIG_COUNT) printf("    no logical drive\n");
  for (i = 0; code == 0 && i < config->uchNoOfLD; ++i) {
    const FullLogDrvInfo_struct *d = &config->astFullLogDrvInfo[i];
    printf("    logical drive %d: RAID %u, %u MiB, members", (int)i,
           d->stLdrv.uchRaidLevel, (unsigned)d->stLdrv.ulLDrvSize);
    for (s = 0; s < d->stLdrv.uchSpanDepth; ++s) {
      printf(s == 0 ? " " : " | ");
      for (k = 0; k < d->astArrayInfo[s].uchPhyDrvPerArray; ++k)
        printf("%s%u:%u", k == 0 ? "" : " ",
               d->astArrayInfo[s].astDrives[k].uchChanNo,
               d->astArrayInfo[s].astDrives[k].uchTargID);
    }
    printf("\n");
  }
  free(config);
  return code == HVAPI_ERR_CONFIG_COUNT ? 0 : code;
}

/* Prints what needs attention on every adapter. */
static Int ShowStatus(Int count) {
  AdapterStatus_Struct status[HVAPI_MAX_ADAPTERS];
  Int code = CheckSystemStatus(0, status), i, k;
  for (i = 0; code == 0 && i < count; ++i) {
    printf("  adapter %d: %u logical drive(s) not optimal", (int)i,
           status[i].uchLDrvCount);
    for (k = 0; k < status[i].uchLDrvCount; ++k)
      printf(" %u(state %u)", status[i].astLogDrvStatus[k].uchLDrvNo,
             status[i].astLogDrvStatus[k].uchStatus);
    printf(", %u device(s) needing attention", status[i].uchPDrvCount);
    for (k = 0; k < status[i].uchPDrvCount; ++k)
      printf(" %u:%u(state %u)", status[i].astPhyDrvStatus[k].uchChannel,
             status[i].astPhyDrvStatus[k].uchTarget,
             status[i].astPhyDrvStatus[k].uchStatus);
    printf("%s\n", status[i].uchNVRAM_Mismatch
                       ? ", configurations on its disks differ"
                       : "");
  }
  return code;
}

static int Fail(const char *what, Int code) {
  fprintf(stderr, "hvapi-demo: %s failed with %d\n", what, (int)code);
  CloseLib(HVAPI_APP_HANDLE);
  return 1;
}

int main(void) {
  Lib_Struct lib;
  Adp_Struct info;
  Int handle, count, code, oldRate, newRate, i;

  handle = InitLib(0, 0);
  if (handle != HVAPI_APP_HANDLE) {
    fprintf(stderr, "hvapi-demo: InitLib answered %d\n", (int)handle);
    return 1;
  }
  printf("InitLib: %d (application handle)\n", (int)handle);
  if ((code = GetLibVer(&lib)) != 0) return Fail("GetLibVer", code);
  printf("library version %s, driver interface %s\n", lib.achLibVersion,
         GetDriverType() == HVAPI_DRIVER_MIMD ? "/dev/halvdev0"
                                              : "SCSI disk devices");

  count = GetTotalAdapters();
  printf("%d adapter(s)\n", (int)count);
  for (i = 0; i < count; ++i) {
    if ((code = GetAdapterInfo((UChar)i, &info)) != 0)
      return Fail("GetAdapterInfo", code);
    printf("  adapter %d: %s (%s firmware)\n", (int)i, info.achProductName,
           FirmwareName(GetFirmwareType((UChar)i)));
    printf(
        "    firmware %s, BIOS %s, %u channels of %u targets, %u MiB cache\n",
        info.achFwVer, info.achBiosVer, info.uchSCSIChanPresent,
        info.uchMaxTargPerChan, info.uchDRamSize);
    printf(
        "    rebuild rate %u%%, initiator ID %d, configuration signature "
        "0x%08x\n",
        info.uchRbldRate, (int)GetAdpterID((UChar)i),
        (unsigned)info.ulConfigSignature);
    if ((code = ShowConfig((UChar)i)) != 0) return Fail("ReadConfig", code);
  }
  if (count > 0) {
    printf("system status:\n");
    if ((code = ShowStatus(count)) != 0) return Fail("CheckSystemStatus", code);
  }

  if (count > 0) {
    oldRate = GetRebuildRate(0);
    if (oldRate < 0) return Fail("GetRebuildRate", oldRate);
    newRate = oldRate == 75 ? 80 : 75;
    if ((code = SetRebuildRate(0, (UChar)newRate)) != 0)
      return Fail("SetRebuildRate", code);
    printf(
        "adapter 0: rebuild rate %d%% -> SetRebuildRate(%d) -> GetRebuildRate "
        "%d%%\n",
        (int)oldRate, (int)newRate, (int)GetRebuildRate(0));
    printf("adapter 0: SetRebuildRate(101) answers %d (out of range)\n",
           (int)SetRebuildRate(0, 101));
    if ((code = SetRebuildRate(0, (UChar)oldRate)) != 0)
      return Fail("SetRebuildRate", code);
  }

  printf("CloseLib: %d\n", (int)CloseLib(HVAPI_APP_HANDLE));
  printf("GetLibVer after CloseLib: %d (not initialised)\n",
         (int)GetLibVer(&lib));
  return 0;
}
