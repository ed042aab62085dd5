// SPDX-License-Identifier: LGPL-2.1-or-later
// The running machine's backend: builds the bridge tree from one reading of
// sysfs (QVPCIBRD_SYSFS_ROOT, default /sys) when a session opens, so every
// later call of the session answers from that snapshot; only a bridge's
// link values are read later, when they are first asked for (cSysfsLink).
// It never writes to hardware: attribute writes and EEPROM updates are
// refused.
#pragma once

#include <string>
#include <vector>

#include "cSysfsLink.h"
#include "cSysfsSnapshot.h"
#include "iPciBrdBackend.h"

namespace qvpcibrd {

constexpr const char* kSysfsRootVariable = "QVPCIBRD_SYSFS_ROOT";
constexpr const char* kDefaultSysfsRoot = "/sys";

class cSysfsBackend : public iPciBrdBackend {
 public:
  int32_t loadTree(cPciTree& a_rTree) override;
  int32_t readAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                        uint32_t& a_rValue) override;
  int32_t writeAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                         uint32_t a_Value) override;
  int32_t updateEeprom(cPciTree& a_rTree, int a_Index, uint32_t a_AlwaysOverwrite,
                       uint32_t a_UpdateMethod, const uint8_t* a_pImage,
                       uint32_t a_ByteCount) override;

  // The tree of one snapshot: the PCI-to-PCI bridges, every function with a
  // bus below it and the functions of the link products; false with a
  // message when the tree is inconsistent. A bridge's link values are read
  // when they are first asked for.
  bool buildTree(cSysfsSnapshot& a_rSnapshot, cPciTree& a_rTree, std::string& a_rError);
  // The root directory a new session reads.
  static std::string root();

 private:
  std::vector<cSysfsLink> m_Links;  // each bridge's link values, by index in the tree
};

}  // namespace qvpcibrd
