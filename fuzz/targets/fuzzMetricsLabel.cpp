// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: the escaping of a label value of the tool's Prometheus text
// (and of the display text beneath it). The input is one label value, any
// bytes. The result must be a label value the exposition format accepts:
// valid UTF-8, no control character, and every backslash and double quote
// escaped. Unescaped, it must read back as the display text, and the
// display text must be stable under a second escaping.
#include <string>

#include "DisplayText.h"
#include "fuzzCheck.h"

namespace {

// An independent decoder: the code point at a_rPos, advancing past it, or
// -1 for bytes that are not valid UTF-8 (overlong forms, surrogates, values
// past U+10FFFF, cut sequences).
long nextCodePoint(const std::string& a_rText, size_t& a_rPos) {
  const unsigned char l_Lead = static_cast<unsigned char>(a_rText[a_rPos]);
  size_t l_Length = 0;
  long l_Value = 0;
  if (l_Lead < 0x80) {
    l_Length = 1;
    l_Value = l_Lead;
  } else if ((l_Lead & 0xE0) == 0xC0) {
    l_Length = 2;
    l_Value = l_Lead & 0x1F;
  } else if ((l_Lead & 0xF0) == 0xE0) {
    l_Length = 3;
    l_Value = l_Lead & 0x0F;
  } else if ((l_Lead & 0xF8) == 0xF0) {
    l_Length = 4;
    l_Value = l_Lead & 0x07;
  } else {
    return -1;
  }
  if (a_rPos + l_Length > a_rText.size()) return -1;
  for (size_t l_Index = 1; l_Index < l_Length; ++l_Index) {
    const unsigned char l_Byte = static_cast<unsigned char>(a_rText[a_rPos + l_Index]);
    if ((l_Byte & 0xC0) != 0x80) return -1;
    l_Value = (l_Value << 6) | (l_Byte & 0x3F);
  }
  static const long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (l_Value < kSmallest[l_Length] || l_Value > 0x10FFFF) return -1;
  if (l_Value >= 0xD800 && l_Value <= 0xDFFF) return -1;
  a_rPos += l_Length;
  return l_Value;
}

bool isControl(long a_CodePoint) {
  return a_CodePoint < 0x20 || (a_CodePoint >= 0x7F && a_CodePoint <= 0x9F) ||
         (a_CodePoint >= 0x202A && a_CodePoint <= 0x202E) ||
         (a_CodePoint >= 0x2066 && a_CodePoint <= 0x2069);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  const std::string l_Input(reinterpret_cast<const char*>(a_pData), a_Size);
  const std::string l_Label = nQvzelTool::metricsLabelValue(l_Input);

  // Valid UTF-8 without controls.
  for (size_t l_Pos = 0; l_Pos < l_Label.size();) {
    const long l_CodePoint = nextCodePoint(l_Label, l_Pos);
    FUZZ_CHECK(l_CodePoint >= 0);
    FUZZ_CHECK(!isControl(l_CodePoint));
  }
  // The exposition format's escapes only, and no bare double quote; reading
  // them back gives the display text.
  std::string l_Unescaped;
  for (size_t l_Pos = 0; l_Pos < l_Label.size(); ++l_Pos) {
    FUZZ_CHECK(l_Label[l_Pos] != '"');
    if (l_Label[l_Pos] == '\\') {
      FUZZ_CHECK(l_Pos + 1 < l_Label.size());
      const char l_Next = l_Label[++l_Pos];
      FUZZ_CHECK(l_Next == '\\' || l_Next == '"');
    }
    l_Unescaped += l_Label[l_Pos];
  }
  const std::string l_Shown = nQvzelTool::displayText(l_Input);
  FUZZ_CHECK(l_Unescaped == l_Shown);
  FUZZ_CHECK(nQvzelTool::displayText(l_Shown) == l_Shown);
  // Printable input passes unchanged.
  bool l_Printable = true;
  for (size_t l_Pos = 0; l_Printable && l_Pos < l_Input.size();) {
    const long l_CodePoint = nextCodePoint(l_Input, l_Pos);
    l_Printable = l_CodePoint >= 0 && !isControl(l_CodePoint);
  }
  if (l_Printable) FUZZ_CHECK(l_Shown == l_Input);
  return 0;
}
