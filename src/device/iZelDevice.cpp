// SPDX-License-Identifier: LGPL-2.1-or-later
#include "device/iZelDevice.h"

#include "qvzelif.h"

namespace nQVZEL_15_0 {

namespace {

constexpr uint32_t kIndexedIdMask = 0xF000u;
constexpr uint32_t kIndexMask = 0xFu;

}  // namespace

iZelDevice::iZelDevice(const sModelEntry* a_pModel,
                       const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo, Status& a_rStatus)
    : m_Model(a_pModel), m_Info(a_rInfo) {
  if (a_rStatus.isFatal()) return;
  if (!m_Info || m_Info->m_SlotPaths.empty()) {
    // Discovery always supplies a slot path; without one there is nothing to
    // report, so refuse rather than read an element that is not there.
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  m_Info->m_SlotPaths[0].GetText(m_SlotPathText, a_rStatus);
  if (a_rStatus.isFatal()) m_SlotPathText.clear();
}

iZelDevice::~iZelDevice() = default;

void iZelDevice::splitAttributeId(uint32_t a_Id, uint32_t* a_pBase, uint32_t* a_pIndex) {
  const bool l_Indexed = (a_Id & kIndexedIdMask) == kIndexedIdMask;
  if (a_pBase != nullptr) *a_pBase = l_Indexed ? (a_Id & ~kIndexMask) : a_Id;
  if (a_pIndex != nullptr) *a_pIndex = l_Indexed ? (a_Id & kIndexMask) : 0;
}

bool iZelDevice::startAttributeRead(uint32_t a_Id, const void* a_pOut, uint32_t& a_rBase,
                                    uint32_t& a_rIndex, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return false;
  if (a_pOut == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return false;
  }
  splitAttributeId(a_Id, &a_rBase, &a_rIndex);
  return true;
}

void iZelDevice::getU32Attribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus) {
  uint32_t l_Id = 0;
  uint32_t l_Index = 0;
  if (!startAttributeRead(a_Id, a_pValue, l_Id, l_Index, a_rStatus)) return;
  switch (l_Id) {
    case QVZEL_ATTR_VENDOR_ID:
      *a_pValue = (m_Model == nullptr)                  ? 0u
                  : (m_Model->m_SubsystemVendorId != 0) ? m_Model->m_SubsystemVendorId
                                                        : m_Model->m_VendorId;
      return;
    case QVZEL_ATTR_PRODUCT_ID:
      *a_pValue = (m_Model == nullptr)            ? 0u
                  : (m_Model->m_SubsystemId != 0) ? m_Model->m_SubsystemId
                                                  : m_Model->m_DeviceId;
      return;
    case QVZEL_ATTR_PCI_BUS:
    case QVZEL_ATTR_PCI_DEVICE:
    case QVZEL_ATTR_PCI_FUNCTION:
      if (!m_Info) break;
      *a_pValue = (l_Id == QVZEL_ATTR_PCI_BUS)      ? m_Info->m_Bus
                  : (l_Id == QVZEL_ATTR_PCI_DEVICE) ? m_Info->m_Device
                                                    : m_Info->m_Function;
      return;
    default:
      break;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
}

void iZelDevice::getStringAttribute(uint32_t a_Id, const char** a_ppValue, Status& a_rStatus) {
  uint32_t l_Id = 0;
  uint32_t l_Index = 0;
  if (!startAttributeRead(a_Id, a_ppValue, l_Id, l_Index, a_rStatus)) return;
  switch (l_Id) {
    case QVZEL_ATTR_VENDOR_NAME:
      *a_ppValue = kVendorName;
      return;
    case QVZEL_ATTR_MODEL_NAME:
      // No row (or the terminating row): there is no model name to hand out.
      if (m_Model == nullptr || m_Model->m_ModelName == nullptr) break;
      *a_ppValue = m_Model->m_ModelName;
      return;
    case QVZEL_ATTR_SLOT_PATH:
    case QVZEL_ATTR_SLOT_PATH_2:
      *a_ppValue = m_SlotPathText.c_str();
      return;
    default:
      break;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
}

}  // namespace nQVZEL_15_0
