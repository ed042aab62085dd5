#include "ImageChecker.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>

#include "ImageFormat.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {

enum class eConversion { kText, kDecimalSigned, kDecimalUnsigned64, kHex32 };

// True when the text, after leading white space and a sign, starts with a
// digit of the base (the library converts anything else to 0).
bool looksNumeric(const std::string& a_rText, int a_Base) {
  size_t l_Pos = 0;
  while (l_Pos < a_rText.size() && std::isspace(static_cast<unsigned char>(a_rText[l_Pos])))
    ++l_Pos;
  if (l_Pos < a_rText.size() && (a_rText[l_Pos] == '+' || a_rText[l_Pos] == '-')) ++l_Pos;
  if (a_Base == 16 && l_Pos + 1 < a_rText.size() && a_rText[l_Pos] == '0' &&
      (a_rText[l_Pos + 1] == 'x' || a_rText[l_Pos + 1] == 'X')) {
    l_Pos += 2;
  }
  if (l_Pos >= a_rText.size()) return false;
  const unsigned char l_Char = static_cast<unsigned char>(a_rText[l_Pos]);
  return a_Base == 16 ? std::isxdigit(l_Char) != 0 : std::isdigit(l_Char) != 0;
}

// Reads one header key of a section: only a key inside the section counts,
// although the library itself searches on to the end of the image.
sHeaderField readField(const std::vector<char>& a_rImage, const sSectionReport& a_rSection,
                       const char* a_pKey, const char* a_pLabel, eConversion a_Conversion,
                       std::vector<std::string>& a_rProblems) {
  sHeaderField l_Field;
  const char* l_pText = a_rImage.data() + a_rSection.m_Start;
  const uint32_t l_TextLength = static_cast<uint32_t>(a_rImage.size()) - a_rSection.m_Start;
  const uint32_t l_SectionLength = a_rSection.m_End - a_rSection.m_Start;
  uint32_t l_Position = 0;
  if (!imageFindKey(l_pText, l_TextLength, 0, a_pKey, l_Position) ||
      l_Position >= l_SectionLength) {
    a_rProblems.push_back(std::string("the header has no ") + a_pLabel + " line");
    return l_Field;
  }
  if (!imageKeyValue(l_pText, l_TextLength, a_pKey, l_Field.m_Text)) {
    a_rProblems.push_back(std::string("the ") + a_pLabel + " value cannot be read");
    return l_Field;
  }
  l_Field.m_Present = true;
  switch (a_Conversion) {
    case eConversion::kText:
      break;
    case eConversion::kDecimalSigned:
      l_Field.m_Value = static_cast<uint32_t>(imageSignedValue(l_Field.m_Text, 10));
      if (!looksNumeric(l_Field.m_Text, 10)) {
        a_rProblems.push_back(std::string("the ") + a_pLabel + " value '" + l_Field.m_Text +
                              "' is not a decimal number");
      }
      break;
    case eConversion::kDecimalUnsigned64:
      l_Field.m_Value = imageWideUnsignedValue(l_Field.m_Text, 10);
      if (!looksNumeric(l_Field.m_Text, 10)) {
        a_rProblems.push_back(std::string("the ") + a_pLabel + " value '" + l_Field.m_Text +
                              "' is not a decimal number");
      }
      break;
    case eConversion::kHex32:
      l_Field.m_Value = imageUnsignedValue(l_Field.m_Text, 16);
      if (!looksNumeric(l_Field.m_Text, 16)) {
        a_rProblems.push_back(std::string("the ") + a_pLabel + " value '" + l_Field.m_Text +
                              "' is not a hexadecimal number");
      }
      break;
  }
  return l_Field;
}

void checkPayload(const std::vector<char>& a_rImage, sSectionReport& a_rSection) {
  if (!imageSectionPayload(a_rImage.data(), static_cast<uint32_t>(a_rImage.size()),
                           a_rSection.m_Start, a_rSection.m_End, a_rSection.m_PayloadStart,
                           a_rSection.m_PayloadLength)) {
    a_rSection.m_Problems.push_back(
        "the header does not end with an empty line inside the section");
    return;
  }
  a_rSection.m_PayloadFound = true;
  if (a_rSection.m_PayloadLength == 0) {
    a_rSection.m_Problems.push_back("the section has no payload after its header");
    return;
  }
  std::vector<uint8_t> l_Bytes(a_rSection.m_PayloadLength);
  a_rSection.m_DecodedLength = imageDecode(a_rImage.data() + a_rSection.m_PayloadStart,
                                           l_Bytes.data(), a_rSection.m_PayloadLength);
  a_rSection.m_ComputedCrc = imageCrc(l_Bytes.data(), a_rSection.m_DecodedLength);

  if (a_rSection.m_ByteCount.m_Present &&
      a_rSection.m_DecodedLength != static_cast<uint32_t>(a_rSection.m_ByteCount.m_Value)) {
    a_rSection.m_Problems.push_back(
        "the payload decodes to " + std::to_string(a_rSection.m_DecodedLength) +
        " bytes, but the header declares " +
        std::to_string(static_cast<int32_t>(a_rSection.m_ByteCount.m_Value)) + " (ByteCount::)");
  }
  if (a_rSection.m_Crc.m_Present && a_rSection.m_Crc.m_Value != a_rSection.m_ComputedCrc) {
    std::string l_Problem = "the checksum of the decoded bytes is " +
                            std::to_string(a_rSection.m_ComputedCrc) +
                            ", but the header declares " + a_rSection.m_Crc.m_Text + " (CRC::)";
    if (a_rSection.m_Crc.m_Text.find_first_of("xX") != std::string::npos) {
      l_Problem += "; the checksum must be written in decimal";
    }
    a_rSection.m_Problems.push_back(l_Problem);
  }
}

