// SPDX-License-Identifier: LGPL-2.1-or-later
#include "Status.h"

#include <cstring>

namespace {

// Copies up to a_Size bytes of a_pText (stopping at its NUL), fills the rest
// with NUL and forces the last byte to NUL.
void copyBounded(char* a_pOut, size_t a_Size, const char* a_pText) {
  size_t l_Index = 0;
  if (a_pText != nullptr) {
    for (; l_Index < a_Size && a_pText[l_Index] != '\0'; ++l_Index)
      a_pOut[l_Index] = a_pText[l_Index];
  }
  for (; l_Index < a_Size; ++l_Index) a_pOut[l_Index] = '\0';
  a_pOut[a_Size - 1] = '\0';
}

}  // namespace

Status::Status() : capacity(kFullCapacity), code(0), line(0) {
  component[0] = '\0';
  file[0] = '\0';
  details[0] = 0;
}

bool Status::set(int64_t a_Code, const char* a_pComponent, const char* a_pFile, uint64_t a_Line) {
  if (a_Code == 0) return false;
  const bool l_Record = (code == 0) || (code > 0 && a_Code < 0);
  if (!l_Record) return false;

  code = a_Code;
  if (capacity < kFullCapacity) return true;

  copyBounded(component, kComponentSize, a_pComponent);
  constexpr size_t l_MaxFile = kFileSize - 1;  // 100 characters survive
  const size_t l_Length = (a_pFile != nullptr) ? std::strlen(a_pFile) : 0;
  if (l_Length > l_MaxFile) {
    // Keep both ends of a long path: 49 characters, "..", the last 49.
    constexpr size_t l_Half = 49;
    std::memcpy(file, a_pFile, l_Half);
    file[l_Half] = '.';
    file[l_Half + 1] = '.';
    std::memcpy(file + l_Half + 2, a_pFile + l_Length - l_Half, l_Half);
    file[l_MaxFile] = '\0';
  } else {
    copyBounded(file, kFileSize, a_pFile);
  }
  line = a_Line;
  details[0] = 0;
  return true;
}

bool Status::merge(const Status& a_rOther) {
  const bool l_OtherFull = a_rOther.capacity >= kFullCapacity;
  const bool l_Recorded = l_OtherFull
                              ? set(a_rOther.code, a_rOther.component, a_rOther.file, a_rOther.line)
                              : set(a_rOther.code, "", "", 0);
  if (l_Recorded && l_OtherFull && capacity >= kFullCapacity) {
    for (size_t l_Index = 0; l_Index < kDetailCount; ++l_Index) {
      details[l_Index] = a_rOther.details[l_Index];
      if (a_rOther.details[l_Index] == 0) break;
    }
  }
  return l_Recorded;
}

void Status::clear() {
  code = 0;
  if (capacity >= kFullCapacity) {
    component[0] = '\0';
    file[0] = '\0';
    line = 0;
    details[0] = 0;
  }
}
