// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated backend: builds the bridge tree from the [bridge NAME] and
// [pcibrd] sections of the system description named by QVPCIBRD_SYSTEM
// (read when a session opens). Attributes live in the tree; EEPROM updates
// are checked and then accepted without effect.
#pragma once

#include <string>

#include "cSystemFile.h"
#include "iPciBrdBackend.h"

namespace qvpcibrd {

constexpr const char* kSystemVariable = "QVPCIBRD_SYSTEM";

// The results the description injects into a tree (its fail. keys), looked
// up by the entry points of the builds for tests.

// True when a_rName is an entry point's name without its QvPciBrd_ prefix.
bool isEntryPointName(const std::string& a_rName);
// The hex form used in fault qualifiers, e.g. "0x20000B00".
std::string attributeQualifier(uint32_t a_AttributeId);
// The injected result for a call about bridge a_Index (-1: about none), or
// null when none. The most specific entry wins: bridge with qualifier,
// bridge, global with qualifier, global.
const int32_t* injectedFault(const cPciTree& a_rTree, const std::string& a_rCall, int a_Index,
                             const std::string& a_rQualifier);

class cSimBackend : public iPciBrdBackend {
 public:
  int32_t loadTree(cPciTree& a_rTree) override;
  int32_t readAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                        uint32_t& a_rValue) override;
  int32_t writeAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                         uint32_t a_Value) override;
  int32_t updateEeprom(cPciTree& a_rTree, int a_Index, uint32_t a_AlwaysOverwrite,
                       uint32_t a_UpdateMethod, const uint8_t* a_pImage,
                       uint32_t a_ByteCount) override;

  // Builds a tree from an already parsed description; false with a message
  // when a section is inconsistent.
  static bool buildTree(const nQvSimSystem_1_0::cSystemFile& a_rFile, cPciTree& a_rTree,
                        std::string& a_rError);
};

}  // namespace qvpcibrd
