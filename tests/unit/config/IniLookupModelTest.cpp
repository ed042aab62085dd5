// SPDX-License-Identifier: LGPL-2.1-or-later
// The engine's look-ups against a plain model that scans in order, as the
// rules say: first match, exact or relaxed names, the remembered section
// tried first, repeated keys replaced, continuation runs joined. Random
// documents are loaded and then changed and queried at random; any look-up
// or any stored order that differs from the model's fails.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "config/IniDocument.h"
#include "config/IniEngine.h"

using namespace nQvPxiDriverTools_1_0;

namespace {

struct sModelEntry {
  std::string m_Key;
  std::string m_Value;
};
struct sModelSection {
  std::string m_Name;
  std::vector<sModelEntry> m_Entries;
};

std::string Trimmed(const std::string& a_rText) {
  const char* l_pSpace = " \t\n\v\f\r";
  const size_t l_Begin = a_rText.find_first_not_of(l_pSpace);
  if (l_Begin == std::string::npos) return "";
  return a_rText.substr(l_Begin, a_rText.find_last_not_of(l_pSpace) - l_Begin + 1);
}

class cModel {
 public:
  bool m_Exact = false;
  std::vector<sModelSection> m_Sections;
  int m_Last = -1;  // the remembered section

  bool Equal(const std::string& a_rLeft, const std::string& a_rRight) const {
    if (m_Exact) return a_rLeft == a_rRight;
    const std::string l_Left = Trimmed(a_rLeft);
    const std::string l_Right = Trimmed(a_rRight);
    if (l_Left.size() != l_Right.size()) return false;
    for (size_t l_i = 0; l_i < l_Left.size(); ++l_i) {
      if (std::toupper(static_cast<unsigned char>(l_Left[l_i])) !=
          std::toupper(static_cast<unsigned char>(l_Right[l_i]))) {
        return false;
      }
    }
    return true;
  }
  int FindSection(const std::string& a_rName) {
    if (m_Last >= 0 && Equal(m_Sections[m_Last].m_Name, a_rName)) return m_Last;
    for (size_t l_i = 0; l_i < m_Sections.size(); ++l_i) {
      if (Equal(m_Sections[l_i].m_Name, a_rName)) return m_Last = static_cast<int>(l_i);
    }
    return -1;
  }
  int FindEntry(int a_Section, const std::string& a_rKey) const {
    const std::vector<sModelEntry>& l_rEntries = m_Sections[a_Section].m_Entries;
    for (size_t l_i = 0; l_i < l_rEntries.size(); ++l_i) {
      if (Equal(l_rEntries[l_i].m_Key, a_rKey)) return static_cast<int>(l_i);
    }
    return -1;
  }
  int AddSection(const std::string& a_rName) {
    m_Sections.push_back({Trimmed(a_rName), {}});
    return m_Last = static_cast<int>(m_Sections.size() - 1);
  }
  void Store(int a_Section, const std::string& a_rKey, const std::string& a_rValue) {
    const int l_Entry = FindEntry(a_Section, a_rKey);
    if (l_Entry >= 0) {
      m_Sections[a_Section].m_Entries[l_Entry].m_Value = a_rValue;
    } else {
      m_Sections[a_Section].m_Entries.push_back({a_rKey, a_rValue});
    }
  }

  // The generated lines are well formed: "[name]" or "key = value".
  void Parse(const std::vector<std::string>& a_rLines) {
    m_Sections.clear();
    m_Last = -1;
    int l_Current = -1;
    for (const std::string& l_rLine : a_rLines) {
      if (l_rLine[0] == '[') {
        const std::string l_Name = Trimmed(l_rLine.substr(1, l_rLine.find(']') - 1));
        l_Current = FindSection(l_Name);
        if (l_Current < 0) l_Current = AddSection(l_Name);
      } else if (l_Current >= 0) {
        const size_t l_Equals = l_rLine.find('=');
        Store(l_Current, Trimmed(l_rLine.substr(0, l_Equals)),
              Trimmed(l_rLine.substr(l_Equals + 1)));
      }
    }
    for (sModelSection& l_rSection : m_Sections) Join(l_rSection.m_Entries);
  }

