// SPDX-License-Identifier: LGPL-2.1-or-later
// The interface of an INI file bound to one path: reads, typed and list
// values, changes, saving, and a change query. Failures go into the Status.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "status/Status.h"

namespace nQvPxiDriverTools_1_0 {

class iIniFile {
 public:
  // Modes of Open: only bit 0 counts, the other bits are ignored.
  static constexpr uint32_t kModeReadWrite = 0;
  static constexpr uint32_t kModeReadOnly = 1;

  virtual ~iIniFile() = default;

  // Binds the object to a_pPath and loads it in one of the modes above.
  virtual void Open(const char* a_pPath, uint32_t a_Mode, Status& a_rStatus) = 0;
  virtual void GetPath(std::string& a_rPath, Status& a_rStatus) = 0;
  virtual void Close() = 0;
  virtual void Save(Status& a_rStatus) = 0;
  // Replaces the document by an empty one with the engine defaults.
  virtual void Reset(Status& a_rStatus) = 0;
  // Appends the section names in order.
  virtual void GetSectionNames(std::vector<std::string>& a_rNames, Status& a_rStatus) = 0;
  virtual bool SectionExists(const char* a_pSection, Status& a_rStatus) = 0;
  virtual bool KeyExists(const char* a_pSection, const char* a_pKey, Status& a_rStatus) = 0;
  virtual void DeleteKey(const char* a_pSection, const char* a_pKey, Status& a_rStatus) = 0;
  virtual void DeleteSection(const char* a_pSection, Status& a_rStatus) = 0;
  virtual void RenameSection(const char* a_pOldName, const char* a_pNewName, Status& a_rStatus) = 0;
  virtual void GetString(const char* a_pSection, const char* a_pKey, std::string& a_rValue,
                         Status& a_rStatus) = 0;
  virtual void SetString(const char* a_pSection, const char* a_pKey, const char* a_pValue,
                         Status& a_rStatus) = 0;
  virtual void GetHexU32(const char* a_pSection, const char* a_pKey, uint32_t& a_rValue,
                         Status& a_rStatus) = 0;
  virtual void SetHexU32(const char* a_pSection, const char* a_pKey, uint32_t a_Value,
                         Status& a_rStatus) = 0;
  virtual void GetI32(const char* a_pSection, const char* a_pKey, int32_t& a_rValue,
                      Status& a_rStatus) = 0;
  virtual void SetI32(const char* a_pSection, const char* a_pKey, int32_t a_Value,
                      Status& a_rStatus) = 0;
  virtual void GetU32(const char* a_pSection, const char* a_pKey, uint32_t& a_rValue,
                      Status& a_rStatus) = 0;
  virtual void SetU32(const char* a_pSection, const char* a_pKey, uint32_t a_Value,
                      Status& a_rStatus) = 0;
  // Appends the comma-separated numbers of the value.
  virtual void GetI32List(const char* a_pSection, const char* a_pKey, std::list<int32_t>& a_rValues,
                          Status& a_rStatus) = 0;
  virtual void SetI32List(const char* a_pSection, const char* a_pKey,
                          const std::list<int32_t>& a_rValues, Status& a_rStatus) = 0;
  // Appends the comma-separated pieces of the value.
  virtual void GetStringList(const char* a_pSection, const char* a_pKey,
                             std::list<std::string>& a_rValues, Status& a_rStatus) = 0;
  virtual void SetStringList(const char* a_pSection, const char* a_pKey,
                             const std::list<std::string>& a_rValues, Status& a_rStatus) = 0;
  // True when the file on disk differs in time from the last load or save.
  virtual bool HasChangedOnDisk(Status& a_rStatus) = 0;
  virtual bool GetVerifyWrite() = 0;
  virtual void SetVerifyWrite(bool a_VerifyWrite) = 0;
};

}  // namespace nQvPxiDriverTools_1_0