void checkSection(const std::vector<char>& a_rImage, sSectionReport& a_rSection) {
  std::vector<std::string>& l_rProblems = a_rSection.m_Problems;
  a_rSection.m_UpdateType = readField(a_rImage, a_rSection, kImageUpdateTypeKey,
                                      "UpdateType::", eConversion::kText, l_rProblems);
  if (a_rSection.m_UpdateType.m_Present) {
    if (a_rSection.m_UpdateType.m_Text == kImageIssiType) {
      a_rSection.m_FlashId = kImageIssiFlashId;
    } else if (a_rSection.m_UpdateType.m_Text == kImageSstType) {
      a_rSection.m_FlashId = kImageSstFlashId;
    } else {
      l_rProblems.push_back("the update type " + a_rSection.m_UpdateType.m_Text + " is not " +
                            kImageSstType + " or " + kImageIssiType + " (double quotes included)");
    }
  }
  a_rSection.m_HeaderVersion =
      readField(a_rImage, a_rSection, kImageSectionKey,
                "HeaderVersion::", eConversion::kDecimalSigned, l_rProblems);
  if (a_rSection.m_HeaderVersion.m_Present &&
      static_cast<int32_t>(a_rSection.m_HeaderVersion.m_Value) != kImageHeaderVersion) {
    l_rProblems.push_back("the header version is " +
                          std::to_string(static_cast<int32_t>(a_rSection.m_HeaderVersion.m_Value)) +
                          "; the library accepts only version " +
                          std::to_string(kImageHeaderVersion));
  }
  a_rSection.m_SubsystemId = readField(a_rImage, a_rSection, kImageSubsystemKey,
                                       "SubSystemID::", eConversion::kHex32, l_rProblems);
  a_rSection.m_PinOutAddr = readField(a_rImage, a_rSection, kImagePinOutAddrKey,
                                      "PinOutAddr::", eConversion::kHex32, l_rProblems);
  a_rSection.m_PinOutVer = readField(a_rImage, a_rSection, kImagePinOutVerKey,
                                     "PinOutVer::", eConversion::kHex32, l_rProblems);
  a_rSection.m_Offset = readField(a_rImage, a_rSection, kImageOffsetKey,
                                  "Offset::", eConversion::kHex32, l_rProblems);
  a_rSection.m_Version = readField(a_rImage, a_rSection, kImageVersionKey,
                                   "Version::", eConversion::kHex32, l_rProblems);
  a_rSection.m_ByteCount = readField(a_rImage, a_rSection, kImageByteCountKey,
                                     "ByteCount::", eConversion::kDecimalSigned, l_rProblems);
  a_rSection.m_Crc = readField(a_rImage, a_rSection, kImageCrcKey,
                               "CRC::", eConversion::kDecimalUnsigned64, l_rProblems);
  checkPayload(a_rImage, a_rSection);
}

// The library's own section scan, which rejects the whole image when any
// section has an unknown update type.
void checkLibraryScan(const std::vector<char>& a_rImage, sImageReport& a_rReport) {
  const int32_t l_Code = imageScanSections(a_rImage.data(), static_cast<uint32_t>(a_rImage.size()));
  if (l_Code >= 0) return;
  const std::string l_Why = l_Code == QVZEL_ERR_NOT_SUPPORTED
                                ? "a section's update type is not one of the two known ones"
                                : "a section lacks a key the scan needs";
  a_rReport.m_ImageProblems.push_back("the library refuses the whole image because " + l_Why +
                                      " (status " + std::to_string(l_Code) + ", " +
                                      qvzel_status_name(l_Code) + ")");
}

}  // namespace

