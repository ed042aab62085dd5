// SPDX-License-Identifier: LGPL-2.1-or-later
#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "IniDocumentFixture.h"
#include "TimeBoundChild.h"
#include "config/IniEngine.h"

using namespace nQvPxiDriverTools_1_0;

namespace {

class IniLoad : public cIniDocumentFixture {
 protected:
  int Load(const std::string& a_rBytes) {
    WriteFile(m_Dir.File("in.ini"), a_rBytes);
    return iniLoad(m_pDocument, m_Dir.File("in.ini").c_str());
  }
  std::string Sections() {
    std::string l_Names;
    for (int l_i = 1; l_i <= iniSectionCount(m_pDocument); ++l_i) {
      const char* l_pName = nullptr;
      EXPECT_EQ(iniSectionName(m_pDocument, l_i, &l_pName), kIniFound);
      l_Names += std::string(l_Names.empty() ? "" : "|") + l_pName;
    }
    return l_Names;
  }
  int EntryCount(const char* a_pSection) {
    // Counts keys k0..k99 present, enough for these tests.
    int l_Count = 0;
    for (int l_i = 0; l_i < 100; ++l_i) {
      l_Count += iniKeyExists(m_pDocument, a_pSection, ("k" + std::to_string(l_i)).c_str());
    }
    return l_Count;
  }
};

TEST_F(IniLoad, MarksLineEndsAndCommentsDoNotChangeContent) {
  const std::string l_Plain = "[Main]\nk0 = a\nk1 = \"b c\"\n\n[Other]\nk2=3\n";
  ASSERT_EQ(Load(l_Plain), kIniSuccess);
  const std::string l_Expected =
      Sections() + Value("Main", "k0") + Value("Main", "k1") + Value("Other", "k2");
  EXPECT_EQ(l_Expected,
            "Main|Othera"
            "b c"
            "3");
  const std::string l_Dressed =
      "\xEF\xBB\xBF; a comment\r\n[Main]\r\n  ; indented comment\r\nk0 = a\r\nk1 = \"b c\"\r\n"
      "\r\n[Other]\r\nk2=3";  // no line end at the very end
  ASSERT_EQ(Load(l_Dressed), kIniSuccess);
  EXPECT_EQ(Sections() + Value("Main", "k0") + Value("Main", "k1") + Value("Other", "k2"),
            l_Expected);
}

TEST_F(IniLoad, UnicodeMarksAreRefused) {
  EXPECT_EQ(Load(std::string("\xFF\xFE[a]\r\n", 6)), kIniErrUnicodeFile);
  EXPECT_EQ(Load(std::string("\xFE\xFF\0[", 4)), kIniErrUnicodeFile);
  EXPECT_EQ(Load(std::string("\xFF\xFE\0\0", 4)), kIniErrUnicodeFile);
  EXPECT_EQ(Load(std::string("\0\0\xFE\xFF", 4)), kIniErrUnicodeFile);
  // A zero byte ends a line like a line feed, so this is a plain file.
  EXPECT_EQ(Load(std::string("\0\0[s]\0k=v", 9)), kIniSuccess);
  EXPECT_EQ(Value("s", "k"), "v");
  // Short files and empty files are fine.
  EXPECT_EQ(Load(""), kIniSuccess);
  EXPECT_EQ(iniSectionCount(m_pDocument), 0);
  EXPECT_EQ(Load("\xEF\xBB"), kIniSuccess);
}

TEST_F(IniLoad, LineSyntax) {
  ASSERT_EQ(Load("early = dropped\n"
                 "[ Main ]  trailing text\n"
                 "empty =\n"
                 " = nokey\n"
                 "quotes = \"\"\n"
                 "semi = \"a;b\"\n"
                 "inner = \"say \"hi\"\"\n"
                 "bare = x;y\n"
                 "eq = a=b=c\n"
                 "#hash = 1\n"
                 "noequals\n"
                 "[]\n"
                 "[unclosed\n"
                 "after = still Main\n"
                 "one = \"\n"),
            kIniSuccess);
  EXPECT_EQ(Sections(), "Main");
  EXPECT_EQ(Value("Main", "early"), "<missing>");
  EXPECT_EQ(Value("Main", "empty"), "<missing>");
  EXPECT_EQ(Value("Main", ""), "<missing>");
  EXPECT_EQ(Value("Main", "quotes"), "");
  EXPECT_EQ(Value("Main", "semi"), "a;b");
  EXPECT_EQ(Value("Main", "inner"), "say \"hi\"");
  EXPECT_EQ(Value("Main", "bare"), "x;y");
  EXPECT_EQ(Value("Main", "eq"), "a=b=c");
  EXPECT_EQ(Value("Main", "#hash"), "1");
  EXPECT_EQ(Value("Main", "after"), "still Main");
  EXPECT_EQ(Value("Main", "one"), "\"");
}

TEST_F(IniLoad, SectionsMergeAndKeysKeepLastValue) {
  ASSERT_EQ(Load("[Main]\nk0=1\nk1=2\n[Other]\nk0=x\n[Main]\nk2=3\nk0=4\n"), kIniSuccess);
  EXPECT_EQ(Sections(), "Main|Other");
  EXPECT_EQ(EntryCount("Main"), 3);
  EXPECT_EQ(Value("Main", "k0"), "4");
  EXPECT_EQ(Value("Main", "k2"), "3");
  EXPECT_EQ(Value("Other", "k0"), "x");
}

TEST_F(IniLoad, ComparisonModes) {
  const std::string l_Text = "[main]\nKey=1\n[ MAIN ]\nkey=2\n";
  ASSERT_EQ(Load(l_Text), kIniSuccess);
  EXPECT_EQ(Sections(), "main");
  EXPECT_EQ(Value("  Main ", " KEY "), "2");
  EXPECT_EQ(Value("ma in", "key"), "<missing>");  // inner white space counts

  EXPECT_EQ(iniSetCaseSensitive(m_pDocument, 1), 0);
  ASSERT_EQ(Load(l_Text), kIniSuccess);
  EXPECT_EQ(Sections(), "main|MAIN");
  EXPECT_EQ(Value("MAIN", "key"), "2");
  EXPECT_EQ(Value("main", "key"), "<missing>");
  EXPECT_EQ(Value("main", "Key"), "1");
  EXPECT_EQ(Value(" main", "Key"), "<missing>");
  EXPECT_EQ(iniSetCaseSensitive(m_pDocument, 0), 1);
}

TEST_F(IniLoad, LookupsAndPositions) {
  ASSERT_EQ(Load("[a]\nk=1\n[b]\nk=2\n"), kIniSuccess);
  EXPECT_EQ(iniSectionExists(m_pDocument, "b"), kIniFound);
  EXPECT_EQ(iniSectionExists(m_pDocument, "c"), kIniNotFound);
  EXPECT_EQ(iniKeyExists(m_pDocument, "a", "k"), kIniFound);
  EXPECT_EQ(iniKeyExists(m_pDocument, "a", "x"), kIniNotFound);
  const char* l_pText = "sentinel";
  EXPECT_EQ(iniGetValue(m_pDocument, "c", "k", &l_pText), kIniNotFound);
  EXPECT_EQ(l_pText, nullptr);
  EXPECT_EQ(iniSectionName(m_pDocument, 0, &l_pText), kIniNotFound);
  EXPECT_EQ(iniSectionName(m_pDocument, 3, &l_pText), kIniNotFound);
  // The remembered section must not shadow lookups of other sections.
  EXPECT_EQ(iniSectionName(m_pDocument, 2, &l_pText), kIniFound);
  EXPECT_EQ(Value("a", "k"), "1");
  EXPECT_EQ(Value("b", "k"), "2");
}

TEST_F(IniLoad, ContinuationKeysJoin) {
  ASSERT_EQ(Load("[s]\n"
                 "Text Line0001 = \"ab\"\n"
                 "Text Line0002 = \"cd\"\n"
                 "Other Line0001 = ef\n"
                 "Other Line0002 = gh\n"
                 "Other Line0003 = ij\n"
                 "Lone Line0001 = x\n"
                 "Plain = 1\n"
                 "Two Line0002 = y\n"
                 "Odd Line1 = p\n"
                 "Odd Line01 = q\n"
                 "Word Linear = z\n"
                 "Line0001 = w\n"),
            kIniSuccess);
  EXPECT_EQ(Value("s", "Text"), "abcd");
  EXPECT_EQ(Value("s", "Text Line0002"), "<missing>");
  EXPECT_EQ(Value("s", "Other"), "efghij");
  EXPECT_EQ(Value("s", "Lone"), "x");
  EXPECT_EQ(Value("s", "Two Line0002"), "y");
  // A second key numbered 1 starts a new run.
  EXPECT_EQ(Value("s", "Odd"), "p");
  EXPECT_EQ(Value("s", "Odd Line01"), "<missing>");
  EXPECT_EQ(Value("s", "Word Linear"), "z");
  EXPECT_EQ(Value("s", "Line0001"), "w");  // no " Line" in it
}

TEST_F(IniLoad, NumbersAtTheirLimits) {
  ASSERT_EQ(Load("[n]\n"
                 "imax = 2147483647\nimin = -2147483648\numax = 4294967295\n"
                 "ipast = 2147483648\niunder = -2147483649\nupast = 4294967296\n"
                 "neg = \t-12 \nplus = +7\nblank = \"  \"\ntwo = 1 2\nsigns = +-1\n"
                 "hex = 0x10\nlong = 000000000000000000000000042\nminus0 = -0\n"
                 "huge = 99999999999999999999999999\n"),
            kIniSuccess);
  int32_t l_I = 5;
  uint32_t l_U = 5;
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "imax", &l_I), kIniFound);
  EXPECT_EQ(l_I, 2147483647);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "imin", &l_I), kIniFound);
  EXPECT_EQ(l_I, INT32_MIN);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "umax", &l_U), kIniFound);
  EXPECT_EQ(l_U, 4294967295u);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "imax", &l_U), kIniFound);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "ipast", &l_I), kIniErrNotI32);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "ipast", &l_U), kIniFound);
  EXPECT_EQ(l_U, 2147483648u);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "iunder", &l_I), kIniErrNotI32);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "upast", &l_U), kIniErrNotU32);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "umax", &l_I), kIniErrNotI32);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "huge", &l_I), kIniErrNotI32);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "huge", &l_U), kIniErrNotU32);
  l_I = 5;
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "neg", &l_I), kIniFound);
  EXPECT_EQ(l_I, -12);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "neg", &l_U), kIniErrNotU32);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "minus0", &l_U), kIniErrNotU32);
  EXPECT_EQ(iniGetU32(m_pDocument, "n", "plus", &l_U), kIniFound);
  EXPECT_EQ(l_U, 7u);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "long", &l_I), kIniFound);
  EXPECT_EQ(l_I, 42);
  l_I = 5;
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "blank", &l_I), kIniNotFound);
  EXPECT_EQ(iniGetI32(m_pDocument, "n", "missing", &l_I), kIniNotFound);
  EXPECT_EQ(l_I, 5);  // untouched when not read
  for (const char* l_pKey : {"two", "signs", "hex"}) {
    EXPECT_EQ(iniGetI32(m_pDocument, "n", l_pKey, &l_I), kIniErrNotI32) << l_pKey;
    EXPECT_EQ(iniGetU32(m_pDocument, "n", l_pKey, &l_U), kIniErrNotU32) << l_pKey;
  }
}

