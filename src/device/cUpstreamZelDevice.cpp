// SPDX-License-Identifier: LGPL-2.1-or-later
#include "device/cUpstreamZelDevice.h"

#include "device/BridgeAttribute.h"
#include "device/sModelEntry.h"
#include "driver/tDeviceInterfaceIterator.h"
#include "image/ImageCheck.h"
#include "qvpcibrd.h"
#include "qvzelif.h"
#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

using tIterator = nQVKORA000::tDeviceInterfaceIterator;

namespace {

constexpr const char kDeviceDescription[] = "PXI Bus Extension Module";

// The card's values for the image check, read through the driver when the
// check asks for them.
class cDriverCard : public iImageCard {
 public:
  explicit cDriverCard(iZelDevice& a_rDevice) : m_rDevice(a_rDevice) {}
  uint32_t flashId(Status& a_rStatus) override { return read(QVZEL_ATTR_FLASH_ID, a_rStatus); }
  uint32_t subsystemId(Status& a_rStatus) override {
    return read(QVZEL_ATTR_CARD_SUBSYSTEM_ID, a_rStatus);
  }
  uint32_t installedVersion(Status& a_rStatus) override {
    return read(QVZEL_ATTR_FIRMWARE_VERSION, a_rStatus);
  }

 private:
  uint32_t read(uint32_t a_Id, Status& a_rStatus) {
    uint32_t l_Value = 0;
    m_rDevice.getU32Attribute(a_Id, &l_Value, a_rStatus);
    return l_Value;
  }
  iZelDevice& m_rDevice;
};

}  // namespace

cUpstreamZelDevice::cUpstreamZelDevice(
    nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc* a_pPciBrd, const sModelEntry* a_pModel,
    const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo, const tPortList& a_rPorts,
    const nQVKORA000::sEntryIdentity* a_pEntry,
    const boost::shared_ptr<tInterfaceProxy_Cyclone4UpstreamZEL>& a_rProxy, Status& a_rStatus)
    : iZelDevice(a_pModel, a_rInfo, a_rStatus),
      m_Ports(a_rPorts),
      m_PortWidth(0),
      m_HasEntry(a_pEntry != nullptr),
      m_Entry(a_pEntry != nullptr ? *a_pEntry : nQVKORA000::sEntryIdentity()),
      m_PciBrd(a_pPciBrd),
      m_Proxy(a_rProxy) {
  if (a_rStatus.isNotFatal() && a_pModel != nullptr) {
    m_PortWidth = a_pModel->m_PortWidth;
  }
}

// The proxy closes its file when its last owner lets go of it.
cUpstreamZelDevice::~cUpstreamZelDevice() = default;

const sPortInfo* cUpstreamZelDevice::portAt(uint32_t a_Index, Status& a_rStatus) const {
  if (a_Index >= m_Ports.size()) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return nullptr;
  }
  return &m_Ports[a_Index];
}

void cUpstreamZelDevice::getStringAttribute(uint32_t a_Id, const char** a_ppValue,
                                            Status& a_rStatus) {
  uint32_t l_Base = 0;
  uint32_t l_Index = 0;
  if (!startAttributeRead(a_Id, a_ppValue, l_Base, l_Index, a_rStatus)) return;

  switch (l_Base) {
    case QVZEL_ATTR_SERIAL_NUMBER:
      // The empty text is handed out too, with "not supported".
      *a_ppValue = m_Entry.m_SerialNumber.c_str();
      if (m_Entry.m_SerialNumber.empty()) QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
      return;
    case QVZEL_ATTR_PORT_NAME: {
      const sPortInfo* l_pPort = portAt(l_Index, a_rStatus);
      if (l_pPort != nullptr) *a_ppValue = l_pPort->m_Name.c_str();
      return;
    }
    case QVZEL_ATTR_PART_NUMBER:
      if (m_Model == nullptr || m_Model->m_PartNumber == nullptr) {
        QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
        return;
      }
      *a_ppValue = m_Model->m_PartNumber;
      return;
    case QVZEL_ATTR_DEVICE_DESCRIPTION:
      *a_ppValue = kDeviceDescription;
      return;
    default:
      iZelDevice::getStringAttribute(a_Id, a_ppValue, a_rStatus);
      return;
  }
}

