// SPDX-License-Identifier: LGPL-2.1-or-later
// Offline validation of a firmware image with the library's own image module
// (src/device, linked as qvzelif_image): the same section split, value
// conversions and checks as an update, so that the tool's verdict for a card
// is the library's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ImageAnalysis.h"
#include "ImageFile.h"

namespace nQvzelTool {

namespace fw = nQVZEL_15_0;

struct sImageReport {
  std::string m_Path;
  bool m_Readable = true;
  sImageFile m_File;
  fw::sImageAnalysis m_Analysis;
  std::string m_Problem;  // the file cannot be read, or the check failed
  // An update writes every section that is not superseded into a card of
  // its flash type and subsystem ID (newer, or forced).
  bool valid() const;
  // Problems of the image as a whole, as sentences.
  std::vector<std::string> imageProblems() const;
  // The first reason the image is not valid, empty when it is.
  std::string reason() const;
};

// Checks bytes held by a_rFile (moved into the report).
sImageReport checkImage(sImageFile a_File);
// The same on a copy of a text, for tests.
sImageReport checkImageText(const std::string& a_rText);
// Reads and checks a file; an unreadable file gives an invalid report.
sImageReport checkImageFile(const std::string& a_rPath);

// The finding as a sentence (no final full stop); values are quoted short
// and escaped.
std::string findingText(const sImageReport& a_rReport, const fw::sSectionAnalysis& a_rSection,
                        const fw::sFinding& a_rFinding);

// The update's own verdict for one card: the code the library gives before
// its driver request (0 when it would write), the check that refused, and
// the section it would write (-1 when none was chosen).
struct sCardVerdict {
  int32_t m_Code = 0;
  fw::eImageStep m_Step = fw::eImageStep::kNone;
  int m_Section = -1;
};

sCardVerdict checkForCard(const sImageReport& a_rReport, uint32_t a_FlashId, uint32_t a_SubsystemId,
                          uint32_t a_InstalledVersion, bool a_Force);

}  // namespace nQvzelTool
