// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSlotPath.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "cAllocator.h"

namespace nQvPxiDriverTools_1_0 {

namespace {
// "MR", two hex digits and ":" come before the codes in the prefixed form;
// the codes start at the sixth character even when the root had one digit.
constexpr size_t kPrefixedListStart = 5;
}  // namespace

cSlotPath::cSlotPath() : m_pFront(nullptr), m_pBack(nullptr), m_RootBus(0), m_Status() {}

cSlotPath::cSlotPath(const char* a_pText, Status& a_rStatus) : cSlotPath() {
  SetFromText(a_pText, a_rStatus);
}

cSlotPath::cSlotPath(const cSlotPath& a_rSource) : cSlotPath() { *this = a_rSource; }

cSlotPath& cSlotPath::operator=(const cSlotPath& a_rSource) {
  if (this == &a_rSource) return *this;
  Status l_Local;
  l_Local.merge(a_rSource.m_Status);
  l_Local.merge(m_Status);
  if (l_Local.isNotFatal()) {
    m_RootBus = a_rSource.m_RootBus;
    Clear();
    for (const sElement* l_p = a_rSource.m_pFront; l_p != nullptr; l_p = l_p->m_pNext) {
      AppendBack(l_p->m_Code, l_Local);
      if (l_Local.isFatal()) break;
    }
  }
  m_Status.merge(l_Local);
  return *this;
}

cSlotPath::~cSlotPath() { Clear(); }

bool cSlotPath::CheckUsable(Status& a_rStatus) const {
  Status l_Local;
  l_Local.merge(m_Status);
  if (l_Local.isNotFatal()) return true;
  a_rStatus.merge(l_Local);
  return false;
}

void cSlotPath::AppendBack(uint8_t a_Code, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  void* l_pStorage = cAllocator::Allocate(sizeof(sElement));
  if (l_pStorage == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  sElement* l_pElement = new (l_pStorage) sElement{nullptr, a_Code};
  if (m_pBack == nullptr) {
    m_pFront = l_pElement;
  } else {
    m_pBack->m_pNext = l_pElement;
  }
  m_pBack = l_pElement;
}

void cSlotPath::PopFront() {
  if (m_pFront == nullptr) return;
  sElement* l_pOld = m_pFront;
  m_pFront = l_pOld->m_pNext;
  if (m_pFront == nullptr) m_pBack = nullptr;
  l_pOld->~sElement();
  cAllocator::Free(l_pOld);
}

void cSlotPath::Clear() {
  while (m_pFront != nullptr) PopFront();
}

size_t cSlotPath::GetDeviceFunctionCount() const {
  size_t l_Count = 0;
  for (const sElement* l_p = m_pFront; l_p != nullptr; l_p = l_p->m_pNext) ++l_Count;
  return l_Count;
}

void cSlotPath::SetFromText(const char* a_pText, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !CheckUsable(a_rStatus)) return;
  Clear();
  if (a_pText == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  // The scans below follow the scanf rules on purpose: they define which
  // texts are accepted (e.g. one or two root digits of either case).
  const char* l_pList = a_pText;
  unsigned int l_HexRoot = 0;
  unsigned char l_DecimalRoot = 0;
  char l_Separator = 0;
  if (std::sscanf(a_pText, "MR%02X:", &l_HexRoot) == 1) {
    m_RootBus = static_cast<uint8_t>(l_HexRoot);
    const size_t l_Length = std::strlen(a_pText);
    l_pList = a_pText + (l_Length < kPrefixedListStart ? l_Length : kPrefixedListStart);
  } else if (std::sscanf(a_pText, "%hhu%c", &l_DecimalRoot, &l_Separator) == 2 &&
             l_Separator == ':') {
    m_RootBus = l_DecimalRoot;
    l_pList = std::strchr(a_pText, ':') + 1;
  } else {
    m_RootBus = 0;
  }

  const char* l_pAt = l_pList;
  while (*l_pAt != '\0') {
    unsigned int l_Code = 0;
    if (std::sscanf(l_pAt, "%02X", &l_Code) != 1) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kSlotPathSyntax);
      return;
    }
    AppendBack(static_cast<uint8_t>(l_Code), a_rStatus);
    if (a_rStatus.isFatal()) return;
    // Look at the third character only when the second one is not the end.
    if (l_pAt[1] == '\0' || l_pAt[2] != ',') return;
    l_pAt += 3;
  }
}

