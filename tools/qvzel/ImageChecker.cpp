// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageChecker.h"

#include <cstring>

#include "Format.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {

// Bytes of a header value shown in a message; a longer value is cut.
constexpr uint32_t kQuotedBytes = 40;

// A key as a user writes it ("Version::", not the line feed it is searched with).
std::string keyName(uint32_t a_Key) {
  if (a_Key >= fw::kImageKeyCount) return fw::kUpdateTypeKey;
  const char* l_pKey = fw::kImageKeys[a_Key].m_pKey;
  return l_pKey[0] == '\n' ? l_pKey + 1 : l_pKey;
}

// The value's first bytes, escaped, in single quotes; the length when cut.
std::string quoted(const sImageReport& a_rReport, uint32_t a_Begin, uint32_t a_End) {
  const uint32_t l_Shown = a_End - a_Begin > kQuotedBytes ? kQuotedBytes : a_End - a_Begin;
  std::string l_Text =
      "'" + displayText(std::string(a_rReport.m_File.data() + a_Begin, l_Shown)) + "'";
  if (l_Shown < a_End - a_Begin) {
    l_Text += " (cut; " + std::to_string(a_End - a_Begin) + " bytes in all)";
  }
  return l_Text;
}

std::string quotedValue(const sImageReport& a_rReport, const fw::sHeaderValue& a_rValue) {
  return quoted(a_rReport, a_rValue.m_Begin, a_rValue.m_End);
}

const char* baseName(uint32_t a_Key) {
  return fw::kImageKeys[a_Key].m_Base == 16 ? "hexadecimal" : "decimal";
}

std::string lineFeedText(const sImageReport& a_rReport, const fw::sSectionAnalysis& a_rSection,
                         uint32_t a_Key) {
  uint32_t l_Begin = a_rSection.m_Entry.m_TypeBegin;
  uint32_t l_End = a_rSection.m_Entry.m_TypeEnd;
  if (a_Key < fw::kImageKeyCount) {
    l_Begin = a_rSection.m_Check.m_Values[a_Key].m_Begin;
    l_End = a_rSection.m_Check.m_Values[a_Key].m_End;
  }
  return "the " + keyName(a_Key) + " line ends in a line feed alone, but header lines end in " +
         "CR LF: its value runs on for " + std::to_string(l_End - l_Begin) +
         " bytes, to the next CR LF or the end of the image: " + quoted(a_rReport, l_Begin, l_End);
}

// Whether the section's line of a_Key (kImageKeyCount: the update type) ends
// in a line feed alone, so that its value ran on.
bool endsInLineFeedOnly(const fw::sSectionAnalysis& a_rSection, uint32_t a_Key) {
  for (const fw::sFinding& l_rFinding : a_rSection.m_Findings) {
    if (l_rFinding.m_Kind == fw::eFinding::kLineFeedOnly && l_rFinding.m_Key == a_Key) return true;
  }
  return false;
}

}  // namespace

bool sImageReport::valid() const {
  return m_Readable && m_Problem.empty() && m_File.m_Size != 0 && m_Analysis.valid();
}

std::vector<std::string> sImageReport::imageProblems() const {
  std::vector<std::string> l_Problems;
  if (!m_Problem.empty()) {
    l_Problems.push_back(m_Problem);
  } else if (m_File.m_Size == 0) {
    l_Problems.push_back("the file is empty");
  } else if (m_Analysis.m_Sections.empty()) {
    l_Problems.push_back("the file holds no firmware section (no HeaderVersion:: key)");
  } else if (m_Analysis.m_ScanCode < 0) {
    const int32_t l_Code = m_Analysis.m_ScanCode;
    bool l_LineFeed = false;
    for (const fw::sSectionAnalysis& l_rSection : m_Analysis.m_Sections) {
      l_LineFeed = l_LineFeed || endsInLineFeedOnly(l_rSection, fw::kImageKeyCount);
    }
    l_Problems.push_back(std::string("the library refuses the whole image because ") +
                         (l_Code != QVZEL_ERR_NOT_SUPPORTED ? "a section has no update type"
                          : l_LineFeed
                              ? "a section's UpdateType:: line ends in a line feed alone, so "
                                "its update type runs on and is not one of the two known ones"
                              : "a section's update type is not one of the two known ones") +
                         " (status " + std::to_string(l_Code) + ", " + qvzel_status_name(l_Code) +
                         ")");
  }
  return l_Problems;
}

