// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "AllocationFailure.h"
#include "config/cCharBuffer.h"
#include "config/cSlotPath.h"

using nQvPxiDriverTools_1_0::cCharBuffer;
using nQvPxiDriverTools_1_0::cSlotPath;

namespace {

std::string TextOf(const cSlotPath& a_rPath) {
  Status l_Status;
  std::string l_Text;
  a_rPath.GetText(l_Text, l_Status);
  EXPECT_EQ(l_Status.code, 0);
  return l_Text;
}

// Parses a_pText with a fresh status and returns the resulting text and code.
std::pair<std::string, int64_t> Parse(const char* a_pText) {
  Status l_Status;
  cSlotPath l_Path(a_pText, l_Status);
  return {TextOf(l_Path), l_Status.code};
}

TEST(CharBuffer, GrowthRuleAndTermination) {
  Status l_Status;
  cCharBuffer l_Buffer;
  EXPECT_STREQ(l_Buffer.GetText(), "");
  l_Buffer.Append("abcde", l_Status);
  EXPECT_EQ(l_Buffer.GetCapacity(), 127u);
  EXPECT_STREQ(l_Buffer.GetText(), "abcde");
  l_Buffer.Reserve(200, l_Status);
  EXPECT_EQ(l_Buffer.GetCapacity(), 200u);
  l_Buffer.Reserve(250, l_Status);
  EXPECT_EQ(l_Buffer.GetCapacity(), 300u);
  EXPECT_STREQ(l_Buffer.GetText(), "abcde");
  l_Buffer.Clear();
  EXPECT_EQ(l_Buffer.GetCapacity(), 300u);
  EXPECT_STREQ(l_Buffer.GetText(), "");
  l_Buffer.Release();
  EXPECT_EQ(l_Buffer.GetCapacity(), 0u);
  EXPECT_EQ(l_Status.code, 0);
}

TEST(CharBuffer, SelfAppendSurvivesGrowth) {
  Status l_Status;
  cCharBuffer l_Buffer;
  std::string l_Expected = "0123456789";
  l_Buffer.Append(l_Expected.c_str(), l_Status);
  // Doubling past the first capacity forces a move while the source is inside.
  for (int l_i = 0; l_i < 6; ++l_i) {
    l_Buffer.Append(l_Buffer.GetText(), l_Buffer.GetLength(), l_Status);
    l_Expected += l_Expected;
  }
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_EQ(std::string(l_Buffer.GetText()), l_Expected);
}

TEST(CharBuffer, SubstringAndFind) {
  Status l_Status;
  cCharBuffer l_Buffer;
  cCharBuffer l_Other;
  l_Buffer.Append("ab,cd,ef", l_Status);
  EXPECT_EQ(l_Buffer.Find(",", 0), 2u);
  EXPECT_EQ(l_Buffer.Find(",", 3), 5u);
  EXPECT_EQ(l_Buffer.Find(",", 6), cCharBuffer::kNotFound);
  EXPECT_EQ(l_Buffer.Find(",", 8), cCharBuffer::kNotFound);
  EXPECT_EQ(l_Buffer.Find("ef", 0), 6u);
  l_Buffer.AssignSubstring(l_Other, 3, 2, l_Status);
  EXPECT_STREQ(l_Other.GetText(), "cd");
  l_Buffer.AssignSubstring(l_Other, 6, 100, l_Status);
  EXPECT_STREQ(l_Other.GetText(), "ef");
  l_Buffer.AssignSubstring(l_Other, 9, 1, l_Status);  // past the end: empty
  EXPECT_STREQ(l_Other.GetText(), "");
  l_Buffer.AssignSubstring(l_Buffer, 3, cCharBuffer::kNotFound, l_Status);  // in place
  EXPECT_STREQ(l_Buffer.GetText(), "cd,ef");
  EXPECT_EQ(l_Status.code, 0);
}

TEST(CharBuffer, AllocationFailureKeepsContent) {
  Status l_Status;
  cCharBuffer l_Buffer;
  l_Buffer.Append("keep", l_Status);
  qvztest::failAllocationsAfter(0);
  l_Buffer.Reserve(1000, l_Status);
  qvztest::failAllocationsAfter(-1);
  EXPECT_EQ(l_Status.code, qvstatus::kMemoryFull);
  EXPECT_STREQ(l_Buffer.GetText(), "keep");
  EXPECT_EQ(l_Buffer.GetCapacity(), 127u);

  Status l_Overflow;
  l_Buffer.Append("x", static_cast<size_t>(-2), l_Overflow);
  EXPECT_EQ(l_Overflow.code, qvstatus::kMemoryFull);
  EXPECT_STREQ(l_Buffer.GetText(), "keep");
}

TEST(SlotPath, TextForms) {
  EXPECT_EQ(TextOf(cSlotPath()), "MR00:");
  EXPECT_EQ(Parse("MR1C:"), std::make_pair(std::string("MR1C:"), int64_t{0}));
  EXPECT_EQ(Parse("0:00,E0"), std::make_pair(std::string("MR00:00,E0"), int64_t{0}));
  EXPECT_EQ(Parse("00,E0"), std::make_pair(std::string("MR00:00,E0"), int64_t{0}));
  EXPECT_EQ(Parse("28:08"), std::make_pair(std::string("MR1C:08"), int64_t{0}));
  EXPECT_EQ(Parse("MRa:1f"), std::make_pair(std::string("MR0A:0F"), int64_t{0}));
  EXPECT_EQ(Parse("MR0a:1f,e0"), std::make_pair(std::string("MR0A:1F,E0"), int64_t{0}));
  EXPECT_EQ(Parse("MR00:08,"), std::make_pair(std::string("MR00:08"), int64_t{0}));
  EXPECT_EQ(Parse("MR00:8,E0"), std::make_pair(std::string("MR00:08"), int64_t{0}));
  EXPECT_EQ(Parse(""), std::make_pair(std::string("MR00:"), int64_t{0}));
  EXPECT_EQ(Parse("MR00"), std::make_pair(std::string("MR00:"), int64_t{0}));
}

TEST(SlotPath, SyntaxErrorsKeepCodesReadSoFar) {
  EXPECT_EQ(Parse("MR00:08,Z1"),
            std::make_pair(std::string("MR00:08"), int64_t{qvstatus::kSlotPathSyntax}));
  // Lower-case prefix: not the prefixed form, and "mr" is not a code.
  EXPECT_EQ(Parse("mr00:08"),
            std::make_pair(std::string("MR00:"), int64_t{qvstatus::kSlotPathSyntax}));
  EXPECT_EQ(Parse("MR00:08,,E0"),
            std::make_pair(std::string("MR00:08"), int64_t{qvstatus::kSlotPathSyntax}));

  Status l_Status;
  cSlotPath l_Path("MR01:00,E0", l_Status);
  l_Path.SetFromText(nullptr, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
  EXPECT_TRUE(l_Path.IsEmpty());
  // A parse failure never makes the path itself unusable.
  EXPECT_EQ(l_Path.GetOwnStatus().code, 0);
}

TEST(SlotPath, FailedStatusOnEntryChangesNothing) {
  Status l_Status;
  cSlotPath l_Path("MR02:00,E0", l_Status);
  Status l_Failed;
  QVZ_SET_STATUS(l_Failed, qvstatus::kNotFound);
  l_Path.SetFromText("MR03:", l_Failed);
  l_Path.PushDeviceFunction(1, 1, l_Failed);
  l_Path.ApplyRelativePath("-", l_Failed);
  EXPECT_EQ(l_Path.GetFrontDeviceFunction(l_Failed), -1);
  std::string l_Text = "unchanged";
  l_Path.GetText(l_Text, l_Failed);
  EXPECT_EQ(l_Text, "unchanged");
  EXPECT_EQ(TextOf(l_Path), "MR02:00,E0");
  EXPECT_EQ(l_Failed.code, qvstatus::kNotFound);
}

TEST(SlotPath, PushAndFront) {
  Status l_Status;
  cSlotPath l_Path;
  EXPECT_EQ(l_Path.GetFrontDeviceFunction(l_Status), -1);
  EXPECT_EQ(l_Status.code, qvstatus::kSlotPathEmpty);

  Status l_Fresh;
  l_Path.PushDeviceFunction(28, 0, l_Fresh);
  l_Path.PushDeviceFunction(0, 0, l_Fresh);
  l_Path.PushDeviceFunction(31, 7, l_Fresh);
  EXPECT_EQ(l_Path.GetFrontDeviceFunction(l_Fresh), 0xFF);
  EXPECT_EQ(TextOf(l_Path), "MR00:FF,00,E0");
  l_Path.PopFront();
  EXPECT_EQ(l_Path.GetFrontDeviceFunction(l_Fresh), 0);
  EXPECT_EQ(l_Path.GetDeviceFunctionCount(), 2u);
  EXPECT_EQ(l_Fresh.code, 0);
}

// Applies a_pPattern to a copy of a_pStart and returns the text and code.
std::pair<std::string, int64_t> Apply(const char* a_pStart, const char* a_pPattern) {
  Status l_Parse;
  const cSlotPath l_Start(a_pStart, l_Parse);
  EXPECT_EQ(l_Parse.code, 0);
  cSlotPath l_Path(l_Start);
  Status l_Status;
  l_Path.ApplyRelativePath(a_pPattern, l_Status);
  return {TextOf(l_Path), l_Status.code};
}

TEST(SlotPath, ModelTablePatterns) {
  EXPECT_EQ(Apply("MR00:00,E0", "-,f2"), std::make_pair(std::string("MR00:E2"), int64_t{0}));
  EXPECT_EQ(Apply("MR00:00,E0", "f0"), std::make_pair(std::string("MR00:00,E0"), int64_t{0}));
  EXPECT_EQ(Apply("MR00:01,E0", "f0"), std::make_pair(std::string("MR00:00,E0"), int64_t{0}));
  EXPECT_EQ(Apply("MR00:00,E0", "f0,d4f0"),
            std::make_pair(std::string("MR00:20,00,E0"), int64_t{0}));
  EXPECT_EQ(Apply("MR00:00,E0", "-,-,d0f0"), std::make_pair(std::string("MR00:00"), int64_t{0}));
  EXPECT_EQ(Apply("MR05:10,E0", ""), std::make_pair(std::string("MR05:10,E0"), int64_t{0}));
  EXPECT_EQ(Apply("MR05:10,E0", "-,"), std::make_pair(std::string("MR05:E0"), int64_t{0}));
}

TEST(SlotPath, PatternFailuresKeepEarlierTokens) {
  const int64_t l_Syntax = qvstatus::kSlotPathSyntax;
  EXPECT_EQ(Apply("MR07:08", "-"), std::make_pair(std::string("MR07:"), int64_t{0}));
  EXPECT_EQ(Apply("MR07:08", "-,-"), std::make_pair(std::string("MR07:"), l_Syntax));
  EXPECT_EQ(Apply("MR00:", "f3"),
            std::make_pair(std::string("MR00:"), int64_t{qvstatus::kSlotPathEmpty}));
  EXPECT_EQ(Apply("MR00:00,E0", ",d0f0"), std::make_pair(std::string("MR00:00,E0"), l_Syntax));
  EXPECT_EQ(Apply("MR00:00,E0", "d1f0x"), std::make_pair(std::string("MR00:00,E0"), l_Syntax));
  EXPECT_EQ(Apply("MR00:00,E0", "f2x"), std::make_pair(std::string("MR00:00,E0"), l_Syntax));
  EXPECT_EQ(Apply("MR00:00,E0", "-,g1,d0f0"), std::make_pair(std::string("MR00:E0"), l_Syntax));
  EXPECT_EQ(Apply("MR00:00,E0", "--"), std::make_pair(std::string("MR00:00,E0"), l_Syntax));
}

TEST(SlotPath, CopyKeepsCodesAndRoot) {
  Status l_Status;
  cSlotPath l_Source("MR3A:10,20,30", l_Status);
  cSlotPath l_Copy(l_Source);
  EXPECT_EQ(TextOf(l_Copy), "MR3A:10,20,30");
  cSlotPath l_Target("MR01:FF,FF,FF,FF", l_Status);
  l_Target = l_Source;
  EXPECT_EQ(TextOf(l_Target), "MR3A:10,20,30");
  const cSlotPath& l_rSelf = l_Target;
  l_Target = l_rSelf;  // self-assignment keeps the codes
  EXPECT_EQ(TextOf(l_Target), "MR3A:10,20,30");
  // The copy is independent of its source.
  l_Target.PopFront();
  EXPECT_EQ(TextOf(l_Source), "MR3A:10,20,30");
  std::vector<cSlotPath> l_Paths(3, l_Source);
  EXPECT_EQ(TextOf(l_Paths[2]), "MR3A:10,20,30");
  EXPECT_EQ(l_Status.code, 0);
}

TEST(SlotPath, FailedCopyMakesTargetUnusableForGood) {
  Status l_Status;
  cSlotPath l_Source("MR00:10,20,30", l_Status);
  cSlotPath l_Target;
  qvztest::failAllocationsAfter(1);  // the second code cannot be allocated
  l_Target = l_Source;
  qvztest::failAllocationsAfter(-1);
  EXPECT_EQ(l_Target.GetOwnStatus().code, qvstatus::kMemoryFull);

  // Every operation on it, and every copy of it, reports the stored error.
  Status l_Text;
  std::string l_Out = "before";
  l_Target.GetText(l_Out, l_Text);
  EXPECT_EQ(l_Text.code, qvstatus::kMemoryFull);
  EXPECT_EQ(l_Out, "before");
  Status l_Push;
  l_Target.PushDeviceFunction(1, 0, l_Push);
  EXPECT_EQ(l_Push.code, qvstatus::kMemoryFull);
  Status l_Front;
  EXPECT_EQ(l_Target.GetFrontDeviceFunction(l_Front), -1);
  EXPECT_EQ(l_Front.code, qvstatus::kMemoryFull);
  Status l_Parse;
  l_Target.SetFromText("MR00:08", l_Parse);
  EXPECT_EQ(l_Parse.code, qvstatus::kMemoryFull);

  cSlotPath l_Copy(l_Target);
  EXPECT_EQ(l_Copy.GetOwnStatus().code, qvstatus::kMemoryFull);
  // Assigning a good path into an unusable one does not repair it.
  l_Target = l_Source;
  EXPECT_EQ(l_Target.GetOwnStatus().code, qvstatus::kMemoryFull);
  // The source stays fine.
  EXPECT_EQ(TextOf(l_Source), "MR00:10,20,30");
}

TEST(SlotPath, PushAndTextReportMemoryFull) {
  Status l_Status;
  cSlotPath l_Path("MR00:08", l_Status);
  qvztest::failAllocationsAfter(0);
  l_Path.PushDeviceFunction(1, 0, l_Status);
  qvztest::failAllocationsAfter(-1);
  EXPECT_EQ(l_Status.code, qvstatus::kMemoryFull);
  EXPECT_EQ(l_Path.GetDeviceFunctionCount(), 1u);
  EXPECT_EQ(l_Path.GetOwnStatus().code, 0);

  Status l_Text;
  cCharBuffer l_Buffer;
  qvztest::failAllocationsAfter(0);
  l_Path.GetText(l_Buffer, l_Text);
  qvztest::failAllocationsAfter(-1);
  EXPECT_EQ(l_Text.code, qvstatus::kMemoryFull);
}

TEST(SlotPath, RandomPathsRoundTrip) {
  std::mt19937 l_Random(12345);
  for (int l_Round = 0; l_Round < 2000; ++l_Round) {
    Status l_Status;
    cSlotPath l_Path;
    const int l_Depth = static_cast<int>(l_Random() % 12);
    for (int l_i = 0; l_i < l_Depth; ++l_i) {
      l_Path.PushDeviceFunction(static_cast<uint8_t>(l_Random() % 32),
                                static_cast<uint8_t>(l_Random() % 8), l_Status);
    }
    const std::string l_Root = "MR" + std::string(1, "0123456789ABCDEF"[l_Random() % 16]) +
                               std::string(1, "0123456789ABCDEF"[l_Random() % 16]) + ":";
    cSlotPath l_Rooted(l_Root.c_str(), l_Status);
    // Put the random codes below the random root by copying them over.
    std::string l_Text = TextOf(l_Path);
    l_Text.replace(0, 5, l_Root);
    cSlotPath l_Parsed(l_Text.c_str(), l_Status);
    ASSERT_EQ(l_Status.code, 0) << l_Text;
    ASSERT_EQ(TextOf(l_Parsed), l_Text);
    ASSERT_EQ(l_Parsed.GetDeviceFunctionCount(), static_cast<size_t>(l_Depth));
    ASSERT_EQ(l_Parsed.GetRootBus(), l_Rooted.GetRootBus());
    // Formatting the parsed copy's copy gives the same text again.
    cSlotPath l_Copy(l_Parsed);
    ASSERT_EQ(TextOf(l_Copy), l_Text);
  }
}

TEST(SlotPath, ArbitraryBytesNeverCrash) {
  std::mt19937 l_Random(777);
  const char l_Alphabet[] = "MRmr0123456789abcdefABCDEFxZ:,- \t\n\x80\xff";
  for (int l_Round = 0; l_Round < 5000; ++l_Round) {
    std::string l_Text;
    const int l_Length = static_cast<int>(l_Random() % 24);
    for (int l_i = 0; l_i < l_Length; ++l_i) {
      l_Text += (l_Round % 2 == 0) ? l_Alphabet[l_Random() % (sizeof(l_Alphabet) - 1)]
                                   : static_cast<char>(1 + l_Random() % 255);
    }
    Status l_Status;
    cSlotPath l_Path(l_Text.c_str(), l_Status);
    EXPECT_TRUE(l_Status.code == 0 || l_Status.code == qvstatus::kSlotPathSyntax) << l_Text;
    // Whatever was parsed formats into a text that parses back to itself.
    const std::string l_Formatted = TextOf(l_Path);
    ASSERT_EQ(Parse(l_Formatted.c_str()), std::make_pair(l_Formatted, int64_t{0}));
    Status l_Apply;
    l_Path.ApplyRelativePath(l_Text, l_Apply);
    EXPECT_TRUE(l_Apply.code == 0 || l_Apply.code == qvstatus::kSlotPathSyntax ||
                l_Apply.code == qvstatus::kSlotPathEmpty);
  }
}

}  // namespace
