// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/FirmwareImage.h"

using namespace nQVZEL_15_0;

namespace {

// An exactly sized heap copy of an image: no terminating zero, no slack, so
// the sanitizer build reports any read past its end.
class ExactImage {
 public:
  explicit ExactImage(const std::string& a_rText)
      : m_Length(static_cast<uint32_t>(a_rText.size())), m_pBytes(new char[a_rText.size()]) {
    std::memcpy(m_pBytes.get(), a_rText.data(), a_rText.size());
  }
  const char* data() const { return m_pBytes.get(); }
  uint32_t length() const { return m_Length; }

 private:
  uint32_t m_Length;
  std::unique_ptr<char[]> m_pBytes;
};

std::string sectionText(const std::string& a_rType, const std::string& a_rPayload) {
  return "HeaderVersion::2\r\nUpdateType::" + a_rType +
         "\r\nSubSystemID::5A31\r\nVersion::0x0102\r\nByteCount::3\r\nCRC::741236882\r\n\r\n" +
         a_rPayload + "\r\n";
}

const std::string kSst = "\"SSTFlashFWUpdate\"";
const std::string kIssi = "\"ISSIFlashFWUpdate\"";

std::vector<sImageSection> scan(const std::string& a_rText, Status& a_rStatus) {
  ExactImage l_Image(a_rText);
  std::vector<sImageSection> l_Sections;
  scanImageSections(l_Image.data(), l_Image.length(), l_Sections, a_rStatus);
  return l_Sections;
}

std::string valueOf(const std::string& a_rText, const char* a_pKey, Status& a_rStatus) {
  ExactImage l_Image(a_rText);
  std::string l_Value = "unchanged";
  getKeyValue(l_Image.data(), l_Image.length(), a_pKey, l_Value, a_rStatus);
  return l_Value;
}

}  // namespace

TEST(FindKey, FindsFirstOccurrenceFromPosition) {
  ExactImage l_Image("xxKEY::aKEY::b");
  Status l_Status;
  EXPECT_EQ(findKey(l_Image.data(), l_Image.length(), 0, "KEY::", l_Status), 2u);
  EXPECT_EQ(findKey(l_Image.data(), l_Image.length(), 3, "KEY::", l_Status), 8u);
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
}

TEST(FindKey, KeyAtVeryEndIsNotFound) {
  ExactImage l_Image("abcKEY::");
  Status l_Status;
  EXPECT_EQ(findKey(l_Image.data(), l_Image.length(), 0, "KEY::", l_Status), l_Image.length());
  EXPECT_EQ(l_Status.code, qvstatus::kOverflow);
}

TEST(FindKey, StartBeyondTextAndNullArguments) {
  ExactImage l_Image("KEY::x");
  {
    Status l_Status;
    EXPECT_EQ(findKey(l_Image.data(), l_Image.length(), 0xFFFFFFFFu, "KEY::", l_Status),
              l_Image.length());
    EXPECT_EQ(l_Status.code, qvstatus::kOverflow);
  }
  {
    Status l_Status;
    EXPECT_EQ(findKey(nullptr, 6, 0, "KEY::", l_Status), 6u);
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  }
  {
    Status l_Status;
    EXPECT_EQ(findKey(l_Image.data(), l_Image.length(), 0, nullptr, l_Status), l_Image.length());
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  }
  {
    Status l_Status;
    QVZ_SET_STATUS(l_Status, qvstatus::kNotFound);
    EXPECT_EQ(findKey(l_Image.data(), l_Image.length(), 0, "KEY::", l_Status), l_Image.length());
    EXPECT_EQ(l_Status.code, qvstatus::kNotFound);
  }
}

TEST(GetKeyValue, ValueEndsAtCrLfOrAtTheEnd) {
  Status l_Status;
  EXPECT_EQ(valueOf("A::1\r\nB:: 0x1F\r\nC::tail", "B::", l_Status), " 0x1F");
  // A line without CR LF runs to the end of the image; a lone CR is kept.
  EXPECT_EQ(valueOf("A::1\r\nC::tail", "C::", l_Status), "tail");
  EXPECT_EQ(valueOf("C::tail\r", "C::", l_Status), "tail\r");
  EXPECT_EQ(valueOf("C::ab\nc\r\n", "C::", l_Status), "ab\nc");
  // A key without a value gives the empty text.
  EXPECT_EQ(valueOf("A::\r\nB::2", "A::", l_Status), "");
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
}

