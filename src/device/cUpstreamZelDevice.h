// SPDX-License-Identifier: LGPL-2.1-or-later
// The upstream link device: the card on the host side of a link. Reports its
// ports, serial and part numbers and live link values, and writes firmware
// images into the card's flash through the kernel driver.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "device/iZelDevice.h"
#include "device/sPortInfo.h"
#include "device/tInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "driver/sEntryIdentity.h"
#include "driver/sInterfacePath.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

namespace nQVKORA000 {
class tDeviceInterfaceIterator;
}

class cUpstreamZelDevice : public iZelDevice {
 public:
  // a_pEntry: the driver entry the device was found through (its serial
  // number included), or null for a device found by its PCI identifiers.
  cUpstreamZelDevice(nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc* a_pPciBrd,
                     const sModelEntry* a_pModel,
                     const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo, const tPortList& a_rPorts,
                     const nQVKORA000::sEntryIdentity* a_pEntry,
                     const boost::shared_ptr<tInterfaceProxy_Cyclone4UpstreamZEL>& a_rProxy,
                     Status& a_rStatus);
  ~cUpstreamZelDevice() override;

  void getU32Attribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus) override;
  void getStringAttribute(uint32_t a_Id, const char** a_ppValue, Status& a_rStatus) override;

  // Opens the driver interface of this very card: the one of the entry the
  // device was found through, when it still shows everything discovery saw
  // of it; for a device found by PCI identifiers, the only entry with its
  // bus, device and function numbers. Anything else is not found, and no
  // device file is opened. An open device stays as it is.
  virtual void openDevice(Status& a_rStatus);
  virtual void closeDevice();
  // Checks a firmware image against the card and hands its decoded bytes to
  // the driver. Only bit 0 of a_Force counts: write even when not newer.
  virtual void updateFirmware(const void* a_pImage, uint32_t a_Length, uint32_t a_Force,
                              Status& a_rStatus);

  const tPortList& ports() const { return m_Ports; }

 private:
  // True when the register proxy is there and open; otherwise records not
  // found (no proxy) or internal (not open).
  bool hasOpenProxy(Status& a_rStatus) const;
  // A 32-bit attribute read from the card through the open driver interface.
  void readDriverAttribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus);
  // The bridge that carries the device's live link: the one above its bus,
  // or the model row's number of levels up from the device.
  uint32_t findLinkBridge(Status& a_rStatus) const;
  // A bridge attribute of that bridge, read now; an attribute the bridge
  // library does not serve reads as 0 with success.
  uint32_t readLinkAttribute(uint32_t a_BridgeAttribute, Status& a_rStatus);
  // Positions a_rIterator on this device's own entry and reads its interface
  // path; false when there is no such entry or it cannot be told apart.
  bool findOwnEntry(nQVKORA000::tDeviceInterfaceIterator& a_rIterator,
                    nQVKORA000::sInterfacePath& a_rPath, Status& a_rStatus) const;
  // The port addressed by a_Index, or null after recording invalid parameter.
  const sPortInfo* portAt(uint32_t a_Index, Status& a_rStatus) const;

  tPortList m_Ports;
  uint32_t m_PortWidth;
  // What discovery saw of the device's driver entry; m_HasEntry is false for
  // a device found by PCI identifiers, whose serial number is then empty.
  bool m_HasEntry;
  nQVKORA000::sEntryIdentity m_Entry;
  nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc* m_PciBrd;
  boost::shared_ptr<tInterfaceProxy_Cyclone4UpstreamZEL> m_Proxy;
};

}  // namespace nQVZEL_15_0
