// SPDX-License-Identifier: LGPL-2.1-or-later
#include "DisplayText.h"

#include <cstdio>

namespace nQvzelTool {

namespace {

void appendByteEscape(std::string& a_rOut, unsigned char a_Byte) {
  char l_Escape[8];
  std::snprintf(l_Escape, sizeof(l_Escape), "\\x%02X", a_Byte);
  a_rOut += l_Escape;
}

// Length of the valid UTF-8 sequence at a_Pos, or 0 for a byte that starts
// none (overlong forms and surrogates included).
size_t utf8Length(const std::string& a_rText, size_t a_Pos) {
  const auto l_Byte = [&](size_t a_Offset) {
    return static_cast<unsigned char>(a_rText[a_Pos + a_Offset]);
  };
  const unsigned char l_Lead = l_Byte(0);
  size_t l_Length = 0;
  unsigned char l_Low = 0x80;  // range of the second byte, against overlong forms
  unsigned char l_High = 0xBF;
  if (l_Lead >= 0xC2 && l_Lead <= 0xDF) {
    l_Length = 2;
  } else if (l_Lead >= 0xE0 && l_Lead <= 0xEF) {
    l_Length = 3;
    if (l_Lead == 0xE0) l_Low = 0xA0;
    if (l_Lead == 0xED) l_High = 0x9F;  // no surrogates
  } else if (l_Lead >= 0xF0 && l_Lead <= 0xF4) {
    l_Length = 4;
    if (l_Lead == 0xF0) l_Low = 0x90;
    if (l_Lead == 0xF4) l_High = 0x8F;
  } else {
    return 0;
  }
  if (a_Pos + l_Length > a_rText.size()) return 0;
  if (l_Byte(1) < l_Low || l_Byte(1) > l_High) return 0;
  for (size_t l_Offset = 2; l_Offset < l_Length; ++l_Offset) {
    if (l_Byte(l_Offset) < 0x80 || l_Byte(l_Offset) > 0xBF) return 0;
  }
  return l_Length;
}

// Whether the valid sequence at a_Pos of a_Length bytes is a control: a C1
// control (U+0080 to U+009F, CSI among them) or a bidirectional embedding,
// override or isolate (U+202A to U+202E, U+2066 to U+2069).
bool isControlSequence(const std::string& a_rText, size_t a_Pos, size_t a_Length) {
  const auto l_Byte = [&](size_t a_Offset) {
    return static_cast<unsigned char>(a_rText[a_Pos + a_Offset]);
  };
  if (a_Length == 2) return l_Byte(0) == 0xC2 && l_Byte(1) < 0xA0;
  if (a_Length != 3 || l_Byte(0) != 0xE2) return false;
  if (l_Byte(1) == 0x80) return l_Byte(2) >= 0xAA && l_Byte(2) <= 0xAE;
  if (l_Byte(1) == 0x81) return l_Byte(2) >= 0xA6 && l_Byte(2) <= 0xA9;
  return false;
}

}  // namespace

std::string displayText(const std::string& a_rText) {
  std::string l_Out;
  l_Out.reserve(a_rText.size());
  size_t l_Pos = 0;
  while (l_Pos < a_rText.size()) {
    const unsigned char l_Byte = static_cast<unsigned char>(a_rText[l_Pos]);
    if (l_Byte >= 0x20 && l_Byte < 0x7F) {
      l_Out += a_rText[l_Pos++];
      continue;
    }
    if (l_Byte == '\n' || l_Byte == '\r' || l_Byte == '\t') {
      l_Out += l_Byte == '\n' ? "\\n" : l_Byte == '\r' ? "\\r" : "\\t";
      ++l_Pos;
      continue;
    }
    const size_t l_Length = l_Byte >= 0x80 ? utf8Length(a_rText, l_Pos) : 0;
    if (l_Length == 0) {
      appendByteEscape(l_Out, l_Byte);
      ++l_Pos;
    } else if (isControlSequence(a_rText, l_Pos, l_Length)) {
      for (size_t l_Offset = 0; l_Offset < l_Length; ++l_Offset) {
        appendByteEscape(l_Out, static_cast<unsigned char>(a_rText[l_Pos + l_Offset]));
      }
      l_Pos += l_Length;
    } else {
      l_Out.append(a_rText, l_Pos, l_Length);
      l_Pos += l_Length;
    }
  }
  return l_Out;
}

std::string shortText(const std::string& a_rText, size_t a_Limit) {
  if (a_rText.size() <= a_Limit) return a_rText;
  size_t l_Cut = a_Limit;
  // Back to the start of a UTF-8 sequence, so that no character is split.
  while (l_Cut > 0 && (static_cast<unsigned char>(a_rText[l_Cut]) & 0xC0) == 0x80) --l_Cut;
  return a_rText.substr(0, l_Cut) + "...";
}

std::string quotedArgument(const std::string& a_rText) { return "'" + shortText(a_rText) + "'"; }

std::string metricsLabelValue(const std::string& a_rText) {
  const std::string l_Shown = displayText(a_rText);
  std::string l_Result;
  l_Result.reserve(l_Shown.size());
  for (const char l_Char : l_Shown) {
    if (l_Char == '\\' || l_Char == '"') l_Result += '\\';
    l_Result += l_Char;
  }
  return l_Result;
}

}  // namespace nQvzelTool
