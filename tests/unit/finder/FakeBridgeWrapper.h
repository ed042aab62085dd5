// SPDX-License-Identifier: LGPL-2.1-or-later
// A PCI bridge wrapper that answers from tables set up by a test and records
// the calls made to it, for testing discovery steps without a bridge library.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config/cSlotPath.h"
#include "pcibridge/iPciBrdWrapper_sc.h"
#include "status/StatusCodes.h"

namespace discoverytest {

using nQVZEL_15_0::nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc;

class cFakeBridgeWrapper : public iPciBrdWrapper_sc {
 public:
  // Bridges by slot-path text; attribute values or failure codes by bridge.
  std::map<std::string, uint32_t> m_BridgesByPath;
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> m_Attributes;
  std::map<std::pair<uint32_t, uint32_t>, int32_t> m_AttributeFailures;
  // Every call, e.g. "GetAttributeU32 4096 0x20000B00".
  std::vector<std::string> m_Calls;

  void OpenSession(uint32_t, JsonStatus&) override {}
  int32_t CloseSession() override { return 0; }
  bool IsSessionOpen() const override { return true; }
  void FindBridgesByPciIds(const uint16_t*, const uint16_t*, const uint16_t*, const uint16_t*,
                           std::vector<uint32_t>&, JsonStatus&) override {}
  void FindBridgeByAddress(uint8_t, uint8_t, uint8_t, uint32_t&, JsonStatus&) override {}
  void FindBridgeBySlotPath(const nQvPxiDriverTools_1_0::cSlotPath& a_rPath, uint32_t& a_rBridge,
                            JsonStatus& a_rStatus) override {
    if (a_rStatus.isFatal()) return;
    Status l_Status;
    std::string l_Text;
    a_rPath.GetText(l_Text, l_Status);
    m_Calls.push_back("FindBridgeBySlotPath " + l_Text);
    auto l_Found = m_BridgesByPath.find(l_Text);
    if (l_Found == m_BridgesByPath.end()) {
      a_rStatus.setCodeAt(qvstatus::kNotFound, QVZ_ERROR_SITE("FindBridgeBySlotPath"));
      return;
    }
    a_rBridge = l_Found->second;
  }
  void FindParentBridgeForBus(uint8_t, uint32_t&, JsonStatus&) override {}
  void GetBridgeParent(uint32_t, uint32_t&, JsonStatus&) override {}
  void GetBridgeChildren(uint32_t, std::vector<uint32_t>&, JsonStatus&) override {}
  void GetBusChildren(uint8_t, std::vector<uint32_t>&, JsonStatus&) override {}
  void GetRootBuses(std::vector<uint32_t>&, JsonStatus&) override {}
  void GetBridgeAddress(uint32_t, uint8_t*, uint8_t*, uint8_t*, JsonStatus&) override {}
  void GetBridgeSlotPath(uint32_t, nQvPxiDriverTools_1_0::cSlotPath&, JsonStatus&) override {}
  void GetBridgeIds(uint32_t, uint16_t*, uint16_t*, uint16_t*, uint16_t*, JsonStatus&) override {}
  void SetAttributeU32(uint32_t, uint32_t, uint32_t, JsonStatus&) override {}
  void GetAttributeU32(uint32_t a_Bridge, uint32_t a_Id, uint32_t& a_rValue,
                       JsonStatus& a_rStatus) override {
    if (a_rStatus.isFatal()) return;
    m_Calls.push_back("GetAttributeU32 " + std::to_string(a_Bridge) + " " + hex(a_Id));
    auto l_Failure = m_AttributeFailures.find({a_Bridge, a_Id});
    if (l_Failure != m_AttributeFailures.end()) {
      a_rStatus.setCodeAt(l_Failure->second, QVZ_ERROR_SITE("GetAttributeU32"));
      return;
    }
    auto l_Value = m_Attributes.find({a_Bridge, a_Id});
    if (l_Value == m_Attributes.end()) {
      a_rStatus.setCodeAt(qvstatus::kPciBrdAttrNotServed, QVZ_ERROR_SITE("GetAttributeU32"));
      return;
    }
    a_rValue = l_Value->second;
  }
  void OpenBridge(uint32_t a_Bridge, JsonStatus& a_rStatus) override {
    if (a_rStatus.isFatal()) return;
    m_Calls.push_back("OpenBridge " + std::to_string(a_Bridge));
  }
  int32_t CloseBridge(uint32_t a_Bridge) override {
    m_Calls.push_back("CloseBridge " + std::to_string(a_Bridge));
    return 0;
  }
  void EepromUpdate(uint32_t, uint16_t, uint16_t, uint32_t, uint32_t, uint32_t, const uint8_t*,
                    JsonStatus&) override {}

  static std::string hex(uint32_t a_Value) {
    char l_Text[16];
    std::snprintf(l_Text, sizeof(l_Text), "0x%08X", a_Value);
    return l_Text;
  }
};

}  // namespace discoverytest
