#include "SimSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/AdapterTable.h"

namespace {

void SetTable(int driverType, const std::vector<int> &handles,
              const std::vector<unsigned char> &types) {
  std::memset(&gstAdpTab, 0, sizeof gstAdpTab);
  std::memset(gaiFileHandles, 0, sizeof gaiFileHandles);
  std::memset(gachDacFWType, 0, sizeof gachDacFWType);
  for (size_t i = 0; i < types.size(); ++i) {
    gachDacFWType[i] = types[i];
    gaiFileHandles[i] = handles[i];
    gstAdpTab.astTotAdpInfo[i].uchAdapterNo = static_cast<UChar>(i + 1);
    gstAdpTab.astTotAdpInfo[i].chAdpType = types[i];
    gstAdpTab.astTotAdpInfo[i].iAdpHandle = handles[i];
  }
  gstAdpTab.chTotalNoOFAdp = static_cast<UChar>(types.size());
  gstAdpTab.iNoOfLiveAplns = HVAPI_APP_HANDLE;
  guiTotalHalvoranCount = static_cast<ULong32>(types.size());
  giDriverType = driverType;
  gulDacCurAdpNo = 0;
}

}  // namespace

void SimTest::Finish() {
  for (int fd : fds_) close(fd);
  fds_.clear();
  SetTable(0, {}, {});
  gstAdpTab.iNoOfLiveAplns = 0;
  giMIMDFileDescriptor = 0;
  scenario_.reset();
}

void SimTest::UsePreset(const std::string &preset, const std::string &faults) {
  scenario_.reset(new SimScenario);
  scenario_->UsePreset(preset);
  scenario_->UseFaults(faults);
}

void SimTest::OpenMimd(const std::vector<unsigned char> &types) {
  const int fd = open("/dev/halvdev0", O_RDONLY);
  ASSERT_GT(fd, 0) << "the simulated driver is not preloaded";
  fds_.push_back(fd);
  std::vector<int> handles;
  for (size_t i = 0; i < types.size(); ++i)
    handles.push_back(static_cast<int>(i));
  SetTable(HVAPI_DRIVER_MIMD, handles, types);
  giMIMDFileDescriptor = fd;
  NewRequests();
}

void SimTest::OpenDisks(const std::vector<std::string> &nodes,
                        const std::vector<unsigned char> &types) {
  std::vector<int> handles;
  for (const std::string &node : nodes) {
    const int fd = open(node.c_str(), O_RDONLY);
    ASSERT_GT(fd, 0) << node << ": the simulated driver is not preloaded";
    fds_.push_back(fd);
    handles.push_back(fd);
  }
  SetTable(HVAPI_DRIVER_SCSI, handles, types);
  NewRequests();
}

std::vector<TraceLine> SimTest::NewRequests() {
  std::vector<TraceLine> requests;
  if (!scenario_) return requests;
  for (const TraceLine &line : scenario_->Trace())
    if (line.at("kind") == "ioctl") requests.push_back(line);
  return requests;
}
