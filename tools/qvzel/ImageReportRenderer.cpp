#include "ImageReportRenderer.h"

#include "Format.h"
#include "JsonRenderer.h"
#include "cJsonWriter.h"

namespace nQvzelTool {

namespace {

std::string hexField(const sHeaderField& a_rField, int a_Digits = 1) {
  return a_rField.m_Present ? hexText(a_rField.m_Value, a_Digits) : "missing";
}

std::string signedField(const sHeaderField& a_rField) {
  return a_rField.m_Present ? std::to_string(static_cast<int32_t>(a_rField.m_Value)) : "missing";
}

void line(std::ostream& a_rOut, const char* a_pLabel, const std::string& a_rValue) {
  a_rOut << "  " << a_pLabel;
  for (size_t l_Pad = std::char_traits<char>::length(a_pLabel); l_Pad < 18; ++l_Pad) a_rOut << ' ';
  a_rOut << a_rValue << '\n';
}

void renderSection(const sSectionReport& a_rSection, std::ostream& a_rOut) {
  a_rOut << "Section " << a_rSection.m_Number << " (offset " << a_rSection.m_Start << ", "
         << a_rSection.m_End - a_rSection.m_Start << " bytes)\n";
  std::string l_Type =
      a_rSection.m_UpdateType.m_Present ? a_rSection.m_UpdateType.m_Text : "missing";
  const char* l_pFlash = flashTypeName(a_rSection.m_FlashId);
  if (l_pFlash != nullptr) {
    l_Type += " (flash ID " + hexText(a_rSection.m_FlashId, 4) + ", " + l_pFlash + ")";
  }
  line(a_rOut, "Update type:", l_Type);
  line(a_rOut, "Header version:", signedField(a_rSection.m_HeaderVersion));
  line(a_rOut, "Subsystem ID:", hexField(a_rSection.m_SubsystemId, 4));
  line(a_rOut, "Pin-out address:", hexField(a_rSection.m_PinOutAddr));
  line(a_rOut, "Pin-out version:", hexField(a_rSection.m_PinOutVer));
  line(a_rOut, "Flash offset:", hexField(a_rSection.m_Offset));
  line(a_rOut, "Version:", hexField(a_rSection.m_Version));
  line(a_rOut, "Byte count:", signedField(a_rSection.m_ByteCount));
  if (a_rSection.m_PayloadFound) {
    line(a_rOut, "Payload:",
         std::to_string(a_rSection.m_PayloadLength) + " characters, decoding to " +
             std::to_string(a_rSection.m_DecodedLength) + " bytes");
    line(a_rOut, "Checksum:",
         "declared " + (a_rSection.m_Crc.m_Present ? a_rSection.m_Crc.m_Text : "missing") +
             ", computed " + std::to_string(a_rSection.m_ComputedCrc));
  } else {
    line(a_rOut, "Payload:", "missing");
  }
  if (a_rSection.valid()) {
    line(a_rOut, "Verdict:", "valid");
  } else {
    line(a_rOut, "Verdict:", "INVALID: " + a_rSection.m_Problems.front());
    for (size_t l_Index = 1; l_Index < a_rSection.m_Problems.size(); ++l_Index) {
      line(a_rOut, "", "also: " + a_rSection.m_Problems[l_Index]);
    }
  }
  if (a_rSection.m_Superseded) {
    line(a_rOut, "", "note: a later section for the same flash type is written instead");
  }
}

void optionalNumber(cJsonWriter& a_rJson, const char* a_pKey, const sHeaderField& a_rField,
                    bool a_Signed) {
  a_rJson.key(a_pKey);
  if (!a_rField.m_Present) return a_rJson.null();
  if (a_Signed) return a_rJson.value(static_cast<int32_t>(a_rField.m_Value));
  a_rJson.value(a_rField.m_Value);
}

void stringList(cJsonWriter& a_rJson, const char* a_pKey, const std::vector<std::string>& a_rList) {
  a_rJson.key(a_pKey);
  a_rJson.beginArray();
  for (const std::string& l_rText : a_rList) a_rJson.value(l_rText);
  a_rJson.endArray();
}

void sectionJson(cJsonWriter& a_rJson, const sSectionReport& a_rSection) {
  a_rJson.beginObject();
  a_rJson.key("number");
  a_rJson.value(a_rSection.m_Number);
  a_rJson.key("start");
  a_rJson.value(a_rSection.m_Start);
  a_rJson.key("end");
  a_rJson.value(a_rSection.m_End);
  a_rJson.key("updateType");
  if (a_rSection.m_UpdateType.m_Present) {
    a_rJson.value(a_rSection.m_UpdateType.m_Text);
  } else {
    a_rJson.null();
  }
  a_rJson.key("flashId");
  if (a_rSection.m_FlashId != 0) {
    a_rJson.value(a_rSection.m_FlashId);
  } else {
    a_rJson.null();
  }
  a_rJson.key("flashType");
  a_rJson.value(flashTypeName(a_rSection.m_FlashId));
  optionalNumber(a_rJson, "headerVersion", a_rSection.m_HeaderVersion, true);
  optionalNumber(a_rJson, "subsystemId", a_rSection.m_SubsystemId, false);
  optionalNumber(a_rJson, "pinOutAddress", a_rSection.m_PinOutAddr, false);
  optionalNumber(a_rJson, "pinOutVersion", a_rSection.m_PinOutVer, false);
  optionalNumber(a_rJson, "offset", a_rSection.m_Offset, false);
  optionalNumber(a_rJson, "version", a_rSection.m_Version, false);
  optionalNumber(a_rJson, "byteCount", a_rSection.m_ByteCount, true);
  optionalNumber(a_rJson, "declaredCrc", a_rSection.m_Crc, false);
  const bool l_Payload = a_rSection.m_PayloadFound;
  a_rJson.key("payloadOffset");
  l_Payload ? a_rJson.value(a_rSection.m_PayloadStart) : a_rJson.null();
  a_rJson.key("payloadLength");
  l_Payload ? a_rJson.value(a_rSection.m_PayloadLength) : a_rJson.null();
  a_rJson.key("decodedLength");
  l_Payload ? a_rJson.value(a_rSection.m_DecodedLength) : a_rJson.null();
  a_rJson.key("computedCrc");
  l_Payload ? a_rJson.value(a_rSection.m_ComputedCrc) : a_rJson.null();
  a_rJson.key("superseded");
  a_rJson.boolean(a_rSection.m_Superseded);
  a_rJson.key("valid");
  a_rJson.boolean(a_rSection.valid());
  a_rJson.key("reason");
  a_rSection.valid() ? a_rJson.null() : a_rJson.value(a_rSection.m_Problems.front());
  stringList(a_rJson, "problems", a_rSection.m_Problems);
  a_rJson.endObject();
}

}  // namespace

void renderImageReport(const sImageReport& a_rReport, std::ostream& a_rOut) {
  a_rOut << "Image: " << a_rReport.m_Path;
  if (a_rReport.m_Readable) {
    a_rOut << " (" << a_rReport.m_Size << " bytes, " << a_rReport.m_Sections.size()
           << (a_rReport.m_Sections.size() == 1 ? " section)" : " sections)");
  }
  a_rOut << "\n";
  for (const sSectionReport& l_rSection : a_rReport.m_Sections) {
    a_rOut << "\n";
    renderSection(l_rSection, a_rOut);
  }
  a_rOut << "\n";
  for (const std::string& l_rProblem : a_rReport.m_ImageProblems) {
    a_rOut << "Image problem: " << l_rProblem << ".\n";
  }
  if (a_rReport.m_Valid) {
    a_rOut << "Verdict: the image is valid.\n";
  } else {
    a_rOut << "Verdict: the image is NOT valid: " << a_rReport.m_Reason << ".\n";
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
  a_rReport.m_Readable ? l_Json.value(a_rReport.m_Size) : l_Json.null();
  l_Json.key("valid");
  l_Json.boolean(a_rReport.m_Valid);
  l_Json.key("reason");
  a_rReport.m_Valid ? l_Json.null() : l_Json.value(a_rReport.m_Reason);
  stringList(l_Json, "imageProblems", a_rReport.m_ImageProblems);
  l_Json.key("sections");
  l_Json.beginArray();
  for (const sSectionReport& l_rSection : a_rReport.m_Sections) sectionJson(l_Json, l_rSection);
  l_Json.endArray();
  l_Json.endObject();
  return l_Json.text();
}

}  // namespace nQvzelTool
