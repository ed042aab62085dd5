// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cPciTree.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "qvpcibrd.h"

namespace qvpcibrd {

// References start well away from 0 so that a caller confusing a reference
// with an index is noticed.
constexpr uint32_t kFirstRef = 0x1000;

bool cPciTree::finish(std::string& a_rError) {
  // Name -> first bridge of that name: a parent look-up per bridge by a walk
  // of all bridges would make every session opening quadratic in the tree.
  std::unordered_map<std::string, int> l_ByName;
  for (size_t l_Index = 0; l_Index < m_Bridges.size(); ++l_Index) {
    l_ByName.emplace(m_Bridges[l_Index].m_Name, static_cast<int>(l_Index));
  }
  for (size_t l_Index = 0; l_Index < m_Bridges.size(); ++l_Index) {
    sBridge& l_rBridge = m_Bridges[l_Index];
    l_rBridge.m_Ref = kFirstRef + static_cast<uint32_t>(l_Index);
    if (l_rBridge.m_ParentName.empty()) continue;
    const auto l_It = l_ByName.find(l_rBridge.m_ParentName);
    if (l_It == l_ByName.end()) {
      a_rError = "bridge " + l_rBridge.m_Name + ": unknown parent " + l_rBridge.m_ParentName;
      return false;
    }
    l_rBridge.m_Parent = l_It->second;
  }
  for (sBridge& l_rBridge : m_Bridges) {
    // A chain longer than the number of bridges must contain a cycle.
    int l_Parent = l_rBridge.m_Parent;
    for (size_t l_Steps = 0; l_Parent >= 0; ++l_Steps) {
      if (l_Steps > m_Bridges.size()) {
        a_rError = "bridge " + l_rBridge.m_Name + ": its parents form a cycle";
        return false;
      }
      l_Parent = m_Bridges[l_Parent].m_Parent;
    }
    if (l_rBridge.m_Parent >= 0) {
      const sBridge& l_rParent = m_Bridges[l_rBridge.m_Parent];
      if (!l_rParent.m_HasSecondary) {
        a_rError = "bridge " + l_rParent.m_Name + ": has children but no secondary bus";
        return false;
      }
      l_rBridge.m_Bus = l_rParent.m_Secondary;
    } else {
      m_RootBuses.push_back(l_rBridge.m_Bus);
    }
  }
  std::sort(m_RootBuses.begin(), m_RootBuses.end());
  m_RootBuses.erase(std::unique(m_RootBuses.begin(), m_RootBuses.end()), m_RootBuses.end());
  return true;
}

int cPciTree::findByRef(uint32_t a_Ref) const {
  if (a_Ref < kFirstRef || a_Ref - kFirstRef >= m_Bridges.size()) return -1;
  return static_cast<int>(a_Ref - kFirstRef);
}

int cPciTree::findByAddress(uint8_t a_Bus, uint8_t a_Device, uint8_t a_Function) const {
  for (size_t l_Index = 0; l_Index < m_Bridges.size(); ++l_Index) {
    const sBridge& l_rBridge = m_Bridges[l_Index];
    if (l_rBridge.m_Bus == a_Bus && l_rBridge.m_Device == a_Device &&
        l_rBridge.m_Function == a_Function) {
      return static_cast<int>(l_Index);
    }
  }
  return -1;
}

int cPciTree::findParentOfBus(uint8_t a_Bus) const {
  for (size_t l_Index = 0; l_Index < m_Bridges.size(); ++l_Index) {
    if (m_Bridges[l_Index].m_HasSecondary && m_Bridges[l_Index].m_Secondary == a_Bus) {
      return static_cast<int>(l_Index);
    }
  }
  return -1;
}

std::string cPciTree::slotPathText(int a_Index) const {
  // Written digit by digit: the slot-path index of a session holds the text
  // of every bridge, so this runs once per bridge and level.
  static const char kHex[] = "0123456789ABCDEF";
  std::string l_Text = "MR00:";
  int l_Root = a_Index;
  for (int l_Index = a_Index; l_Index >= 0; l_Index = m_Bridges[l_Index].m_Parent) {
    const sBridge& l_rBridge = m_Bridges[l_Index];
    const unsigned l_Code = (l_rBridge.m_Device << 3 | l_rBridge.m_Function) & 0xFF;
    if (l_Index != a_Index) l_Text += ',';
    l_Text += kHex[l_Code >> 4];
    l_Text += kHex[l_Code & 0xF];
    l_Root = l_Index;
  }
  l_Text[2] = kHex[m_Bridges[l_Root].m_Bus >> 4];
  l_Text[3] = kHex[m_Bridges[l_Root].m_Bus & 0xF];
  return l_Text;
}

int cPciTree::findBySlotPath(const char* a_pText) const {
  // Accepts the hex form "MRrr:cc,cc,..." in either case and compares it
  // with the normalised form of every bridge's path.
  std::string l_Text(a_pText);
  auto l_IsHexPair = [&](size_t a_Pos) {
    return a_Pos + 2 <= l_Text.size() && std::isxdigit(static_cast<unsigned char>(l_Text[a_Pos])) &&
           std::isxdigit(static_cast<unsigned char>(l_Text[a_Pos + 1]));
  };
  if (l_Text.size() < 5 || l_Text.compare(0, 2, "MR") != 0 || !l_IsHexPair(2) || l_Text[4] != ':') {
    return -2;
  }
  for (size_t l_Pos = 5; l_Pos < l_Text.size(); l_Pos += 3) {
    if (!l_IsHexPair(l_Pos)) return -2;
    if (l_Pos + 2 < l_Text.size() && (l_Text[l_Pos + 2] != ',' || l_Pos + 3 == l_Text.size())) {
      return -2;
    }
  }
  for (char& l_rChar : l_Text)
    l_rChar = static_cast<char>(std::toupper(static_cast<unsigned char>(l_rChar)));
  if (m_IndexedBridges != m_Bridges.size()) {
    m_SlotPathIndex.clear();
    for (size_t l_Index = 0; l_Index < m_Bridges.size(); ++l_Index) {
      m_SlotPathIndex.emplace(slotPathText(static_cast<int>(l_Index)), static_cast<int>(l_Index));
    }
    m_IndexedBridges = m_Bridges.size();
  }
  const auto l_It = m_SlotPathIndex.find(l_Text);
  return l_It == m_SlotPathIndex.end() ? -1 : l_It->second;
}

}  // namespace qvpcibrd