sImageReport checkImage(const std::vector<char>& a_rImage) {
  sImageReport l_Report;
  l_Report.m_Size = a_rImage.size();
  if (a_rImage.empty()) {
    l_Report.m_ImageProblems.push_back("the file is empty");
  } else if (a_rImage.size() >= std::numeric_limits<uint32_t>::max()) {
    l_Report.m_ImageProblems.push_back(
        "the file is too large for a firmware image (4 GiB or more)");
  } else {
    const uint32_t l_Length = static_cast<uint32_t>(a_rImage.size());
    uint32_t l_Start = 0;
    uint32_t l_Pos = 0;
    while (l_Pos < l_Length &&
           imageFindKey(a_rImage.data(), l_Length, l_Pos, kImageSectionKey, l_Start)) {
      sSectionReport l_Section;
      l_Section.m_Number = static_cast<uint32_t>(l_Report.m_Sections.size() + 1);
      l_Section.m_Start = l_Start;
      uint32_t l_Next = 0;
      if (imageFindKey(a_rImage.data(), l_Length, l_Start + 1, kImageSectionKey, l_Next)) {
        l_Section.m_End = l_Next - 1;
        l_Pos = l_Next;
      } else {
        l_Section.m_End = l_Length;
        l_Pos = l_Length;
      }
      l_Report.m_Sections.push_back(l_Section);
    }
    if (l_Report.m_Sections.empty()) {
      l_Report.m_ImageProblems.push_back(
          "the file holds no firmware section (no HeaderVersion:: key)");
    } else {
      for (sSectionReport& l_rSection : l_Report.m_Sections) checkSection(a_rImage, l_rSection);
      checkLibraryScan(a_rImage, l_Report);
    }
  }
  for (size_t l_Index = 0; l_Index < l_Report.m_Sections.size(); ++l_Index) {
    for (size_t l_Later = l_Index + 1; l_Later < l_Report.m_Sections.size(); ++l_Later) {
      if (l_Report.m_Sections[l_Index].m_FlashId != 0 &&
          l_Report.m_Sections[l_Index].m_FlashId == l_Report.m_Sections[l_Later].m_FlashId) {
        l_Report.m_Sections[l_Index].m_Superseded = true;
      }
    }
  }
  for (const sSectionReport& l_rSection : l_Report.m_Sections) {
    if (!l_rSection.valid() && l_Report.m_Reason.empty()) {
      l_Report.m_Reason =
          "section " + std::to_string(l_rSection.m_Number) + ": " + l_rSection.m_Problems.front();
    }
  }
  if (l_Report.m_Reason.empty() && !l_Report.m_ImageProblems.empty()) {
    l_Report.m_Reason = l_Report.m_ImageProblems.front();
  }
  l_Report.m_Valid = l_Report.m_Reason.empty();
  return l_Report;
}

bool readImageFile(const std::string& a_rPath, std::vector<char>& a_rBytes,
                   std::string& a_rProblem) {
  struct stat l_Info;
  if (stat(a_rPath.c_str(), &l_Info) != 0) {
    a_rProblem = "cannot open the image file " + a_rPath + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(l_Info.st_mode)) {
    a_rProblem = "cannot read the image file " + a_rPath + ": it is a directory";
    return false;
  }
  // Refuse before reading: an image is addressed with 32-bit offsets.
  if (S_ISREG(l_Info.st_mode) &&
      static_cast<uint64_t>(l_Info.st_size) >= std::numeric_limits<uint32_t>::max()) {
    a_rProblem = "the image file " + a_rPath + " is too large for a firmware image (4 GiB or more)";
    return false;
  }
  std::ifstream l_File(a_rPath, std::ios::binary);
  if (!l_File) {
    a_rProblem = "cannot open the image file " + a_rPath + ": " + std::strerror(errno);
    return false;
  }
  a_rBytes.assign(std::istreambuf_iterator<char>(l_File), std::istreambuf_iterator<char>());
  if (l_File.bad()) {
    a_rProblem = "cannot read the image file " + a_rPath;
    return false;
  }
  return true;
}

sImageReport checkImageFile(const std::string& a_rPath) {
  std::vector<char> l_Bytes;
  std::string l_Problem;
  if (!readImageFile(a_rPath, l_Bytes, l_Problem)) {
    sImageReport l_Report;
    l_Report.m_Path = a_rPath;
    l_Report.m_Readable = false;
    l_Report.m_ImageProblems.push_back(l_Problem);
    l_Report.m_Reason = l_Problem;
    return l_Report;
  }
  sImageReport l_Report = checkImage(l_Bytes);
  l_Report.m_Path = a_rPath;
  return l_Report;
}

const sSectionReport* sectionForFlash(const sImageReport& a_rReport, uint32_t a_FlashId) {
  const sSectionReport* l_pFound = nullptr;
  for (const sSectionReport& l_rSection : a_rReport.m_Sections) {
    if (l_rSection.m_FlashId == a_FlashId) l_pFound = &l_rSection;
  }
  return l_pFound;
}

}  // namespace nQvzelTool
