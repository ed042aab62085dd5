// SPDX-License-Identifier: LGPL-2.1-or-later
// The update's image check on its own: the order of its checks and of the
// card reads between them, and the header number conversion against the C
// library's.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "image/ImageCheck.h"

using namespace nQVZEL_15_0;

namespace {

// A card that records the order of the reads and can fail one of them.
class cRecordingCard : public iImageCard {
 public:
  uint32_t flashId(Status& a_rStatus) override { return read('F', kSstFlashId, a_rStatus); }
  uint32_t subsystemId(Status& a_rStatus) override { return read('S', 0x5A31, a_rStatus); }
  uint32_t installedVersion(Status& a_rStatus) override { return read('V', 0x100, a_rStatus); }
  std::string m_Reads;
  char m_Fail = 0;

 private:
  uint32_t read(char a_What, uint32_t a_Value, Status& a_rStatus) {
    m_Reads += a_What;
    if (a_What == m_Fail) QVZ_SET_STATUS(a_rStatus, qvstatus::kIoError);
    return a_Value;
  }
};

// One SST section for the card above; the payload YWJj decodes to "abc".
std::string image(const std::string& a_rHeaderVersion = "2", const std::string& a_rVersion = "101",
                  const std::string& a_rCrc = "741236882") {
  return "HeaderVersion::" + a_rHeaderVersion +
         "\r\nUpdateType::\"SSTFlashFWUpdate\"\r\nSubSystemID::5A31\r\nPinOutAddr::10\r\n"
         "PinOutVer::2\r\nOffset::0\r\nVersion::" +
         a_rVersion + "\r\nByteCount::3\r\nCRC::" + a_rCrc + "\r\n\r\nYWJj\r\n";
}

struct sOutcome {
  int64_t m_Code;
  eImageStep m_Step;
  std::string m_Reads;
};

sOutcome check(const std::string& a_rImage, char a_Fail = 0, uint32_t a_Force = 0) {
  cRecordingCard l_Card;
  l_Card.m_Fail = a_Fail;
  sImageWrite l_Write;
  Status l_Status;
  const std::string l_Copy = a_rImage;
  checkImageForCard(l_Copy.data(), static_cast<uint32_t>(l_Copy.size()), a_Force, l_Card, l_Write,
                    l_Status);
  return {l_Status.code, l_Write.m_Step, l_Card.m_Reads};
}

}  // namespace

TEST(ImageCheck, ChecksAndCardReadsInTheUpdatesOrder) {
  const sOutcome l_Good = check(image());
  EXPECT_EQ(l_Good.m_Code, qvstatus::kSuccess);
  EXPECT_EQ(l_Good.m_Reads, "FSV");
  // Each refusal stops the reads that come after it.
  EXPECT_EQ(check(image("1")).m_Reads, "F");
  EXPECT_EQ(check(image("1")).m_Code, qvstatus::kNotSupported);
  EXPECT_EQ(check(image("2", "100")).m_Code, qvstatus::kInvalidParameter);
  EXPECT_EQ(check(image("2", "100"), 0, 2).m_Step, eImageStep::kVersion);  // bit 0 only
  EXPECT_EQ(check(image("2", "100"), 0, 1).m_Code, qvstatus::kSuccess);
  EXPECT_EQ(check(image("2", "101", "741236883")).m_Step, eImageStep::kChecksum);
  // A failed card read ends the check with the card's code.
  EXPECT_EQ(check(image(), 'S').m_Code, qvstatus::kIoError);
  EXPECT_EQ(check(image(), 'S').m_Step, eImageStep::kCard);
  EXPECT_EQ(check(image(), 'S').m_Reads, "FS");
  // The flash ID is read once per section; a missing key fails where it is needed.
  EXPECT_EQ(check(image() + image()).m_Reads, "FFSV");
  std::string l_NoPinOut = image();
  l_NoPinOut.replace(l_NoPinOut.find("PinOutVer"), 3, "Pin_");
  EXPECT_EQ(check(l_NoPinOut).m_Code, qvstatus::kOverflow);
  EXPECT_EQ(check(l_NoPinOut).m_Reads, "FS");
  EXPECT_EQ(check("").m_Code, qvstatus::kNotFound);
}

