// Reader of the simulated-system description: an INI-like text with
// sections "[KIND NAME]" and "key = value" lines; '#' and ';' start comment
// lines. One file describes a whole simulated machine; each simulator reads
// the section kinds it knows and ignores the others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvpcibrd {

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
  // Parses a text; a_rOrigin names it in error messages.
  bool parse(const std::string& a_rText, const std::string& a_rOrigin, std::string& a_rError);

  const std::vector<sSystemSection>& sections() const { return m_Sections; }

 private:
  std::vector<sSystemSection> m_Sections;
};

// Parses a decimal (optionally negative) or 0x-hexadecimal number that fills
// the whole text.
bool parseSystemNumber(const std::string& a_rText, int64_t& a_rValue);

}  // namespace qvpcibrd
