// SPDX-License-Identifier: LGPL-2.1-or-later
// The bridge tree one session works on: bridges with their address, bus
// below, identifiers and attributes, the root buses, and the failures and
// protocol quirks injected for tests. Backends fill it; the entry points
// answer from it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace qvpcibrd {

// Deliberate protocol violations of GetBridgeSlotPath, for tests of callers.
enum class eSlotPathQuirk { kNone, kZeroSize, kNoNul, kJunk };
// Deliberate protocol violations of the list entry points.
enum class eListQuirk { kNone, kGrowCount, kHugeCount };

struct sBridge {
  std::string m_Name;
  uint32_t m_Ref = 0;
  int m_Parent = -1;  // index of the parent bridge, -1 on a root bus
  std::string m_ParentName;
  uint8_t m_Bus = 0;
  uint8_t m_Device = 0;
  uint8_t m_Function = 0;
  bool m_HasSecondary = false;
  uint8_t m_Secondary = 0;
  uint16_t m_VendorId = 0;
  uint16_t m_DeviceId = 0;
  uint16_t m_SubsystemVendorId = 0;
  uint16_t m_SubsystemId = 0;
  std::map<uint32_t, uint32_t> m_Attributes;
  // The port's link as hardware, when the description gives it: the width it
  // is built for, the width it trains to when cabled, the speed code it
  // trains to, and whether a cable is plugged in.
  bool m_HasLink = false;
  uint32_t m_LinkMaxWidth = 0;
  uint32_t m_LinkWidth = 0;  // 0: the built-for width
  uint32_t m_LinkSpeed = 1;
  bool m_LinkCabled = true;
  // Injected results by call ("GetBridgeIds") or call and qualifier
  // ("GetAttributeU32.0x20000B00").
  std::map<std::string, int32_t> m_Faults;
  bool m_Open = false;
};

class cPciTree {
 public:
  std::vector<sBridge> m_Bridges;
  std::vector<uint8_t> m_RootBuses;  // ascending, no duplicates after finish()
  std::map<std::string, int32_t> m_Faults;
  eSlotPathQuirk m_SlotPathQuirk = eSlotPathQuirk::kNone;
  eListQuirk m_ListQuirk = eListQuirk::kNone;

  // Resolves parents, derives bus numbers, assigns references and collects
  // the root buses; false with a message when the tree is inconsistent.
  bool finish(std::string& a_rError);

  int findByRef(uint32_t a_Ref) const;
  int findByAddress(uint8_t a_Bus, uint8_t a_Device, uint8_t a_Function) const;
  // -2 when the text is not a slot path, -1 when no bridge sits there.
  int findBySlotPath(const char* a_pText) const;
  int findParentOfBus(uint8_t a_Bus) const;
  // The slot path text, device/function codes from the bridge up to its root bus.
  std::string slotPathText(int a_Index) const;

 private:
  // Slot path text -> first bridge with that path, built on the first
  // look-up, so that a session's look-ups cost no more than one walk of the
  // tree each instead of one walk of the whole tree.
  mutable std::unordered_map<std::string, int> m_SlotPathIndex;
  mutable size_t m_IndexedBridges = 0;
};

}  // namespace qvpcibrd