TEST(GetKeyValue, MissingKeyLeavesValueUnchanged) {
  Status l_Status;
  EXPECT_EQ(valueOf("A::1\r\n", "B::", l_Status), "unchanged");
  EXPECT_EQ(l_Status.code, qvstatus::kOverflow);
  Status l_EndStatus;
  EXPECT_EQ(valueOf("A::1\r\nB::", "B::", l_EndStatus), "unchanged");
  EXPECT_EQ(l_EndStatus.code, qvstatus::kOverflow);
  Status l_NullStatus;
  std::string l_Value = "unchanged";
  getKeyValue(nullptr, 4, "A::", l_Value, l_NullStatus);
  EXPECT_EQ(l_NullStatus.code, qvstatus::kInvalidParameter);
  EXPECT_EQ(l_Value, "unchanged");
}

TEST(GetKeyValue, VersionKeyDoesNotMatchInsideHeaderVersion) {
  Status l_Status;
  EXPECT_EQ(valueOf("HeaderVersion::2\r\nVersion::0x0105\r\n", kVersionKey, l_Status), "0x0105");
  Status l_Missing;
  valueOf("HeaderVersion::2\r\n\r\n", kVersionKey, l_Missing);
  EXPECT_EQ(l_Missing.code, qvstatus::kOverflow);
}

TEST(KeyValueConversion, FollowsStandardConversionRules) {
  EXPECT_EQ(toSignedKeyValue("  2", 10), 2);
  EXPECT_EQ(toSignedKeyValue("-7x", 10), -7);
  EXPECT_EQ(toSignedKeyValue("abc", 10), 0);
  EXPECT_EQ(toUnsignedKeyValue("0x5A31", 16), 0x5A31u);
  EXPECT_EQ(toUnsignedKeyValue("5a31", 16), 0x5A31u);
  EXPECT_EQ(toUnsignedKeyValue(" 1FFFFFFFF", 16), 0xFFFFFFFFu);
  EXPECT_EQ(toUnsignedKeyValue("zz", 16), 0u);
  EXPECT_EQ(toWideUnsignedKeyValue("4294967296", 10), 4294967296ull);
  // A checksum written in hexadecimal reads as its leading decimal digits.
  EXPECT_EQ(toWideUnsignedKeyValue("0x2C2E6092", 10), 0u);
}

TEST(FindPayloadOffset, NeedsBlankLineAndOnePayloadByte) {
  {
    ExactImage l_Image("A::1\r\n\r\nQUJD");
    Status l_Status;
    EXPECT_EQ(findPayloadOffset(l_Image.data(), l_Image.length(), l_Status), 8u);
    EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
  }
  for (const char* l_pText : {"A::1\r\n\r\n", "A::1\r\nQUJD", "", "\r"}) {
    ExactImage l_Image(l_pText);
    Status l_Status;
    EXPECT_EQ(findPayloadOffset(l_Image.data(), l_Image.length(), l_Status), l_Image.length());
    EXPECT_EQ(l_Status.code, qvstatus::kOverflow) << l_pText;
  }
  Status l_NullStatus;
  EXPECT_EQ(findPayloadOffset(nullptr, 3, l_NullStatus), 3u);
  EXPECT_EQ(l_NullStatus.code, qvstatus::kInvalidParameter);
}

TEST(ScanImageSections, SstThenIssi) {
  const std::string l_First = sectionText(kSst, "QUJD");
  const std::string l_Text = "preamble\r\n" + l_First + sectionText(kIssi, "QUJD");
  Status l_Status;
  const std::vector<sImageSection> l_Sections = scan(l_Text, l_Status);
  ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
  ASSERT_EQ(l_Sections.size(), 2u);
  const uint32_t l_SecondKey = static_cast<uint32_t>(10 + l_First.size());
  EXPECT_EQ(l_Sections[0].m_Start, 10u);
  EXPECT_EQ(l_Sections[0].m_End, l_SecondKey - 1);
  EXPECT_EQ(l_Sections[0].m_FlashId, kSstFlashId);
  EXPECT_EQ(l_Sections[1].m_Start, l_SecondKey);
  EXPECT_EQ(l_Sections[1].m_End, l_Text.size());
  EXPECT_EQ(l_Sections[1].m_FlashId, kIssiFlashId);
  EXPECT_EQ(kSstFlashId, 0xBF8Eu);
  EXPECT_EQ(kIssiFlashId, 0x9D17u);
}

