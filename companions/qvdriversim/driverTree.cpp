// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driverTree.h"

#include <fcntl.h>
#include <ftw.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cardFlash.h"
#include "driverLog.h"
#include "qvzel_driver.h"

namespace nQvDriverSim_1_0 {

namespace {

int removeEntry(const char* a_pPath, const struct stat*, int, struct FTW*) {
  return std::remove(a_pPath) == 0 ? 0 : -1;
}

bool removeRecursively(const std::string& a_rPath, std::string& a_rError) {
  struct stat l_Stat;
  if (::lstat(a_rPath.c_str(), &l_Stat) != 0) return true;  // nothing there
  if (::nftw(a_rPath.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) != 0) {
    a_rError = a_rPath + ": cannot be removed: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool writeText(const std::string& a_rPath, const std::string& a_rText, std::string& a_rError) {
  return writeWholeFile(a_rPath, a_rText.data(), a_rText.size(), a_rError);
}

bool writeBytes(const std::string& a_rPath, const std::vector<uint8_t>& a_rBytes,
                std::string& a_rError) {
  return writeWholeFile(a_rPath, a_rBytes.data(), a_rBytes.size(), a_rError);
}

// The card's flash as the section describes it, unless it keeps its own.
bool prepareFlash(const sDeviceSettings& a_rSettings, bool a_KeepFlash, std::string& a_rError) {
  const std::string& l_rDir = a_rSettings.m_StateDir;
  const std::string& l_rName = a_rSettings.m_Name;
  if (a_KeepFlash && hasFlash(l_rDir, l_rName, a_rSettings.m_FlashSize)) {
    uint32_t l_Version = 0;
    return readRunningVersion(l_rDir, l_rName, l_Version, a_rError) ||
           reloadCard(l_rDir, l_rName, l_Version, a_rError);
  }
  using eBootHeader = sDeviceSettings::eBootHeader;
  bool l_HasHeader = a_rSettings.m_BootHeader == eBootHeader::kVersion;
  uint32_t l_Version = a_rSettings.m_BootVersion;
  if (a_rSettings.m_BootHeader == eBootHeader::kRunningVersion) {
    const auto l_Running = a_rSettings.m_Attributes.find(QVZEL_DRV_ATTR_FW_VERSION);
    l_HasHeader = l_Running != a_rSettings.m_Attributes.end();
    if (l_HasHeader) l_Version = l_Running->second;
  }
  return createFactoryFlash(l_rDir, l_rName, a_rSettings.m_FlashSize, l_HasHeader, l_Version,
                            a_rError);
}

bool buildInterface(const sInterfaceSpec& a_rSpec, const std::string& a_rLogDir,
                    const std::string& a_rStateDir, bool a_KeepFlash, std::string& a_rError) {
  const std::string l_Device = std::string(kDriverRoot) + "/" + a_rSpec.m_Directory;
  const std::string l_Interface =
      l_Device + "/deviceInterfaces/" + a_rSpec.m_Class + "\\" + a_rSpec.m_Instance;
  if (!makeDirectories(l_Interface, a_rError) ||
      !makeDirectories(l_Device + "/busProperties", a_rError) ||
      !makeDirectories(l_Device + "/deviceProperties", a_rError)) {
    return false;
  }
  const std::string l_DeviceFile = deviceFilePath(a_rSpec.m_Name);
  const std::string& l_InterfacePath =
      a_rSpec.m_HasInterfacePath ? a_rSpec.m_InterfacePath : l_DeviceFile;
  if (!writeText(l_Interface + "/interfacePath", l_InterfacePath, a_rError)) return false;
  for (const auto& l_Property : a_rSpec.m_BusProperties) {
    if (!writeBytes(l_Device + "/busProperties/" + l_Property.first, l_Property.second, a_rError)) {
      return false;
    }
  }
  for (const auto& l_Property : a_rSpec.m_DeviceProperties) {
    if (!writeBytes(l_Device + "/deviceProperties/" + l_Property.first, l_Property.second,
                    a_rError)) {
      return false;
    }
  }

  sDeviceSettings l_Settings = a_rSpec.m_Driver;
  l_Settings.m_Name = a_rSpec.m_Name;
  l_Settings.m_LogDir = a_rLogDir;
  if (l_Settings.m_FlashSize != 0) {
    l_Settings.m_StateDir = a_rStateDir;
    if (!makeDirectories(a_rStateDir, a_rError) ||
        !prepareFlash(l_Settings, a_KeepFlash, a_rError)) {
      return false;
    }
  }
  if (!writeText(l_DeviceFile, formatDeviceFile(l_Settings), a_rError)) return false;
  // Empty logs: a stale log from an earlier run must not pass for this one.
  return writeText(requestLogPath(a_rLogDir, a_rSpec.m_Name), "", a_rError) &&
         writeText(writeLogPath(a_rLogDir, a_rSpec.m_Name), "", a_rError);
}

}  // namespace

std::string deviceFilePath(const std::string& a_rName) {
  return std::string(kSimRoot) + "/dev/" + a_rName;
}

std::string defaultLogDir() { return std::string(kSimRoot) + "/log"; }

std::string defaultStateDir() { return std::string(kSimRoot) + "/flash"; }

bool isPrivateDriverTree() {
  struct statfs l_Fs;
  return ::statfs(kProcDriver, &l_Fs) == 0 && l_Fs.f_type == TMPFS_MAGIC;
}

bool makeDirectories(const std::string& a_rPath, std::string& a_rError) {
  for (size_t l_Slash = a_rPath.find('/', 1);; l_Slash = a_rPath.find('/', l_Slash + 1)) {
    const std::string l_Part = a_rPath.substr(0, l_Slash);
    if (::mkdir(l_Part.c_str(), 0755) != 0 && errno != EEXIST) {
      a_rError = l_Part + ": cannot be created: " + std::strerror(errno);
      return false;
    }
    if (l_Slash == std::string::npos) return true;
  }
}

bool writeWholeFile(const std::string& a_rPath, const void* a_pData, size_t a_Size,
                    std::string& a_rError) {
  const int l_Fd = ::open(a_rPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (l_Fd == -1) {
    a_rError = a_rPath + ": cannot be written: " + std::strerror(errno);
    return false;
  }
  const char* l_pBytes = static_cast<const char*>(a_pData);
  size_t l_Done = 0;
  while (l_Done < a_Size) {
    const ssize_t l_Written = ::write(l_Fd, l_pBytes + l_Done, a_Size - l_Done);
    if (l_Written <= 0) {
      a_rError = a_rPath + ": write failed: " + std::strerror(errno);
      ::close(l_Fd);
      return false;
    }
    l_Done += static_cast<size_t>(l_Written);
  }
  ::close(l_Fd);
  return true;
}

bool buildDriverTree(const std::vector<sInterfaceSpec>& a_rInterfaces, const std::string& a_rLogDir,
                     const std::string& a_rStateDir, bool a_KeepFlash, std::string& a_rError) {
  if (!isPrivateDriverTree()) {
    a_rError = "/proc/driver is not a private tree; enter one first";
    return false;
  }
  if (!removeDriverTree(a_rError) || !makeDirectories(kDriverRoot, a_rError) ||
      !makeDirectories(std::string(kSimRoot) + "/dev", a_rError) ||
      !makeDirectories(a_rLogDir, a_rError)) {
    return false;
  }
  for (const sInterfaceSpec& l_Spec : a_rInterfaces) {
    if (!buildInterface(l_Spec, a_rLogDir, a_rStateDir, a_KeepFlash, a_rError)) return false;
  }
  return true;
}

bool removeDriverTree(std::string& a_rError) {
  if (!isPrivateDriverTree()) {
    a_rError = "/proc/driver is not a private tree; enter one first";
    return false;
  }
  // Only the tree and the device files: logs kept in the default log
  // directory survive until the next build empties them.
  return removeRecursively(kDriverRoot, a_rError) &&
         removeRecursively(std::string(kSimRoot) + "/dev", a_rError);
}

}  // namespace nQvDriverSim_1_0
