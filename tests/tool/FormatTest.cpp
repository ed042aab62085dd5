// Texts from devices, files and arguments reach the terminal escaped.
#include <gtest/gtest.h>

#include "Format.h"

namespace {

using nQvzelTool::displayText;

TEST(DisplayText, EscapesWhatCouldSteerTheTerminal) {
  EXPECT_EQ(displayText("\x1B[2J\x07"), "\\x1B[2J\\x07");
  EXPECT_EQ(displayText("a\nb\rc\td\x7F"), "a\\nb\\rc\\td\\x7F");
  EXPECT_EQ(displayText(std::string("a\0b", 3)), "a\\x00b");
  // C1 controls: raw (a CSI on 8-bit terminals) and as UTF-8 (U+009B).
  EXPECT_EQ(displayText("\x9B"
                        "31m"),
            "\\x9B31m");
  EXPECT_EQ(displayText("\xC2\x9B"
                        "31m"),
            "\\xC2\\x9B31m");
  // Broken and overlong UTF-8 byte by byte; a cut sequence at the end too.
  EXPECT_EQ(displayText("\xC0\xAF\xE2\x82"), "\\xC0\\xAF\\xE2\\x82");
}

TEST(DisplayText, KeepsPrintableTextAndIsStable) {
  const std::string l_Plain = "QV PXIe-6550 M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\x8C \\x1B";
  EXPECT_EQ(displayText(l_Plain), l_Plain);
  const std::string l_Once = displayText("\x1B]0;title\x07\xFF");
  EXPECT_EQ(displayText(l_Once), l_Once);
}

}  // namespace
