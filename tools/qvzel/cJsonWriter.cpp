// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cJsonWriter.h"

#include <cstdio>

namespace nQvzelTool {

std::string cJsonWriter::quote(const std::string& a_rText) {
  std::string l_Out = "\"";
  for (const char l_Char : a_rText) {
    const unsigned char l_Byte = static_cast<unsigned char>(l_Char);
    switch (l_Char) {
      case '"':
        l_Out += "\\\"";
        break;
      case '\\':
        l_Out += "\\\\";
        break;
      case '\n':
        l_Out += "\\n";
        break;
      case '\r':
        l_Out += "\\r";
        break;
      case '\t':
        l_Out += "\\t";
        break;
      default:
        if (l_Byte < 0x20 || l_Byte >= 0x7F) {
          // Control characters and bytes outside ASCII (texts from devices
          // need not be UTF-8) are written as escapes, so the output always
          // parses.
          char l_Escape[8];
          std::snprintf(l_Escape, sizeof(l_Escape), "\\u%04x", l_Byte);
          l_Out += l_Escape;
        } else {
          l_Out += l_Char;
        }
    }
  }
  l_Out += '"';
  return l_Out;
}

void cJsonWriter::newline() {
  m_Text += '\n';
  m_Text.append(m_HasMembers.size() * 2, ' ');
}

void cJsonWriter::beforeValue() {
  if (m_AfterKey) {
    m_AfterKey = false;
    return;
  }
  if (m_HasMembers.empty()) return;
  if (m_HasMembers.back()) m_Text += ',';
  m_HasMembers.back() = true;
  newline();
}

void cJsonWriter::key(const char* a_pName) {
  if (!m_HasMembers.empty()) {
    if (m_HasMembers.back()) m_Text += ',';
    m_HasMembers.back() = true;
  }
  newline();
  m_Text += quote(a_pName);
  m_Text += ": ";
  m_AfterKey = true;
}

void cJsonWriter::beginObject() {
  beforeValue();
  m_Text += '{';
  m_HasMembers.push_back(false);
}

void cJsonWriter::endObject() {
  const bool l_HadMembers = m_HasMembers.back();
  m_HasMembers.pop_back();
  if (l_HadMembers) newline();
  m_Text += '}';
}

void cJsonWriter::beginArray() {
  beforeValue();
  m_Text += '[';
  m_HasMembers.push_back(false);
}

void cJsonWriter::endArray() {
  endObject();
  m_Text.back() = ']';
}

void cJsonWriter::value(const std::string& a_rText) {
  beforeValue();
  m_Text += quote(a_rText);
}

void cJsonWriter::value(const char* a_pText) {
  if (a_pText == nullptr) return null();
  value(std::string(a_pText));
}

void cJsonWriter::value(int64_t a_Number) {
  beforeValue();
  m_Text += std::to_string(a_Number);
}

void cJsonWriter::value(uint64_t a_Number) {
  beforeValue();
  m_Text += std::to_string(a_Number);
}

void cJsonWriter::boolean(bool a_Value) {
  beforeValue();
  m_Text += a_Value ? "true" : "false";
}

void cJsonWriter::null() {
  beforeValue();
  m_Text += "null";
}

std::string cJsonWriter::text() const {
  if (m_HasMembers.empty() && !m_Text.empty()) return m_Text + "\n";
  return m_Text;
}

}  // namespace nQvzelTool
