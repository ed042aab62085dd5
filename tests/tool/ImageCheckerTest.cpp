#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageChecker.h"

namespace {

using namespace nQvzelTool;

const char kOmit[] = "<omit>";

// One section's header values as text; kOmit leaves the line out. The payload
// YWJj decodes to "abc", whose image checksum is 741236882.
struct sFields {
  std::string m_Type = "\"SSTFlashFWUpdate\"";
  std::string m_HeaderVersion = "2";
  std::string m_Subsystem = "5A31";
  std::string m_PinOutAddr = "10";
  std::string m_PinOutVer = "2";
  std::string m_Offset = "0";
  std::string m_Version = "103";
  std::string m_ByteCount = "3";
  std::string m_Crc = "741236882";
  std::string m_Payload = "YWJj\r\n";
  bool m_BlankLine = true;
};

std::string section(const sFields& a_rFields) {
  std::string l_Text = "HeaderVersion::" + a_rFields.m_HeaderVersion + "\r\n";
  const std::pair<const char*, const std::string*> l_Lines[] = {
      {"UpdateType::", &a_rFields.m_Type},       {"SubSystemID::", &a_rFields.m_Subsystem},
      {"PinOutAddr::", &a_rFields.m_PinOutAddr}, {"PinOutVer::", &a_rFields.m_PinOutVer},
      {"Offset::", &a_rFields.m_Offset},         {"Version::", &a_rFields.m_Version},
      {"ByteCount::", &a_rFields.m_ByteCount},   {"CRC::", &a_rFields.m_Crc}};
  for (const auto& l_rLine : l_Lines) {
    if (*l_rLine.second != kOmit) l_Text += l_rLine.first + *l_rLine.second + "\r\n";
  }
  if (a_rFields.m_BlankLine) l_Text += "\r\n";
  return l_Text + a_rFields.m_Payload;
}

sImageReport check(const std::string& a_rText) {
  return checkImage(std::vector<char>(a_rText.begin(), a_rText.end()));
}

std::string issi() {
  sFields l_Fields;
  l_Fields.m_Type = "\"ISSIFlashFWUpdate\"";
  l_Fields.m_Version = "0x104";
  return section(l_Fields);
}

TEST(ImageChecker, ValidSectionsWithEveryValue) {
  const std::string l_Comment = "comment before the first section\r\n";
  const std::string l_First = l_Comment + section(sFields());
  const std::string l_Image = l_First + issi();
  const sImageReport l_Report = check(l_Image);
  EXPECT_TRUE(l_Report.m_Valid) << l_Report.m_Reason;
  ASSERT_EQ(l_Report.m_Sections.size(), 2u);
  const sSectionReport& l_rSst = l_Report.m_Sections[0];
  EXPECT_EQ(l_rSst.m_Start, l_Comment.size());
  EXPECT_EQ(l_rSst.m_End, l_First.size() - 1);  // the line feed before the next key is outside
  EXPECT_EQ(l_rSst.m_FlashId, 0xBF8Eu);
  EXPECT_EQ(l_rSst.m_HeaderVersion.m_Value, 2u);
  EXPECT_EQ(l_rSst.m_SubsystemId.m_Value, 0x5A31u);
  EXPECT_EQ(l_rSst.m_PinOutAddr.m_Value, 0x10u);
  EXPECT_EQ(l_rSst.m_PinOutVer.m_Value, 2u);
  EXPECT_EQ(l_rSst.m_Offset.m_Value, 0u);
  EXPECT_EQ(l_rSst.m_Version.m_Value, 0x103u);
  EXPECT_EQ(l_rSst.m_ByteCount.m_Value, 3u);
  EXPECT_EQ(l_rSst.m_DecodedLength, 3u);
  EXPECT_EQ(l_rSst.m_Crc.m_Value, 741236882u);
  EXPECT_EQ(l_rSst.m_ComputedCrc, 741236882u);
  const sSectionReport& l_rIssi = l_Report.m_Sections[1];
  EXPECT_EQ(l_rIssi.m_Start, l_First.size());
  EXPECT_EQ(l_rIssi.m_End, l_Image.size());
  EXPECT_EQ(l_rIssi.m_FlashId, 0x9D17u);
  EXPECT_EQ(l_rIssi.m_Version.m_Value, 0x104u);
  EXPECT_EQ(sectionForFlash(l_Report, 0x9D17), &l_rIssi);
  EXPECT_EQ(sectionForFlash(l_Report, 0x1234), nullptr);
}

TEST(ImageChecker, PayloadMismatchesAreCaught) {
  sFields l_Fields;
  l_Fields.m_Crc = "741236883";
  sImageReport l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_NE(l_Report.m_Reason.find("checksum"), std::string::npos) << l_Report.m_Reason;

  l_Fields.m_Crc = "0x2C2E6092";  // the right value, but in hexadecimal
  l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_NE(l_Report.m_Reason.find("decimal"), std::string::npos) << l_Report.m_Reason;

  l_Fields = sFields();
  l_Fields.m_ByteCount = "4";
  l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_NE(l_Report.m_Reason.find("decodes to 3 bytes"), std::string::npos) << l_Report.m_Reason;

  l_Fields = sFields();
  l_Fields.m_BlankLine = false;
  l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_FALSE(l_Report.m_Sections.at(0).m_PayloadFound);

  l_Fields = sFields();
  l_Fields.m_Payload = "";  // header followed by nothing but its empty line
  l_Report = check(section(l_Fields) + "x");
  EXPECT_FALSE(l_Report.m_Valid);
}

TEST(ImageChecker, HeaderProblemsNameTheKey) {
  sFields l_Fields;
  l_Fields.m_HeaderVersion = "1";
  sImageReport l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_NE(l_Report.m_Reason.find("header version is 1"), std::string::npos) << l_Report.m_Reason;

  // The library would take CRC:: from the later section; the checker calls it
  // missing in the first.
  l_Fields = sFields();
  l_Fields.m_Crc = kOmit;
  l_Report = check(section(l_Fields) + issi());
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_FALSE(l_Report.m_Sections.at(0).valid());
  EXPECT_TRUE(l_Report.m_Sections.at(1).valid());
  EXPECT_NE(l_Report.m_Reason.find("section 1: the header has no CRC:: line"), std::string::npos)
      << l_Report.m_Reason;

  l_Fields = sFields();
  l_Fields.m_Version = "next";
  l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_NE(l_Report.m_Reason.find("not a hexadecimal number"), std::string::npos);
}

// An unknown update type in any section makes the library refuse the whole
// image, so the image is invalid even though the other section is fine.
TEST(ImageChecker, UnknownUpdateTypeRejectsTheWholeImage) {
  sFields l_Fields;
  l_Fields.m_Type = "SSTFlashFWUpdate";
  const sImageReport l_Report = check(issi() + section(l_Fields));
  EXPECT_FALSE(l_Report.m_Valid);
  ASSERT_EQ(l_Report.m_Sections.size(), 2u);
  EXPECT_TRUE(l_Report.m_Sections[0].valid());
  EXPECT_FALSE(l_Report.m_Sections[1].valid());
  EXPECT_EQ(l_Report.m_Sections[1].m_FlashId, 0u);
  ASSERT_EQ(l_Report.m_ImageProblems.size(), 1u);
  EXPECT_NE(l_Report.m_ImageProblems[0].find("QVZEL_ERR_NOT_SUPPORTED"), std::string::npos)
      << l_Report.m_ImageProblems[0];
  EXPECT_NE(l_Report.m_Reason.find("section 2: the update type SSTFlashFWUpdate is not"),
            std::string::npos)
      << l_Report.m_Reason;
}

TEST(ImageChecker, LaterSectionOfTheSameFlashTypeWins) {
  sFields l_Later;
  l_Later.m_Version = "200";
  const sImageReport l_Report = check(section(sFields()) + section(l_Later));
  EXPECT_TRUE(l_Report.m_Valid) << l_Report.m_Reason;
  ASSERT_EQ(l_Report.m_Sections.size(), 2u);
  EXPECT_TRUE(l_Report.m_Sections[0].m_Superseded);
  EXPECT_FALSE(l_Report.m_Sections[1].m_Superseded);
  EXPECT_EQ(sectionForFlash(l_Report, 0xBF8E), &l_Report.m_Sections[1]);
}

TEST(ImageChecker, FilesWithoutSections) {
  EXPECT_FALSE(check("").m_Valid);
  const sImageReport l_Report = check("just some text\r\n");
  EXPECT_FALSE(l_Report.m_Valid);
  EXPECT_TRUE(l_Report.m_Sections.empty());
  EXPECT_NE(l_Report.m_Reason.find("no firmware section"), std::string::npos);

  const sImageReport l_Missing = checkImageFile("/nonexistent/dir/fw.img");
  EXPECT_FALSE(l_Missing.m_Readable);
  EXPECT_FALSE(l_Missing.m_Valid);
  EXPECT_NE(l_Missing.m_Reason.find("cannot open"), std::string::npos);
}

}  // namespace