TEST_F(IniLoad, OpenFailuresAndPathLimits) {
  EXPECT_EQ(iniLoad(m_pDocument, m_Dir.File("missing.ini").c_str()), kIniErrNoFile);
  EXPECT_EQ(iniLoad(m_pDocument, ""), kIniErrNoFile);
  EXPECT_EQ(iniLoad(m_pDocument, nullptr), kIniErrNoFile);
  EXPECT_EQ(iniLoad(m_pDocument, m_Dir.Path().c_str()), kIniErrRead);  // a directory
  EXPECT_EQ(iniHasChanged(m_pDocument), kIniErrNoFileName);

  // 256 characters are refused; a path of exactly 255 is accepted.
  std::string l_Long = m_Dir.Path() + "/";
  l_Long += std::string(256 - l_Long.size(), 'x');
  WriteFile(l_Long, "[s]\nk=v\n");
  ASSERT_TRUE(Exists(l_Long));
  EXPECT_EQ(iniLoad(m_pDocument, l_Long.c_str()), kIniErrPathTooLong);
  const std::string l_Max = l_Long.substr(0, 255);
  WriteFile(l_Max, "[s]\nk=v\n");
  EXPECT_EQ(iniLoad(m_pDocument, l_Max.c_str()), kIniSuccess);
  EXPECT_EQ(Value("s", "k"), "v");
  EXPECT_EQ(iniHasChanged(m_pDocument), 0);
  ::unlink(l_Max.c_str());
  EXPECT_EQ(iniHasChanged(m_pDocument), kIniErrNoFile);
}

