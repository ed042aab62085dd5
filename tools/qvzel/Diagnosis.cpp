// SPDX-License-Identifier: LGPL-2.1-or-later
#include "Diagnosis.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ErrorReport.h"
#include "ItemReader.h"
#include "qvpcibrd.h"
#include "qvzel_driver.h"
#include "qvzelif.h"

namespace nQvzelTool {

namespace {

const char* const kDriverRoot = QVZEL_PROC_ROOT;
// The only interface class the library opens a device session through.
const char* const kUpstreamInterfaceClass = QVZEL_CLASS_CYCLONE4_UPSTREAM;
const char* const kRelocationLibrary = "libqvrelocations.so.0";
const char* const kDefaultStateDir = "/var/lib";
const char* const kControllerFile = "/qvpxi/pxicontrollers.ini";

typedef int32_t (*tOpenSession)(uint32_t, tQvPciBrdSession*);
typedef int32_t (*tCloseSession)(tQvPciBrdSession);
typedef int32_t (*tFindByIds)(tQvPciBrdSession, const uint16_t*, const uint16_t*, const uint16_t*,
                              const uint16_t*, tQvPciBrdBridgeRef*, uint32_t*);
typedef int32_t (*tFindBySlotPath)(tQvPciBrdSession, const char*, tQvPciBrdBridgeRef*);
typedef int32_t (*tGetRelocatedDir)(const char*, char*, int32_t);

// The entry point names the library looks up, in its order.
#define QVZEL_ENTRY_NAME(a_Name) "QvPciBrd_" #a_Name,
const char* const kEntryPoints[] = {QVPCIBRD_ENTRY_POINTS(QVZEL_ENTRY_NAME)};
#undef QVZEL_ENTRY_NAME

std::vector<std::string> directoryEntries(const std::string& a_rPath, int& a_rError) {
  std::vector<std::string> l_Names;
  a_rError = 0;
  DIR* l_pDir = opendir(a_rPath.c_str());
  if (l_pDir == nullptr) {
    a_rError = errno;
    return l_Names;
  }
  while (const dirent* l_pEntry = readdir(l_pDir)) {
    const std::string l_Name = l_pEntry->d_name;
    if (l_Name != "." && l_Name != "..") l_Names.push_back(l_Name);
  }
  closedir(l_pDir);
  std::sort(l_Names.begin(), l_Names.end());
  return l_Names;
}

std::string trimmed(const std::string& a_rText) {
  const size_t l_Begin = a_rText.find_first_not_of(" \t\r");
  if (l_Begin == std::string::npos) return "";
  return a_rText.substr(l_Begin, a_rText.find_last_not_of(" \t\r") - l_Begin + 1);
}

// The bus properties holding a device's PCI IDs, in the order of m_Ids.
const char* const kIdProperties[] = {"pciVendorID", "pciDeviceID", "pciSubsystemVendorID",
                                     "pciSubsystemID"};

void readIds(sInterfaceCheck& a_rCheck, const std::string& a_rDeviceDir) {
  for (size_t l_Index = 0; l_Index < 4; ++l_Index) {
    std::ifstream l_In(a_rDeviceDir + "/busProperties/" + kIdProperties[l_Index], std::ios::binary);
    uint32_t l_Value = 0;
    if (l_In.read(reinterpret_cast<char*>(&l_Value), sizeof(l_Value))) {
      a_rCheck.m_Ids[l_Index] = l_Value;
      a_rCheck.m_HasIds[l_Index] = true;
    }
  }
}

// Whether the interface's device has the row's identifiers (the subsystem
// only when the row names one).
bool interfaceMatches(const sInterfaceCheck& a_rInterface, const sModelRow& a_rRow) {
  if (a_rInterface.m_Class != a_rRow.m_pInterface) return false;
  const uint32_t l_Want[4] = {a_rRow.m_VendorId, a_rRow.m_DeviceId, a_rRow.m_SubsystemVendorId,
                              a_rRow.m_SubsystemId};
  const size_t l_Count = a_rRow.m_SubsystemVendorId != 0 || a_rRow.m_SubsystemId != 0 ? 4 : 2;
  for (size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    if (!a_rInterface.m_HasIds[l_Index] || a_rInterface.m_Ids[l_Index] != l_Want[l_Index])
      return false;
  }
  return true;
}

void checkInterface(sInterfaceCheck& a_rCheck, const std::string& a_rDir) {
  std::ifstream l_In(a_rDir + "/interfacePath", std::ios::binary);
  if (!l_In) {
    a_rCheck.m_Problem = "its interfacePath cannot be read";
    return;
  }
  std::getline(l_In, a_rCheck.m_DeviceFile, '\0');
  if (a_rCheck.m_DeviceFile.empty()) {
    a_rCheck.m_Problem = "its interfacePath is empty";
    return;
  }
  struct stat l_Stat = {};
  if (stat(a_rCheck.m_DeviceFile.c_str(), &l_Stat) != 0) {
    a_rCheck.m_Problem = std::string("the device file is missing: ") + std::strerror(errno);
    return;
  }
  a_rCheck.m_Exists = true;
  a_rCheck.m_Readable = access(a_rCheck.m_DeviceFile.c_str(), R_OK) == 0;
  a_rCheck.m_Writable = access(a_rCheck.m_DeviceFile.c_str(), W_OK) == 0;
  if (!a_rCheck.m_Readable || !a_rCheck.m_Writable) {
    a_rCheck.m_Problem = "this user (uid " + std::to_string(getuid()) + ") may not " +
                         (a_rCheck.m_Readable ? "write" : "read") +
                         " the device file; the library opens it for reading and writing";
  }
}

std::string sharedStateDir() {
  void* l_pLibrary = dlopen(kRelocationLibrary, RTLD_NOW | RTLD_LOCAL);
  std::string l_Dir = kDefaultStateDir;
  if (l_pLibrary == nullptr) return l_Dir;
  auto l_pQuery = reinterpret_cast<tGetRelocatedDir>(dlsym(l_pLibrary, "get_relocated_dir"));
  char l_Buffer[256] = {};
  if (l_pQuery != nullptr && l_pQuery("sharedstatedir", l_Buffer, 255) > 0 &&
      std::strlen(l_Buffer) < 255) {
    l_Dir = l_Buffer;
  }
  dlclose(l_pLibrary);
  return l_Dir;
}

// The bridge library for the searches: loaded, every entry point present,
// a session open. Closes what it opened.
class cBridgeProbe {
 public:
  explicit cBridgeProbe(sBridgeLibraryCheck& a_rCheck) : m_rCheck(a_rCheck) {
    m_rCheck.m_File = kBridgeLibraryFile;
    m_rCheck.m_Package = kBridgeLibraryPackage;
    dlerror();
    m_pLibrary = dlopen(kBridgeLibraryFile, RTLD_NOW | RTLD_LOCAL);
    if (m_pLibrary == nullptr) {
      const char* l_pError = dlerror();
      m_rCheck.m_LoadError = l_pError != nullptr ? l_pError : "not found";
      return;
    }
    m_rCheck.m_Loaded = true;
    const link_map* l_pMap = nullptr;
    if (dlinfo(m_pLibrary, RTLD_DI_LINKMAP, &l_pMap) == 0 && l_pMap != nullptr) {
      m_rCheck.m_Path = l_pMap->l_name;
    }
    for (const char* l_pName : kEntryPoints) {
      if (dlsym(m_pLibrary, l_pName) == nullptr) m_rCheck.m_MissingEntryPoints.push_back(l_pName);
    }
    if (!m_rCheck.m_MissingEntryPoints.empty()) return;
    m_pFind = reinterpret_cast<tFindByIds>(dlsym(m_pLibrary, "QvPciBrd_FindBridgesByPciIds"));
    m_pFindPath =
        reinterpret_cast<tFindBySlotPath>(dlsym(m_pLibrary, "QvPciBrd_FindBridgeBySlotPath"));
    auto l_pOpen = reinterpret_cast<tOpenSession>(dlsym(m_pLibrary, "QvPciBrd_OpenSession"));
    m_rCheck.m_SessionCode = l_pOpen(0, &m_Session);
    if (m_rCheck.m_SessionCode < 0) m_Session = QVPCIBRD_NO_SESSION;
  }
  ~cBridgeProbe() {
    if (m_Session != QVPCIBRD_NO_SESSION) {
      reinterpret_cast<tCloseSession>(dlsym(m_pLibrary, "QvPciBrd_CloseSession"))(m_Session);
    }
    if (m_pLibrary != nullptr) dlclose(m_pLibrary);
  }
  cBridgeProbe(const cBridgeProbe&) = delete;
  cBridgeProbe& operator=(const cBridgeProbe&) = delete;