std::string sImageReport::reason() const {
  if (valid()) return "";
  for (size_t l_Index = 0; l_Index < m_Analysis.m_Sections.size(); ++l_Index) {
    const fw::sSectionAnalysis& l_rSection = m_Analysis.m_Sections[l_Index];
    if (l_rSection.m_Superseded) continue;
    for (const fw::sFinding& l_rFinding : l_rSection.m_Findings) {
      if (l_rFinding.m_Refuses) {
        return "section " + std::to_string(l_Index + 1) + ": " +
               findingText(*this, l_rSection, l_rFinding);
      }
    }
  }
  const std::vector<std::string> l_Problems = imageProblems();
  return l_Problems.empty() ? "the library would refuse it" : l_Problems.front();
}

sImageReport checkImage(sImageFile a_File) {
  sImageReport l_Report;
  l_Report.m_File = std::move(a_File);
  Status l_Status;
  fw::analyseImage(l_Report.m_File.data() != nullptr ? l_Report.m_File.data() : "",
                   l_Report.m_File.length(), l_Report.m_Analysis, l_Status);
  if (l_Status.isFatal()) {
    l_Report.m_Problem = "the image cannot be checked: " + statusText(l_Status.result());
  }
  return l_Report;
}

sImageReport checkImageText(const std::string& a_rText) {
  sImageFile l_File;
  l_File.m_pData.reset(new uint8_t[a_rText.size() + 1]);
  std::memcpy(l_File.m_pData.get(), a_rText.data(), a_rText.size());
  l_File.m_Size = a_rText.size();
  return checkImage(std::move(l_File));
}

sImageReport checkImageFile(const std::string& a_rPath) {
  sImageFile l_File;
  std::string l_Problem;
  if (!readImageFile(a_rPath, l_File, l_Problem)) {
    sImageReport l_Report;
    l_Report.m_Path = a_rPath;
    l_Report.m_Readable = false;
    l_Report.m_Problem = l_Problem;
    return l_Report;
  }
  sImageReport l_Report = checkImage(std::move(l_File));
  l_Report.m_Path = a_rPath;
  return l_Report;
}