TEST_F(IniLoad, OnlyRegularFilesOfBoundedSizeAreRead) {
  // A FIFO would hold the open, /dev/zero would never end: both are refused
  // at once, as a directory is.
  const std::string l_Fifo = m_Dir.File("fifo.ini");
  const std::string l_Zero = m_Dir.File("zero.ini");
  ASSERT_EQ(::mkfifo(l_Fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", l_Zero.c_str()), 0);
  const int l_Result = qvztest::runTimeBound(5, [&]() {
    const bool l_Refused = iniLoad(m_pDocument, l_Fifo.c_str()) == kIniErrRead &&
                           iniLoad(m_pDocument, l_Zero.c_str()) == kIniErrRead;
    return l_Refused ? 0 : 1;
  });
  EXPECT_EQ(l_Result, 0) << "-1: a load hung";

  // One byte over the limit (a sparse file) is refused before any reading.
  ASSERT_EQ(Load("[s]\nk=v\n"), kIniSuccess);
  ASSERT_EQ(::truncate(m_Dir.File("in.ini").c_str(), kIniMaxFileSize + 1), 0);
  EXPECT_EQ(iniLoad(m_pDocument, m_Dir.File("in.ini").c_str()), kIniErrRead);
}

TEST_F(IniLoad, ChangeQueryFollowsModificationTime) {
  ASSERT_EQ(Load("[s]\nk=v\n"), kIniSuccess);
  EXPECT_EQ(iniHasChanged(m_pDocument), 0);
  struct timespec l_Times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, m_Dir.File("in.ini").c_str(), l_Times, 0), 0);
  EXPECT_EQ(iniHasChanged(m_pDocument), 1);
}

