// SPDX-License-Identifier: LGPL-2.1-or-later
// StandardPaths: the process-wide table of standard installation
// directories ("sharedstatedir" and eighteen others). It starts from fixed
// defaults and takes the relocated path of any name the optional relocation
// library libqvrelocations.so.0 reports. Built once when the library loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "status/JsonStatus.h"
#include "status/StatusString.h"

// One directory of the table. The table keeps each entry's own status but
// never sets it.
struct sStandardPathEntry {
  StatusString m_Name;
  StatusString m_Default;  // the value the entry was created with
  StatusString m_Value;    // the current value
  JsonStatus m_Status;
};

class StandardPaths {
 public:
  // The process-wide table, built on first use; the outcome of building it
  // is merged into a_rStatus on every call.
  static StandardPaths& instance(JsonStatus& a_rStatus);
  // Frees the process-wide table; for the library's unloading only, when no
  // call can run any more. exit() leaves the table alone.
  static void releaseInstance();

  // Builds a table: the nineteen defaults, then relocations. A failed
  // relocation query records -52006 and ends relocation.
  explicit StandardPaths(JsonStatus& a_rStatus);
  ~StandardPaths();
  StandardPaths(const StandardPaths&) = delete;
  StandardPaths& operator=(const StandardPaths&) = delete;

  // The first entry whose name equals a_rName byte for byte, or null.
  const sStandardPathEntry* find(const char* a_pName, size_t a_Length) const;
  size_t size() const { return m_Count; }
  const sStandardPathEntry& entry(size_t a_Index) const { return m_pEntries[a_Index]; }

 private:
  typedef int32_t (*tGetRelocatedDir)(const char* a_pName, char* a_pBuffer, int32_t a_Size);

  sStandardPathEntry* findMutable(const char* a_pName, size_t a_Length);
  void append(const char* a_pName, const char* a_pValue, JsonStatus& a_rStatus);
  bool reserve(size_t a_Count, JsonStatus& a_rStatus);
  void relocate(const char* a_pName, JsonStatus& a_rStatus);

  tGetRelocatedDir m_pGetRelocatedDir;
  sStandardPathEntry* m_pEntries;
  size_t m_Count;
  size_t m_Capacity;
};

// Copies the current value of the entry named a_rName into a_rValue; -52008
// when no entry has that name (a_rValue untouched).
void getStandardPath(const StandardPaths& a_rTable, const StatusString& a_rName,
                     StatusString& a_rValue, JsonStatus& a_rStatus);

// The value of "sharedstatedir". Throws qverr::Exception carrying the status
// when the table failed to build or the lookup fails.
void getSharedStateDir(std::string& a_rDir);
