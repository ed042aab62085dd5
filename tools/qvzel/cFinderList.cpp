// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cFinderList.h"

#include "qvzelif.h"

namespace nQvzelTool {

cFinderList::~cFinderList() { nQVPXIFINDER100_closeList(m_pList); }

int32_t cFinderList::open() {
  nQVPXIFINDER100_closeList(m_pList);
  m_pList = nullptr;
  m_Count = 0;
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  const int32_t l_Code = nQVPXIFINDER100_openList(&l_Count, &l_pList);
  if (l_Code < 0) return l_Code;
  m_pList = l_pList;
  m_Count = (l_pList != nullptr) ? l_Count : 0;
  return l_Code;
}

int32_t cFinderList::item(uint32_t a_Index, void*& a_rpItem) const {
  a_rpItem = nullptr;
  return nQVPXIFINDER100_getNthItem(m_pList, a_Index, &a_rpItem);
}

}  // namespace nQvzelTool
