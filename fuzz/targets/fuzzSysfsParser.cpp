// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: the PCI bridge library's sysfs texts and configuration
// space images. The input is taken as a function address, a bus name, a
// modalias line, a link text, a link speed text and a configuration space
// image; whatever parses must format back to itself, and nothing may read
// past the input.
#include <cstdio>
#include <string>
#include <vector>

#include "cPcieConfig.h"
#include "cSysfsParser.h"
#include "fuzzCheck.h"

using qvpcibrd::cPcieConfig;
using qvpcibrd::cSysfsParser;
using qvpcibrd::sPciIdentity;

namespace {

void checkAddress(const std::string& a_rText) {
  uint32_t l_Domain = 0;
  uint8_t l_Bus = 0, l_Device = 0, l_Function = 0;
  if (!cSysfsParser::parseFunctionAddress(a_rText, l_Domain, l_Bus, l_Device, l_Function)) return;
  FUZZ_CHECK(l_Device <= 31 && l_Function <= 7);
  char l_Text[32];
  std::snprintf(l_Text, sizeof l_Text, "%04x:%02x:%02x.%x", l_Domain, l_Bus, l_Device, l_Function);
  uint32_t l_Domain2 = 1;
  uint8_t l_Bus2 = 1, l_Device2 = 1, l_Function2 = 1;
  FUZZ_CHECK(cSysfsParser::parseFunctionAddress(l_Text, l_Domain2, l_Bus2, l_Device2, l_Function2));
  FUZZ_CHECK(l_Domain2 == l_Domain && l_Bus2 == l_Bus && l_Device2 == l_Device &&
             l_Function2 == l_Function);
  FUZZ_CHECK(cSysfsParser::isDomainZeroFunction(a_rText) == (l_Domain == 0));
}

void checkBusName(const std::string& a_rText) {
  uint32_t l_Domain = 0;
  uint8_t l_Bus = 0;
  if (!cSysfsParser::parseBusName(a_rText, l_Domain, l_Bus)) return;
  char l_Text[32];
  std::snprintf(l_Text, sizeof l_Text, "%04x:%02x", l_Domain, l_Bus);
  uint32_t l_Domain2 = 1;
  uint8_t l_Bus2 = 1;
  FUZZ_CHECK(cSysfsParser::parseBusName(l_Text, l_Domain2, l_Bus2));
  FUZZ_CHECK(l_Domain2 == l_Domain && l_Bus2 == l_Bus);
}

void checkModalias(const std::string& a_rText) {
  sPciIdentity l_Ids;
  if (!cSysfsParser::parseModalias(a_rText, l_Ids)) return;
  FUZZ_CHECK(l_Ids.m_Class <= 0xFFFFFF);
  char l_Text[64];
  std::snprintf(l_Text, sizeof l_Text, "pci:v%08Xd%08Xsv%08Xsd%08Xbc%02Xsc%02Xi%02X",
                l_Ids.m_VendorId, l_Ids.m_DeviceId, l_Ids.m_SubsystemVendorId, l_Ids.m_SubsystemId,
                l_Ids.m_Class >> 16, (l_Ids.m_Class >> 8) & 0xFF, l_Ids.m_Class & 0xFF);
  sPciIdentity l_Back;
  FUZZ_CHECK(cSysfsParser::parseModalias(l_Text, l_Back));
  FUZZ_CHECK(l_Back.m_Class == l_Ids.m_Class && l_Back.m_VendorId == l_Ids.m_VendorId &&
             l_Back.m_DeviceId == l_Ids.m_DeviceId &&
             l_Back.m_SubsystemVendorId == l_Ids.m_SubsystemVendorId &&
             l_Back.m_SubsystemId == l_Ids.m_SubsystemId);
}

void checkLink(const std::string& a_rText) {
  for (size_t l_FromEnd = 0; l_FromEnd < 4; ++l_FromEnd) {
    const std::string l_Part = cSysfsParser::pathPart(a_rText, l_FromEnd);
    FUZZ_CHECK(l_Part.find('/') == std::string::npos);
    FUZZ_CHECK(l_Part.empty() || a_rText.find(l_Part) != std::string::npos);
  }
  for (size_t l_Up = 0; l_Up < 4; ++l_Up) {
    std::string l_Rest;
    if (!cSysfsParser::isPlainRelativeLink(a_rText, l_Up, l_Rest)) continue;
    std::string l_Whole;
    for (size_t l_Level = 0; l_Level < l_Up; ++l_Level) l_Whole += "../";
    FUZZ_CHECK(l_Whole + l_Rest == a_rText);
    FUZZ_CHECK(!l_Rest.empty() && l_Rest.front() != '/' && l_Rest.back() != '/');
    FUZZ_CHECK(("/" + l_Rest + "/").find("/../") == std::string::npos);
    FUZZ_CHECK(("/" + l_Rest + "/").find("/./") == std::string::npos);
    FUZZ_CHECK(l_Rest.find("//") == std::string::npos);
  }
}

void checkConfig(const std::vector<uint8_t>& a_rBytes) {
  const cPcieConfig l_Config(a_rBytes);
  const size_t l_Cap = l_Config.findCapability(0x10);
  FUZZ_CHECK(l_Cap == 0 ||
             (l_Cap >= 0x40 && l_Cap + 1 < a_rBytes.size() && a_rBytes[l_Cap] == 0x10));
  uint32_t l_LinkCapabilities = 0;
  uint16_t l_LinkStatus = 0;
  if (l_Config.linkCapabilities(l_LinkCapabilities)) FUZZ_CHECK(l_Cap + 0x10 <= a_rBytes.size());
  if (l_Config.linkStatus(l_LinkStatus)) FUZZ_CHECK(l_Cap + 0x14 <= a_rBytes.size());
  uint8_t l_Bus = 0;
  if (l_Config.secondaryBus(l_Bus)) FUZZ_CHECK(l_Bus == a_rBytes[0x19]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  const std::string l_Text(reinterpret_cast<const char*>(a_pData), a_Size);
  checkAddress(l_Text);
  checkBusName(l_Text);
  checkModalias(l_Text);
  checkLink(l_Text);
  FUZZ_CHECK(cPcieConfig::speedCodeFromText(l_Text) <= 6);
  checkConfig(std::vector<uint8_t>(a_pData, a_pData + a_Size));
  return 0;
}
