// SPDX-License-Identifier: LGPL-2.1-or-later
// The link values of one function, read from its sysfs directory when they
// are first asked for and then kept: max_link_width for the width the port
// is built for, current_link_width and current_link_speed for the live
// link, the configuration space (the PCI Express capability) for the port
// number and for a value whose file is missing. Each source is read at
// most once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PortLink.h"

namespace qvpcibrd {

class cSysfsLink : public iPortLink {
 public:
  explicit cSysfsLink(std::string a_Dir);

  // Bits 31:24 of Link Capabilities; false when it cannot be read.
  bool portNumber(uint32_t& a_rValue);
  bool builtWidth(uint32_t& a_rLanes) override;
  bool trainedWidth(uint32_t& a_rLanes) override;
  bool speed(uint32_t& a_rCode) override;

 private:
  void readBuiltWidth();
  void readLiveFiles();
  void readConfig();

  std::string m_Dir;
  bool m_BuiltWidthRead = false;
  bool m_LiveFilesRead = false;
  bool m_ConfigRead = false;
  bool m_HasBuiltWidth = false;
  uint32_t m_BuiltWidth = 0;
  bool m_HasWidth = false;
  uint32_t m_Width = 0;
  bool m_HasSpeed = false;
  std::string m_Speed;            // current_link_speed without its line end
  std::vector<uint8_t> m_Config;  // as much of the configuration space as could be read
};

}  // namespace qvpcibrd
