// Offline validation of a firmware image: splits it into sections the way the
// library does, reads every header value and decodes and checksums every
// payload, and gives each section and the whole image a verdict with reasons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvzelTool {

// One header value: present when its key occurs inside the section.
struct sHeaderField {
  bool m_Present = false;
  std::string m_Text;    // the value's text as written
  uint64_t m_Value = 0;  // converted as the library converts it
};

struct sSectionReport {
  uint32_t m_Number = 0;   // counts from 1 in image order
  uint32_t m_Start = 0;    // offset of "HeaderVersion::"
  uint32_t m_End = 0;      // offset one past the section's last byte
  uint32_t m_FlashId = 0;  // 0 for an unknown update type
  sHeaderField m_UpdateType;
  sHeaderField m_HeaderVersion;  // signed, held in two's complement
  sHeaderField m_SubsystemId;
  sHeaderField m_PinOutAddr;
  sHeaderField m_PinOutVer;
  sHeaderField m_Offset;
  sHeaderField m_Version;
  sHeaderField m_ByteCount;  // signed, held in two's complement
  sHeaderField m_Crc;
  bool m_PayloadFound = false;
  uint32_t m_PayloadStart = 0;
  uint32_t m_PayloadLength = 0;  // Base64 characters
  uint32_t m_DecodedLength = 0;
  uint32_t m_ComputedCrc = 0;
  bool m_Superseded = false;  // a later section has the same flash type
  std::vector<std::string> m_Problems;
  bool valid() const { return m_Problems.empty(); }
};

struct sImageReport {
  std::string m_Path;
  uint64_t m_Size = 0;
  bool m_Readable = true;
  std::vector<sSectionReport> m_Sections;
  std::vector<std::string> m_ImageProblems;  // problems of the image as a whole
  bool m_Valid = false;
  std::string m_Reason;  // the first problem, empty when valid
};

// Checks an image already in memory.
sImageReport checkImage(const std::vector<char>& a_rImage);

// Reads a file whole; false with a sentence in a_rProblem when it cannot.
bool readImageFile(const std::string& a_rPath, std::vector<char>& a_rBytes,
                   std::string& a_rProblem);

// Reads and checks a file; an unreadable file gives an invalid report.
sImageReport checkImageFile(const std::string& a_rPath);

// The last section whose flash type matches a card's flash ID (the one the
// library writes), or null.
const sSectionReport* sectionForFlash(const sImageReport& a_rReport, uint32_t a_FlashId);

}  // namespace nQvzelTool