TEST(ImageCheck, NumbersOutsideUnsigned32BitsAreRefusedNotCut) {
  // Each would be cut to a value that passes: offset 0, the newest version,
  // header version 2, the right checksum.
  struct sCase {
    const char* m_pFrom;
    const char* m_pTo;
    eImageStep m_Step;
    const char* m_pReads;
  };
  const sCase l_Cases[] = {
      {"Offset::0", "Offset::0x100000000", eImageStep::kHeaderValues, "FS"},
      {"Version::101", "Version::-1", eImageStep::kHeaderValues, "FS"},
      {"Version::101", "Version::-0x101", eImageStep::kHeaderValues, "FS"},
      {"HeaderVersion::2", "HeaderVersion::4294967298", eImageStep::kHeaderVersion, "F"},
      {"SubSystemID::5A31", "SubSystemID::100005A31", eImageStep::kSubsystem, "F"},
      {"ByteCount::3", "ByteCount::-4294967293", eImageStep::kCountAndCrc, "FSV"},
      {"CRC::741236882", "CRC::5036204178", eImageStep::kCountAndCrc, "FSV"},
  };
  for (const sCase& l_rCase : l_Cases) {
    std::string l_Image = image();
    l_Image.replace(l_Image.find(l_rCase.m_pFrom), std::strlen(l_rCase.m_pFrom), l_rCase.m_pTo);
    const sOutcome l_Outcome = check(l_Image, 0, 1);
    EXPECT_EQ(l_Outcome.m_Code, qvstatus::kOverflow) << l_rCase.m_pTo;
    EXPECT_EQ(l_Outcome.m_Step, l_rCase.m_Step) << l_rCase.m_pTo;
    EXPECT_EQ(l_Outcome.m_Reads, l_rCase.m_pReads) << l_rCase.m_pTo;
  }
  // The largest value and a negative zero still pass.
  std::string l_Edge = image("2", "0xFFFFFFFF");
  l_Edge.replace(l_Edge.find("Offset::0"), 9, "Offset::-0");
  EXPECT_EQ(check(l_Edge).m_Code, qvstatus::kSuccess);
}

TEST(ImageCheck, OnlyPaddingDecodesToNothingAndIsRefused) {
  std::string l_Image = image();
  l_Image.replace(l_Image.find("YWJj"), 4, "====");
  l_Image.replace(l_Image.find("ByteCount::3"), 12, "ByteCount::0");
  l_Image.replace(l_Image.find("CRC::741236882"), 14, "CRC::0");
  const sOutcome l_Outcome = check(l_Image);
  EXPECT_EQ(l_Outcome.m_Code, qvstatus::kInternal);
  EXPECT_EQ(l_Outcome.m_Step, eImageStep::kByteCount);
}

TEST(HeaderNumber, AgreesWithStrtolAndStrtoul) {
  std::mt19937 l_Random(99);
  const char l_Letters[] = " \t\r\n+-0123456789abcdefxXg\0";
  const char* const l_Edges[] = {"99999999999999999999",
                                 "-99999999999999999999",
                                 "18446744073709551615",
                                 "-9223372036854775808",
                                 "9223372036854775808",
                                 "0x",
                                 "0xg",
                                 "4294967296",
                                 "-2147483649"};
  for (int l_Round = 0; l_Round < 20000; ++l_Round) {
    std::string l_Text;
    if (l_Round < 9) l_Text = l_Edges[l_Round];
    const size_t l_Length = l_Round < 9 ? 0 : l_Random() % 28;
    for (size_t l_Index = 0; l_Index < l_Length; ++l_Index) {
      l_Text += l_Letters[l_Random() % (sizeof(l_Letters) - 1)];
    }
    for (const int l_Base : {10, 16}) {
      const char* l_pEnd = l_Text.data() + l_Text.size();
      const sHeaderNumber l_Signed = convertHeaderNumber(l_Text.data(), l_pEnd, l_Base, true);
      const sHeaderNumber l_Unsigned = convertHeaderNumber(l_Text.data(), l_pEnd, l_Base, false);
      errno = 0;
      const long l_Long = std::strtol(l_Text.c_str(), nullptr, l_Base);
      ASSERT_EQ(l_Signed.m_Value, static_cast<uint64_t>(l_Long)) << "'" << l_Text << "'";
      // A number in 0 to 0xFFFFFFFF is exactly one that strtol reads
      // without overflow into that range, whichever conversion an update uses.
      const bool l_Fits = errno == 0 && l_Long >= 0 && l_Long <= int64_t{UINT32_MAX};
      ASSERT_EQ(l_Signed.m_FitsUnsigned32, l_Fits) << "'" << l_Text << "'";
      ASSERT_EQ(l_Unsigned.m_FitsUnsigned32, l_Fits) << "'" << l_Text << "'";
      errno = 0;
      const unsigned long l_Unsigned64 = std::strtoul(l_Text.c_str(), nullptr, l_Base);
      ASSERT_EQ(l_Unsigned.m_Value, l_Unsigned64) << "'" << l_Text << "'";
    }
  }
  const std::string l_Unsigned = "-18446744073709551615";  // strtoul gives 1
  EXPECT_FALSE(
      convertHeaderNumber(l_Unsigned.data(), l_Unsigned.data() + l_Unsigned.size(), 10, false)
          .m_FitsUnsigned32);
}
