// SPDX-License-Identifier: LGPL-2.1-or-later
// The source a session's bridge tree comes from. Each source (the simulated
// system description, the running machine) is one implementation in a file
// of its own; the entry points know only this interface.
#pragma once

#include <cstdint>
#include <memory>

#include "cPciTree.h"

namespace qvpcibrd {

class iPciBrdBackend {
 public:
  virtual ~iPciBrdBackend() {}
  // Builds the tree a new session works on; a non-zero result is returned
  // by QvPciBrd_OpenSession and no session is opened when it is negative.
  virtual int32_t loadTree(cPciTree& a_rTree) = 0;
  virtual int32_t readAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                                uint32_t& a_rValue) = 0;
  virtual int32_t writeAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                                 uint32_t a_Value) = 0;
  virtual int32_t updateEeprom(cPciTree& a_rTree, int a_Index, uint32_t a_AlwaysOverwrite,
                               uint32_t a_UpdateMethod, const uint8_t* a_pImage,
                               uint32_t a_ByteCount) = 0;
};

// Chooses the backend for a new session.
std::unique_ptr<iPciBrdBackend> createBackend();

}  // namespace qvpcibrd