void cUpstreamZelDevice::getU32Attribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus) {
  uint32_t l_Base = 0;
  uint32_t l_Index = 0;
  if (!startAttributeRead(a_Id, a_pValue, l_Base, l_Index, a_rStatus)) return;

  switch (l_Base) {
    case QVZEL_ATTR_DEVICE_CLASS:
      *a_pValue = QVZEL_DEVICE_CLASS_UPSTREAM;
      return;
    case QVZEL_ATTR_PORT_COUNT:
      *a_pValue = static_cast<uint32_t>(m_Ports.size());
      return;
    case QVZEL_ATTR_PORT_NUMBER: {
      const sPortInfo* l_pPort = portAt(l_Index, a_rStatus);
      if (l_pPort == nullptr) return;
      if (!l_pPort->m_BridgeAttr300Served) {
        QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
        return;
      }
      *a_pValue = l_pPort->m_BridgeAttr300;
      return;
    }
    case QVZEL_ATTR_LINK_STATUS:
      *a_pValue = readLinkAttribute(QVPCIBRD_ATTR_LINK_STATUS, a_rStatus);
      return;
    case QVZEL_ATTR_LINK_SPEED:
      *a_pValue = readLinkAttribute(QVPCIBRD_ATTR_LINK_SPEED, a_rStatus);
      return;
    case QVZEL_ATTR_PORT_LINK_WIDTH:
    case QVZEL_ATTR_PORT_LINK_SPEED: {
      const sPortInfo* l_pPort = portAt(l_Index, a_rStatus);
      if (l_pPort == nullptr) return;
      const uint32_t l_Value = (l_Base == QVZEL_ATTR_PORT_LINK_WIDTH) ? l_pPort->m_BridgeAttrB00
                                                                      : l_pPort->m_BridgeAttrC00;
      if (l_Value == 0) {
        QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
        return;
      }
      *a_pValue = l_Value;
      return;
    }
    case QVZEL_ATTR_PORT_WIDTH:
      if (m_PortWidth == 0) {
        QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
        return;
      }
      *a_pValue = m_PortWidth;
      return;
    case QVZEL_ATTR_FIRMWARE_VERSION:
    case QVZEL_ATTR_FLASH_ID:
    case QVZEL_ATTR_DRIVER_E0:
    case QVZEL_ATTR_DRIVER_F0:
    case QVZEL_ATTR_CARD_SUBSYSTEM_ID:
      readDriverAttribute(l_Base, a_pValue, a_rStatus);
      return;
    default:
      iZelDevice::getU32Attribute(a_Id, a_pValue, a_rStatus);
      return;
  }
}

bool cUpstreamZelDevice::hasOpenProxy(Status& a_rStatus) const {
  if (!m_Proxy) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
    return false;
  }
  if (!m_Proxy->isOpen()) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    return false;
  }
  return true;
}

void cUpstreamZelDevice::readDriverAttribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !hasOpenProxy(a_rStatus)) return;
  uint32_t l_Size = sizeof(uint32_t);
  m_Proxy->getAttribute(a_Id, a_pValue, &l_Size, a_rStatus);
}

uint32_t cUpstreamZelDevice::findLinkBridge(Status& a_rStatus) const {
  uint32_t l_Bridge = 0;
  {
    JsonStatusScope l_Scope(a_rStatus);
    m_PciBrd->FindParentBridgeForBus(m_Info->m_Bus, l_Bridge, l_Scope.json());
  }
  const uint32_t l_Level = (m_Model != nullptr) ? m_Model->m_LinkBridgeLevel : 0;
  for (uint32_t l_Up = 1; l_Up < l_Level; ++l_Up) {
    uint32_t l_Parent = 0;
    JsonStatusScope l_Scope(a_rStatus);
    m_PciBrd->GetBridgeParent(l_Bridge, l_Parent, l_Scope.json());
    l_Bridge = l_Parent;
  }
  return l_Bridge;
}