std::string findingText(const sImageReport& a_rReport, const fw::sSectionAnalysis& a_rSection,
                        const fw::sFinding& a_rFinding) {
  const uint32_t l_Key = a_rFinding.m_Key;
  const fw::sSectionCheck& l_rCheck = a_rSection.m_Check;
  const fw::sHeaderValue* l_pValue =
      l_Key < fw::kImageKeyCount ? &l_rCheck.m_Values[l_Key] : nullptr;
  switch (a_rFinding.m_Kind) {
    case fw::eFinding::kTypeMissing:
      return "the header has no UpdateType:: line, and none follows in the image";
    case fw::eFinding::kTypeUnknown:
      // The line feed, not the text it ran on into, is what to fix.
      if (endsInLineFeedOnly(a_rSection, fw::kImageKeyCount)) {
        const fw::sSectionEntry& l_rEntry = a_rSection.m_Entry;
        return "the UpdateType:: line ends in a line feed alone, not CR LF, so its value runs on " +
               std::string("and is no known update type: ") +
               quoted(a_rReport, l_rEntry.m_TypeBegin, l_rEntry.m_TypeEnd);
      }
      return "the update type " +
             quoted(a_rReport, a_rSection.m_Entry.m_TypeBegin, a_rSection.m_Entry.m_TypeEnd) +
             " is not " + fw::kSstUpdateType + " or " + fw::kIssiUpdateType +
             " (double quotes included)";
    case fw::eFinding::kKeyMissing:
      return "the header has no " + keyName(l_Key) + " line";
    case fw::eFinding::kKeyBorrowed:
      return "the header has no " + keyName(l_Key) + " line; an update takes " +
             quotedValue(a_rReport, *l_pValue) + " from offset " +
             std::to_string(l_pValue->m_KeyOffset) + ", after the section";
    case fw::eFinding::kNotNumeric:
      return "the " + keyName(l_Key) + " value " + quotedValue(a_rReport, *l_pValue) +
             " is not a " + baseName(l_Key) + " number; an update reads it as 0";
    case fw::eFinding::kOutOfRange:
      return "the " + keyName(l_Key) + " value " + quotedValue(a_rReport, *l_pValue) + " is " +
             (l_pValue->m_Number.m_Negative ? "negative" : "above 0xFFFFFFFF") +
             "; header numbers are unsigned 32-bit, so an update refuses the section";
    case fw::eFinding::kLineFeedOnly:
      return lineFeedText(a_rReport, a_rSection, l_Key);
    case fw::eFinding::kHeaderVersion:
      return "the header version is " + std::to_string(static_cast<int32_t>(l_pValue->cut())) +
             "; the library accepts only version " + std::to_string(fw::kSupportedHeaderVersion);
    case fw::eFinding::kNoEmptyLine:
      return "the header does not end with an empty line inside the section";
    case fw::eFinding::kEmptyPayload:
      return "the section has no payload after its header";
    case fw::eFinding::kDecodesToNothing:
      return "the payload decodes to no byte; an empty firmware is never written";
    case fw::eFinding::kByteCount:
      return "the payload decodes to " + std::to_string(l_rCheck.m_DecodedLength) +
             " bytes, but the header declares " +
             std::to_string(static_cast<int32_t>(l_pValue->cut())) + " (ByteCount::)";
    case fw::eFinding::kChecksum: {
      std::string l_Text = "the checksum of the decoded bytes is " +
                           std::to_string(l_rCheck.m_ComputedCrc) + ", but the header declares " +
                           quotedValue(a_rReport, *l_pValue) + " (CRC::)";
      const std::string l_Written(a_rReport.m_File.data() + l_pValue->m_Begin,
                                  std::min<uint32_t>(l_pValue->m_End - l_pValue->m_Begin, 64));
      if (l_Written.find_first_of("xX") != std::string::npos) {
        l_Text += "; the checksum must be written in decimal";
      }
      return l_Text;
    }
    case fw::eFinding::kSuperseded:
      return "a later section for the same flash type is written instead";
  }
  return "";
}

sCardVerdict checkForCard(const sImageReport& a_rReport, uint32_t a_FlashId, uint32_t a_SubsystemId,
                          uint32_t a_InstalledVersion, bool a_Force) {
  fw::cKnownCard l_Card(a_FlashId, a_SubsystemId, a_InstalledVersion);
  fw::sImageWrite l_Write;
  Status l_Status;
  fw::checkImageForCard(a_rReport.m_File.data() != nullptr ? a_rReport.m_File.data() : "",
                        a_rReport.m_File.length(), a_Force ? QVZEL_FORCE_UPDATE : 0, l_Card,
                        l_Write, l_Status);
  sCardVerdict l_Verdict;
  l_Verdict.m_Code = l_Status.result();
  l_Verdict.m_Step = l_Write.m_Step;
  if (l_Write.m_Step != fw::eImageStep::kSections && l_Write.m_Step != fw::eImageStep::kFlashType) {
    l_Verdict.m_Section = static_cast<int>(l_Write.m_SectionIndex);
  }
  return l_Verdict;
}

}  // namespace nQvzelTool
