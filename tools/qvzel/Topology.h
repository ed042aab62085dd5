// Link topology from slot paths: which controller hangs below which port of
// which upstream link device.
//
// A slot path text "MRrr:c0,c1,...,cn" lists device/function codes from the
// function itself (c0) up to the one on root bus rr (cn). An upstream device
// reports the slot path of its first port's bridge; its other ports' bridges
// sit beside that one, at the next device numbers. A controller hangs below a
// port when the port bridge's path is a strict tail of the controller's path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sItemRecord.h"

namespace nQvzelTool {

struct sParsedSlotPath {
  uint8_t m_RootBus = 0;
  std::vector<uint8_t> m_Codes;  // front (deepest) first
};

// Parses the hex text form; false when the text is not in that form.
bool parseSlotPath(const std::string& a_rText, sParsedSlotPath& a_rPath);

// The port of a_rUpstream that a_rController hangs below, or -1. The result
// also tells how deep the port sits (a larger depth is a closer match).
int findPortBelow(const sItemRecord& a_rUpstream, const sItemRecord& a_rController,
                  size_t& a_rDepth);

// Fills m_Attachment of every controller: the closest upstream port above it.
void attachControllers(std::vector<sItemRecord>& a_rItems);

}  // namespace nQvzelTool
