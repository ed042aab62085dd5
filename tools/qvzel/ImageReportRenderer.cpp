// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageReportRenderer.h"

#include <algorithm>

#include "Format.h"
#include "JsonRenderer.h"
#include "cJsonWriter.h"

namespace nQvzelTool {

namespace {

// Bytes of a header text shown; longer texts are cut.
constexpr uint32_t kShownBytes = 40;

std::string rawText(const sImageReport& a_rReport, uint32_t a_Begin, uint32_t a_End) {
  return std::string(a_rReport.m_File.data() + a_Begin, std::min(a_End - a_Begin, kShownBytes));
}

std::string shownText(const sImageReport& a_rReport, uint32_t a_Begin, uint32_t a_End) {
  std::string l_Text = displayText(rawText(a_rReport, a_Begin, a_End));
  if (a_End - a_Begin > kShownBytes) l_Text += "...";
  return l_Text;
}

const fw::sHeaderValue& valueOf(const fw::sSectionAnalysis& a_rSection, fw::eImageKey a_Key) {
  return a_rSection.m_Check.m_Values[a_Key];
}

// The value cut to 32 bits, or "missing"; marked when it is out of range
// (an update refuses it) and when it comes from after the section.
std::string fieldText(const fw::sSectionAnalysis& a_rSection, fw::eImageKey a_Key,
                      int a_Digits = 1) {
  const fw::sHeaderValue& l_rValue = valueOf(a_rSection, a_Key);
  if (!l_rValue.m_Found) return "missing";
  std::string l_Text = fw::kImageKeys[a_Key].m_Base == 16
                           ? hexText(l_rValue.cut(), a_Digits)
                           : std::to_string(static_cast<int32_t>(l_rValue.cut()));
  if (!l_rValue.m_Number.m_FitsUnsigned32) l_Text += " (out of range)";
  if (l_rValue.m_KeyOffset >= a_rSection.m_Entry.m_Section.m_End)
    l_Text += " (from a later section)";
  return l_Text;
}

// Columns of the section lines' labels, values after them.
constexpr size_t kLabelColumns = 20;

void line(std::ostream& a_rOut, const char* a_pLabel, const std::string& a_rValue,
          size_t a_Columns) {
  std::string l_Label = std::string("  ") + a_pLabel;
  l_Label.resize(std::max(l_Label.size(), kLabelColumns), ' ');
  a_rOut << wrapText(l_Label, a_rValue, std::string(kLabelColumns, ' '), a_Columns);
}

std::vector<std::string> findingTexts(const sImageReport& a_rReport,
                                      const fw::sSectionAnalysis& a_rSection, bool a_Refusing) {
  std::vector<std::string> l_Texts;
  for (const fw::sFinding& l_rFinding : a_rSection.m_Findings) {
    if (l_rFinding.m_Refuses == a_Refusing) {
      l_Texts.push_back(findingText(a_rReport, a_rSection, l_rFinding));
    }
  }
  return l_Texts;
}

void renderSection(const sImageReport& a_rReport, size_t a_Index, std::ostream& a_rOut,
                   size_t a_Columns) {
  const fw::sSectionAnalysis& l_rSection = a_rReport.m_Analysis.m_Sections[a_Index];
  const fw::sSectionEntry& l_rEntry = l_rSection.m_Entry;
  const fw::sSectionCheck& l_rCheck = l_rSection.m_Check;
  a_rOut << "Section " << a_Index + 1 << " (offset " << l_rEntry.m_Section.m_Start << ", "
         << l_rEntry.m_Section.m_End - l_rEntry.m_Section.m_Start << " bytes)\n";
  std::string l_Type = l_rEntry.m_HasType
                           ? shownText(a_rReport, l_rEntry.m_TypeBegin, l_rEntry.m_TypeEnd)
                           : "missing";
  const char* l_pFlash = flashTypeName(l_rEntry.m_Section.m_FlashId);
  if (l_pFlash != nullptr) {
    l_Type += " (flash ID " + hexText(l_rEntry.m_Section.m_FlashId, 4) + ", " + l_pFlash + ")";
  }
  line(a_rOut, "Update type:", l_Type, a_Columns);
  line(a_rOut, "Header version:", fieldText(l_rSection, fw::kKeyHeaderVersion), a_Columns);
  line(a_rOut, "Subsystem ID:", fieldText(l_rSection, fw::kKeySubsystemId, 4), a_Columns);
  line(a_rOut, "Pin-out address:", fieldText(l_rSection, fw::kKeyPinOutAddr), a_Columns);
  line(a_rOut, "Pin-out version:", fieldText(l_rSection, fw::kKeyPinOutVer), a_Columns);
  line(a_rOut, "Flash offset:", fieldText(l_rSection, fw::kKeyOffset), a_Columns);
  line(a_rOut, "Version:", fieldText(l_rSection, fw::kKeyVersion), a_Columns);
  line(a_rOut, "Byte count:", fieldText(l_rSection, fw::kKeyByteCount), a_Columns);
  if (l_rCheck.m_Decoded) {
    const fw::sHeaderValue& l_rCrc = valueOf(l_rSection, fw::kKeyCrc);
    line(a_rOut, "Payload:",
         std::to_string(l_rCheck.m_PayloadLength) + " characters, decoding to " +
             std::to_string(l_rCheck.m_DecodedLength) + " bytes",
         a_Columns);
    line(a_rOut, "Checksum:",
         "declared " +
             (l_rCrc.m_Found ? shownText(a_rReport, l_rCrc.m_Begin, l_rCrc.m_End)
                             : std::string("missing")) +
             ", computed " + std::to_string(l_rCheck.m_ComputedCrc),
         a_Columns);
  } else {
    line(a_rOut, "Payload:", "missing", a_Columns);
  }
  const std::vector<std::string> l_Problems = findingTexts(a_rReport, l_rSection, true);
  if (l_Problems.empty()) {
    line(a_rOut, "Verdict:", "valid", a_Columns);
  } else {
    line(a_rOut, "Verdict:", "INVALID: " + l_Problems.front(), a_Columns);
    for (size_t l_Index = 1; l_Index < l_Problems.size(); ++l_Index) {
      line(a_rOut, "", "also: " + l_Problems[l_Index], a_Columns);
    }
  }
  for (const std::string& l_rNote : findingTexts(a_rReport, l_rSection, false)) {
    line(a_rOut, "", "note: " + l_rNote, a_Columns);
  }
}

void optionalNumber(cJsonWriter& a_rJson, const char* a_pKey,
                    const fw::sSectionAnalysis& a_rSection, fw::eImageKey a_Key) {
  const fw::sHeaderValue& l_rValue = valueOf(a_rSection, a_Key);
  a_rJson.key(a_pKey);
  if (!l_rValue.m_Found) return a_rJson.null();
  if (a_Key == fw::kKeyCrc) return a_rJson.value(l_rValue.m_Number.m_Value);
  if (fw::kImageKeys[a_Key].m_Signed) return a_rJson.value(static_cast<int32_t>(l_rValue.cut()));
  a_rJson.value(l_rValue.cut());
}

void stringList(cJsonWriter& a_rJson, const char* a_pKey, const std::vector<std::string>& a_rList) {
  a_rJson.key(a_pKey);
  a_rJson.beginArray();
  for (const std::string& l_rText : a_rList) a_rJson.value(l_rText);
  a_rJson.endArray();
}

void sectionJson(cJsonWriter& a_rJson, const sImageReport& a_rReport, size_t a_Index) {
  const fw::sSectionAnalysis& l_rSection = a_rReport.m_Analysis.m_Sections[a_Index];
  const fw::sSectionEntry& l_rEntry = l_rSection.m_Entry;
  const fw::sSectionCheck& l_rCheck = l_rSection.m_Check;
  const std::vector<std::string> l_Problems = findingTexts(a_rReport, l_rSection, true);
  a_rJson.beginObject();
  a_rJson.key("number");
  a_rJson.value(static_cast<uint32_t>(a_Index + 1));
  a_rJson.key("start");
  a_rJson.value(l_rEntry.m_Section.m_Start);
  a_rJson.key("end");
  a_rJson.value(l_rEntry.m_Section.m_End);
  a_rJson.key("updateType");
  if (l_rEntry.m_HasType) {
    a_rJson.value(rawText(a_rReport, l_rEntry.m_TypeBegin, l_rEntry.m_TypeEnd));
  } else {
    a_rJson.null();
  }
  a_rJson.key("flashId");
  if (l_rEntry.m_Section.m_FlashId != 0) {
    a_rJson.value(l_rEntry.m_Section.m_FlashId);
  } else {
    a_rJson.null();
  }
  a_rJson.key("flashType");
  a_rJson.value(flashTypeName(l_rEntry.m_Section.m_FlashId));
  optionalNumber(a_rJson, "headerVersion", l_rSection, fw::kKeyHeaderVersion);
  optionalNumber(a_rJson, "subsystemId", l_rSection, fw::kKeySubsystemId);
  optionalNumber(a_rJson, "pinOutAddress", l_rSection, fw::kKeyPinOutAddr);
  optionalNumber(a_rJson, "pinOutVersion", l_rSection, fw::kKeyPinOutVer);
  optionalNumber(a_rJson, "offset", l_rSection, fw::kKeyOffset);
  optionalNumber(a_rJson, "version", l_rSection, fw::kKeyVersion);
  optionalNumber(a_rJson, "byteCount", l_rSection, fw::kKeyByteCount);
  optionalNumber(a_rJson, "declaredCrc", l_rSection, fw::kKeyCrc);
  const bool l_Payload = l_rCheck.m_Decoded;
  a_rJson.key("payloadOffset");
  l_Payload ? a_rJson.value(l_rCheck.m_PayloadStart) : a_rJson.null();
  a_rJson.key("payloadLength");
  l_Payload ? a_rJson.value(l_rCheck.m_PayloadLength) : a_rJson.null();
  a_rJson.key("decodedLength");
  l_Payload ? a_rJson.value(l_rCheck.m_DecodedLength) : a_rJson.null();
  a_rJson.key("computedCrc");
  l_Payload ? a_rJson.value(l_rCheck.m_ComputedCrc) : a_rJson.null();
  a_rJson.key("superseded");
  a_rJson.boolean(l_rSection.m_Superseded);
  a_rJson.key("valid");
  a_rJson.boolean(l_rSection.m_Code >= 0);
  a_rJson.key("reason");
  l_Problems.empty() ? a_rJson.null() : a_rJson.value(l_Problems.front());
  stringList(a_rJson, "problems", l_Problems);
  stringList(a_rJson, "notes", findingTexts(a_rReport, l_rSection, false));
  a_rJson.endObject();
}

}  // namespace

void renderImageReport(const sImageReport& a_rReport, std::ostream& a_rOut, size_t a_Columns) {
  const size_t l_Count = a_rReport.m_Analysis.m_Sections.size();
  std::string l_Image = displayText(a_rReport.m_Path);
  if (a_rReport.m_Readable) {
    l_Image += " (" + std::to_string(a_rReport.m_File.m_Size) + " bytes, " +
               std::to_string(l_Count) + (l_Count == 1 ? " section)" : " sections)");
  }
  a_rOut << wrapText("Image: ", l_Image, "  ", a_Columns);
  for (size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    a_rOut << "\n";
    renderSection(a_rReport, l_Index, a_rOut, a_Columns);
  }
  a_rOut << "\n";
  for (const std::string& l_rProblem : a_rReport.imageProblems()) {
    a_rOut << wrapText("Image problem: ", l_rProblem + ".", "  ", a_Columns);
  }
  if (a_rReport.valid()) {
    a_rOut << "Verdict: the image is valid.\n";
  } else {
    a_rOut << wrapText("Verdict: ", "the image is NOT valid: " + a_rReport.reason() + ".", "  ",
                       a_Columns);
  }
}

std::string imageReportJson(const sImageReport& a_rReport) {
  cJsonWriter l_Json;
  l_Json.beginObject();
  l_Json.key("format");
  l_Json.value("qvzel-image-check");
  l_Json.key("layoutVersion");
  l_Json.value(kJsonLayoutVersion);
  l_Json.key("file");
  l_Json.value(a_rReport.m_Path);
  l_Json.key("size");
  a_rReport.m_Readable ? l_Json.value(static_cast<uint64_t>(a_rReport.m_File.m_Size))
                       : l_Json.null();
  l_Json.key("valid");
  l_Json.boolean(a_rReport.valid());
  l_Json.key("reason");
  a_rReport.valid() ? l_Json.null() : l_Json.value(a_rReport.reason());
  stringList(l_Json, "imageProblems", a_rReport.imageProblems());
  l_Json.key("sections");
  l_Json.beginArray();
  for (size_t l_Index = 0; l_Index < a_rReport.m_Analysis.m_Sections.size(); ++l_Index) {
    sectionJson(l_Json, a_rReport, l_Index);
  }
  l_Json.endArray();
  l_Json.endObject();
  return l_Json.text();
}

}  // namespace nQvzelTool
