// SPDX-License-Identifier: LGPL-2.1-or-later
// cSystemText: the kernel lab's system text read into sections. The grammar
// is small: "[kind name]" opens a section, "key = value" lines fill it, and
// "#" or ";" starts a comment (a whole line, or after white space). Every
// value keeps its line number so that the lab's builder can say where a
// wrong value is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nQvlabTool {

struct sSystemValue {
  std::string m_Text;
  unsigned m_Line = 0;
};

struct sSystemSection {
  std::string m_Kind;
  std::string m_Name;
  unsigned m_Line = 0;
  std::map<std::string, sSystemValue> m_Values;
};

class cSystemText {
 public:
  // Reads a whole text; false with a message naming the line on a syntax error.
  bool parse(const std::string& a_rText, std::string& a_rError);
  // Reads a file; false with a message naming the file on any error.
  bool load(const std::string& a_rPath, std::string& a_rError);

  const std::vector<sSystemSection>& sections() const { return m_Sections; }

 private:
  std::vector<sSystemSection> m_Sections;
};

}  // namespace nQvlabTool