uint32_t cUpstreamZelDevice::readLinkAttribute(uint32_t a_BridgeAttribute, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  if (m_PciBrd == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    return 0;
  }
  const uint32_t l_Bridge = findLinkBridge(a_rStatus);
  // A value the bridge library does not serve, or a failed read, is 0.
  uint32_t l_Value = 0;
  readServedBridgeAttribute(*m_PciBrd, l_Bridge, a_BridgeAttribute, l_Value, a_rStatus);
  return l_Value;
}

bool cUpstreamZelDevice::findOwnEntry(tIterator& a_rIterator, nQVKORA000::sInterfacePath& a_rPath,
                                      Status& a_rStatus) const {
  if (m_HasEntry) {
    // The entry discovery found the device through: the same device
    // directory, and there the same numbers, domain and serial number. Any
    // other entry may carry this device's numbers too (a stale entry, a card
    // in another PCI domain, a card moved onto its bus).
    for (; !a_rIterator.atEnd(); a_rIterator.advance()) {
      if (a_rIterator.currentDeviceDirectory() != m_Entry.m_DeviceDirectory) continue;
      Status l_Entry;
      nQVKORA000::sEntryIdentity l_Now;
      a_rIterator.readIdentity(l_Now, l_Entry);
      if (l_Entry.isNotFatal() && l_Now == m_Entry) {
        a_rIterator.readInterfacePath(&a_rPath, a_rStatus);
        return true;
      }
    }
    return false;
  }
  // A device found by its PCI identifiers is known by its numbers alone:
  // when two entries carry them, the card cannot be told apart.
  bool l_Found = false;
  for (; !a_rIterator.atEnd(); a_rIterator.advance()) {
    // Each entry has a status of its own: one whose numbers cannot be read
    // is skipped and hides none of the entries after it.
    Status l_Entry;
    const uint32_t l_Bus = a_rIterator.readBusU32(tIterator::kPciBusNumber, l_Entry);
    const uint32_t l_Device = a_rIterator.readBusU32(tIterator::kPciDeviceNumber, l_Entry);
    const uint32_t l_Function = a_rIterator.readBusU32(tIterator::kPciFunctionNumber, l_Entry);
    if (l_Entry.isFatal() || (l_Bus & 0xFF) != m_Info->m_Bus ||
        (l_Device & 0xFF) != m_Info->m_Device || (l_Function & 0xFF) != m_Info->m_Function) {
      continue;
    }
    if (l_Found) return false;
    l_Found = true;
    a_rIterator.readInterfacePath(&a_rPath, a_rStatus);
  }
  return l_Found;
}

void cUpstreamZelDevice::openDevice(Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (m_Proxy && m_Proxy->isOpen()) return;

  Status l_Local;
  tIterator l_Iterator;
  l_Iterator.startIteration(kUpstreamInterfaceClass, l_Local);
  if (l_Local.isFatal()) {
    // The driver's entries could not be walked: the device stays closed, and
    // the caller must learn so rather than meet -52003 at its first read.
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
    return;  // the iterator frees its glob result itself
  }

  nQVKORA000::sInterfacePath l_Path;
  if (!findOwnEntry(l_Iterator, l_Path, l_Local)) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
    return;
  }
  if (!m_Proxy) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
    return;
  }
  m_Proxy->open(l_Path, l_Local);
  if (l_Local.isFatal()) {
    closeDevice();
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInternal);
  }
}

void cUpstreamZelDevice::closeDevice() {
  if (m_Proxy && m_Proxy->isOpen()) m_Proxy->close();
}

void cUpstreamZelDevice::updateFirmware(const void* a_pImage, uint32_t a_Length, uint32_t a_Force,
                                        Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  const char* l_pImage = static_cast<const char*>(a_pImage);
  cDriverCard l_Card(*this);
  sImageWrite l_Write;
  checkImageForCard(l_pImage, a_Length, a_Force, l_Card, l_Write, a_rStatus);
  if (a_rStatus.isFatal() || !hasOpenProxy(a_rStatus)) return;
  m_Proxy->updateFirmware(l_Write.m_Check.m_pBytes.get(), l_Write.m_Check.m_DecodedLength,
                          l_Write.m_PinOutAddr, l_Write.m_PinOutVer, l_Write.m_Offset, a_rStatus);
}

}  // namespace nQVZEL_15_0
