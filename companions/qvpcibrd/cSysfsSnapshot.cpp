// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSysfsSnapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <tuple>
#include <unordered_map>

#include "cPcieConfig.h"
#include "cSysfsParser.h"
#include "cSysfsReader.h"

namespace qvpcibrd {
namespace {

// The type 1 header, which holds the secondary bus.
constexpr size_t kHeaderBytes = 64;

std::string canonical(const std::string& a_rPath) {
  std::unique_ptr<char, void (*)(void*)> l_pReal(realpath(a_rPath.c_str(), nullptr), std::free);
  return l_pReal ? std::string(l_pReal.get()) : std::string();
}

// A directory opened for the *at calls, closed with the object.
class cDirectory {
 public:
  explicit cDirectory(const std::string& a_rPath)
      : m_Fd(open(a_rPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
  ~cDirectory() {
    if (m_Fd >= 0) close(m_Fd);
  }
  cDirectory(const cDirectory&) = delete;
  cDirectory& operator=(const cDirectory&) = delete;
  int fd() const { return m_Fd; }

 private:
  int m_Fd;
};

// Where the link a_rName in directory a_rDir (a_Up levels below the root,
// open as a_rLinks) leads, relative to the root. sysfs links are relative
// ("../../../devices/pci0000:00/0000:00:1c.0") and climb exactly out of the
// directories that hold them, so the target is the rest of the text, without
// a further system call; any other form of link is resolved by the kernel
// (an absolute path then).
std::string resolveLink(const std::string& a_rDir, const cDirectory& a_rLinks, size_t a_Up,
                        const std::string& a_rName) {
  std::string l_Link, l_Rest;
  if (!cSysfsReader::readLink(a_rLinks.fd(), a_rName, l_Link)) return std::string();
  if (cSysfsParser::isPlainRelativeLink(l_Link, a_Up, l_Rest)) return l_Rest;
  return canonical(a_rDir + "/" + a_rName);
}

// The class and identifiers from modalias; without it, the class from its
// own file (the identifier files are read when they are needed). a_rDir is
// the function's directory relative to the root, open as a_rRoot.
void readIdentity(sSysfsFunction& a_rFunction, const cDirectory& a_rRoot,
                  const std::string& a_rDir) {
  std::string l_Text;
  if (cSysfsReader::readLine(a_rDir + "/modalias", l_Text, a_rRoot.fd()) &&
      cSysfsParser::parseModalias(l_Text, a_rFunction.m_Identity)) {
    a_rFunction.m_HasClass = a_rFunction.m_HasVendorId = a_rFunction.m_HasIds = true;
    return;
  }
  unsigned long l_Class = 0;
  a_rFunction.m_HasClass =
      cSysfsReader::readNumber(a_rFunction.m_Dir + "/class", 16, 0xFFFFFF, l_Class);
  a_rFunction.m_Identity.m_Class = static_cast<uint32_t>(l_Class);
}

using tFunctionsByName = std::unordered_map<std::string, sSysfsFunction*>;

// bus/pci/devices/DDDD:BB:DD.F links to the function's place in the device
// hierarchy; the directory above it is its parent bridge, or the host
// bridge's pciDDDD:BB.
std::vector<sSysfsFunction> readFunctions(const std::string& a_rRoot) {
  std::vector<sSysfsFunction> l_Functions;
  const cDirectory l_Root(a_rRoot);
  const std::string l_Devices = a_rRoot + "/bus/pci/devices";
  const cDirectory l_DeviceLinks(l_Devices);
  for (const std::string& l_rName : cSysfsReader::listDirectory(l_Devices)) {
    sSysfsFunction l_Function;
    uint32_t l_Domain = 0;
    if (!cSysfsParser::parseFunctionAddress(l_rName, l_Domain, l_Function.m_Bus,
                                            l_Function.m_Device, l_Function.m_Function) ||
        l_Domain != 0) {
      continue;  // bus numbers name buses within domain 0 only
    }
    const std::string l_Dir = resolveLink(l_Devices, l_DeviceLinks, 3, l_rName);
    if (l_Dir.empty() || cSysfsParser::pathPart(l_Dir, 0) != l_rName) continue;
    l_Function.m_Name = l_rName;
    l_Function.m_Dir = l_Dir[0] == '/' ? l_Dir : a_rRoot + "/" + l_Dir;
    const std::string l_Parent = cSysfsParser::pathPart(l_Dir, 1);
    if (cSysfsParser::isDomainZeroFunction(l_Parent)) l_Function.m_ParentName = l_Parent;
    readIdentity(l_Function, l_Root, l_Dir);
    l_Functions.push_back(std::move(l_Function));
  }
  return l_Functions;
}

void sortByAddress(std::vector<sSysfsFunction>& a_rFunctions) {
  std::sort(a_rFunctions.begin(), a_rFunctions.end(),
            [](const sSysfsFunction& a_rLeft, const sSysfsFunction& a_rRight) {
              return std::tie(a_rLeft.m_Bus, a_rLeft.m_Device, a_rLeft.m_Function) <
                     std::tie(a_rRight.m_Bus, a_rRight.m_Device, a_rRight.m_Function);
            });
}

tFunctionsByName indexByName(std::vector<sSysfsFunction>& a_rFunctions) {
  tFunctionsByName l_ByName;
  for (sSysfsFunction& l_rFunction : a_rFunctions) l_ByName[l_rFunction.m_Name] = &l_rFunction;
  return l_ByName;
}

// Marks each function whose directory holds others, with the lowest bus they
// sit on.
void markChildren(const std::vector<sSysfsFunction>& a_rFunctions,
                  const tFunctionsByName& a_rByName) {
  for (const sSysfsFunction& l_rFunction : a_rFunctions) {
    const auto l_It = a_rByName.find(l_rFunction.m_ParentName);
    if (l_It == a_rByName.end()) continue;
    sSysfsFunction& l_rParent = *l_It->second;
    if (!l_rParent.m_HasChildren || l_rFunction.m_Bus < l_rParent.m_LowestChildBus) {
      l_rParent.m_LowestChildBus = l_rFunction.m_Bus;
    }
    l_rParent.m_HasChildren = true;
  }
}

// class/pci_bus/DDDD:BB links to the bus's entry pci_bus/DDDD:BB in the
// directory of the device that holds it: a host bridge pciDDDD:BB for a root
// bus, else the bridge function whose bus it is.
void readBusEntries(const std::string& a_rRoot, const tFunctionsByName& a_rByName,
                    std::vector<uint8_t>& a_rRootBuses) {
  const std::string l_Buses = a_rRoot + "/class/pci_bus";
  const cDirectory l_BusLinks(l_Buses);
  for (const std::string& l_rName : cSysfsReader::listDirectory(l_Buses)) {
    uint32_t l_Domain = 0;
    uint8_t l_Bus = 0;
    if (!cSysfsParser::parseBusName(l_rName, l_Domain, l_Bus) || l_Domain != 0) continue;
    const std::string l_Target = resolveLink(l_Buses, l_BusLinks, 2, l_rName);
    if (cSysfsParser::pathPart(l_Target, 1) != "pci_bus") continue;
    const std::string l_Holder = cSysfsParser::pathPart(l_Target, 2);
    const auto l_It = a_rByName.find(l_Holder);
    if (l_It != a_rByName.end()) {
      sSysfsFunction& l_rOwner = *l_It->second;
      if (!l_rOwner.m_HasBusEntry || l_Bus < l_rOwner.m_BusEntry) l_rOwner.m_BusEntry = l_Bus;
      l_rOwner.m_HasBusEntry = true;
    } else if (l_Holder.compare(0, 3, "pci") == 0) {
      a_rRootBuses.push_back(l_Bus);
    }
  }
}

// Functions without a parent sit on a root bus even where class/pci_bus is
// missing. The root buses are then kept ascending, each once.
void addParentlessBuses(const std::vector<sSysfsFunction>& a_rFunctions,
                        std::vector<uint8_t>& a_rRootBuses) {
  for (const sSysfsFunction& l_rFunction : a_rFunctions) {
    if (l_rFunction.m_ParentName.empty()) a_rRootBuses.push_back(l_rFunction.m_Bus);
  }
  std::sort(a_rRootBuses.begin(), a_rRootBuses.end());
  a_rRootBuses.erase(std::unique(a_rRootBuses.begin(), a_rRootBuses.end()), a_rRootBuses.end());
}

}  // namespace

bool cSysfsSnapshot::read(const std::string& a_rRoot, std::string& a_rError) {
  m_Functions.clear();
  m_RootBuses.clear();
  struct stat l_Stat;
  if (stat(a_rRoot.c_str(), &l_Stat) != 0 || !S_ISDIR(l_Stat.st_mode)) {
    a_rError = a_rRoot + ": not a directory";
    return false;
  }
  m_Functions = readFunctions(a_rRoot);
  sortByAddress(m_Functions);
  const tFunctionsByName l_ByName = indexByName(m_Functions);
  markChildren(m_Functions, l_ByName);
  readBusEntries(a_rRoot, l_ByName, m_RootBuses);
  addParentlessBuses(m_Functions, m_RootBuses);
  return true;
}

void cSysfsSnapshot::readVendorId(sSysfsFunction& a_rFunction) {
  if (a_rFunction.m_HasVendorId) return;
  a_rFunction.m_Identity.m_VendorId = cSysfsReader::readId(a_rFunction.m_Dir + "/vendor");
  a_rFunction.m_HasVendorId = true;
}

void cSysfsSnapshot::readIds(sSysfsFunction& a_rFunction) {
  if (a_rFunction.m_HasIds) return;
  readVendorId(a_rFunction);
  const std::string& l_rDir = a_rFunction.m_Dir;
  sPciIdentity& l_rIds = a_rFunction.m_Identity;
  l_rIds.m_DeviceId = cSysfsReader::readId(l_rDir + "/device");
  l_rIds.m_SubsystemVendorId = cSysfsReader::readId(l_rDir + "/subsystem_vendor");
  l_rIds.m_SubsystemId = cSysfsReader::readId(l_rDir + "/subsystem_device");
  a_rFunction.m_HasIds = true;
}

bool cSysfsSnapshot::readSecondaryBus(const sSysfsFunction& a_rFunction, uint8_t& a_rBus) {
  unsigned long l_Value = 0;
  if (cSysfsReader::readNumber(a_rFunction.m_Dir + "/secondary_bus_number", 10, 255, l_Value)) {
    a_rBus = static_cast<uint8_t>(l_Value);
    return true;
  }
  std::vector<uint8_t> l_Config;
  cSysfsReader::readBytes(a_rFunction.m_Dir + "/config", kHeaderBytes, l_Config);
  return cPcieConfig(l_Config).secondaryBus(a_rBus);
}

}  // namespace qvpcibrd
