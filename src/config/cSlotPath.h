// SPDX-License-Identifier: LGPL-2.1-or-later
// A PCI function's position in the bus tree: the device/function codes from
// the function itself up through each bridge to a root bus, plus that root
// bus number. Text form: "MR" root ":" codes, e.g. MR00:00,E0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cCharBuffer.h"
#include "Status.h"

namespace nQvPxiDriverTools_1_0 {

class cSlotPath {
 public:
  // Empty path on root bus 0.
  cSlotPath();
  // Parses a_pText; parse failures go to a_rStatus, never into the path.
  cSlotPath(const char* a_pText, Status& a_rStatus);
  cSlotPath(const cSlotPath& a_rSource);
  // A failed copy (source unusable, memory) makes this path unusable.
  cSlotPath& operator=(const cSlotPath& a_rSource);
  virtual ~cSlotPath();

  // Replaces the path with the parsed text.
  void SetFromText(const char* a_pText, Status& a_rStatus);
  // Writes the hex text form, e.g. MR00:00,E0.
  void GetText(cCharBuffer& a_rText, Status& a_rStatus) const;
  void GetText(std::string& a_rText, Status& a_rStatus) const;
  // Goes one level down: the new front is (device << 3) | function.
  void PushDeviceFunction(uint8_t a_Device, uint8_t a_Function, Status& a_rStatus);
  // The front code (0-255), or -1 (empty path: -313324 is recorded).
  int GetFrontDeviceFunction(Status& a_rStatus) const;
  // Applies a relative pattern such as "-,f2" or "f0,d4f0".
  void ApplyRelativePath(const std::string& a_rPattern, Status& a_rStatus);

  bool IsEmpty() const { return m_pFront == nullptr; }
  void PopFront();
  void Clear();

  uint8_t GetRootBus() const { return m_RootBus; }
  size_t GetDeviceFunctionCount() const;
  // The path's own status: an error here makes the path unusable for good.
  const Status& GetOwnStatus() const { return m_Status; }

 private:
  struct sElement {
    sElement* m_pNext;  // one level nearer the root
    uint8_t m_Code;
  };

  // Folds the own status into a_rStatus; true when the path is usable.
  bool CheckUsable(Status& a_rStatus) const;
  void AppendBack(uint8_t a_Code, Status& a_rStatus);
  void ApplyToken(const char* a_pToken, Status& a_rStatus);

  // Ordered codes, front (deepest level) first; m_pBack allows appending.
  sElement* m_pFront;
  sElement* m_pBack;
  uint8_t m_RootBus;
  Status m_Status;
};

}  // namespace nQvPxiDriverTools_1_0
