// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSysfsLink.h"

#include <utility>

#include "cPcieConfig.h"
#include "cSysfsReader.h"

namespace qvpcibrd {
namespace {

// The standard configuration space; the extended space holds nothing we read.
constexpr size_t kConfigBytes = 256;
// Link widths are 6-bit fields of the PCI Express capability.
constexpr unsigned long kMaxLanes = 0x3F;

}  // namespace

cSysfsLink::cSysfsLink(std::string a_Dir) : m_Dir(std::move(a_Dir)) {}

void cSysfsLink::readBuiltWidth() {
  if (m_BuiltWidthRead) return;
  m_BuiltWidthRead = true;
  unsigned long l_Value = 0;
  m_HasBuiltWidth = cSysfsReader::readNumber(m_Dir + "/max_link_width", 10, kMaxLanes, l_Value);
  m_BuiltWidth = static_cast<uint32_t>(l_Value);
}

void cSysfsLink::readLiveFiles() {
  if (m_LiveFilesRead) return;
  m_LiveFilesRead = true;
  unsigned long l_Value = 0;
  m_HasWidth = cSysfsReader::readNumber(m_Dir + "/current_link_width", 10, kMaxLanes, l_Value);
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

bool cSysfsLink::builtWidth(uint32_t& a_rLanes) {
  readBuiltWidth();
  if (m_HasBuiltWidth) {
    a_rLanes = m_BuiltWidth;
    return true;
  }
  readConfig();
  uint32_t l_LinkCapabilities = 0;
  if (!cPcieConfig(m_Config).linkCapabilities(l_LinkCapabilities)) return false;
  a_rLanes = (l_LinkCapabilities >> 4) & kMaxLanes;
  return true;
}

bool cSysfsLink::trainedWidth(uint32_t& a_rLanes) {
  readLiveFiles();
  if (m_HasWidth) {
    a_rLanes = m_Width;
    return true;
  }
  readConfig();
  uint16_t l_LinkStatus = 0;
  if (!cPcieConfig(m_Config).linkStatus(l_LinkStatus)) return false;
  a_rLanes = (l_LinkStatus >> 4) & kMaxLanes;
  return true;
}

bool cSysfsLink::speed(uint32_t& a_rCode) {
  readLiveFiles();
  if (m_HasSpeed) {
    a_rCode = cPcieConfig::speedCodeFromText(m_Speed);
    return true;
  }
  readConfig();
  uint16_t l_LinkStatus = 0;
  if (!cPcieConfig(m_Config).linkStatus(l_LinkStatus)) return false;
  a_rCode = l_LinkStatus & 0xF;
  return true;
}

}  // namespace qvpcibrd