void cSlotPath::GetText(cCharBuffer& a_rText, Status& a_rStatus) const {
  if (a_rStatus.isFatal() || !CheckUsable(a_rStatus)) return;
  a_rText.Clear();
  char l_Hex[8];
  a_rText.Append("MR", a_rStatus);
  std::snprintf(l_Hex, sizeof(l_Hex), "%02X", static_cast<unsigned int>(m_RootBus));
  a_rText.Append(l_Hex, a_rStatus);
  a_rText.Append(":", a_rStatus);
  for (const sElement* l_p = m_pFront; l_p != nullptr; l_p = l_p->m_pNext) {
    std::snprintf(l_Hex, sizeof(l_Hex), l_p == m_pFront ? "%02X" : ",%02X",
                  static_cast<unsigned int>(l_p->m_Code));
    a_rText.Append(l_Hex, a_rStatus);
  }
}

void cSlotPath::GetText(std::string& a_rText, Status& a_rStatus) const {
  if (a_rStatus.isFatal()) return;
  cCharBuffer l_Text;
  GetText(l_Text, a_rStatus);
  if (a_rStatus.isFatal()) return;
  try {
    a_rText.assign(l_Text.GetText(), l_Text.GetLength());
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }
}

void cSlotPath::PushDeviceFunction(uint8_t a_Device, uint8_t a_Function, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !CheckUsable(a_rStatus)) return;
  void* l_pStorage = cAllocator::Allocate(sizeof(sElement));
  if (l_pStorage == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  const uint8_t l_Code = static_cast<uint8_t>((a_Device << 3) | a_Function);
  m_pFront = new (l_pStorage) sElement{m_pFront, l_Code};
  if (m_pBack == nullptr) m_pBack = m_pFront;
}

int cSlotPath::GetFrontDeviceFunction(Status& a_rStatus) const {
  if (a_rStatus.isFatal() || !CheckUsable(a_rStatus)) return -1;
  if (m_pFront == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kSlotPathEmpty);
    return -1;
  }
  return m_pFront->m_Code;
}

void cSlotPath::ApplyRelativePath(const std::string& a_rPattern, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  cCharBuffer l_Remaining;
  l_Remaining.Append(a_rPattern.data(), a_rPattern.size(), a_rStatus);
  cCharBuffer l_Token;
  while (a_rStatus.isNotFatal() && !l_Remaining.IsEmpty()) {
    const size_t l_Comma = l_Remaining.Find(",", 0);
    l_Remaining.AssignSubstring(l_Token, 0, l_Comma, a_rStatus);
    if (a_rStatus.isFatal()) return;
    ApplyToken(l_Token.GetText(), a_rStatus);
    if (l_Comma == cCharBuffer::kNotFound) return;
    l_Remaining.AssignSubstring(l_Remaining, l_Comma + 1, cCharBuffer::kNotFound, a_rStatus);
  }
}

void cSlotPath::ApplyToken(const char* a_pToken, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  int l_Device = 0;
  int l_Function = 0;
  char l_Trailing = 0;
  // The trailing %c must not convert: nothing may follow the last number.
  if (std::sscanf(a_pToken, "d%df%d%c", &l_Device, &l_Function, &l_Trailing) == 2) {
    PushDeviceFunction(static_cast<uint8_t>(l_Device), static_cast<uint8_t>(l_Function), a_rStatus);
  } else if (std::strcmp(a_pToken, "-") == 0) {
    if (IsEmpty()) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kSlotPathSyntax);
      return;
    }
    PopFront();
  } else if (std::sscanf(a_pToken, "f%d%c", &l_Function, &l_Trailing) == 1) {
    const int l_Front = GetFrontDeviceFunction(a_rStatus);
    if (l_Front < 0) return;
    PopFront();
    PushDeviceFunction(static_cast<uint8_t>(l_Front >> 3), static_cast<uint8_t>(l_Function),
                       a_rStatus);
  } else {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kSlotPathSyntax);
  }
}

}  // namespace nQvPxiDriverTools_1_0
