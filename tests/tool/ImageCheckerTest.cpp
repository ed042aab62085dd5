// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageChecker.h"
#include "qvzelif.h"

namespace {

using namespace nQvzelTool;
namespace fw = nQVZEL_15_0;

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

sImageReport check(const std::string& a_rText) { return checkImageText(a_rText); }

std::string issi() {
  sFields l_Fields;
  l_Fields.m_Type = "\"ISSIFlashFWUpdate\"";
  l_Fields.m_Version = "0x104";
  return section(l_Fields);
}

const fw::sSectionAnalysis& sectionOf(const sImageReport& a_rReport, size_t a_Index) {
  return a_rReport.m_Analysis.m_Sections.at(a_Index);
}

// Every finding of a section as text, refusing ones first marked "!".
std::string findings(const sImageReport& a_rReport, size_t a_Index) {
  std::string l_Text;
  for (const fw::sFinding& l_rFinding : sectionOf(a_rReport, a_Index).m_Findings) {
    l_Text += (l_rFinding.m_Refuses ? "!" : "") +
              findingText(a_rReport, sectionOf(a_rReport, a_Index), l_rFinding) + "\n";
  }
  return l_Text;
}

TEST(ImageChecker, ValidSectionsWithEveryValue) {
  const std::string l_Image = "comment before the first section\r\n" + section(sFields()) + issi();
  const sImageReport l_Report = check(l_Image);
  EXPECT_TRUE(l_Report.valid()) << l_Report.reason();
  ASSERT_EQ(l_Report.m_Analysis.m_Sections.size(), 2u);
  EXPECT_EQ(findings(l_Report, 0), "");
  EXPECT_EQ(sectionOf(l_Report, 1).m_Check.m_Values[fw::kKeyVersion].cut(), 0x104u);
  EXPECT_EQ(sectionOf(l_Report, 1).m_Check.m_ComputedCrc, 741236882u);
  // The card's verdicts: the section of its flash type, its subsystem, newer or forced.
  EXPECT_EQ(checkForCard(l_Report, 0x9D17, 0x5A31, 0x103, false).m_Section, 1);
  EXPECT_EQ(checkForCard(l_Report, 0x9D17, 0x5A31, 0x103, false).m_Code, 0);
  EXPECT_EQ(checkForCard(l_Report, 0x9D17, 0x5A31, 0x104, false).m_Step, fw::eImageStep::kVersion);
  EXPECT_EQ(checkForCard(l_Report, 0x9D17, 0x5A31, 0x104, true).m_Code, 0);
  EXPECT_EQ(checkForCard(l_Report, 0xBF8E, 0x5A30, 0, false).m_Code, QVZEL_ERR_NOT_SUPPORTED);
  EXPECT_EQ(checkForCard(l_Report, 0x1234, 0x5A31, 0, false).m_Code, QVZEL_ERR_NOT_FOUND);
}

TEST(ImageChecker, PayloadMismatchesAreCaught) {
  sFields l_Fields;
  l_Fields.m_Crc = "741236883";
  sImageReport l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.valid());
  EXPECT_NE(l_Report.reason().find("checksum"), std::string::npos) << l_Report.reason();

  l_Fields.m_Crc = "0x2C2E6092";  // the right value, but in hexadecimal
  l_Report = check(section(l_Fields));
  EXPECT_NE(l_Report.reason().find("decimal"), std::string::npos) << l_Report.reason();

  l_Fields = sFields();
  l_Fields.m_ByteCount = "4";
  l_Report = check(section(l_Fields));
  EXPECT_NE(l_Report.reason().find("decodes to 3 bytes"), std::string::npos) << l_Report.reason();

  l_Fields = sFields();
  l_Fields.m_BlankLine = false;
  EXPECT_FALSE(check(section(l_Fields)).valid());

  l_Fields = sFields();
  l_Fields.m_Payload = "";  // header followed by nothing but its empty line
  EXPECT_FALSE(check(section(l_Fields) + "x").valid());

  // Padding alone decodes to nothing: the library refuses it whatever the
  // header says, and so must the tool.
  l_Fields = sFields();
  l_Fields.m_Payload = "====";
  l_Fields.m_ByteCount = "0";
  l_Fields.m_Crc = "0";
  l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.valid());
  EXPECT_NE(l_Report.reason().find("decodes to no byte"), std::string::npos) << l_Report.reason();
  EXPECT_EQ(checkForCard(l_Report, 0xBF8E, 0x5A31, 0, true).m_Code, QVZEL_ERR_INTERNAL);
}

