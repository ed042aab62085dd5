// The link values of one function, read from its sysfs directory when they
// are first asked for and then kept: the link files current_link_width and
// current_link_speed for width and speed, the configuration space (the PCI
// Express capability) for the port number and for a value whose file is
// missing. Each source is read at most once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvpcibrd {

class cSysfsLink {
 public:
  explicit cSysfsLink(std::string a_Dir);

  // Each answers false when the value cannot be read on this function.
  // Bits 31:24 of Link Capabilities.
  bool portNumber(uint32_t& a_rValue);
  // Negotiated lanes (0 when the link is down).
  bool width(uint32_t& a_rValue);
  // The Link Status speed code (0 for "Unknown" and rates not listed).
  bool speed(uint32_t& a_rValue);
  // Speed code | width << 4: the Link Status register's low ten bits.
  bool status(uint32_t& a_rValue);

 private:
  void readFiles();
  void readConfig();

  std::string m_Dir;
  bool m_FilesRead = false;
  bool m_ConfigRead = false;
  bool m_HasWidth = false;
  uint32_t m_Width = 0;
  bool m_HasSpeed = false;
  std::string m_Speed;            // current_link_speed without its line end
  std::vector<uint8_t> m_Config;  // as much of the configuration space as could be read
};

}  // namespace qvpcibrd