TEST(ScanImageSections, RejectsUnknownUpdateTypes) {
  for (const std::string& l_Type : std::vector<std::string>{
           "SSTFlashFWUpdate", kSst + " ", "\"SSTFlash\"", "\"sstflashfwupdate\"", ""}) {
    Status l_Status;
    const std::vector<sImageSection> l_Sections = scan(sectionText(l_Type, "QUJD"), l_Status);
    EXPECT_EQ(l_Status.code, qvstatus::kNotSupported) << l_Type;
    EXPECT_TRUE(l_Sections.empty());
  }
  // A bad second section keeps the first section's record.
  Status l_Status;
  const std::vector<sImageSection> l_Sections =
      scan(sectionText(kSst, "QUJD") + sectionText("\"Other\"", "QUJD"), l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kNotSupported);
  EXPECT_EQ(l_Sections.size(), 1u);
}

TEST(ScanImageSections, MissingKeysAndEmptyImages) {
  {
    Status l_Status;
    EXPECT_TRUE(scan("no sections here\r\n", l_Status).empty());
    EXPECT_EQ(l_Status.code, qvstatus::kOverflow);
  }
  {
    // An empty image has no section and nothing to complain about.
    Status l_Status;
    EXPECT_TRUE(scan("", l_Status).empty());
    EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
  }
  {
    Status l_Status;
    EXPECT_TRUE(scan("HeaderVersion::2\r\n\r\nQUJD", l_Status).empty());
    EXPECT_EQ(l_Status.code, qvstatus::kOverflow);
  }
  {
    // A section without its own type line takes the next one in the image.
    Status l_Status;
    const std::vector<sImageSection> l_Sections =
        scan("HeaderVersion::2\r\n\r\nQUJD\r\n" + sectionText(kIssi, "QUJD"), l_Status);
    ASSERT_EQ(l_Sections.size(), 2u);
    EXPECT_EQ(l_Sections[0].m_FlashId, kIssiFlashId);
    EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
  }
  {
    Status l_Status;
    std::vector<sImageSection> l_Sections;
    scanImageSections(nullptr, 5, l_Sections, l_Status);
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  }
}

TEST(FindSectionPayload, PayloadRangeAndBlankLinePastSectionEnd) {
  const std::string l_First = sectionText(kSst, "QUJD");
  const std::string l_Text = l_First + sectionText(kIssi, "RA==");
  ExactImage l_Image(l_Text);
  Status l_Status;
  std::vector<sImageSection> l_Sections;
  scanImageSections(l_Image.data(), l_Image.length(), l_Sections, l_Status);
  ASSERT_EQ(l_Sections.size(), 2u);
  uint32_t l_Start = 0;
  uint32_t l_Length = 0;
  findSectionPayload(l_Image.data(), l_Image.length(), l_Sections[0], &l_Start, &l_Length,
                     l_Status);
  EXPECT_EQ(std::string(l_Image.data() + l_Start, l_Length), "QUJD\r");
  findSectionPayload(l_Image.data(), l_Image.length(), l_Sections[1], &l_Start, &l_Length,
                     l_Status);
  EXPECT_EQ(std::string(l_Image.data() + l_Start, l_Length), "RA==\r\n");
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);

  // The first section has no blank line of its own: the one found belongs to
  // the second section and the payload would wrap.
  const std::string l_Headless = "HeaderVersion::2\r\nUpdateType::" + kSst + "\r\nQUJD\r\n";
  const std::string l_Joined = l_Headless + sectionText(kIssi, "RA==");
  ExactImage l_JoinedImage(l_Joined);
  Status l_JoinedStatus;
  std::vector<sImageSection> l_JoinedSections;
  scanImageSections(l_JoinedImage.data(), l_JoinedImage.length(), l_JoinedSections, l_JoinedStatus);
  ASSERT_EQ(l_JoinedSections.size(), 2u);
  l_Start = 77;
  findSectionPayload(l_JoinedImage.data(), l_JoinedImage.length(), l_JoinedSections[0], &l_Start,
                     &l_Length, l_JoinedStatus);
  EXPECT_EQ(l_JoinedStatus.code, qvstatus::kOverflow);
  EXPECT_EQ(l_Start, 77u);

  // A section reaching outside the image is refused.
  Status l_BadStatus;
  findSectionPayload(l_Image.data(), l_Image.length(), sImageSection{0, l_Image.length() + 1, 0},
                     &l_Start, &l_Length, l_BadStatus);
  EXPECT_EQ(l_BadStatus.code, qvstatus::kInvalidParameter);
}

