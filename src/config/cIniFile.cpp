// SPDX-License-Identifier: LGPL-2.1-or-later
#include "config/cIniFile.h"

#include <cstdio>
#include <new>

#include "config/IniEngine.h"

namespace nQvPxiDriverTools_1_0 {

namespace {
// A verified save writes at most this often before giving up.
constexpr int kMaxSaveAttempts = 5;
}  // namespace

cIniFile::cIniFile() : m_Path(), m_pDocument(nullptr), m_ReadOnly(false), m_VerifyWrite(false) {}

cIniFile::~cIniFile() { Close(); }

bool cIniFile::NeedsDocument(Status& a_rStatus) {
  if (m_pDocument != nullptr) return true;
  QVZ_SET_STATUS(a_rStatus, qvstatus::kIniNoDocument);
  return false;
}

bool cIniFile::NeedsWritable(Status& a_rStatus) {
  if (!NeedsDocument(a_rStatus)) return false;
  if (!m_ReadOnly) return true;
  QVZ_SET_STATUS(a_rStatus, qvstatus::kIniReadOnly);
  return false;
}

void cIniFile::Open(const char* a_pPath, uint32_t a_Mode, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pPath == nullptr || a_pPath[0] == '\0') {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniPath);
    return;
  }
  Close();
  try {
    m_Path = a_pPath;
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  m_pDocument = iniCreate();
  if (m_pDocument == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniCreate);
    return;
  }
  iniSetLineFormat(m_pDocument, kIniUnlimitedWidth, false);
  iniSetCaseSensitive(m_pDocument, 1);
  m_ReadOnly = (a_Mode & kModeReadOnly) != 0;
  // The document stays attached after a failed load: a missing file can be
  // filled and saved.
  if (iniLoad(m_pDocument, a_pPath) < 0) QVZ_SET_STATUS(a_rStatus, qvstatus::kIniLoad);
}

void cIniFile::GetPath(std::string& a_rPath, Status& a_rStatus) {
  try {
    a_rPath = m_Path;
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }
}

void cIniFile::Close() {
  iniFree(m_pDocument);
  m_pDocument = nullptr;
}

void cIniFile::Save(Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  const time_t l_TimeBefore = iniFileTime(m_pDocument);
  for (int l_Attempt = 0; l_Attempt < kMaxSaveAttempts; ++l_Attempt) {
    if (iniSave(m_pDocument, m_Path.c_str()) < 0) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kIniWrite);
      return;
    }
    if (!m_VerifyWrite || iniFileTime(m_pDocument) != l_TimeBefore) return;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kIniWrite);
}

void cIniFile::Reset(Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  Close();
  m_pDocument = iniCreate();
  if (m_pDocument == nullptr) QVZ_SET_STATUS(a_rStatus, qvstatus::kIniCreate);
}

void cIniFile::GetSectionNames(std::vector<std::string>& a_rNames, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  const int l_Count = iniSectionCount(m_pDocument);
  for (int l_Position = 1; l_Position <= l_Count; ++l_Position) {
    const char* l_pName = nullptr;
    if (iniSectionName(m_pDocument, l_Position, &l_pName) != kIniFound) continue;
    try {
      a_rNames.push_back(l_pName);
    } catch (const std::bad_alloc&) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    }
  }
}

bool cIniFile::SectionExists(const char* a_pSection, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return false;
  return iniSectionExists(m_pDocument, a_pSection) == kIniFound;
}

bool cIniFile::KeyExists(const char* a_pSection, const char* a_pKey, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return false;
  return iniKeyExists(m_pDocument, a_pSection, a_pKey) == kIniFound;
}

void cIniFile::DeleteKey(const char* a_pSection, const char* a_pKey, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  if (iniDeleteKey(m_pDocument, a_pSection, a_pKey) != kIniFound) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniKeyMissing);
  }
}

void cIniFile::DeleteSection(const char* a_pSection, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  if (iniDeleteSection(m_pDocument, a_pSection) != kIniFound) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniSection);
  }
}

void cIniFile::RenameSection(const char* a_pOldName, const char* a_pNewName, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  if (iniRenameSection(m_pDocument, a_pOldName, a_pNewName) != kIniFound) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniSection);
  }
}

void cIniFile::GetString(const char* a_pSection, const char* a_pKey, std::string& a_rValue,
                         Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  const char* l_pValue = nullptr;
  const int l_Result = iniGetValue(m_pDocument, a_pSection, a_pKey, &l_pValue);
  if (l_Result < 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniRead);
  } else if (l_Result == kIniNotFound) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniKeyMissing);
  } else {
    try {
      a_rValue = l_pValue;
    } catch (const std::bad_alloc&) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    }
  }
}

void cIniFile::SetString(const char* a_pSection, const char* a_pKey, const char* a_pValue,
                         Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  if (iniSetString(m_pDocument, a_pSection, a_pKey, a_pValue) <= 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniWrite);
  }
}

