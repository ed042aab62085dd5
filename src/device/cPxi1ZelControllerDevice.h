// SPDX-License-Identifier: LGPL-2.1-or-later
// A PXI-1 link controller: the chassis end of a link, found through a model
// table row or named in the controller description file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/iZelDevice.h"
#include "pcibridge/iPciBrdWrapper_sc.h"
#include "qvzelif.h"

namespace nQVZEL_15_0 {

constexpr size_t kIdselMapSize = QVZEL_IDSEL_MAP_SIZE;

// The IDSEL map every controller hands out: entries 0 to 16 are 0xFF, entry n
// from 17 to 31 is n - 16.
extern const uint8_t kIdselMap[kIdselMapSize];

class cPxi1ZelControllerDevice : public iZelDevice {
 public:
  // Found through a model row: reads bus and attribute QVPCIBRD_ATTR_PORT_NUMBER of the
  // bridge at the device's first slot path.
  cPxi1ZelControllerDevice(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc* a_pPciBrd,
                           const sModelEntry* a_pModel,
                           const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo, Status& a_rStatus);
  // Named in the controller file: reports the file's vendor and model texts
  // and reads attribute QVPCIBRD_ATTR_PORT_NUMBER of the bridge found for it.
  cPxi1ZelControllerDevice(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc* a_pPciBrd,
                           const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo,
                           const std::string& a_rVendor, const std::string& a_rModelName,
                           uint32_t a_BridgeRef, Status& a_rStatus);
  ~cPxi1ZelControllerDevice() override;

  void getU32Attribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus) override;
  void getStringAttribute(uint32_t a_Id, const char** a_ppValue, Status& a_rStatus) override;

  // Writes the address of kIdselMap.
  void getIDSELMap(const uint8_t** a_ppMap, Status& a_rStatus);

 private:
  // A value the bridge library does not serve leaves the controller listed
  // without it.
  void readBridgeAttr300(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc* a_pPciBrd, uint32_t a_BridgeRef,
                         Status& a_rStatus);

  uint8_t m_BridgeBus;
  uint32_t m_BridgeAttr300;
  bool m_BridgeAttr300Served;   // false: reading it answers not supported
  std::string m_Vendor;         // empty for a controller from the model table
  std::string m_ModelNameText;  // empty for a controller from the model table
};

}  // namespace nQVZEL_15_0
