// SPDX-License-Identifier: LGPL-2.1-or-later
// The link of a PCI Express port as its hardware shows it, and the bridge
// attributes that both backends derive from it, in one place:
//   0x20000B00  the width the port is built for (Link Capabilities, Maximum
//               Link Width): it says how many of a card's port names the
//               port occupies, so a cable that is missing or a link that
//               trained narrower must not change it;
//   0x20000A00  the live link: speed code | negotiated width << 4, the low
//               ten bits of Link Status (a link that is down reads width 0);
//   0x20000C00  the live speed code.
#pragma once

#include <cstdint>

namespace qvpcibrd {

class iPortLink {
 public:
  virtual ~iPortLink() {}
  // Each answers false when the value cannot be read on this port.
  virtual bool builtWidth(uint32_t& a_rLanes) = 0;
  // Negotiated lanes, 0 while the link is down.
  virtual bool trainedWidth(uint32_t& a_rLanes) = 0;
  // The Link Status speed code: 1 = 2.5 GT/s ... 6 = 64 GT/s, 0 unknown.
  virtual bool speed(uint32_t& a_rCode) = 0;
};

// Whether a_AttributeId is one of the three link attributes.
bool isLinkAttribute(uint32_t a_AttributeId);
// The value of link attribute a_AttributeId; false when the port cannot
// give it or the identifier is no link attribute.
bool readLinkAttribute(iPortLink& a_rLink, uint32_t a_AttributeId, uint32_t& a_rValue);

}  // namespace qvpcibrd