// Runs every parsing step over one image the way an update does, checking
// that results stay inside the image. Returns the scan's failure code and
// counts the sections found.
int64_t parseEverything(const std::string& a_rText, size_t* a_pSectionCount = nullptr) {
  ExactImage l_Image(a_rText);
  Status l_Status;
  std::vector<sImageSection> l_Sections;
  scanImageSections(l_Image.data(), l_Image.length(), l_Sections, l_Status);
  if (a_pSectionCount != nullptr) *a_pSectionCount += l_Sections.size();
  for (const sImageSection& l_rSection : l_Sections) {
    EXPECT_LE(l_rSection.m_Start, l_rSection.m_End);
    EXPECT_LE(l_rSection.m_End, l_Image.length());
    Status l_SectionStatus;
    const char* l_pText = l_Image.data() + l_rSection.m_Start;
    const uint32_t l_TextLength = l_Image.length() - l_rSection.m_Start;
    std::string l_Value;
    for (const char* l_pKey : {kHeaderVersionKey, kSubSystemIdKey, kPinOutAddrKey, kPinOutVerKey,
                               kOffsetKey, kVersionKey, kByteCountKey, kCrcKey}) {
      Status l_KeyStatus;
      getKeyValue(l_pText, l_TextLength, l_pKey, l_Value, l_KeyStatus);
      EXPECT_LE(l_Value.size(), l_TextLength);
    }
    uint32_t l_Start = 0;
    uint32_t l_Length = 0;
    findSectionPayload(l_Image.data(), l_Image.length(), l_rSection, &l_Start, &l_Length,
                       l_SectionStatus);
    if (l_SectionStatus.isFatal()) continue;
    EXPECT_LE(uint64_t(l_Start) + l_Length, l_Image.length());
    std::unique_ptr<uint8_t[]> l_Out(new uint8_t[l_Length == 0 ? 1 : l_Length]);
    const size_t l_Decoded =
        decodePayload(l_Image.data() + l_Start, l_Out.get(), l_Length, l_SectionStatus);
    EXPECT_LE(l_Decoded, l_Length);
    computeImageCrc(l_Out.get(), static_cast<uint32_t>(l_Decoded));
  }
  return l_Status.code;
}

TEST(HostileImages, EveryPrefixOfAValidImage) {
  const std::string l_Text = sectionText(kSst, "QUJD") + sectionText(kIssi, "QUJDRA==");
  for (size_t l_Length = 0; l_Length <= l_Text.size(); ++l_Length) {
    const int64_t l_Code = parseEverything(l_Text.substr(0, l_Length));
    EXPECT_TRUE(l_Code == qvstatus::kSuccess || l_Code == qvstatus::kOverflow ||
                l_Code == qvstatus::kNotSupported)
        << l_Length;
  }
}

