// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel metrics [--output FILE]
//
// The link devices as Prometheus text (exposition format 0.0.4), for
// node_exporter's textfile collector: one info sample per device, the live
// link and per-port values of upstream cards, their installed firmware
// version, the number of devices by kind, and whether the scrape succeeded.
// Every value is a gauge in base units; link speeds are transfers per second.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "DisplayText.h"
#include "ErrorReport.h"
#include "Format.h"
#include "ItemReader.h"

namespace nQvzelTool {

namespace {

// One label of a sample: name and (unescaped) value.
using tLabels = std::vector<std::pair<const char*, std::string>>;

// The metric families in the order they are written; every sample of a
// family must follow its HELP and TYPE lines without a break.
enum eFamily : size_t {
  kScrapeSuccess,
  kScrapeStatus,
  kDevices,
  kDeviceInfo,
  kLinkUp,
  kLinkStatus,
  kLinkSpeed,
  kPortWidth,
  kPortSpeed,
  kPortChassis,
  kSessionSuccess,
  kSessionStatus,
  kFirmwareVersion,
  kFamilyCount
};

struct sFamilyText {
  const char* m_pName;
  const char* m_pHelp;
};

const sFamilyText kFamilies[kFamilyCount] = {
    {"qvzel_scrape_success", "1 when the library listed the link devices, else 0."},
    {"qvzel_scrape_status_code", "Status code of opening the list of link devices (0: success)."},
    {"qvzel_devices", "Number of link devices listed, by kind."},
    {"qvzel_device_info", "One sample per listed link device; the labels describe it."},
    {"qvzel_link_up",
     "1 when the link above an upstream card is up (negotiated width not 0), else 0."},
    {"qvzel_link_status",
     "Link status of the bridge above an upstream card, as the PCI bridge library reports it."},
    {"qvzel_link_speed_transfers_per_second",
     "Current speed of the link above an upstream card, in transfers per second."},
    {"qvzel_port_link_width_lanes",
     "Link width an upstream card's port is built for, in lanes (cabled or not)."},
    {"qvzel_port_link_speed_transfers_per_second",
     "Link speed of an upstream card's port, in transfers per second."},
    {"qvzel_port_chassis_found",
     "1 when a listed link controller hangs below the upstream card's port, else 0."},
    {"qvzel_device_session_success",
     "1 when the upstream card's device session opened through the kernel driver and its "
     "firmware version was read, else 0."},
    {"qvzel_device_session_status_code",
     "Status code of the upstream card's device session: of opening it or of reading its "
     "firmware version (0: success)."},
    {"qvzel_firmware_version",
     "Installed firmware version of an upstream card (e.g. 256 = 0x100)."},
};

// PCI Express link speed codes (1 = 2.5 GT/s, 2 = 5 GT/s, 3 = 8 GT/s, ...) in
// transfers per second; 0 for a code without a known rate.
uint64_t transfersPerSecond(uint32_t a_Code) {
  constexpr uint64_t kRates[] = {0,
                                 2500000000ull,
                                 5000000000ull,
                                 8000000000ull,
                                 16000000000ull,
                                 32000000000ull,
                                 64000000000ull};
  return a_Code < sizeof(kRates) / sizeof(kRates[0]) ? kRates[a_Code] : 0;
}

// Collects samples family by family and writes them in family order.
class cExposition {
 public:
  void add(eFamily a_Family, const tLabels& a_rLabels, int64_t a_Value) {
    std::string l_Line = kFamilies[a_Family].m_pName;
    if (!a_rLabels.empty()) {
      l_Line += '{';
      for (size_t l_Index = 0; l_Index < a_rLabels.size(); ++l_Index) {
        if (l_Index > 0) l_Line += ',';
        l_Line += std::string(a_rLabels[l_Index].first) + "=\"" +
                  metricsLabelValue(a_rLabels[l_Index].second) + '"';
      }
      l_Line += '}';
    }
    // A device listed twice under one slot path must not give a series twice.
    if (!m_Seen.insert(l_Line).second) return;
    m_Samples[a_Family].push_back(l_Line + ' ' + std::to_string(a_Value) + '\n');
  }

  std::string text() const {
    std::string l_Text;
    for (size_t l_Family = 0; l_Family < kFamilyCount; ++l_Family) {
      if (m_Samples[l_Family].empty()) continue;
      l_Text += std::string("# HELP ") + kFamilies[l_Family].m_pName + ' ' +
                kFamilies[l_Family].m_pHelp + '\n';
      l_Text += std::string("# TYPE ") + kFamilies[l_Family].m_pName + " gauge\n";
      for (const std::string& l_rSample : m_Samples[l_Family]) l_Text += l_rSample;
    }
    return l_Text;
  }

