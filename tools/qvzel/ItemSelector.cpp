// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ItemSelector.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "DisplayText.h"

namespace nQvzelTool {

namespace {

bool allDigits(const std::string& a_rText) {
  if (a_rText.empty()) return false;
  for (const char l_Char : a_rText) {
    if (!std::isdigit(static_cast<unsigned char>(l_Char))) return false;
  }
  return true;
}

bool sameIgnoringCase(const std::string& a_rLeft, const std::string& a_rRight) {
  if (a_rLeft.size() != a_rRight.size()) return false;
  for (size_t l_Pos = 0; l_Pos < a_rLeft.size(); ++l_Pos) {
    if (std::toupper(static_cast<unsigned char>(a_rLeft[l_Pos])) !=
        std::toupper(static_cast<unsigned char>(a_rRight[l_Pos])))
      return false;
  }
  return true;
}

bool startsWith(const std::string& a_rText, const char* a_pPrefix) {
  return a_rText.rfind(a_pPrefix, 0) == 0;
}

sSelection pick(const std::vector<uint32_t>& a_rMatches, const std::string& a_rWhat) {
  sSelection l_Result;
  if (a_rMatches.empty()) {
    l_Result.m_Problem = "no listed item has the " + a_rWhat + "; 'qvzel list' shows what is there";
    return l_Result;
  }
  l_Result.m_Found = true;
  l_Result.m_Index = a_rMatches.front();
  if (a_rMatches.size() > 1) {
    std::string l_Indexes;
    for (const uint32_t l_Index : a_rMatches) {
      l_Indexes += (l_Indexes.empty() ? "" : ", ") + std::to_string(l_Index);
    }
    l_Result.m_Note = "the " + a_rWhat + " names items " + l_Indexes + "; using item " +
                      std::to_string(l_Result.m_Index);
  }
  return l_Result;
}

// Slot paths are compared as the library writes them, case aside: the tool
// keeps no slot-path grammar of its own.
std::vector<uint32_t> slotPathMatches(const sInventory& a_rInventory, const std::string& a_rPath) {
  std::vector<uint32_t> l_Matches;
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (l_rItem.m_SlotPath.m_Present && sameIgnoringCase(l_rItem.m_SlotPath.m_Value, a_rPath)) {
      l_Matches.push_back(l_rItem.m_Index);
    }
  }
  return l_Matches;
}

std::vector<uint32_t> serialMatches(const sInventory& a_rInventory, const std::string& a_rSerial) {
  std::vector<uint32_t> l_Matches;
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (!a_rSerial.empty() && l_rItem.m_SerialNumber.m_Present &&
        l_rItem.m_SerialNumber.m_Value == a_rSerial) {
      l_Matches.push_back(l_rItem.m_Index);
    }
  }
  return l_Matches;
}

sSelection byIndex(const sInventory& a_rInventory, const std::string& a_rDigits) {
  sSelection l_Result;
  const size_t l_Count = a_rInventory.m_Items.size();
  // Compared as text first: a number of any length stays an index.
  const size_t l_Start = std::min(a_rDigits.find_first_not_of('0'), a_rDigits.size() - 1);
  const std::string l_Digits = a_rDigits.substr(l_Start);
  if (l_Digits.size() <= 9 && std::stoul(l_Digits) < l_Count) {
    l_Result.m_Found = true;
    l_Result.m_Index = static_cast<uint32_t>(std::stoul(l_Digits));
  } else if (l_Count == 0) {
    l_Result.m_Problem = "there is no item " + quotedArgument(a_rDigits) + ": the library found no link device";
  } else {
    l_Result.m_Problem = "there is no item " + quotedArgument(a_rDigits) + ": the list holds items 0 to " +
                         std::to_string(l_Count - 1);
  }
  return l_Result;
}

}  // namespace

sSelection selectItem(const sInventory& a_rInventory, const std::string& a_rSpec) {
  if (startsWith(a_rSpec, "slot:")) {
    const std::string l_Path = a_rSpec.substr(5);
    return pick(slotPathMatches(a_rInventory, l_Path), "slot path " + quotedArgument(l_Path));
  }
  if (startsWith(a_rSpec, "serial:")) {
    const std::string l_Serial = a_rSpec.substr(7);
    return pick(serialMatches(a_rInventory, l_Serial), "serial number " + quotedArgument(l_Serial));
  }
  if (allDigits(a_rSpec)) return byIndex(a_rInventory, a_rSpec);
  const std::vector<uint32_t> l_Paths = slotPathMatches(a_rInventory, a_rSpec);
  if (!l_Paths.empty()) return pick(l_Paths, "slot path " + quotedArgument(a_rSpec));
  return pick(serialMatches(a_rInventory, a_rSpec),
              "slot path or serial number " + quotedArgument(a_rSpec));
}

}  // namespace nQvzelTool
