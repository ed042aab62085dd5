// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/ControllerFile.h"

#include <sys/stat.h>

#include <boost/make_shared.hpp>
#include <vector>

#include "config/StandardPaths.h"
#include "config/cIniFile.h"
#include "config/cSlotPath.h"
#include "device/cPxi1ZelControllerDevice.h"
#include "device/sCommonDeviceInfo.h"
#include "status/Exception.h"
#include "status/JsonStatus.h"

namespace nQVZEL_15_0 {

using nQvPxiDriverTools_1_0::cIniFile;
using nQvPxiDriverTools_1_0::cSlotPath;

namespace {

constexpr const char kControllerDir[] = "qvpxi";
constexpr const char kControllerFileName[] = "pxicontrollers.ini";

// Builds the controller of one section, or returns null when the section
// lacks a key or names no existing bridge.
boost::shared_ptr<iZelDevice> controllerFromSection(
    cIniFile& a_rFile, const std::string& a_rSection,
    nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc& a_rWrapper) {
  Status l_Section;
  std::string l_Vendor;
  std::string l_Model;
  std::string l_SlotPathText;
  a_rFile.GetString(a_rSection.c_str(), "VendorName", l_Vendor, l_Section);
  a_rFile.GetString(a_rSection.c_str(), "ModelName", l_Model, l_Section);
  a_rFile.GetString(a_rSection.c_str(), "SlotPath", l_SlotPathText, l_Section);
  if (l_Section.isFatal()) return boost::shared_ptr<iZelDevice>();

  std::vector<cSlotPath> l_SlotPaths(1);
  l_SlotPaths[0].SetFromText(l_SlotPathText.c_str(), l_Section);

  uint32_t l_Bridge = 0;
  uint8_t l_Bus = 0;
  uint8_t l_Device = 0;
  uint8_t l_Function = 0;
  {
    JsonStatusScope l_Scope(l_Section);
    a_rWrapper.FindBridgeBySlotPath(l_SlotPaths[0], l_Bridge, l_Scope.json());
  }
  {
    JsonStatusScope l_Scope(l_Section);
    a_rWrapper.GetBridgeAddress(l_Bridge, &l_Bus, &l_Device, &l_Function, l_Scope.json());
  }
  if (l_Section.isFatal()) return boost::shared_ptr<iZelDevice>();

  const boost::shared_ptr<sCommonDeviceInfo> l_Info =
      makeDeviceInfo<sCommonDeviceInfo>(l_Bus, l_Device, l_Function, l_SlotPaths);
  boost::shared_ptr<iZelDevice> l_Controller = boost::make_shared<cPxi1ZelControllerDevice>(
      &a_rWrapper, l_Info, l_Vendor, l_Model, l_Bridge, l_Section);
  if (l_Section.isFatal()) return boost::shared_ptr<iZelDevice>();
  return l_Controller;
}

}  // namespace

std::string controllerFilePath(const std::string& a_rSharedStateDir) {
  return a_rSharedStateDir + "/" + kControllerDir + "/" + kControllerFileName;
}

void addControllersFromFile(tDeviceList& a_rList,
                            nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc& a_rWrapper) {
  std::string l_Dir;
  try {
    getSharedStateDir(l_Dir);
  } catch (const qverr::Exception&) {
    // No usable path table: carry on as if there were no controller file.
    return;
  }
  const std::string l_Path = controllerFilePath(l_Dir);
  struct stat l_Info;
  if (stat(l_Path.c_str(), &l_Info) != 0) return;

  cIniFile l_File;
  Status l_FileStatus;
  std::vector<std::string> l_Sections;
  l_File.Open(l_Path.c_str(), cIniFile::kModeReadOnly, l_FileStatus);
  l_File.GetSectionNames(l_Sections, l_FileStatus);
  if (l_FileStatus.isFatal()) return;

  for (const std::string& l_rSection : l_Sections) {
    boost::shared_ptr<iZelDevice> l_Controller =
        controllerFromSection(l_File, l_rSection, a_rWrapper);
    if (l_Controller) a_rList.push_back(l_Controller);
  }
}

}  // namespace nQVZEL_15_0