  static long Continuation(const std::string& a_rKey, size_t& a_rBase) {
    const size_t l_Mark = a_rKey.find(" Line");
    if (l_Mark == std::string::npos || l_Mark + 5 == a_rKey.size()) return -1;
    long l_Number = 0;
    for (size_t l_i = l_Mark + 5; l_i < a_rKey.size(); ++l_i) {
      if (!std::isdigit(static_cast<unsigned char>(a_rKey[l_i]))) return -1;
      l_Number = std::min(l_Number * 10 + (a_rKey[l_i] - '0'), 1000000L);
    }
    a_rBase = l_Mark;
    return l_Number;
  }
  static void Join(std::vector<sModelEntry>& a_rEntries) {
    for (size_t l_i = 0; l_i < a_rEntries.size(); ++l_i) {
      size_t l_Base = 0;
      if (Continuation(a_rEntries[l_i].m_Key, l_Base) != 1) continue;
      size_t l_End = l_i + 1;
      size_t l_Ignored = 0;
      for (; l_End < a_rEntries.size(); ++l_End) {
        const long l_Number = Continuation(a_rEntries[l_End].m_Key, l_Ignored);
        if (l_Number < 0 || l_Number == 1) break;
        a_rEntries[l_i].m_Value += a_rEntries[l_End].m_Value;
      }
      a_rEntries[l_i].m_Key.resize(l_Base);
      a_rEntries.erase(a_rEntries.begin() + l_i + 1, a_rEntries.begin() + l_End);
    }
  }
};

const char* const kSectionNames[] = {"main", "Main", " MAIN ", "other", "x", "X"};
const char* const kKeys[] = {"k",
                             "K",
                             " k ",
                             "a",
                             "A",
                             "Text",
                             "Text Line0001",
                             "Text Line0002",
                             "Text Line1",
                             "TEXT Line0001",
                             "Text Line",
                             "b Line0003"};

class IniLookupModel : public ::testing::TestWithParam<int> {};

TEST_P(IniLookupModel, LookupsAndOrderMatchAnInOrderScan) {
  std::mt19937 l_Random(static_cast<unsigned>(GetParam()));
  auto l_Pick = [&l_Random](size_t a_Count) { return static_cast<size_t>(l_Random() % a_Count); };
  cTempDir l_Dir;
  sIniDocument* l_pDocument = iniCreate();
  ASSERT_NE(l_pDocument, nullptr);
  cModel l_Model;
  l_Model.m_Exact = l_Pick(2) == 0;
  iniSetCaseSensitive(l_pDocument, l_Model.m_Exact ? 1 : 0);

  // Enough entries per section that the index has to grow.
  std::vector<std::string> l_Lines;
  std::string l_Text;
  for (int l_Line = 0; l_Line < 400; ++l_Line) {
    std::string l_Item;
    if (l_Pick(12) == 0) {
      l_Item = std::string("[") + kSectionNames[l_Pick(6)] + "]";
    } else {
      const std::string l_Key =
          l_Pick(3) == 0 ? "n" + std::to_string(l_Pick(150)) : kKeys[l_Pick(12)];
      l_Item = l_Key + " = v" + std::to_string(l_Line);
    }
    l_Lines.push_back(l_Item);
    l_Text += l_Item + "\n";
  }
  WriteFile(l_Dir.File("in.ini"), l_Text);
  ASSERT_EQ(iniLoad(l_pDocument, l_Dir.File("in.ini").c_str()), kIniSuccess);
  l_Model.Parse(l_Lines);

  auto l_Name = [&]() {
    return l_Pick(4) == 0 ? "n" + std::to_string(l_Pick(150)) : std::string(kKeys[l_Pick(12)]);
  };
  for (int l_Step = 0; l_Step < 3000; ++l_Step) {
    const std::string l_Section = kSectionNames[l_Pick(6)];
    const std::string l_Key = l_Name();
    SCOPED_TRACE("step " + std::to_string(l_Step) + " [" + l_Section + "] " + l_Key);
    switch (l_Pick(20)) {
      case 0: {
        const std::string l_Value = "s" + std::to_string(l_Step);
        ASSERT_EQ(iniSetValue(l_pDocument, l_Section.c_str(), l_Key.c_str(), l_Value.c_str(), 0),
                  kIniFound);
        int l_At = l_Model.FindSection(Trimmed(l_Section));
        if (l_At < 0) l_At = l_Model.AddSection(l_Section);
        l_Model.Store(l_At, Trimmed(l_Key), l_Value);
        break;
      }
      case 1: {
        const int l_At = l_Model.FindSection(l_Section);
        const int l_Entry = l_At < 0 ? -1 : l_Model.FindEntry(l_At, l_Key);
        ASSERT_EQ(iniDeleteKey(l_pDocument, l_Section.c_str(), l_Key.c_str()),
                  l_Entry < 0 ? kIniNotFound : kIniFound);
        if (l_Entry >= 0) {
          auto& l_rEntries = l_Model.m_Sections[l_At].m_Entries;
          l_rEntries.erase(l_rEntries.begin() + l_Entry);
        }
        break;
      }
      case 2: {
        const int l_At = l_Model.FindSection(l_Section);
        ASSERT_EQ(iniDeleteSection(l_pDocument, l_Section.c_str()),
                  l_At < 0 ? kIniNotFound : kIniFound);
        if (l_At >= 0) {
          l_Model.m_Sections.erase(l_Model.m_Sections.begin() + l_At);
          if (l_Model.m_Last == l_At) l_Model.m_Last = -1;
          if (l_Model.m_Last > l_At) --l_Model.m_Last;
        }
        break;
      }
      case 3: {
        // Renaming may give two sections the same name.
        const std::string l_New = kSectionNames[l_Pick(6)];
        const int l_At = l_Model.FindSection(l_Section);
        ASSERT_EQ(iniRenameSection(l_pDocument, l_Section.c_str(), l_New.c_str()),
                  l_At < 0 ? kIniNotFound : kIniFound);
        if (l_At >= 0) l_Model.m_Sections[l_At].m_Name = Trimmed(l_New);
        break;
      }
      case 4:
        l_Model.m_Exact = !l_Model.m_Exact;
        iniSetCaseSensitive(l_pDocument, l_Model.m_Exact ? 1 : 0);
        break;
      case 5:
        if (!l_Model.m_Sections.empty()) {
          const size_t l_Position = l_Pick(l_Model.m_Sections.size());
          const char* l_pName = nullptr;
          ASSERT_EQ(iniSectionName(l_pDocument, static_cast<int>(l_Position + 1), &l_pName),
                    kIniFound);
          l_Model.m_Last = static_cast<int>(l_Position);
        }
        break;
      default: {
        const int l_At = l_Model.FindSection(l_Section);
        const int l_Entry = l_At < 0 ? -1 : l_Model.FindEntry(l_At, l_Key);
        const char* l_pValue = nullptr;
        ASSERT_EQ(iniGetValue(l_pDocument, l_Section.c_str(), l_Key.c_str(), &l_pValue),
                  l_Entry < 0 ? kIniNotFound : kIniFound);
        if (l_Entry >= 0) {
          ASSERT_STREQ(l_pValue, l_Model.m_Sections[l_At].m_Entries[l_Entry].m_Value.c_str());
        }
      }
    }
  }

  // The stored order is the model's.
  ASSERT_EQ(l_pDocument->m_Sections.m_Count, l_Model.m_Sections.size());
  for (size_t l_s = 0; l_s < l_Model.m_Sections.size(); ++l_s) {
    const sIniSection& l_rSection = *l_pDocument->m_Sections.m_ppItems[l_s];
    const sModelSection& l_rModel = l_Model.m_Sections[l_s];
    EXPECT_EQ(l_rSection.m_pName, l_rModel.m_Name);
    ASSERT_EQ(l_rSection.m_Entries.m_Count, l_rModel.m_Entries.size());
    for (size_t l_e = 0; l_e < l_rModel.m_Entries.size(); ++l_e) {
      EXPECT_EQ(l_rSection.m_Entries.m_ppItems[l_e]->m_pKey, l_rModel.m_Entries[l_e].m_Key);
      EXPECT_EQ(l_rSection.m_Entries.m_ppItems[l_e]->m_pValue, l_rModel.m_Entries[l_e].m_Value);
    }
  }
  iniFree(l_pDocument);
}

INSTANTIATE_TEST_SUITE_P(Seeds, IniLookupModel, ::testing::Range(1, 21));

}  // namespace