TEST_F(IniLoad, LongLinesAndChunkBoundaries) {
  // Lines straddling the read chunks and far longer than the first line buffer.
  std::string l_Text = "[s]\n";
  std::string l_Big(10 * 1024 * 1024, 'v');
  l_Text += "big = " + l_Big + "\n";
  for (int l_i = 0; l_i < 300; ++l_i) {
    l_Text += "k" + std::to_string(l_i % 100) + " = " + std::string(l_i * 7, 'a') + "z\n";
  }
  ASSERT_EQ(Load(l_Text), kIniSuccess);
  EXPECT_EQ(Value("s", "big"), l_Big);
  EXPECT_EQ(Value("s", "k99"), std::string(299 * 7, 'a') + "z");
  EXPECT_EQ(EntryCount("s"), 100);
}

TEST_F(IniLoad, JunkNeverCrashes) {
  std::mt19937 l_Random(4242);
  for (int l_Round = 0; l_Round < 200; ++l_Round) {
    std::string l_Junk;
    const size_t l_Length = l_Random() % 5000;
    for (size_t l_i = 0; l_i < l_Length; ++l_i) {
      // Half of the rounds favour INI punctuation so that parsing gets deep.
      l_Junk += (l_Round % 2 == 0) ? "[]=;\" \r\nabLine01"[l_Random() % 17]
                                   : static_cast<char>(l_Random() % 256);
    }
    const int l_Result = Load(l_Junk);
    EXPECT_TRUE(l_Result == kIniSuccess || l_Result == kIniErrUnicodeFile) << l_Result;
    for (int l_i = 1; l_i <= iniSectionCount(m_pDocument); ++l_i) {
      const char* l_pName = nullptr;
      ASSERT_EQ(iniSectionName(m_pDocument, l_i, &l_pName), kIniFound);
      EXPECT_GT(std::string(l_pName).size(), 0u);
    }
  }
}

}  // namespace
