// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSystemFile.h"

#include <fstream>
#include <sstream>

#include "systemText.h"

namespace nQvSimSystem_1_0 {
namespace {

std::string where(const std::string& a_rOrigin, int a_Line) {
  return a_rOrigin + ":" + std::to_string(a_Line) + ": ";
}

}  // namespace

bool cSystemFile::load(const std::string& a_rPath, std::string& a_rError) {
  std::ifstream l_File(a_rPath, std::ios::binary);
  std::ostringstream l_Text;
  if (l_File) l_Text << l_File.rdbuf();
  if (!l_File || l_File.bad()) {
    a_rError = a_rPath + ": cannot be read";
    return false;
  }
  return parse(l_Text.str(), a_rPath, a_rError);
}

bool cSystemFile::parse(const std::string& a_rText, const std::string& a_rOrigin,
                        std::string& a_rError) {
  m_Sections.clear();
  std::istringstream l_Stream(a_rText);
  std::string l_Raw;
  int l_Line = 0;
  while (std::getline(l_Stream, l_Raw)) {
    ++l_Line;
    const std::string l_Text = trim(l_Raw);
    if (l_Text.empty() || l_Text[0] == '#' || l_Text[0] == ';') continue;
    if (l_Text[0] == '[') {
      if (l_Text.back() != ']') {
        a_rError = where(a_rOrigin, l_Line) + "section header without ']'";
        return false;
      }
      const std::string l_Inner = trim(l_Text.substr(1, l_Text.size() - 2));
      const size_t l_Space = l_Inner.find_first_of(" \t");
      sSystemSection l_Section;
      l_Section.m_Kind = l_Inner.substr(0, l_Space);
      l_Section.m_Name = l_Space == std::string::npos ? "" : trim(l_Inner.substr(l_Space));
      l_Section.m_Line = l_Line;
      if (l_Section.m_Kind.empty() || l_Section.m_Name.find_first_of(" \t") != std::string::npos) {
        a_rError = where(a_rOrigin, l_Line) + "a section header is [KIND] or [KIND NAME]";
        return false;
      }
      m_Sections.push_back(l_Section);
      continue;
    }
    sSystemEntry l_Entry{"", "", l_Line};
    if (!splitKeyValue(l_Text, l_Entry.m_Key, l_Entry.m_Value)) {
      a_rError = where(a_rOrigin, l_Line) + "expected key = value";
      return false;
    }
    if (m_Sections.empty()) {
      a_rError = where(a_rOrigin, l_Line) + "key outside of any section";
      return false;
    }
    m_Sections.back().m_Entries.push_back(l_Entry);
  }
  return true;
}

}  // namespace nQvSimSystem_1_0