  bool usable() const { return m_Session != QVPCIBRD_NO_SESSION; }

  // Bridges matching the row's identifiers; the subsystem only when the row
  // names one.
  int32_t count(const sModelRow& a_rRow, size_t& a_rFound) const {
    const bool l_Subsystem = a_rRow.m_SubsystemVendorId != 0;
    uint32_t l_Count = 0;
    const int32_t l_Code =
        m_pFind(m_Session, &a_rRow.m_VendorId, &a_rRow.m_DeviceId,
                l_Subsystem ? &a_rRow.m_SubsystemVendorId : nullptr,
                l_Subsystem ? &a_rRow.m_SubsystemId : nullptr, nullptr, &l_Count);
    // Asking with no array answers the count, with "buffer too small" when
    // there are matches.
    if (l_Code == QVPCIBRD_ERR_BUFFER_TOO_SMALL || l_Code >= 0) {
      a_rFound = l_Count;
      return 0;
    }
    a_rFound = 0;
    return l_Code;
  }

  bool bridgeAt(const std::string& a_rSlotPath) const {
    tQvPciBrdBridgeRef l_Bridge = 0;
    return m_pFindPath(m_Session, a_rSlotPath.c_str(), &l_Bridge) >= 0;
  }

 private:
  sBridgeLibraryCheck& m_rCheck;
  void* m_pLibrary = nullptr;
  tQvPciBrdSession m_Session = QVPCIBRD_NO_SESSION;
  tFindByIds m_pFind = nullptr;
  tFindBySlotPath m_pFindPath = nullptr;
};

}  // namespace

const std::vector<sModelRow>& modelRows() {
  static const std::vector<sModelRow> s_Rows = {
      {"QV PXI-2250 Integrated ZEL Express", false, true, 0x104C, 0x8231, 0x1F3C, 0x5A21, nullptr},
      {"QV PXI-4120", false, false, 0x1F3C, 0x5A02, 0, 0, "nQVZEL_1_0_Pxi4120"},
      {"QV PXI-4120", false, true, 0x104C, 0x8231, 0x1F3C, 0x5A02, nullptr},
      {"QV PXI-4125", false, true, 0x12D8, 0xE112, 0x1F3C, 0x4125, nullptr},
      {"QV PXI-4130", false, true, 0x12D8, 0xE112, 0x1F3C, 0x4130, nullptr},
      {"QV PXI-4135", false, false, 0x1F3C, 0x5A08, 0, 0, "nQVZEL_1_0_Pxi4135"},
      {"PXI-ZEL-7", false, false, 0x1F3C, 0x5A04, 0, 0, "nQVZEL_1_0_Zel7Device"},
      {"QV PXI-4140", true, true, 0x12D8, 0xE111, 0x1F3C, 0x4140, nullptr},
      {"QV PXI-4145", true, true, 0x12D8, 0xE111, 0x1F3C, 0x4145, nullptr},
      {"QV PXIe-6510", true, false, 0x111D, 0x8088, 0x1F3C, 0x5A10, "nQVZEL_1_0_IdtUpstreamZEL"},
      {"QV PXIe-6520", true, false, 0x111D, 0x8088, 0x1F3C, 0x5A11, "nQVZEL_1_0_IdtUpstreamZEL"},
      {"QV PXIe-6530mc ZEL Mode", true, false, 0x111D, 0x8088, 0x1F3C, 0x5A12,
       "nQVZEL_1_0_IdtUpstreamZEL"},
      {"QV PXIe-6540", true, false, 0x111D, 0x8088, 0x1F3C, 0x5A13, "nQVZEL_1_0_IdtUpstreamZEL"},
      {"QV PXIe-6550", true, false, 0x1F3C, 0x5A30, 0x1F3C, 0x5A31,
       "nQVZEL_1_0_Cyclone4UpstreamZEL"},
  };
  return s_Rows;
}

std::string deviceFileAccessHint() {
  const sDriverCheck l_Driver = checkDriver(kDriverRoot);
  std::string l_Files;
  for (const sInterfaceCheck& l_rInterface : l_Driver.m_Interfaces) {
    if (l_rInterface.m_Class != kUpstreamInterfaceClass || !l_rInterface.m_Exists) continue;
    if (l_rInterface.m_Readable && l_rInterface.m_Writable) continue;
    l_Files += (l_Files.empty() ? "" : ", ") + l_rInterface.m_DeviceFile;
  }
  if (l_Files.empty()) return "";
  return " This user (uid " + std::to_string(getuid()) + ") may not open the device file " +
         l_Files +
         " for reading and writing: run as root, or as a member of the group the driver's "
         "udev rule gives it.";
}

sDriverCheck checkDriver(const std::string& a_rRoot) {
  sDriverCheck l_Check;
  l_Check.m_Root = a_rRoot;
  int l_Error = 0;
  const std::vector<std::string> l_Dirs = directoryEntries(a_rRoot, l_Error);
  if (l_Error != 0) {
    l_Check.m_Problem = l_Error == ENOENT
                            ? "it does not exist: no kernel driver for the link hardware is loaded"
                            : std::string("it cannot be read: ") + std::strerror(l_Error);
    return l_Check;
  }
  l_Check.m_Present = true;
  for (const std::string& l_rDir : l_Dirs) {
    const std::string l_Interfaces = a_rRoot + "/" + l_rDir + "/deviceInterfaces";
    const std::vector<std::string> l_Names = directoryEntries(l_Interfaces, l_Error);
    if (l_Error == ENOTDIR) continue;  // a file of the driver beside the devices
    ++l_Check.m_DeviceDirectories;
    for (const std::string& l_rName : l_Names) {
      sInterfaceCheck l_Interface;
      l_Interface.m_Directory = l_rDir;
      const size_t l_Slash = l_rName.find('\\');
      l_Interface.m_Class = l_rName.substr(0, l_Slash);
      l_Interface.m_Instance = l_Slash == std::string::npos ? "" : l_rName.substr(l_Slash + 1);
      readIds(l_Interface, a_rRoot + "/" + l_rDir);
      checkInterface(l_Interface, l_Interfaces + "/" + l_rName);
      auto l_Class = std::find_if(l_Check.m_Classes.begin(), l_Check.m_Classes.end(),
                                  [&](const std::pair<std::string, size_t>& a_rEntry) {
                                    return a_rEntry.first == l_Interface.m_Class;
                                  });
      if (l_Class == l_Check.m_Classes.end()) {
        l_Check.m_Classes.emplace_back(l_Interface.m_Class, 1);
      } else {
        ++l_Class->second;
      }
      l_Check.m_Interfaces.push_back(l_Interface);
    }
  }
  return l_Check;
}

sControllerFileCheck checkControllerFile(const std::string& a_rPath) {
  sControllerFileCheck l_Check;
  l_Check.m_Path = a_rPath;
  struct stat l_Stat = {};
  if (stat(a_rPath.c_str(), &l_Stat) != 0) return l_Check;
  l_Check.m_Present = true;
  std::ifstream l_In(a_rPath, std::ios::binary);
  if (!l_In) {
    l_Check.m_Problems.push_back(std::string("it cannot be read: ") + std::strerror(errno));
    return l_Check;
  }
  l_Check.m_Readable = true;
  const char* const kKeys[] = {"VendorName", "ModelName", "SlotPath"};
  std::vector<std::vector<std::string>> l_Keys;  // per section
  std::string l_Line;
  for (size_t l_Number = 1; std::getline(l_In, l_Line); ++l_Number) {
    const std::string l_Text = trimmed(l_Line);
    if (l_Text.empty() || l_Text[0] == ';' || l_Text[0] == '#') continue;
    if (l_Text[0] == '[' && l_Text.back() == ']') {
      l_Check.m_Sections.push_back(l_Text.substr(1, l_Text.size() - 2));
      l_Keys.emplace_back();
      continue;
    }
    const size_t l_Equals = l_Text.find('=');
    if (l_Equals == std::string::npos || l_Keys.empty()) {
      l_Check.m_Problems.push_back(
          "line " + std::to_string(l_Number) +
          (l_Keys.empty() ? " is outside any section" : " is neither a section nor a key"));
      continue;
    }
    l_Keys.back().push_back(trimmed(l_Text.substr(0, l_Equals)));
  }
  for (size_t l_Section = 0; l_Section < l_Keys.size(); ++l_Section) {
    for (const char* l_pKey : kKeys) {
      const std::vector<std::string>& l_rHas = l_Keys[l_Section];
      if (std::find(l_rHas.begin(), l_rHas.end(), l_pKey) == l_rHas.end()) {
        l_Check.m_Problems.push_back("section [" + l_Check.m_Sections[l_Section] + "] lacks " +
                                     l_pKey + ", so it adds no controller");
      }
    }
  }
  if (l_Check.m_Sections.empty()) l_Check.m_Problems.push_back("it has no section");
  return l_Check;
}

sDiagnosis diagnose() {
  sDiagnosis l_Result;
  cBridgeProbe l_Bridge(l_Result.m_Bridge);
  l_Result.m_Driver = checkDriver(kDriverRoot);
  l_Result.m_ControllerFile = checkControllerFile(sharedStateDir() + kControllerFile);
  // A section whose slot path names no bridge of this machine adds nothing.
  if (l_Bridge.usable()) {
    std::ifstream l_In(l_Result.m_ControllerFile.m_Path);
    std::string l_Section;
    for (std::string l_Line; std::getline(l_In, l_Line);) {
      const std::string l_Text = trimmed(l_Line);
      if (!l_Text.empty() && l_Text[0] == '[') l_Section = l_Text;
      const size_t l_Equals = l_Text.find('=');
      if (l_Equals == std::string::npos || trimmed(l_Text.substr(0, l_Equals)) != "SlotPath")
        continue;
      const std::string l_Path = trimmed(l_Text.substr(l_Equals + 1));
      if (!l_Bridge.bridgeAt(l_Path)) {
        l_Result.m_ControllerFile.m_Problems.push_back(
            "section " + l_Section + ": the slot path " + l_Path +
            " names no PCI bridge of this machine, so it adds no controller");
      }
    }
  }
  for (const sModelRow& l_rRow : modelRows()) {
    sModelCheck l_Model;
    l_Model.m_pRow = &l_rRow;
    if (l_rRow.m_FindByPciIds) {
      l_Model.m_Searched = l_Bridge.usable();
      if (l_Model.m_Searched) l_Model.m_Code = l_Bridge.count(l_rRow, l_Model.m_Found);
    } else {
      l_Model.m_Searched = l_Result.m_Driver.m_Present;
      for (const sInterfaceCheck& l_rInterface : l_Result.m_Driver.m_Interfaces) {
        if (interfaceMatches(l_rInterface, l_rRow)) ++l_Model.m_Found;
      }
    }
    l_Result.m_Models.push_back(l_Model);
  }
  cFinderList l_List;
  l_Result.m_List.m_Code = l_List.open();
  if (l_Result.m_List.m_Code >= 0) {
    for (const sItemRecord& l_rItem : readInventory(l_List).m_Items) {
      if (l_rItem.m_Kind == eItemKind::kUpstream) ++l_Result.m_List.m_Upstream;
      if (l_rItem.m_Kind == eItemKind::kController) ++l_Result.m_List.m_Controllers;
      if (l_rItem.m_Kind == eItemKind::kUnknown) ++l_Result.m_List.m_Unknown;
    }
  }
  return l_Result;
}

}  // namespace nQvzelTool
