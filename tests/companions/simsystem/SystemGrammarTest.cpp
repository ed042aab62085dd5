// SPDX-License-Identifier: LGPL-2.1-or-later
// The one reader of simulated-system files that both simulators share:
// sections, entries and numbers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cSystemFile.h"
#include "systemText.h"

namespace {

using nQvSimSystem_1_0::cSystemFile;

TEST(SimulatedSystemGrammar, SectionsAndEntriesWithTheirLines) {
  cSystemFile l_File;
  std::string l_Error;
  ASSERT_TRUE(
      l_File.parse("# comment\n\n[pcibrd]\n  ; comment\n root_buses = 0, 0x80 \n"
                   "[ bridge  rp ]\nkey=a = b\n",
                   "sys", l_Error))
      << l_Error;
  const auto& l_rSections = l_File.sections();
  ASSERT_EQ(l_rSections.size(), 2u);
  EXPECT_EQ(l_rSections[0].m_Kind, "pcibrd");
  EXPECT_EQ(l_rSections[0].m_Name, "");
  ASSERT_EQ(l_rSections[0].m_Entries.size(), 1u);
  EXPECT_EQ(l_rSections[0].m_Entries[0].m_Value, "0, 0x80");
  EXPECT_EQ(l_rSections[0].m_Entries[0].m_Line, 5);
  EXPECT_EQ(l_rSections[1].m_Kind, "bridge");
  EXPECT_EQ(l_rSections[1].m_Name, "rp");
  EXPECT_EQ(l_rSections[1].m_Line, 6);
  ASSERT_EQ(l_rSections[1].m_Entries.size(), 1u);
  EXPECT_EQ(l_rSections[1].m_Entries[0].m_Key, "key");
  EXPECT_EQ(l_rSections[1].m_Entries[0].m_Value, "a = b");

  const struct {
    const char* m_pText;
    const char* m_pError;
  } kBroken[] = {
      {"key = 1\n", "sys:1: key outside of any section"},
      {"[bridge a]\n\njust words\n", "sys:3: expected key = value"},
      {"[bridge a]\n = 1\n", "sys:2: expected key = value"},
      {"[bridge a\n", "sys:1: section header without ']'"},
      {"[bridge a b]\n", "sys:1: a section header is [KIND] or [KIND NAME]"},
      {"[]\n", "sys:1: a section header is [KIND] or [KIND NAME]"},
  };
  for (const auto& l_Case : kBroken) {
    EXPECT_FALSE(l_File.parse(l_Case.m_pText, "sys", l_Error)) << l_Case.m_pText;
    EXPECT_EQ(l_Error, l_Case.m_pError);
  }
}

TEST(SimulatedSystemGrammar, NumbersAreDecimalOrHexWithAnOptionalMinus) {
  const struct {
    const char* m_pText;
    int64_t m_Value;
  } kNumbers[] = {{"0", 0},           {"42", 42},   {"-7", -7},
                  {"0x1F3c", 0x1F3C}, {"0X10", 16}, {"-0x10", -16}};
  for (const auto& l_Case : kNumbers) {
    int64_t l_Value = 0;
    EXPECT_TRUE(nQvSimSystem_1_0::parseNumber(l_Case.m_pText, l_Value)) << l_Case.m_pText;
    EXPECT_EQ(l_Value, l_Case.m_Value) << l_Case.m_pText;
  }
  for (const char* l_pText : {"", "-", "+1", "+0x1", " 1", "1 ", "0x", "-0x", "12a", "0xG", "1e3",
                              "99999999999999999999999", "0x7FFFFFFFFFFFFFFFFF"}) {
    int64_t l_Value = 0;
    EXPECT_FALSE(nQvSimSystem_1_0::parseNumber(l_pText, l_Value)) << l_pText;
  }
  uint32_t l_U32 = 0;
  int32_t l_I32 = 0;
  EXPECT_TRUE(nQvSimSystem_1_0::parseU32("0xFFFFFFFF", l_U32));
  EXPECT_FALSE(nQvSimSystem_1_0::parseU32("0x100000000", l_U32));
  EXPECT_FALSE(nQvSimSystem_1_0::parseU32("-1", l_U32));
  EXPECT_TRUE(nQvSimSystem_1_0::parseI32("-2147483648", l_I32));
  EXPECT_FALSE(nQvSimSystem_1_0::parseI32("2147483648", l_I32));
}

}  // namespace
