// SPDX-License-Identifier: LGPL-2.1-or-later
// A firmware image examined without a card: every section with every header
// value, its payload decoded and checksummed, and every finding, each marked
// as one that makes an update refuse the section or as a note. A section's
// verdict is the update's own check (ImageCheck) for the card the section is
// meant for: its flash type and subsystem ID, forced, so that the installed
// version does not count.
#pragma once

#include <cstdint>
#include <vector>

#include "ImageCheck.h"

namespace nQVZEL_15_0 {

enum class eFinding {
  kTypeMissing,       // no "UpdateType::" from the section on
  kTypeUnknown,       // not one of the two texts: the update refuses the whole image
  kKeyMissing,        // m_Key occurs nowhere from the section's start on
  kKeyBorrowed,       // m_Key occurs only after the section: its value comes from there
  kNotNumeric,        // m_Key's value has no digit: the update reads 0
  kOutOfRange,        // m_Key's number is negative or above 0xFFFFFFFF: the update refuses it
  kLineFeedOnly,      // a header line ends in a lone LF, so its value runs on (m_Key, or
                      // kImageKeyCount for the update type)
  kHeaderVersion,     // not the supported header version
  kNoEmptyLine,       // no empty line ends the header inside the section
  kEmptyPayload,      // nothing after the empty line
  kDecodesToNothing,  // the payload holds no whole byte
  kByteCount,         // decoded length differs from the byte count
  kChecksum,          // checksum differs
  kSuperseded         // a later section has the same flash type and is written instead
};

struct sFinding {
  eFinding m_Kind;
  uint32_t m_Key;  // an eImageKey, kImageKeyCount for the update type or none
  bool m_Refuses;  // true: the update refuses this section for its card
};

struct sSectionAnalysis {
  sSectionEntry m_Entry;  // range, update type and flash ID (0 when not accepted)
  sSectionCheck m_Check;  // header values, payload, decoded length, checksum
  bool m_Superseded = false;
  int32_t m_Code = 0;  // the update's verdict for this section's own card
  eImageStep m_Step = eImageStep::kNone;
  std::vector<sFinding> m_Findings;
};

struct sImageAnalysis {
  uint32_t m_Length = 0;
  int32_t m_ScanCode = 0;  // the section split as an update makes it
  std::vector<sSectionAnalysis> m_Sections;
  // The update's answer when no section is chosen: no section at all, or a
  // split that fails; 0 otherwise.
  int32_t imageCode() const;
  // True when an update writes every section that is not superseded into
  // the card it is meant for.
  bool valid() const;
};

// Examines a whole image; records only invalid parameter and memory full.
void analyseImage(const char* a_pImage, uint32_t a_Length, sImageAnalysis& a_rAnalysis,
                  Status& a_rStatus);

}  // namespace nQVZEL_15_0
