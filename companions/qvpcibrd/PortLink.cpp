// SPDX-License-Identifier: LGPL-2.1-or-later
#include "PortLink.h"

#include "qvpcibrd.h"

namespace qvpcibrd {

bool isLinkAttribute(uint32_t a_AttributeId) {
  return a_AttributeId == QVPCIBRD_ATTR_LINK_STATUS || a_AttributeId == QVPCIBRD_ATTR_LINK_WIDTH ||
         a_AttributeId == QVPCIBRD_ATTR_LINK_SPEED;
}

bool readLinkAttribute(iPortLink& a_rLink, uint32_t a_AttributeId, uint32_t& a_rValue) {
  uint32_t l_Width = 0, l_Speed = 0;
  switch (a_AttributeId) {
    case QVPCIBRD_ATTR_LINK_WIDTH:
      return a_rLink.builtWidth(a_rValue);
    case QVPCIBRD_ATTR_LINK_SPEED:
      return a_rLink.speed(a_rValue);
    case QVPCIBRD_ATTR_LINK_STATUS:
      if (!a_rLink.trainedWidth(l_Width) || !a_rLink.speed(l_Speed)) return false;
      a_rValue = (l_Speed & 0xF) | (l_Width & 0x3F) << 4;
      return true;
    default:
      return false;
  }
}

}  // namespace qvpcibrd
