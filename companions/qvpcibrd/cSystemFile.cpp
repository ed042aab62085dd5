#include "cSystemFile.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace qvpcibrd {
namespace {

std::string trim(const std::string& a_rText) {
  size_t l_Begin = 0;
  size_t l_End = a_rText.size();
  while (l_Begin < l_End && std::isspace(static_cast<unsigned char>(a_rText[l_Begin]))) ++l_Begin;
  while (l_End > l_Begin && std::isspace(static_cast<unsigned char>(a_rText[l_End - 1]))) --l_End;
  return a_rText.substr(l_Begin, l_End - l_Begin);
}

std::string where(const std::string& a_rOrigin, int a_Line) {
  return a_rOrigin + ":" + std::to_string(a_Line) + ": ";
}

}  // namespace

bool cSystemFile::load(const std::string& a_rPath, std::string& a_rError) {
  std::ifstream l_File(a_rPath, std::ios::binary);
  if (!l_File) {
    a_rError = a_rPath + ": cannot be opened";
    return false;
  }
  std::ostringstream l_Text;
  l_Text << l_File.rdbuf();
  if (l_File.bad()) {
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
    const size_t l_Equals = l_Text.find('=');
    if (l_Equals == std::string::npos) {
      a_rError = where(a_rOrigin, l_Line) + "expected 'key = value'";
      return false;
    }
    if (m_Sections.empty()) {
      a_rError = where(a_rOrigin, l_Line) + "key outside of any section";
      return false;
    }
    sSystemEntry l_Entry{trim(l_Text.substr(0, l_Equals)), trim(l_Text.substr(l_Equals + 1)),
                         l_Line};
    if (l_Entry.m_Key.empty()) {
      a_rError = where(a_rOrigin, l_Line) + "empty key";
      return false;
    }
    m_Sections.back().m_Entries.push_back(l_Entry);
  }
  return true;
}

bool parseSystemNumber(const std::string& a_rText, int64_t& a_rValue) {
  size_t l_Pos = 0;
  bool l_Negative = false;
  if (l_Pos < a_rText.size() && a_rText[l_Pos] == '-') {
    l_Negative = true;
    ++l_Pos;
  }
  int l_Base = 10;
  if (a_rText.size() - l_Pos > 2 && a_rText[l_Pos] == '0' &&
      (a_rText[l_Pos + 1] == 'x' || a_rText[l_Pos + 1] == 'X')) {
    l_Base = 16;
    l_Pos += 2;
  }
  if (l_Pos >= a_rText.size()) return false;
  uint64_t l_Value = 0;
  for (; l_Pos < a_rText.size(); ++l_Pos) {
    const char l_Char = a_rText[l_Pos];
    int l_Digit;
    if (l_Char >= '0' && l_Char <= '9') {
      l_Digit = l_Char - '0';
    } else if (l_Base == 16 && std::isxdigit(static_cast<unsigned char>(l_Char))) {
      l_Digit = std::tolower(static_cast<unsigned char>(l_Char)) - 'a' + 10;
    } else {
      return false;
    }
    l_Value = l_Value * l_Base + l_Digit;
    if (l_Value > (uint64_t{1} << 40)) return false;  // far beyond any value the file holds
  }
  a_rValue = l_Negative ? -static_cast<int64_t>(l_Value) : static_cast<int64_t>(l_Value);
  return true;
}

}  // namespace qvpcibrd