TEST(ImageChecker, HeaderFindingsNameTheKey) {
  sFields l_Fields;
  l_Fields.m_HeaderVersion = "1";
  sImageReport l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.valid());
  EXPECT_NE(l_Report.reason().find("header version is 1"), std::string::npos) << l_Report.reason();

  // The library takes CRC:: from the later section, and it matches: the
  // image is written, and the checker says so with a note.
  l_Fields = sFields();
  l_Fields.m_Crc = kOmit;
  l_Report = check(section(l_Fields) + issi());
  EXPECT_TRUE(l_Report.valid()) << l_Report.reason();
  EXPECT_NE(findings(l_Report, 0).find("the header has no CRC:: line; an update takes '741236882'"),
            std::string::npos)
      << findings(l_Report, 0);

  // A value without digits reads as 0 (a note); a number outside unsigned
  // 32 bits makes the section invalid, and the problem names key and value.
  l_Fields = sFields();
  l_Fields.m_Version = "next";
  l_Report = check(section(l_Fields));
  EXPECT_TRUE(l_Report.valid()) << l_Report.reason();
  EXPECT_NE(
      findings(l_Report, 0).find("'next' is not a hexadecimal number; an update reads it as 0"),
      std::string::npos);
  l_Fields = sFields();
  l_Fields.m_HeaderVersion = "4294967298";
  l_Fields.m_Version = "-1";
  l_Report = check(section(l_Fields));
  EXPECT_FALSE(l_Report.valid());
  EXPECT_EQ(l_Report.reason(),
            "section 1: the HeaderVersion:: value '4294967298' is above 0xFFFFFFFF; header "
            "numbers are unsigned 32-bit, so an update refuses the section");
  EXPECT_NE(findings(l_Report, 0).find("!the Version:: value '-1' is negative"), std::string::npos)
      << findings(l_Report, 0);
  EXPECT_EQ(findings(l_Report, 0).find("header version is"), std::string::npos)
      << findings(l_Report, 0);
  const sCardVerdict l_Verdict = checkForCard(l_Report, 0xBF8E, 0x5A31, 0, true);
  EXPECT_EQ(l_Verdict.m_Code, QVZEL_ERR_OVERFLOW);
  EXPECT_EQ(l_Verdict.m_Step, fw::eImageStep::kHeaderVersion);
}

TEST(ImageChecker, LineFeedOnlyHeadersAreQuotedShort) {
  std::string l_Text = section(sFields());
  std::string l_LfOnly;
  for (size_t l_Index = 0; l_Index < l_Text.size(); ++l_Index) {
    if (l_Text.compare(l_Index, 2, "\r\n") != 0) l_LfOnly += l_Text[l_Index];
  }
  l_LfOnly += std::string(100000, 'A');
  const sImageReport l_Report = check(l_LfOnly);
  EXPECT_FALSE(l_Report.valid());
  const std::string l_Findings = findings(l_Report, 0);
  EXPECT_NE(l_Findings.find("line ends in a line feed alone, but header lines end in CR LF"),
            std::string::npos);
  EXPECT_LT(l_Findings.size(), 4000u) << l_Findings.substr(0, 4000);
  EXPECT_LT(l_Report.reason().size(), 300u) << l_Report.reason();
}

// An unknown update type in any section makes the library refuse the whole
// image, so the image is invalid even though the other section is fine.
TEST(ImageChecker, UnknownUpdateTypeRejectsTheWholeImage) {
  sFields l_Fields;
  l_Fields.m_Type = "SSTFlashFWUpdate";
  const sImageReport l_Report = check(issi() + section(l_Fields));
  EXPECT_FALSE(l_Report.valid());
  ASSERT_EQ(l_Report.m_Analysis.m_Sections.size(), 2u);
  EXPECT_EQ(sectionOf(l_Report, 0).m_Code, 0);
  EXPECT_LT(sectionOf(l_Report, 1).m_Code, 0);
  ASSERT_EQ(l_Report.imageProblems().size(), 1u);
  EXPECT_NE(l_Report.imageProblems()[0].find("QVZEL_ERR_NOT_SUPPORTED"), std::string::npos);
  EXPECT_NE(l_Report.reason().find("section 2: the update type 'SSTFlashFWUpdate' is not"),
            std::string::npos)
      << l_Report.reason();
  EXPECT_EQ(checkForCard(l_Report, 0x9D17, 0x5A31, 0, false).m_Code, QVZEL_ERR_NOT_SUPPORTED);
}

TEST(ImageChecker, LaterSectionOfTheSameFlashTypeWins) {
  sFields l_Broken;
  l_Broken.m_Crc = "1";
  sFields l_Later;
  l_Later.m_Version = "200";
  const sImageReport l_Report = check(section(l_Broken) + section(l_Later));
  // The earlier section is never written, so its fault does not count.
  EXPECT_TRUE(l_Report.valid()) << l_Report.reason();
  EXPECT_TRUE(sectionOf(l_Report, 0).m_Superseded);
  EXPECT_FALSE(sectionOf(l_Report, 1).m_Superseded);
  EXPECT_EQ(checkForCard(l_Report, 0xBF8E, 0x5A31, 0, false).m_Section, 1);
}

TEST(ImageChecker, FilesWithoutSections) {
  EXPECT_FALSE(check("").valid());
  EXPECT_EQ(check("").reason(), "the file is empty");
  const sImageReport l_Report = check("just some text\r\n");
  EXPECT_FALSE(l_Report.valid());
  EXPECT_NE(l_Report.reason().find("no firmware section"), std::string::npos);

  const sImageReport l_Missing = checkImageFile("/nonexistent/dir/fw.img");
  EXPECT_FALSE(l_Missing.m_Readable);
  EXPECT_FALSE(l_Missing.valid());
  EXPECT_NE(l_Missing.reason().find("cannot open"), std::string::npos);
}

}  // namespace
