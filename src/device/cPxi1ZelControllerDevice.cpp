// SPDX-License-Identifier: LGPL-2.1-or-later
#include "device/cPxi1ZelControllerDevice.h"

#include "device/BridgeAttribute.h"
#include "qvpcibrd.h"
#include "qvzelif.h"
#include "status/JsonStatus.h"

namespace nQVZEL_15_0 {

using nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc;

const uint8_t kIdselMap[kIdselMapSize] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
};

cPxi1ZelControllerDevice::cPxi1ZelControllerDevice(
    iPciBrdWrapper_sc* a_pPciBrd, const sModelEntry* a_pModel,
    const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo, Status& a_rStatus)
    : iZelDevice(a_pModel, a_rInfo, a_rStatus),
      m_BridgeBus(0),
      m_BridgeAttr300(0),
      m_BridgeAttr300Served(true) {
  if (a_rStatus.isFatal()) return;
  if (a_pPciBrd == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    return;
  }
  // The base construction has checked that a first slot path exists.
  uint32_t l_Bridge = 0;
  {
    JsonStatusScope l_Scope(a_rStatus);
    a_pPciBrd->FindBridgeBySlotPath(m_Info->m_SlotPaths[0], l_Bridge, l_Scope);
  }
  {
    JsonStatusScope l_Scope(a_rStatus);
    a_pPciBrd->GetBridgeAddress(l_Bridge, &m_BridgeBus, nullptr, nullptr, l_Scope);
  }
  readBridgeAttr300(a_pPciBrd, l_Bridge, a_rStatus);
}

cPxi1ZelControllerDevice::cPxi1ZelControllerDevice(
    iPciBrdWrapper_sc* a_pPciBrd, const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo,
    const std::string& a_rVendor, const std::string& a_rModelName, uint32_t a_BridgeRef,
    Status& a_rStatus)
    : iZelDevice(nullptr, a_rInfo, a_rStatus),
      m_BridgeBus(0),
      m_BridgeAttr300(0),
      m_BridgeAttr300Served(true),
      m_Vendor(a_rVendor),
      m_ModelNameText(a_rModelName) {
  if (m_Info) m_BridgeBus = m_Info->m_Bus;
  if (a_rStatus.isFatal()) return;
  if (a_pPciBrd == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    return;
  }
  readBridgeAttr300(a_pPciBrd, a_BridgeRef, a_rStatus);
}

cPxi1ZelControllerDevice::~cPxi1ZelControllerDevice() = default;

void cPxi1ZelControllerDevice::readBridgeAttr300(iPciBrdWrapper_sc* a_pPciBrd, uint32_t a_BridgeRef,
                                                 Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  m_BridgeAttr300Served = readServedBridgeAttribute(
      *a_pPciBrd, a_BridgeRef, QVPCIBRD_ATTR_PORT_NUMBER, m_BridgeAttr300, a_rStatus);
}

void cPxi1ZelControllerDevice::getU32Attribute(uint32_t a_Id, uint32_t* a_pValue,
                                               Status& a_rStatus) {
  uint32_t l_Id = 0;
  uint32_t l_Index = 0;
  if (!startAttributeRead(a_Id, a_pValue, l_Id, l_Index, a_rStatus)) return;
  switch (l_Id) {
    case QVZEL_ATTR_DEVICE_CLASS:
      *a_pValue = QVZEL_DEVICE_CLASS_CONTROLLER;
      return;
    case QVZEL_ATTR_CONTROLLER_TYPE:
      *a_pValue = QVZEL_CONTROLLER_TYPE_PXI1;
      return;
    case QVZEL_ATTR_CONTROLLER_PORT:
      if (!m_BridgeAttr300Served) {
        QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
        return;
      }
      *a_pValue = m_BridgeAttr300;
      return;
    case QVZEL_ATTR_CONTROLLER_BRIDGE_BUS:
      *a_pValue = m_BridgeBus;
      return;
    case QVZEL_ATTR_IS_INTEGRATED:
      *a_pValue = (m_Model != nullptr && m_Model->m_Integrated == 1) ? 1u : 0u;
      return;
    default:
      iZelDevice::getU32Attribute(a_Id, a_pValue, a_rStatus);
      return;
  }
}

void cPxi1ZelControllerDevice::getStringAttribute(uint32_t a_Id, const char** a_ppValue,
                                                  Status& a_rStatus) {
  uint32_t l_Id = 0;
  uint32_t l_Index = 0;
  if (!startAttributeRead(a_Id, a_ppValue, l_Id, l_Index, a_rStatus)) return;
  if (l_Id == QVZEL_ATTR_VENDOR_NAME && !m_Vendor.empty()) {
    *a_ppValue = m_Vendor.c_str();
    return;
  }
  if (l_Id == QVZEL_ATTR_MODEL_NAME && !m_ModelNameText.empty()) {
    *a_ppValue = m_ModelNameText.c_str();
    return;
  }
  iZelDevice::getStringAttribute(a_Id, a_ppValue, a_rStatus);
}

void cPxi1ZelControllerDevice::getIDSELMap(const uint8_t** a_ppMap, Status& a_rStatus) {
  if (a_rStatus.isFatal() || a_ppMap == nullptr) return;
  *a_ppMap = kIdselMap;
}

}  // namespace nQVZEL_15_0