void cIniFile::GetHexU32(const char* a_pSection, const char* a_pKey, uint32_t& a_rValue,
                         Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  std::string l_Text;
  GetString(a_pSection, a_pKey, l_Text, a_rStatus);
  if (a_rStatus.isFatal()) return;
  unsigned int l_Value = 0;
  if (std::sscanf(l_Text.c_str(), "%x", &l_Value) != 1) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniConversion);
    return;
  }
  a_rValue = l_Value;
}

void cIniFile::SetHexU32(const char* a_pSection, const char* a_pKey, uint32_t a_Value,
                         Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "%#x", static_cast<unsigned int>(a_Value));
  SetString(a_pSection, a_pKey, l_Text, a_rStatus);
}

void cIniFile::GetI32(const char* a_pSection, const char* a_pKey, int32_t& a_rValue,
                      Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  const int l_Result = iniGetI32(m_pDocument, a_pSection, a_pKey, &a_rValue);
  if (l_Result < 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniRead);
  } else if (l_Result == kIniNotFound) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniKeyMissing);
  }
}

void cIniFile::SetI32(const char* a_pSection, const char* a_pKey, int32_t a_Value,
                      Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  if (iniSetI32(m_pDocument, a_pSection, a_pKey, a_Value) <= 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniWrite);
  }
}

void cIniFile::GetU32(const char* a_pSection, const char* a_pKey, uint32_t& a_rValue,
                      Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  const int l_Result = iniGetU32(m_pDocument, a_pSection, a_pKey, &a_rValue);
  if (l_Result < 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniRead);
  } else if (l_Result == kIniNotFound) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniKeyMissing);
  }
}

void cIniFile::SetU32(const char* a_pSection, const char* a_pKey, uint32_t a_Value,
                      Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  if (iniSetU32(m_pDocument, a_pSection, a_pKey, a_Value) <= 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniWrite);
  }
}

bool cIniFile::GetPieces(const char* a_pSection, const char* a_pKey,
                         std::vector<std::string>& a_rPieces, Status& a_rStatus) {
  std::string l_Text;
  GetString(a_pSection, a_pKey, l_Text, a_rStatus);
  if (a_rStatus.isFatal()) return false;
  try {
    size_t l_Start = 0;
    for (size_t l_Comma = l_Text.find(','); l_Comma != std::string::npos;
         l_Comma = l_Text.find(',', l_Start)) {
      a_rPieces.push_back(l_Text.substr(l_Start, l_Comma - l_Start));
      l_Start = l_Comma + 1;
    }
    // The piece after the last "," counts only when it is not empty.
    if (l_Start < l_Text.size()) a_rPieces.push_back(l_Text.substr(l_Start));
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return false;
  }
  return true;
}

void cIniFile::GetI32List(const char* a_pSection, const char* a_pKey, std::list<int32_t>& a_rValues,
                          Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  std::vector<std::string> l_Pieces;
  if (!GetPieces(a_pSection, a_pKey, l_Pieces, a_rStatus)) return;
  for (const std::string& l_rPiece : l_Pieces) {
    int l_Value = 0;
    if (std::sscanf(l_rPiece.c_str(), "%d", &l_Value) != 1) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kIniConversion);
      return;
    }
    try {
      a_rValues.push_back(l_Value);
    } catch (const std::bad_alloc&) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
      return;
    }
  }
}

void cIniFile::SetI32List(const char* a_pSection, const char* a_pKey,
                          const std::list<int32_t>& a_rValues, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  std::string l_Text;
  try {
    char l_Number[16];
    for (const int32_t l_Value : a_rValues) {
      std::snprintf(l_Number, sizeof(l_Number), l_Text.empty() ? "%d" : ",%d",
                    static_cast<int>(l_Value));
      l_Text += l_Number;
    }
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  SetString(a_pSection, a_pKey, l_Text.c_str(), a_rStatus);
}

void cIniFile::GetStringList(const char* a_pSection, const char* a_pKey,
                             std::list<std::string>& a_rValues, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsDocument(a_rStatus)) return;
  std::vector<std::string> l_Pieces;
  if (!GetPieces(a_pSection, a_pKey, l_Pieces, a_rStatus)) return;
  try {
    for (std::string& l_rPiece : l_Pieces) a_rValues.push_back(std::move(l_rPiece));
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }
}

void cIniFile::SetStringList(const char* a_pSection, const char* a_pKey,
                             const std::list<std::string>& a_rValues, Status& a_rStatus) {
  if (a_rStatus.isFatal() || !NeedsWritable(a_rStatus)) return;
  std::string l_Text;
  try {
    bool l_First = true;
    for (const std::string& l_rValue : a_rValues) {
      if (!l_First) l_Text += ',';
      l_Text += l_rValue;
      l_First = false;
    }
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
    return;
  }
  SetString(a_pSection, a_pKey, l_Text.c_str(), a_rStatus);
}

bool cIniFile::HasChangedOnDisk(Status& a_rStatus) {
  if (m_pDocument == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIniChangeQuery);
    return false;
  }
  return iniHasChanged(m_pDocument) != 0;
}

bool cIniFile::GetVerifyWrite() { return m_VerifyWrite; }

void cIniFile::SetVerifyWrite(bool a_VerifyWrite) { m_VerifyWrite = a_VerifyWrite; }

}  // namespace nQvPxiDriverTools_1_0
