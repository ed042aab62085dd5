// SPDX-License-Identifier: LGPL-2.1-or-later
// The one reader of simulated-system files (docs/simulated-system.md): an
// INI-like text with sections "[KIND]" or "[KIND NAME]" and "key = value"
// lines; '#' and ';' start comment lines. One file describes a whole
// simulated machine. Both simulators read it here, so they accept and refuse
// the same lines; each then takes the section kinds it knows and leaves the
// others alone.
#pragma once

#include <string>
#include <vector>

namespace nQvSimSystem_1_0 {

struct sSystemEntry {
  std::string m_Key;
  std::string m_Value;
  int m_Line;
};

struct sSystemSection {
  std::string m_Kind;
  std::string m_Name;  // empty for a section without a name, e.g. [pcibrd]
  int m_Line;
  std::vector<sSystemEntry> m_Entries;
};

class cSystemFile {
 public:
  // Reads and parses a file; on failure a_rError says where and why.
  bool load(const std::string& a_rPath, std::string& a_rError);
  // Parses a text; a_rOrigin names it in error messages ("ORIGIN:LINE: why").
  bool parse(const std::string& a_rText, const std::string& a_rOrigin, std::string& a_rError);

  const std::vector<sSystemSection>& sections() const { return m_Sections; }

 private:
  std::vector<sSystemSection> m_Sections;
};

}  // namespace nQvSimSystem_1_0
