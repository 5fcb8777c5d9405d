#include "Inventory.h"

#include <cstring>
#include <memory>

#include "Context.h"

int ReadDrives(int adapter, std::vector<Drive> *out) {
  auto all = std::make_unique<AllDrvInfo_Struct>();
  std::memset(all.get(), 0, sizeof *all);
  Int rc = GetAllPDrvInfo(adapter, all.get());
  if (rc < 0) return ReportFailure("GetAllPDrvInfo", rc);
  for (int i = 0; i < all->uchTotalDrv; ++i) {
    const Drive_Struct &d = all->astDrive[i];
    Drive drive;
    drive.channel = d.uchChanNo;
    drive.target = d.uchTargID;
    drive.state = d.uchState;
    drive.size = d.ulSize;
    SCSI_Struct scsi;
    std::memset(&scsi, 0, sizeof scsi);
    if (GetScsiDetails(static_cast<UChar>(adapter), d.uchChanNo, d.uchTargID,
                       &scsi) == HVAPI_SUCCESS) {
      drive.vendor = FieldText(scsi.achVendor, sizeof scsi.achVendor);
      drive.model = FieldText(scsi.achDeviceModel, sizeof scsi.achDeviceModel);
    }
    out->push_back(drive);
  }
  return kExitOk;
}

Logical LogicalFrom(const Ldrv_Struct &record) {
  Logical ld;
  ld.number = record.uchLogDrvNo;
  ld.status = record.uchStatus;
  ld.raidLevel = record.uchRaidLevel;
  ld.stripe = record.uchStripeSize;
  ld.readPolicy = record.stLogDrv_Policy.uchReadPolicy;
  ld.writePolicy = record.stLogDrv_Policy.uchWritePolicy;
  ld.cachePolicy = record.stLogDrv_Policy.uchCachePolicy;
  ld.size = record.ulLDrvSize;
  return ld;
}

std::vector<Span> SpansOf(const FullLogDrvInfo_struct &drive) {
  std::vector<Span> spans;
  int depth = drive.stLdrv.uchSpanDepth;
  if (depth > HVAPI_MAX_SPANS) depth = HVAPI_MAX_SPANS;
  for (int s = 0; s < depth; ++s) {
    const ArrayInfo_Struct &span = drive.astArrayInfo[s];
    Span members;
    for (int m = 0; m < span.uchPhyDrvPerArray; ++m)
      members.push_back(AddressText(span.astDrives[m].uchChanNo,
                                    span.astDrives[m].uchTargID));
    spans.push_back(members);
  }
  return spans;
}

int ReadLogicalDrives(int adapter, std::vector<Logical> *out) {
  Int count = GetNumOfLogDrvs(adapter);
  if (count == HVAPI_ERR_NO_LDRV) return kExitOk;
  if (count < 0) return ReportFailure("GetNumOfLogDrvs", count);
  auto config = std::make_unique<RaidConfig_Struct>();
  std::memset(config.get(), 0, sizeof *config);
  Config_Struct which{0, 0, 0};
  Int rc = ReadConfig(static_cast<UChar>(adapter), &which, config.get());
  if (rc < 0) return ReportFailure("ReadConfig", rc);
  for (int i = 0; i < count; ++i) {
    Ldrv_Struct record;
    std::memset(&record, 0, sizeof record);
    rc = GetLogDrvProp(adapter, i, &record);
    if (rc < 0) return ReportFailure("GetLogDrvProp", rc);
    Logical ld = LogicalFrom(record);
    if (i < config->uchNoOfLD && i < HVAPI_MAX_LDRV_40LD)
      ld.spans = SpansOf(config->astFullLogDrvInfo[i]);
    out->push_back(ld);
  }
  return kExitOk;
}