TEST(HostileImages, RandomMixturesOfImageFragments) {
  const std::vector<std::string> l_Fragments = {"HeaderVersion::2\r\n",
                                                "UpdateType::" + kSst + "\r\n",
                                                "UpdateType::" + kIssi + "\r\n",
                                                "HeaderVersion::",
                                                "UpdateType::",
                                                kSst,
                                                "\r\n",
                                                "\r",
                                                "\n",
                                                "\r\n\r\n",
                                                "\r\n\r\n",
                                                "Version::",
                                                "\nVersion::",
                                                "CRC::",
                                                "ByteCount::",
                                                "QUJD",
                                                "=",
                                                std::string("\0\xff", 2)};
  std::mt19937 l_Random(12345);
  size_t l_SectionCount = 0;
  for (int l_Round = 0; l_Round < 2000; ++l_Round) {
    std::string l_Text;
    const int l_Count = static_cast<int>(l_Random() % 16);
    for (int l_Index = 0; l_Index < l_Count; ++l_Index) {
      l_Text += l_Fragments[l_Random() % l_Fragments.size()];
    }
    if (!l_Text.empty() && l_Random() % 4 == 0) l_Text.resize(l_Random() % l_Text.size());
    const int64_t l_Code = parseEverything(l_Text, &l_SectionCount);
    EXPECT_TRUE(l_Code == qvstatus::kSuccess || l_Code == qvstatus::kOverflow ||
                l_Code == qvstatus::kNotSupported);
  }
  // The mixtures must reach the section and payload code, not only fail early.
  EXPECT_GT(l_SectionCount, 50u);
}

TEST(HostileImages, ManySectionsSharingOneTypeLineStayFast) {
  // Thousands of bare section keys followed by one type line: a scan that
  // searched to the end for every section would take quadratic time.
  std::string l_Text;
  for (int l_Index = 0; l_Index < 20000; ++l_Index) l_Text += "HeaderVersion::2\r\n";
  l_Text += "UpdateType::" + kSst + "\r\n";
  Status l_Status;
  const std::vector<sImageSection> l_Sections = scan(l_Text, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
  EXPECT_EQ(l_Sections.size(), 20000u);
}

// A search memo answers exactly as a fresh search, whatever order the starts
// come in (forwards, backwards into the remembered range, past it), and a
// blank-line memo carried over sections in image order gives each section
// the payload of its own search.
TEST(SearchMemo, AnswersAsAFreshSearch) {
  std::mt19937 l_Random(25);
  const char l_Letters[] = "\r\n\r\nab:";
  for (int l_Round = 0; l_Round < 300; ++l_Round) {
    std::string l_Text;
    const size_t l_Size = l_Random() % 200;
    for (size_t l_Index = 0; l_Index < l_Size; ++l_Index) {
      // Mostly plain bytes, so that long stretches hold no match.
      l_Text += l_Random() % 8 == 0 ? l_Letters[l_Random() % 7] : 'x';
    }
    const ExactImage l_Image(l_Text);
    sSearchMemo l_Ends;
    sSearchMemo l_Feeds;
    for (int l_Query = 0; l_Query < 100; ++l_Query) {
      const uint32_t l_Begin = static_cast<uint32_t>(l_Random() % (l_Size + 2));
      ASSERT_EQ(findValueEnd(l_Image.data(), l_Image.length(), l_Begin, &l_Ends),
                findValueEnd(l_Image.data(), l_Image.length(), l_Begin))
          << "round " << l_Round << ", from " << l_Begin;
      ASSERT_EQ(findLineFeed(l_Image.data(), l_Image.length(), l_Begin, &l_Feeds),
                findLineFeed(l_Image.data(), l_Image.length(), l_Begin))
          << "round " << l_Round << ", from " << l_Begin;
    }
    sSearchMemo l_Blank;
    for (uint32_t l_Start = 0; l_Start <= l_Image.length(); l_Start += 1 + l_Random() % 9) {
      const sImageSection l_Section{l_Start, l_Image.length(), 0};
      uint32_t l_Fresh[2] = {0, 0};
      uint32_t l_Memo[2] = {0, 0};
      Status l_FreshStatus;
      Status l_MemoStatus;
      findSectionPayload(l_Image.data(), l_Image.length(), l_Section, &l_Fresh[0], &l_Fresh[1],
                         l_FreshStatus);
      findSectionPayload(l_Image.data(), l_Image.length(), l_Section, &l_Memo[0], &l_Memo[1],
                         l_MemoStatus, &l_Blank);
      ASSERT_EQ(l_MemoStatus.code, l_FreshStatus.code) << "round " << l_Round;
      ASSERT_EQ(l_Memo[0], l_Fresh[0]) << "round " << l_Round << ", section at " << l_Start;
    }
  }
}
