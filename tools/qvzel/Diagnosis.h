// SPDX-License-Identifier: LGPL-2.1-or-later
// What `qvzel diagnose` looks at to explain why a device is or is not
// listed: the PCI bridge library, the kernel driver's tree under
// /proc/driver/qv, the device files its interfaces name, the controller
// file, and per row of the library's model table what a search finds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvzelTool {

// One row of the library's model table as far as finding it goes.
struct sModelRow {
  const char* m_pModel;
  bool m_Upstream;
  bool m_FindByPciIds;  // else through the driver interfaces of m_pInterface
  uint16_t m_VendorId;
  uint16_t m_DeviceId;
  uint16_t m_SubsystemVendorId;  // 0: subsystem not matched
  uint16_t m_SubsystemId;
  const char* m_pInterface;  // driver interface class, or null
};

// The rows in the library's order.
const std::vector<sModelRow>& modelRows();

struct sBridgeLibraryCheck {
  std::string m_File;     // the name the library loads
  std::string m_Package;  // the package that ships ours
  bool m_Loaded = false;
  std::string m_Path;       // where it was loaded from
  std::string m_LoadError;  // why it did not load
  std::vector<std::string> m_MissingEntryPoints;
  int32_t m_SessionCode = 0;  // opening a session; the searches need one
};

struct sInterfaceCheck {
  std::string m_Directory;  // below /proc/driver/qv
  std::string m_Class;
  std::string m_Instance;
  std::string m_DeviceFile;  // from interfacePath; empty when unreadable
  bool m_Exists = false;
  bool m_Readable = false;
  bool m_Writable = false;
  std::string m_Problem;  // why it cannot be used, or empty
  // The PCI vendor, device, subsystem vendor and subsystem IDs the device's
  // bus properties give; absent ones false in m_HasIds.
  uint32_t m_Ids[4] = {0, 0, 0, 0};
  bool m_HasIds[4] = {false, false, false, false};
};

struct sDriverCheck {
  std::string m_Root;  // /proc/driver/qv
  bool m_Present = false;
  std::string m_Problem;  // why it cannot be read, or empty
  size_t m_DeviceDirectories = 0;
  std::vector<sInterfaceCheck> m_Interfaces;
  // Interface count per class, in first-seen order.
  std::vector<std::pair<std::string, size_t>> m_Classes;
};

struct sControllerFileCheck {
  std::string m_Path;
  bool m_Present = false;
  bool m_Readable = false;
  std::vector<std::string> m_Sections;
  std::vector<std::string> m_Problems;
};

struct sModelCheck {
  const sModelRow* m_pRow = nullptr;
  bool m_Searched = false;  // false: the bridge library or the driver was missing
  int32_t m_Code = 0;       // a failed PCI ID search
  size_t m_Found = 0;       // bridges or interfaces that match
};

struct sListCheck {
  int32_t m_Code = 0;
  size_t m_Upstream = 0;
  size_t m_Controllers = 0;
  size_t m_Unknown = 0;
};

struct sDiagnosis {
  sBridgeLibraryCheck m_Bridge;
  sDriverCheck m_Driver;
  sControllerFileCheck m_ControllerFile;
  std::vector<sModelCheck> m_Models;
  sListCheck m_List;
};

// Looks at this machine; never fails (what could not be looked at is told).
sDiagnosis diagnose();

// After a device session failed to open: a sentence naming the upstream
// cards' device files this user may not open for reading and writing (the
// library reports only that the open failed), or an empty text.
std::string deviceFileAccessHint();

// The parts, for tests: the driver tree below a_rRoot and the controller
// file at a_rPath.
sDriverCheck checkDriver(const std::string& a_rRoot);
sControllerFileCheck checkControllerFile(const std::string& a_rPath);

}  // namespace nQvzelTool
