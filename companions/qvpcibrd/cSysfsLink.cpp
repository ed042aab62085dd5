#include "cSysfsLink.h"

#include <utility>

#include "cPcieConfig.h"
#include "cSysfsReader.h"

namespace qvpcibrd {
namespace {

// The standard configuration space; the extended space holds nothing we read.
constexpr size_t kConfigBytes = 256;

}  // namespace

cSysfsLink::cSysfsLink(std::string a_Dir) : m_Dir(std::move(a_Dir)) {}

void cSysfsLink::readFiles() {
  if (m_FilesRead) return;
  m_FilesRead = true;
  unsigned long l_Value = 0;
  m_HasWidth = cSysfsReader::readNumber(m_Dir + "/current_link_width", 10, 32, l_Value);
  m_Width = static_cast<uint32_t>(l_Value);
  m_HasSpeed = cSysfsReader::readLine(m_Dir + "/current_link_speed", m_Speed);
}

void cSysfsLink::readConfig() {
  if (m_ConfigRead) return;
  m_ConfigRead = true;
  // Other users than root usually get the first 64 bytes only.
  cSysfsReader::readBytes(m_Dir + "/config", kConfigBytes, m_Config);
}

bool cSysfsLink::portNumber(uint32_t& a_rValue) {
  readConfig();
  uint32_t l_LinkCapabilities = 0;
  if (!cPcieConfig(m_Config).linkCapabilities(l_LinkCapabilities)) return false;
  a_rValue = l_LinkCapabilities >> 24;
  return true;
}

bool cSysfsLink::width(uint32_t& a_rValue) {
  readFiles();
  if (m_HasWidth) {
    a_rValue = m_Width;
    return true;
  }
  readConfig();
  uint16_t l_LinkStatus = 0;
  if (!cPcieConfig(m_Config).linkStatus(l_LinkStatus)) return false;
  a_rValue = (l_LinkStatus >> 4) & 0x3F;
  return true;
}

bool cSysfsLink::speed(uint32_t& a_rValue) {
  readFiles();
  if (m_HasSpeed) {
    a_rValue = cPcieConfig::speedCodeFromText(m_Speed);
    return true;
  }
  readConfig();
  uint16_t l_LinkStatus = 0;
  if (!cPcieConfig(m_Config).linkStatus(l_LinkStatus)) return false;
  a_rValue = l_LinkStatus & 0xF;
  return true;
}

bool cSysfsLink::status(uint32_t& a_rValue) {
  uint32_t l_Width = 0, l_Speed = 0;
  if (!width(l_Width) || !speed(l_Speed)) return false;
  a_rValue = l_Speed | (l_Width << 4);
  return true;
}

}  // namespace qvpcibrd