 private:
  std::vector<std::string> m_Samples[kFamilyCount];
  std::set<std::string> m_Seen;
};

std::string textOrEmpty(const sTextValue& a_rValue) {
  return a_rValue.m_Present ? a_rValue.m_Value : std::string();
}

void addSpeed(cExposition& a_rOut, eFamily a_Family, const tLabels& a_rLabels,
              const sU32Value& a_rCode) {
  const uint64_t l_Rate = a_rCode.m_Present ? transfersPerSecond(a_rCode.m_Value) : 0;
  if (l_Rate != 0) a_rOut.add(a_Family, a_rLabels, static_cast<int64_t>(l_Rate));
}

std::string portLabel(const sPortRecord& a_rPort) {
  return a_rPort.m_Name.m_Present ? a_rPort.m_Name.m_Value : std::to_string(a_rPort.m_Index + 1);
}

// The device session's outcome: opening it and every read through it. A read
// that fails makes the session count as failed, with that read's code.
int32_t sessionCode(const sFirmwareRecord& a_rFirmware) {
  if (a_rFirmware.m_OpenCode < 0) return a_rFirmware.m_OpenCode;
  if (!a_rFirmware.m_Version.m_Present) return a_rFirmware.m_Version.m_Code;
  return a_rFirmware.m_OpenCode;
}

// The live and per-port values of an upstream card; its device session is
// opened for the firmware version and closed again.
void addUpstream(cExposition& a_rOut, void* a_pItem, sItemRecord& a_rItem,
                 const tLabels& a_rDevice) {
  if (a_rItem.m_LinkStatus.m_Present) {
    a_rOut.add(kLinkUp, a_rDevice, linkUp(a_rItem.m_LinkStatus.m_Value) ? 1 : 0);
    a_rOut.add(kLinkStatus, a_rDevice, a_rItem.m_LinkStatus.m_Value);
  }
  addSpeed(a_rOut, kLinkSpeed, a_rDevice, a_rItem.m_LinkSpeed);
  for (const sPortRecord& l_rPort : a_rItem.m_Ports) {
    tLabels l_Labels = a_rDevice;
    l_Labels.emplace_back("port", portLabel(l_rPort));
    if (l_rPort.m_LinkWidth.m_Present) {
      a_rOut.add(kPortWidth, l_Labels, l_rPort.m_LinkWidth.m_Value);
    }
    addSpeed(a_rOut, kPortSpeed, l_Labels, l_rPort.m_LinkSpeed);
    a_rOut.add(kPortChassis, l_Labels, l_rPort.m_ChassisFound ? 1 : 0);
  }
  readFirmware(a_pItem, a_rItem);
  const int32_t l_Code = sessionCode(a_rItem.m_Firmware);
  a_rOut.add(kSessionSuccess, a_rDevice, l_Code >= 0 ? 1 : 0);
  a_rOut.add(kSessionStatus, a_rDevice, l_Code);
  if (l_Code >= 0) a_rOut.add(kFirmwareVersion, a_rDevice, a_rItem.m_Firmware.m_Version.m_Value);
}

// The labels of a device's info sample; a controller also names the
// upstream card and port it hangs below (empty when none).
tLabels infoLabels(const sItemRecord& a_rItem, const sInventory& a_rInventory) {
  std::string l_UpstreamSlot;
  std::string l_UpstreamPort;
  const sAttachment& l_rAt = a_rItem.m_Attachment;
  if (l_rAt.m_Attached && l_rAt.m_UpstreamIndex < a_rInventory.m_Items.size()) {
    const sItemRecord& l_rUp = a_rInventory.m_Items[l_rAt.m_UpstreamIndex];
    l_UpstreamSlot = textOrEmpty(l_rUp.m_SlotPath);
    l_UpstreamPort = l_rAt.m_PortIndex < l_rUp.m_Ports.size()
                         ? portLabel(l_rUp.m_Ports[l_rAt.m_PortIndex])
                         : std::to_string(l_rAt.m_PortIndex + 1);
  }
  return {{"kind", kindName(a_rItem.m_Kind)},
          {"model", textOrEmpty(a_rItem.m_Model)},
          {"serial", textOrEmpty(a_rItem.m_SerialNumber)},
          {"slot_path", textOrEmpty(a_rItem.m_SlotPath)},
          {"upstream_port", l_UpstreamPort},
          {"upstream_slot_path", l_UpstreamSlot},
          {"vendor", textOrEmpty(a_rItem.m_Vendor)}};
}

std::string collect(int32_t& a_rCode) {
  cExposition l_Out;
  cFinderList l_List;
  a_rCode = l_List.open();
  l_Out.add(kScrapeSuccess, {}, a_rCode >= 0 ? 1 : 0);
  l_Out.add(kScrapeStatus, {}, a_rCode);
  if (a_rCode < 0) return l_Out.text();
  sInventory l_Inventory = readInventory(l_List);
  int64_t l_Counts[3] = {0, 0, 0};
  for (sItemRecord& l_rItem : l_Inventory.m_Items) {
    ++l_Counts[static_cast<size_t>(l_rItem.m_Kind)];
    const tLabels l_Device = {{"slot_path", textOrEmpty(l_rItem.m_SlotPath)}};
    l_Out.add(kDeviceInfo, infoLabels(l_rItem, l_Inventory), 1);
    if (l_rItem.m_Kind != eItemKind::kUpstream) continue;
    void* l_pItem = nullptr;
    if (l_List.item(l_rItem.m_Index, l_pItem) >= 0) addUpstream(l_Out, l_pItem, l_rItem, l_Device);
  }
  for (const eItemKind l_Kind : {eItemKind::kController, eItemKind::kUpstream}) {
    l_Out.add(kDevices, {{"kind", kindName(l_Kind)}}, l_Counts[static_cast<size_t>(l_Kind)]);
  }
  return l_Out.text();
}

// Writes a_rText to a_rPath so that a reader sees the old file or the new
// one, never a part: a temporary file beside it (whose name the textfile
// collector ignores), flushed to disk, then renamed over it.
bool writeAtomically(const std::string& a_rPath, const std::string& a_rText,
                     std::string& a_rError) {
  // A rename would replace whatever the name holds: a device node (as root,
  // /dev/null), a pipe, a link. Only a regular file, or none, is replaced.
  struct stat l_Target;
  if (lstat(a_rPath.c_str(), &l_Target) == 0 && !S_ISREG(l_Target.st_mode)) {
    a_rError = "refusing to replace '" + shortText(a_rPath) +
               "': it exists and is not a regular file; nothing was written";
    return false;
  }
  const size_t l_Slash = a_rPath.rfind('/');
  const std::string l_Dir = l_Slash == std::string::npos ? "."
                            : l_Slash == 0               ? "/"
                                                         : a_rPath.substr(0, l_Slash);
  std::string l_Temp = l_Dir + "/.qvzel-metrics-XXXXXX";
  const int l_Fd = mkstemp(&l_Temp[0]);
  if (l_Fd < 0) {
    a_rError = "cannot create a temporary file in '" + shortText(l_Dir) +
               "': " + std::strerror(errno) + "; nothing was written";
    return false;
  }
  int l_Errno = 0;
  // The collector may run as another user: the file is readable by all.
  if (fchmod(l_Fd, 0644) != 0) l_Errno = errno;
  for (size_t l_Done = 0; l_Errno == 0 && l_Done < a_rText.size();) {
    const ssize_t l_Written = write(l_Fd, a_rText.data() + l_Done, a_rText.size() - l_Done);
    if (l_Written < 0 && errno != EINTR) l_Errno = errno;
    if (l_Written > 0) l_Done += static_cast<size_t>(l_Written);
  }
  if (l_Errno == 0 && fsync(l_Fd) != 0) l_Errno = errno;
  if (close(l_Fd) != 0 && l_Errno == 0) l_Errno = errno;
  if (l_Errno == 0 && rename(l_Temp.c_str(), a_rPath.c_str()) != 0) l_Errno = errno;
  if (l_Errno != 0) {
    a_rError = "cannot write '" + shortText(a_rPath) + "': " + std::strerror(l_Errno) +
               "; it was left as it was";
    unlink(l_Temp.c_str());
    return false;
  }
  // The rename reaches the disk with the directory.
  const int l_DirFd = open(l_Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (l_DirFd >= 0) {
    fsync(l_DirFd);
    close(l_DirFd);
  }
  return true;
}

}  // namespace

int runMetrics(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  int32_t l_Code = 0;
  const std::string l_Text = collect(l_Code);
  if (a_rOptions.m_Output.empty()) {
    a_rOut << l_Text;
  } else {
    std::string l_Error;
    if (!writeAtomically(a_rOptions.m_Output, l_Text, l_Error)) {
      reportFailure(a_rErr, l_Error + ".");
      return kExitFailure;
    }
  }
  // A failed scrape is written as such for the collector, and still fails.
  if (l_Code < 0) {
    reportListFailure(a_rErr, l_Code);
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace nQvzelTool
