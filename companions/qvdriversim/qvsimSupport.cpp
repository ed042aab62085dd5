// SPDX-License-Identifier: LGPL-2.1-or-later
#include "qvsimSupport.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cardFlash.h"
#include "driverTree.h"
#include "privateNamespace.h"
#include "systemFile.h"
#include "textFields.h"

extern "C" int qvdriversim_linked(void);

namespace nQvDriverSim_1_0 {

namespace {

// The log directory of the system loaded last.
std::string& currentLogDir() {
  static std::string s_LogDir = defaultLogDir();
  return s_LogDir;
}

bool loadInterfaces(const std::vector<sInterfaceSpec>& a_rInterfaces,
                    const std::string& a_rSystemPath, const std::string& a_rLogDir,
                    std::string& a_rError) {
  const std::string l_LogDir = a_rLogDir.empty() ? defaultLogDir() : a_rLogDir;
  // Every load starts from the factory flash: tests do not share a card's state.
  if (!buildDriverTree(a_rInterfaces, l_LogDir, defaultStateDir(), false, a_rError)) return false;
  currentLogDir() = l_LogDir;
  ::setenv("QVPCIBRD_SYSTEM", a_rSystemPath.c_str(), 1);
  return true;
}

}  // namespace

bool enterPrivateDriverTree(std::string& a_rReason) {
  // Keeps the interposer linked: without it device files would not answer.
  if (qvdriversim_linked() != 1) {
    a_rReason = "the simulated driver's interposer is not linked in";
    return false;
  }
  if (!enterPrivateNamespace(a_rReason)) return false;
  return removeDriverTree(a_rReason);
}

bool loadSystemFile(const std::string& a_rPath, std::string& a_rError,
                    const std::string& a_rLogDir) {
  std::vector<sInterfaceSpec> l_Interfaces;
  if (!parseSystemFile(a_rPath, l_Interfaces, a_rError)) return false;
  char l_Absolute[PATH_MAX];
  if (::realpath(a_rPath.c_str(), l_Absolute) == nullptr) {
    a_rError = a_rPath + ": cannot be resolved";
    return false;
  }
  return loadInterfaces(l_Interfaces, l_Absolute, a_rLogDir, a_rError);
}

bool loadSystemText(const std::string& a_rText, std::string& a_rError,
                    const std::string& a_rLogDir) {
  std::vector<sInterfaceSpec> l_Interfaces;
  if (!parseSystemText(a_rText, "system text", l_Interfaces, a_rError)) return false;
  if (!isPrivateDriverTree()) {
    a_rError = "/proc/driver is not a private tree; enter one first";
    return false;
  }
  const std::string l_Path = std::string(kSimRoot) + "/system.ini";
  return makeDirectories(kSimRoot, a_rError) &&
         writeWholeFile(l_Path, a_rText.data(), a_rText.size(), a_rError) &&
         loadInterfaces(l_Interfaces, l_Path, a_rLogDir, a_rError);
}

bool removeSystem(std::string& a_rError) { return removeDriverTree(a_rError); }

bool setDeviceSetting(const std::string& a_rName, const std::string& a_rKey,
                      const std::string& a_rValue, std::string& a_rError) {
  const std::string l_Path = deviceFile(a_rName);
  std::ifstream l_In(l_Path);
  if (!l_In) {
    a_rError = l_Path + ": no such simulated device";
    return false;
  }
  std::ostringstream l_Text;
  l_Text << l_In.rdbuf();
  sDeviceSettings l_Settings;
  if (!parseDeviceFile(l_Text.str(), l_Settings)) {
    a_rError = l_Path + ": not a simulated device file";
    return false;
  }
  if (applyDeviceSetting(l_Settings, a_rKey, a_rValue) != eSettingResult::kApplied ||
      a_rKey == "name" || a_rKey == "logDir" || a_rKey == "stateDir") {
    a_rError = "cannot set " + a_rKey + " to " + a_rValue;
    return false;
  }
  const std::string l_New = formatDeviceFile(l_Settings);
  return writeWholeFile(l_Path, l_New.data(), l_New.size(), a_rError);
}

std::string deviceFile(const std::string& a_rName) { return deviceFilePath(a_rName); }

std::string flashFile(const std::string& a_rName) { return flashPath(defaultStateDir(), a_rName); }

bool reloadCard(const std::string& a_rName, uint32_t& a_rVersion, std::string& a_rError) {
  return nQvDriverSim_1_0::reloadCard(defaultStateDir(), a_rName, a_rVersion, a_rError);
}

std::vector<sFirmwareWrite> firmwareWrites(const std::string& a_rName) {
  std::vector<sFirmwareWrite> l_Writes;
  readWrites(currentLogDir(), a_rName, l_Writes);
  return l_Writes;
}

std::vector<sDriverRequest> driverRequests(const std::string& a_rName) {
  std::vector<sDriverRequest> l_Requests;
  readRequests(currentLogDir(), a_rName, l_Requests);
  return l_Requests;
}

}  // namespace nQvDriverSim_1_0
