// SPDX-License-Identifier: LGPL-2.1-or-later
// An INI file bound to one path, on top of the INI engine: engine results
// become Status codes; adds a read-only mode and an optional verified save.
#pragma once

#include "config/iIniFile.h"

namespace nQvPxiDriverTools_1_0 {

struct sIniDocument;

class cIniFile : public iIniFile {
 public:
  cIniFile();
  ~cIniFile() override;
  cIniFile(const cIniFile&) = delete;
  cIniFile& operator=(const cIniFile&) = delete;

  void Open(const char* a_pPath, uint32_t a_Mode, Status& a_rStatus) override;
  void GetPath(std::string& a_rPath, Status& a_rStatus) override;
  void Close() override;
  void Save(Status& a_rStatus) override;
  void Reset(Status& a_rStatus) override;
  void GetSectionNames(std::vector<std::string>& a_rNames, Status& a_rStatus) override;
  bool SectionExists(const char* a_pSection, Status& a_rStatus) override;
  bool KeyExists(const char* a_pSection, const char* a_pKey, Status& a_rStatus) override;
  void DeleteKey(const char* a_pSection, const char* a_pKey, Status& a_rStatus) override;
  void DeleteSection(const char* a_pSection, Status& a_rStatus) override;
  void RenameSection(const char* a_pOldName, const char* a_pNewName, Status& a_rStatus) override;
  void GetString(const char* a_pSection, const char* a_pKey, std::string& a_rValue,
                 Status& a_rStatus) override;
  void SetString(const char* a_pSection, const char* a_pKey, const char* a_pValue,
                 Status& a_rStatus) override;
  void GetHexU32(const char* a_pSection, const char* a_pKey, uint32_t& a_rValue,
                 Status& a_rStatus) override;
  void SetHexU32(const char* a_pSection, const char* a_pKey, uint32_t a_Value,
                 Status& a_rStatus) override;
  void GetI32(const char* a_pSection, const char* a_pKey, int32_t& a_rValue,
              Status& a_rStatus) override;
  void SetI32(const char* a_pSection, const char* a_pKey, int32_t a_Value,
              Status& a_rStatus) override;
  void GetU32(const char* a_pSection, const char* a_pKey, uint32_t& a_rValue,
              Status& a_rStatus) override;
  void SetU32(const char* a_pSection, const char* a_pKey, uint32_t a_Value,
              Status& a_rStatus) override;
  void GetI32List(const char* a_pSection, const char* a_pKey, std::list<int32_t>& a_rValues,
                  Status& a_rStatus) override;
  void SetI32List(const char* a_pSection, const char* a_pKey, const std::list<int32_t>& a_rValues,
                  Status& a_rStatus) override;
  void GetStringList(const char* a_pSection, const char* a_pKey, std::list<std::string>& a_rValues,
                     Status& a_rStatus) override;
  void SetStringList(const char* a_pSection, const char* a_pKey,
                     const std::list<std::string>& a_rValues, Status& a_rStatus) override;
  bool HasChangedOnDisk(Status& a_rStatus) override;
  bool GetVerifyWrite() override;
  void SetVerifyWrite(bool a_VerifyWrite) override;

 private:
  // Records -313317 when there is no document.
  bool NeedsDocument(Status& a_rStatus);
  // Also records -313318 on a read-only object.
  bool NeedsWritable(Status& a_rStatus);
  // Reads the value and cuts it at every ",".
  bool GetPieces(const char* a_pSection, const char* a_pKey, std::vector<std::string>& a_rPieces,
                 Status& a_rStatus);

  std::string m_Path;
  sIniDocument* m_pDocument;
  bool m_ReadOnly;
  bool m_VerifyWrite;
};

}  // namespace nQvPxiDriverTools_1_0
