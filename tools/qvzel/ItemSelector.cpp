#include "ItemSelector.h"

#include <cctype>
#include <vector>

namespace nQvzelTool {

namespace {

bool allDigits(const std::string& a_rText) {
  if (a_rText.empty() || a_rText.size() > 9) return false;
  for (const char l_Char : a_rText) {
    if (!std::isdigit(static_cast<unsigned char>(l_Char))) return false;
  }
  return true;
}

std::string upper(std::string a_Text) {
  for (char& l_rChar : a_Text)
    l_rChar = static_cast<char>(std::toupper(static_cast<unsigned char>(l_rChar)));
  return a_Text;
}

bool startsWith(const std::string& a_rText, const char* a_pPrefix) {
  return a_rText.rfind(a_pPrefix, 0) == 0;
}

sSelection pick(const std::vector<uint32_t>& a_rMatches, const std::string& a_rWhat) {
  sSelection l_Result;
  if (a_rMatches.empty()) {
    l_Result.m_Problem = "no listed item has the " + a_rWhat + "; `qvzel list` shows what is there";
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

sSelection bySlotPath(const sInventory& a_rInventory, const std::string& a_rPath) {
  std::vector<uint32_t> l_Matches;
  const std::string l_Wanted = upper(a_rPath);
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (l_rItem.m_SlotPath.m_Present && upper(l_rItem.m_SlotPath.m_Value) == l_Wanted) {
      l_Matches.push_back(l_rItem.m_Index);
    }
  }
  return pick(l_Matches, "slot path " + a_rPath);
}

sSelection bySerial(const sInventory& a_rInventory, const std::string& a_rSerial) {
  std::vector<uint32_t> l_Matches;
  for (const sItemRecord& l_rItem : a_rInventory.m_Items) {
    if (!a_rSerial.empty() && l_rItem.m_SerialNumber.m_Present &&
        l_rItem.m_SerialNumber.m_Value == a_rSerial) {
      l_Matches.push_back(l_rItem.m_Index);
    }
  }
  return pick(l_Matches, "serial number " + a_rSerial);
}

}  // namespace

sSelection selectItem(const sInventory& a_rInventory, const std::string& a_rSpec) {
  if (startsWith(a_rSpec, "slot:")) return bySlotPath(a_rInventory, a_rSpec.substr(5));
  if (startsWith(a_rSpec, "serial:")) return bySerial(a_rInventory, a_rSpec.substr(7));
  if (allDigits(a_rSpec)) {
    sSelection l_Result;
    const unsigned long l_Index = std::stoul(a_rSpec);
    if (l_Index < a_rInventory.m_Items.size()) {
      l_Result.m_Found = true;
      l_Result.m_Index = static_cast<uint32_t>(l_Index);
    } else if (a_rInventory.m_Items.empty()) {
      l_Result.m_Problem = "there is no item " + a_rSpec + ": the library found no link device";
    } else {
      l_Result.m_Problem = "there is no item " + a_rSpec + ": the list holds items 0 to " +
                           std::to_string(a_rInventory.m_Items.size() - 1);
    }
    return l_Result;
  }
  if (upper(a_rSpec).rfind("MR", 0) == 0 && a_rSpec.find(':') != std::string::npos) {
    return bySlotPath(a_rInventory, a_rSpec);
  }
  return bySerial(a_rInventory, a_rSpec);
}

}  // namespace nQvzelTool
