// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSystemText.h"

#include <fstream>
#include <sstream>

namespace nQvlabTool {

namespace {

std::string trimmed(const std::string& a_rText) {
  const char* const l_pSpace = " \t\r";
  const size_t l_First = a_rText.find_first_not_of(l_pSpace);
  if (l_First == std::string::npos) {
    return std::string();
  }
  return a_rText.substr(l_First, a_rText.find_last_not_of(l_pSpace) - l_First + 1);
}

// A comment starts a line or follows white space, so that "#" inside a value
// such as a name stays part of it.
std::string withoutComment(const std::string& a_rLine) {
  for (size_t l_At = 0; l_At < a_rLine.size(); ++l_At) {
    const char l_Char = a_rLine[l_At];
    if ((l_Char == '#' || l_Char == ';') &&
        (l_At == 0 || a_rLine[l_At - 1] == ' ' || a_rLine[l_At - 1] == '\t')) {
      return a_rLine.substr(0, l_At);
    }
  }
  return a_rLine;
}

}  // namespace

bool cSystemText::parse(const std::string& a_rText, std::string& a_rError) {
  m_Sections.clear();
  std::istringstream l_Stream(a_rText);
  std::string l_RawLine;
  unsigned l_LineNumber = 0;
  while (std::getline(l_Stream, l_RawLine)) {
    ++l_LineNumber;
    const std::string l_Line = trimmed(withoutComment(l_RawLine));
    const std::string l_Where = "line " + std::to_string(l_LineNumber) + ": ";
    if (l_Line.empty()) {
      continue;
    }
    if (l_Line.front() == '[') {
      if (l_Line.back() != ']') {
        a_rError = l_Where + "a section header ends with ']'";
        return false;
      }
      std::istringstream l_Header(l_Line.substr(1, l_Line.size() - 2));
      sSystemSection l_Section;
      std::string l_Extra;
      l_Header >> l_Section.m_Kind >> l_Section.m_Name >> l_Extra;
      if (l_Section.m_Name.empty() || !l_Extra.empty()) {
        a_rError = l_Where + "a section header is [kind name]";
        return false;
      }
      l_Section.m_Line = l_LineNumber;
      m_Sections.push_back(l_Section);
      continue;
    }
    const size_t l_Equals = l_Line.find('=');
    if (l_Equals == std::string::npos) {
      a_rError = l_Where + "expected key = value";
      return false;
    }
    if (m_Sections.empty()) {
      a_rError = l_Where + "a value before the first section";
      return false;
    }
    const std::string l_Key = trimmed(l_Line.substr(0, l_Equals));
    if (l_Key.empty()) {
      a_rError = l_Where + "a value without a key";
      return false;
    }
    sSystemValue l_Value{trimmed(l_Line.substr(l_Equals + 1)), l_LineNumber};
    if (!m_Sections.back().m_Values.emplace(l_Key, l_Value).second) {
      a_rError = l_Where + "\"" + l_Key + "\" given twice in [" + m_Sections.back().m_Kind + " " +
                 m_Sections.back().m_Name + "]";
      return false;
    }
  }
  return true;
}

bool cSystemText::load(const std::string& a_rPath, std::string& a_rError) {
  std::ifstream l_File(a_rPath, std::ios::binary);
  if (!l_File) {
    a_rError = a_rPath + ": cannot be read";
    return false;
  }
  std::ostringstream l_Text;
  l_Text << l_File.rdbuf();
  if (!parse(l_Text.str(), a_rError)) {
    a_rError = a_rPath + ": " + a_rError;
    return false;
  }
  return true;
}

}  // namespace nQvlabTool
