// SPDX-License-Identifier: LGPL-2.1-or-later
// A growable, zero-terminated character buffer whose allocation failures are
// recorded in a Status instead of thrown. Used for slot-path texts.
#pragma once

#include <cstddef>

#include "Status.h"

namespace nQvPxiDriverTools_1_0 {

class cCharBuffer {
 public:
  // Returned by Find when the text does not occur.
  static constexpr size_t kNotFound = static_cast<size_t>(-1);

  cCharBuffer() = default;
  ~cCharBuffer();
  cCharBuffer(const cCharBuffer&) = delete;
  cCharBuffer& operator=(const cCharBuffer&) = delete;

  // Ensures room for a_Count characters (plus the terminating zero). Growth
  // takes the largest of a_Count, 127 and 1.5 times the old capacity.
  void Reserve(size_t a_Count, Status& a_rStatus);
  // Appends a_Count characters; the range may lie inside this buffer.
  void Append(const char* a_pChars, size_t a_Count, Status& a_rStatus);
  // Appends a zero-terminated text.
  void Append(const char* a_pText, Status& a_rStatus);
  // Makes a_rDest hold at most a_Count characters of this buffer from
  // a_Position on; a_rDest may be this buffer.
  void AssignSubstring(cCharBuffer& a_rDest, size_t a_Position, size_t a_Count, Status& a_rStatus);
  // Position of the first a_pText at or after a_Position, or kNotFound.
  size_t Find(const char* a_pText, size_t a_Position) const;
  // Drops characters beyond a_Length (never grows the text).
  void Truncate(size_t a_Length);
  // Length 0, storage kept.
  void Clear();
  // Storage freed, capacity and length 0.
  void Release();
  void Swap(cCharBuffer& a_rOther);

  const char* GetText() const { return m_pChars ? m_pChars : ""; }
  size_t GetLength() const { return m_Length; }
  size_t GetCapacity() const { return m_Capacity; }
  bool IsEmpty() const { return m_Length == 0; }

 private:
  char* m_pChars = nullptr;
  size_t m_Capacity = 0;
  size_t m_Length = 0;
};

}  // namespace nQvPxiDriverTools_1_0
