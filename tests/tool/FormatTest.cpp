// SPDX-License-Identifier: LGPL-2.1-or-later
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

// Bidirectional controls could show a text in another order than its bytes.
TEST(DisplayText, EscapesBidirectionalControls) {
  EXPECT_EQ(displayText("a\xE2\x80\xAE" "b\xE2\x81\xA6" "c"),
            "a\\xE2\\x80\\xAEb\\xE2\\x81\\xA6c");
  EXPECT_EQ(displayText("\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xAA"),
            "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xAA");
}

TEST(DisplayText, KeepsPrintableTextAndIsStable) {
  const std::string l_Plain = "QV PXIe-6550 M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\x8C \\x1B";
  EXPECT_EQ(displayText(l_Plain), l_Plain);
  const std::string l_Once = displayText("\x1B]0;title\x07\xFF");
  EXPECT_EQ(displayText(l_Once), l_Once);
}

// A label value in Prometheus text: valid UTF-8 whatever the bytes (a Latin-1
// vendor name), backslash and quote escaped, nothing that ends the line.
TEST(MetricsLabelValue, IsValidUtf8AndEscaped) {
  using nQvzelTool::metricsLabelValue;
  EXPECT_EQ(metricsLabelValue("M\xFCller"), "M\\\\xFCller");
  EXPECT_EQ(metricsLabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\\\nd");
  EXPECT_EQ(metricsLabelValue("Caf\xC3\xA9"), "Caf\xC3\xA9");
}

TEST(QuotedArgument, IsCutToAShortPrefix) {
  using nQvzelTool::quotedArgument;
  EXPECT_EQ(quotedArgument("MR00:00,E0"), "'MR00:00,E0'");
  EXPECT_EQ(quotedArgument(std::string(300, 'x')), "'" + std::string(40, 'x') + "...'");
  // Never inside a UTF-8 sequence.
  EXPECT_EQ(quotedArgument(std::string(39, 'x') + "\xC3\xA9zzz"), "'" + std::string(39, 'x') + "...'");
}

TEST(StatusText, NamesAnUnknownBridgeLibraryCodeAsSuch) {
  const std::string l_Text = nQvzelTool::statusText(-313007);
  EXPECT_NE(l_Text.find("-313007"), std::string::npos);
  EXPECT_NE(l_Text.find("bridge library"), std::string::npos);
  EXPECT_EQ(l_Text.find("UNKNOWN"), std::string::npos);
  EXPECT_NE(nQvzelTool::statusText(-313004).find("QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED"),
            std::string::npos);
}

TEST(LinkStatus, IsUpOnlyWithANegotiatedWidth) {
  EXPECT_FALSE(nQvzelTool::linkUp(0x1));  // a speed code but no lanes
  EXPECT_TRUE(nQvzelTool::linkUp(0x43));
  EXPECT_EQ(nQvzelTool::linkStatusText(0x1), "no link");
  EXPECT_EQ(nQvzelTool::linkStatusText(0x43), "Gen3 8 GT/s x4");
}

}  // namespace
