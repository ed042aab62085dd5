// SPDX-License-Identifier: LGPL-2.1-or-later
// Base of every device object handed to callers: answers the attributes all
// devices share and fixes the attribute identifier rule.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "device/sCommonDeviceInfo.h"
#include "device/sModelEntry.h"
#include "status/Status.h"

namespace nQVZEL_15_0 {

// The vendor name every device reports unless told otherwise.
constexpr const char kVendorName[] = "Quovex";

class iZelDevice {
 public:
  // a_pModel may be null (a controller known only from the controller file).
  // The first slot path is formatted once here; a formatting failure goes to
  // a_rStatus and leaves the text empty.
  iZelDevice(const sModelEntry* a_pModel, const boost::shared_ptr<sCommonDeviceInfo>& a_rInfo,
             Status& a_rStatus);
  virtual ~iZelDevice();
  iZelDevice(const iZelDevice&) = delete;
  iZelDevice& operator=(const iZelDevice&) = delete;

  // Writes a 32-bit attribute; unknown identifiers record invalid parameter.
  virtual void getU32Attribute(uint32_t a_Id, uint32_t* a_pValue, Status& a_rStatus);
  // Writes a pointer to a text owned by the device, the model table or a
  // constant; unknown identifiers record invalid parameter.
  virtual void getStringAttribute(uint32_t a_Id, const char** a_ppValue, Status& a_rStatus);

  // The identifier rule: when bits 12 to 15 are all set, bits 0 to 3 are an
  // index and the identifier is looked up with them cleared; otherwise it is
  // looked up unchanged with index 0.
  static void splitAttributeId(uint32_t a_Id, uint32_t* a_pBase, uint32_t* a_pIndex);
  // The checks every attribute read starts with: false when the status
  // already holds an error, or when a_pOut is null (invalid parameter is then
  // recorded); otherwise true, with the identifier split by the rule above.
  static bool startAttributeRead(uint32_t a_Id, const void* a_pOut, uint32_t& a_rBase,
                                 uint32_t& a_rIndex, Status& a_rStatus);

  const sModelEntry* getModel() const { return m_Model; }
  const boost::shared_ptr<sCommonDeviceInfo>& getInfo() const { return m_Info; }

 protected:
  const sModelEntry* m_Model;  // row of g_ModelTable, not owned; may be null
  boost::shared_ptr<sCommonDeviceInfo> m_Info;
  std::string m_SlotPathText;
};

}  // namespace nQVZEL_15_0
