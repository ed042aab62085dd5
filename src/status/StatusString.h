// SPDX-License-Identifier: LGPL-2.1-or-later
// A growable byte string whose allocation failures go into a JsonStatus.
#pragma once

#include "status/JsonStatus.h"

#include <cstddef>
#include <cstdint>

class StatusString {
 public:
  StatusString();
  StatusString(const char* a_pText, JsonStatus& a_rStatus);
  StatusString(const StatusString& a_rOther, JsonStatus& a_rStatus);
  ~StatusString();
  StatusString(const StatusString&) = delete;
  StatusString& operator=(const StatusString&) = delete;

  void assign(const char* a_pText, JsonStatus& a_rStatus);
  void assign(const char* a_pData, size_t a_Count, JsonStatus& a_rStatus);
  void reserve(size_t a_Needed, JsonStatus& a_rStatus);
  void release();
  void swap(StatusString& a_rOther);

  const char* c_str() const { return m_pData ? m_pData : ""; }
  const char* data() const { return m_pData; }
  size_t size() const { return m_Length; }
  size_t capacity() const { return m_Capacity; }

 private:
  // Reserves a_Count and copies the bytes with a terminating NUL.
  void copyIn(const char* a_pData, size_t a_Count, JsonStatus& a_rStatus);

  char* m_pData;
  uint64_t m_Capacity;
  uint64_t m_Length;
};
