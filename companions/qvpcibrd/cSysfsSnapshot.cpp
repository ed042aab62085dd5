#include "cSysfsSnapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

#include "cPcieConfig.h"

namespace qvpcibrd {
namespace {

// The standard configuration space; the extended space holds nothing we read.
constexpr size_t kConfigBytes = 256;
constexpr size_t kMaxAttributeBytes = 256;

std::vector<std::string> listDirectory(const std::string& a_rPath) {
  std::vector<std::string> l_Names;
  std::unique_ptr<DIR, int (*)(DIR*)> l_pDir(opendir(a_rPath.c_str()), closedir);
  if (!l_pDir) return l_Names;
  while (const dirent* l_pEntry = readdir(l_pDir.get())) {
    if (l_pEntry->d_name[0] != '.') l_Names.push_back(l_pEntry->d_name);
  }
  std::sort(l_Names.begin(), l_Names.end());
  return l_Names;
}

// Up to a_Max bytes of a file; false when it cannot be opened or read.
bool readBytes(const std::string& a_rPath, size_t a_Max, std::vector<uint8_t>& a_rBytes) {
  a_rBytes.clear();
  const int l_Fd = open(a_rPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (l_Fd < 0) return false;
  a_rBytes.resize(a_Max);
  size_t l_Have = 0;
  bool l_Ok = true;
  while (l_Have < a_Max) {
    const ssize_t l_Got = ::read(l_Fd, a_rBytes.data() + l_Have, a_Max - l_Have);
    if (l_Got < 0 && errno == EINTR) continue;
    if (l_Got < 0) l_Ok = false;
    if (l_Got <= 0) break;
    l_Have += static_cast<size_t>(l_Got);
  }
  close(l_Fd);
  a_rBytes.resize(l_Have);
  return l_Ok;
}

// A one-line attribute file without its line end.
bool readLine(const std::string& a_rPath, std::string& a_rText) {
  std::vector<uint8_t> l_Bytes;
  if (!readBytes(a_rPath, kMaxAttributeBytes, l_Bytes)) return false;
  a_rText.assign(l_Bytes.begin(), l_Bytes.end());
  const size_t l_End = a_rText.find_first_of("\n\0", 0, 2);
  if (l_End != std::string::npos) a_rText.resize(l_End);
  return true;
}

bool readNumber(const std::string& a_rPath, int a_Base, unsigned long a_Max,
                unsigned long& a_rValue) {
  std::string l_Text;
  if (!readLine(a_rPath, l_Text) || l_Text.empty()) return false;
  char* l_pEnd = nullptr;
  errno = 0;
  a_rValue = std::strtoul(l_Text.c_str(), &l_pEnd, a_Base);
  return errno == 0 && *l_pEnd == '\0' && l_Text[0] != '-' && a_rValue <= a_Max;
}

uint16_t readId(const std::string& a_rPath) {
  unsigned long l_Value = 0;
  return readNumber(a_rPath, 16, 0xFFFF, l_Value) ? static_cast<uint16_t>(l_Value) : 0;
}

std::vector<std::string> splitPath(const std::string& a_rPath) {
  std::vector<std::string> l_Parts;
  size_t l_Start = 0;
  while (l_Start <= a_rPath.size()) {
    size_t l_End = a_rPath.find('/', l_Start);
    if (l_End == std::string::npos) l_End = a_rPath.size();
    if (l_End > l_Start) l_Parts.push_back(a_rPath.substr(l_Start, l_End - l_Start));
    l_Start = l_End + 1;
  }
  return l_Parts;
}

std::string canonical(const std::string& a_rPath) {
  std::unique_ptr<char, void (*)(void*)> l_pReal(realpath(a_rPath.c_str(), nullptr), std::free);
  return l_pReal ? std::string(l_pReal.get()) : std::string();
}

// A bus name "DDDD:BB".
bool parseBusName(const std::string& a_rText, uint32_t& a_rDomain, uint8_t& a_rBus) {
  unsigned l_Domain = 0, l_Bus = 0;
  int l_Length = 0;
  if (std::sscanf(a_rText.c_str(), "%x:%2x%n", &l_Domain, &l_Bus, &l_Length) != 2 ||
      static_cast<size_t>(l_Length) != a_rText.size() || a_rText.find(' ') != std::string::npos) {
    return false;
  }
  a_rDomain = l_Domain;
  a_rBus = static_cast<uint8_t>(l_Bus);
  return true;
}

// A bridge's secondary bus lies above its own bus; anything else (0 on an
// unconfigured hot-plug bridge, say) names no bus.
void setSecondary(sSysfsFunction& a_rFunction, uint8_t a_Bus) {
  a_rFunction.m_HasSecondary = a_Bus > a_rFunction.m_Bus;
  a_rFunction.m_Secondary = a_rFunction.m_HasSecondary ? a_Bus : 0;
}

void readFunction(sSysfsFunction& a_rFunction) {
  const std::string& l_rDir = a_rFunction.m_Dir;
  unsigned long l_Value = 0;
  a_rFunction.m_HasClass = readNumber(l_rDir + "/class", 16, 0xFFFFFF, l_Value);
  a_rFunction.m_Class = static_cast<uint32_t>(l_Value);
  a_rFunction.m_VendorId = readId(l_rDir + "/vendor");
  a_rFunction.m_DeviceId = readId(l_rDir + "/device");
  a_rFunction.m_SubsystemVendorId = readId(l_rDir + "/subsystem_vendor");
  a_rFunction.m_SubsystemId = readId(l_rDir + "/subsystem_device");
  // The bus a bridge creates appears as pci_bus/DDDD:SS in its directory.
  for (const std::string& l_rName : listDirectory(l_rDir + "/pci_bus")) {
    uint32_t l_Domain = 0;
    uint8_t l_Bus = 0;
    if (parseBusName(l_rName, l_Domain, l_Bus)) {
      setSecondary(a_rFunction, l_Bus);
      return;
    }
  }
  if (readNumber(l_rDir + "/secondary_bus_number", 10, 255, l_Value)) {
    setSecondary(a_rFunction, static_cast<uint8_t>(l_Value));
  }
}

}  // namespace

bool parsePciAddress(const std::string& a_rText, uint32_t& a_rDomain, uint8_t& a_rBus,
                     uint8_t& a_rDevice, uint8_t& a_rFunction) {
  unsigned l_Domain = 0, l_Bus = 0, l_Device = 0, l_Function = 0;
  int l_Length = 0;
  if (std::sscanf(a_rText.c_str(), "%x:%2x:%2x.%1x%n", &l_Domain, &l_Bus, &l_Device, &l_Function,
                  &l_Length) != 4 ||
      static_cast<size_t>(l_Length) != a_rText.size() || l_Device > 31 || l_Function > 7 ||
      a_rText.find_first_of(" +-") != std::string::npos) {
    return false;
  }
  a_rDomain = l_Domain;
  a_rBus = static_cast<uint8_t>(l_Bus);
  a_rDevice = static_cast<uint8_t>(l_Device);
  a_rFunction = static_cast<uint8_t>(l_Function);
  return true;
}

bool cSysfsSnapshot::read(const std::string& a_rRoot, std::string& a_rError) {
  m_Functions.clear();
  m_RootBuses.clear();
  struct stat l_Stat;
  if (stat(a_rRoot.c_str(), &l_Stat) != 0 || !S_ISDIR(l_Stat.st_mode)) {
    a_rError = a_rRoot + ": not a directory";
    return false;
  }
  const std::string l_Devices = a_rRoot + "/bus/pci/devices";
  for (const std::string& l_rName : listDirectory(l_Devices)) {
    sSysfsFunction l_Function;
    uint32_t l_Domain = 0;
    if (!parsePciAddress(l_rName, l_Domain, l_Function.m_Bus, l_Function.m_Device,
                         l_Function.m_Function) ||
        l_Domain != 0) {
      continue;  // bus numbers name buses within domain 0 only
    }
    // The entry links to the function's place in the device hierarchy; the
    // directory above it is its parent bridge, or the host bridge's pciDDDD:BB.
    const std::string l_Dir = canonical(l_Devices + "/" + l_rName);
    if (l_Dir.empty()) continue;
    const std::vector<std::string> l_Parts = splitPath(l_Dir);
    if (l_Parts.empty() || l_Parts.back() != l_rName) continue;
    l_Function.m_Name = l_rName;
    l_Function.m_Dir = l_Dir;
    if (l_Parts.size() >= 2) {
      uint32_t l_ParentDomain = 0;
      uint8_t l_Bus = 0, l_Device = 0, l_Func = 0;
      const std::string& l_rParent = l_Parts[l_Parts.size() - 2];
      if (parsePciAddress(l_rParent, l_ParentDomain, l_Bus, l_Device, l_Func) &&
          l_ParentDomain == 0) {
        l_Function.m_ParentName = l_rParent;
      }
    }
    readFunction(l_Function);
    m_Functions.push_back(l_Function);
  }
  std::sort(m_Functions.begin(), m_Functions.end(),
            [](const sSysfsFunction& a_rLeft, const sSysfsFunction& a_rRight) {
              return std::tie(a_rLeft.m_Bus, a_rLeft.m_Device, a_rLeft.m_Function) <
                     std::tie(a_rRight.m_Bus, a_rRight.m_Device, a_rRight.m_Function);
            });

  // A root bus hangs below a host bridge directory pciDDDD:BB, not below a function.
  const std::string l_Buses = a_rRoot + "/class/pci_bus";
  for (const std::string& l_rName : listDirectory(l_Buses)) {
    uint32_t l_Domain = 0;
    uint8_t l_Bus = 0;
    if (!parseBusName(l_rName, l_Domain, l_Bus) || l_Domain != 0) continue;
    const std::vector<std::string> l_Parts = splitPath(canonical(l_Buses + "/" + l_rName));
    if (l_Parts.size() >= 3 && l_Parts[l_Parts.size() - 2] == "pci_bus" &&
        l_Parts[l_Parts.size() - 3].compare(0, 3, "pci") == 0) {
      m_RootBuses.push_back(l_Bus);
    }
  }
  // Functions without a parent sit on a root bus even where class/pci_bus is missing.
  for (const sSysfsFunction& l_rFunction : m_Functions) {
    if (l_rFunction.m_ParentName.empty()) m_RootBuses.push_back(l_rFunction.m_Bus);
  }
  std::sort(m_RootBuses.begin(), m_RootBuses.end());
  m_RootBuses.erase(std::unique(m_RootBuses.begin(), m_RootBuses.end()), m_RootBuses.end());
  return true;
}

void cSysfsSnapshot::readDetails(sSysfsFunction& a_rFunction) {
  const std::string& l_rDir = a_rFunction.m_Dir;
  unsigned long l_Value = 0;
  a_rFunction.m_HasLinkWidth = readNumber(l_rDir + "/current_link_width", 10, 32, l_Value);
  a_rFunction.m_LinkWidth = static_cast<uint32_t>(l_Value);
  a_rFunction.m_HasLinkSpeed = readLine(l_rDir + "/current_link_speed", a_rFunction.m_LinkSpeed);
  // Other users than root usually get the first 64 bytes only.
  if (!readBytes(l_rDir + "/config", kConfigBytes, a_rFunction.m_Config)) {
    a_rFunction.m_Config.clear();
  }
  uint8_t l_Bus = 0;
  if (!a_rFunction.m_HasSecondary && cPcieConfig(a_rFunction.m_Config).secondaryBus(l_Bus)) {
    setSecondary(a_rFunction, l_Bus);
  }
}

}  // namespace qvpcibrd
