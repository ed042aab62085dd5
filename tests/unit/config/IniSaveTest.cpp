// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <map>
#include <random>
#include <string>

#include "IniDocumentFixture.h"
#include "config/IniEngine.h"

using namespace nQvPxiDriverTools_1_0;

namespace {

class IniSave : public cIniDocumentFixture {
 protected:
  int Save(const std::string& a_rName = "out.ini") {
    return iniSave(m_pDocument, m_Dir.File(a_rName).c_str());
  }
};

TEST_F(IniSave, WrittenLayout) {
  ASSERT_EQ(iniSetValue(m_pDocument, "(null)", "top", "1", 0), kIniFound);
  ASSERT_EQ(iniSetValue(m_pDocument, " a ", " k ", "  v  ", 0), kIniFound);
  ASSERT_EQ(iniSetString(m_pDocument, "b", "k", "w"), kIniFound);
  ASSERT_EQ(iniSetI32(m_pDocument, "b", "n", -5), kIniFound);
  ASSERT_EQ(iniSetU32(m_pDocument, "b", "u", 4294967295u), kIniFound);
  ASSERT_EQ(Save(), kIniSuccess);
  EXPECT_EQ(ReadFile(m_Dir.File("out.ini")),
            "top = 1\n\n[a]\nk = v\n\n[b]\nk = \"w\"\nn = -5\nu = 4294967295\n");
  EXPECT_EQ(m_Dir.List(), std::set<std::string>{"out.ini"});
  EXPECT_EQ(iniHasChanged(m_pDocument), 0);
}

TEST_F(IniSave, EscapingIsStoredAndReadBackAsWritten) {
  ASSERT_EQ(iniSetString(m_pDocument, "s", "k", "a\tb\\c\"d\ne\x01\x7f\x80\xff"), kIniFound);
  const std::string l_Stored = "a\\tb\\\\c\\\"d\\ne\\x01\\x7f\x80\xff";
  EXPECT_EQ(Value(m_pDocument, "s", "k"), l_Stored);
  ASSERT_EQ(iniSetString(m_pDocument, "s", "none", nullptr), kIniFound);
  EXPECT_EQ(Value(m_pDocument, "s", "none"), "");
  ASSERT_EQ(Save(), kIniSuccess);

  sIniDocument* l_pLoaded = iniCreate();
  ASSERT_EQ(iniLoad(l_pLoaded, m_Dir.File("out.ini").c_str()), kIniSuccess);
  EXPECT_EQ(Value(l_pLoaded, "s", "k"), l_Stored);
  EXPECT_EQ(Value(l_pLoaded, "s", "none"), "");
  iniFree(l_pLoaded);
}

TEST_F(IniSave, SettingReplacesTrimmedAndRefusesBlankNames) {
  ASSERT_EQ(iniSetValue(m_pDocument, "s", "key", "old", 0), kIniFound);
  ASSERT_EQ(iniSetValue(m_pDocument, "S", "KEY", "  new  ", '"'), kIniFound);
  EXPECT_EQ(Value(m_pDocument, "s", "key"), "new");
  EXPECT_EQ(iniSetValue(m_pDocument, "", "k", "v", 0), kIniErrEmptyName);
  EXPECT_EQ(iniSetValue(m_pDocument, "s", "", "v", 0), kIniErrEmptyName);
  EXPECT_EQ(iniSetValue(m_pDocument, "s", nullptr, "v", 0), kIniErrEmptyName);
  EXPECT_EQ(iniSetValue(m_pDocument, "  ", "k", "v", 0), kIniErrEmptyName);
  EXPECT_EQ(iniSectionCount(m_pDocument), 1);

  // In exact mode the stored names are still trimmed and found again.
  iniSetCaseSensitive(m_pDocument, 1);
  ASSERT_EQ(iniSetValue(m_pDocument, " s ", " key ", "third", 0), kIniFound);
  EXPECT_EQ(Value(m_pDocument, "s", "key"), "third");
  EXPECT_EQ(iniSectionCount(m_pDocument), 1);
  ASSERT_EQ(iniSetValue(m_pDocument, "S", "key", "other", 0), kIniFound);
  EXPECT_EQ(iniSectionCount(m_pDocument), 2);
}

TEST_F(IniSave, DeleteAndRename) {
  iniSetValue(m_pDocument, "a", "k1", "1", 0);
  iniSetValue(m_pDocument, "a", "k2", "2", 0);
  iniSetValue(m_pDocument, "b", "k", "3", 0);
  EXPECT_EQ(iniDeleteKey(m_pDocument, "a", "k1"), kIniFound);
  EXPECT_EQ(iniDeleteKey(m_pDocument, "a", "k1"), kIniNotFound);
  EXPECT_EQ(iniDeleteKey(m_pDocument, "c", "k"), kIniNotFound);
  EXPECT_EQ(Value(m_pDocument, "a", "k2"), "2");
  // "b" is remembered from the last set; deleting it must forget it.
  EXPECT_EQ(iniDeleteSection(m_pDocument, "b"), kIniFound);
  EXPECT_EQ(iniDeleteSection(m_pDocument, "b"), kIniNotFound);
  EXPECT_EQ(iniSectionExists(m_pDocument, "b"), kIniNotFound);
  EXPECT_EQ(Value(m_pDocument, "a", "k2"), "2");
  EXPECT_EQ(iniRenameSection(m_pDocument, "a", "  renamed "), kIniFound);
  EXPECT_EQ(Value(m_pDocument, "renamed", "k2"), "2");
  EXPECT_EQ(iniRenameSection(m_pDocument, "a", "x"), kIniNotFound);
  EXPECT_EQ(iniRenameSection(m_pDocument, "renamed", " "), kIniErrEmptyName);
  EXPECT_EQ(iniSectionExists(m_pDocument, "renamed"), kIniFound);
}

TEST_F(IniSave, LongValuesAreSplitAndJoinedBack) {
  std::string l_Value;
  for (int l_i = 0; l_i < 100; ++l_i) l_Value += static_cast<char>('a' + l_i % 26);
  ASSERT_EQ(iniSetString(m_pDocument, "s", "Text", l_Value.c_str()), kIniFound);
  ASSERT_EQ(Save(), kIniSuccess);
  const std::string l_Expected = "[s]\nText Line0001 = \"" + l_Value.substr(0, 62) +
                                 "\"\nText Line0002 = \"" + l_Value.substr(62) + "\"\n";
  EXPECT_EQ(ReadFile(m_Dir.File("out.ini")), l_Expected);

  sIniDocument* l_pLoaded = iniCreate();
  ASSERT_EQ(iniLoad(l_pLoaded, m_Dir.File("out.ini").c_str()), kIniSuccess);
  EXPECT_EQ(Value(l_pLoaded, "s", "Text"), l_Value);
  iniFree(l_pLoaded);
}

TEST_F(IniSave, NoRoomFailsWithoutTouchingTheTarget) {
  WriteFile(m_Dir.File("out.ini"), "original\n");
  ASSERT_EQ(iniSetString(m_pDocument, "s", std::string(66, 'k').c_str(), "0123456789"), kIniFound);
  EXPECT_EQ(Save(), kIniErrNoRoom);
  EXPECT_EQ(ReadFile(m_Dir.File("out.ini")), "original\n");
  iniSetLineFormat(m_pDocument, 80, false);
  EXPECT_EQ(Save(), kIniErrNoRoom);
  EXPECT_EQ(ReadFile(m_Dir.File("out.ini")), "original\n");
  EXPECT_EQ(m_Dir.List(), std::set<std::string>{"out.ini"});
  // Unlimited width never splits.
  iniSetLineFormat(m_pDocument, kIniUnlimitedWidth, true);
  EXPECT_EQ(Save(), kIniSuccess);
}

// Random documents survive a save and a load, at width 80 and unlimited.
TEST_F(IniSave, RandomRoundTrips) {
  std::mt19937 l_Random(99);
  const std::string l_Chars = "abcXYZ019 ;=[]\"\\\t-_.,";
  for (int l_Round = 0; l_Round < 60; ++l_Round) {
    iniFree(m_pDocument);
    m_pDocument = iniCreate();
    iniSetLineFormat(m_pDocument, l_Round % 3 == 0 ? kIniUnlimitedWidth : 80, l_Round % 2 == 0);
    std::map<std::pair<std::string, std::string>, std::string> l_Expected;
    for (int l_Entry = 0; l_Entry < 20; ++l_Entry) {
      const std::string l_Section = "sec" + std::to_string(l_Random() % 4);
      const std::string l_Key = "key" + std::to_string(l_Random() % 8);
      std::string l_Value;
      const size_t l_Length = 1 + l_Random() % 300;
      for (size_t l_i = 0; l_i < l_Length; ++l_i) l_Value += l_Chars[l_Random() % l_Chars.size()];
      if (l_Random() % 2 == 0) {
        ASSERT_EQ(iniSetString(m_pDocument, l_Section.c_str(), l_Key.c_str(), l_Value.c_str()),
                  kIniFound);
      } else {
        // Bare values: kept as stored (trimmed), so avoid edge spaces and quotes.
        l_Value = "v" + l_Value + "v";
        ASSERT_EQ(iniSetValue(m_pDocument, l_Section.c_str(), l_Key.c_str(), l_Value.c_str(), 0),
                  kIniFound);
      }
      l_Expected[{l_Section, l_Key}] = Value(m_pDocument, l_Section.c_str(), l_Key.c_str());
    }
    ASSERT_EQ(Save(), kIniSuccess);
    sIniDocument* l_pLoaded = iniCreate();
    ASSERT_EQ(iniLoad(l_pLoaded, m_Dir.File("out.ini").c_str()), kIniSuccess);
    EXPECT_EQ(iniSectionCount(l_pLoaded), iniSectionCount(m_pDocument));
    for (const auto& l_rPair : l_Expected) {
      EXPECT_EQ(Value(l_pLoaded, l_rPair.first.first.c_str(), l_rPair.first.second.c_str()),
                l_rPair.second);
    }
    iniFree(l_pLoaded);
  }
  EXPECT_EQ(m_Dir.List(), std::set<std::string>{"out.ini"});
}

TEST_F(IniSave, SafeWriteKeepsModeAndOwner) {
  const std::string l_Target = m_Dir.File("out.ini");
  WriteFile(l_Target, "old\n");
  ASSERT_EQ(::chmod(l_Target.c_str(), 0640), 0);
  const bool l_CanChown = ::chown(l_Target.c_str(), 1234, 5678) == 0;
  iniSetValue(m_pDocument, "s", "k", "v", 0);
  ASSERT_EQ(Save(), kIniSuccess);
  struct stat l_Info;
  ASSERT_EQ(::stat(l_Target.c_str(), &l_Info), 0);
  EXPECT_EQ(l_Info.st_mode & 07777, 0640u);
  if (l_CanChown) {
    EXPECT_EQ(l_Info.st_uid, 1234u);
    EXPECT_EQ(l_Info.st_gid, 5678u);
  }
  EXPECT_EQ(ReadFile(l_Target), "[s]\nk = v\n");
  EXPECT_EQ(m_Dir.List(), std::set<std::string>{"out.ini"});

  // A new file gets 0644 whatever the umask.
  const mode_t l_OldMask = ::umask(077);
  ASSERT_EQ(Save("new.ini"), kIniSuccess);
  ::umask(l_OldMask);
  ASSERT_EQ(::stat(m_Dir.File("new.ini").c_str(), &l_Info), 0);
  EXPECT_EQ(l_Info.st_mode & 07777, 0644u);

  // Rewriting in place also keeps the mode.
  iniSetLineFormat(m_pDocument, 80, false);
  ASSERT_EQ(Save(), kIniSuccess);
  ASSERT_EQ(::stat(l_Target.c_str(), &l_Info), 0);
  EXPECT_EQ(l_Info.st_mode & 07777, 0640u);
}

// Root can write into any existing directory, so the unwritable target is one
// whose directory does not exist.
TEST_F(IniSave, UnwritableTargetsLeaveNothingBehind) {
  iniSetValue(m_pDocument, "s", "k", "v", 0);
  EXPECT_EQ(Save("nodir/out.ini"), kIniErrTarget);
  iniSetLineFormat(m_pDocument, 80, false);
  EXPECT_EQ(Save("nodir/out.ini"), kIniErrOpenOutput);
  EXPECT_TRUE(m_Dir.List().empty());
  EXPECT_EQ(iniHasChanged(m_pDocument), kIniErrNoFileName);  // no file name stored

  EXPECT_EQ(iniSave(m_pDocument, ""), kIniErrNoFile);
  std::string l_Long = m_Dir.Path() + "/";
  l_Long += std::string(256 - l_Long.size(), 'x');
  EXPECT_EQ(iniSave(m_pDocument, l_Long.c_str()), kIniErrPathTooLong);
  iniSetLineFormat(m_pDocument, 80, true);
  EXPECT_EQ(iniSave(m_pDocument, l_Long.c_str()), kIniErrPathTooLong);
  EXPECT_TRUE(m_Dir.List().empty());
}

// Runs a save in a child whose file size limit makes the write fail.
int SaveWithSizeLimit(sIniDocument* a_pDocument, const std::string& a_rPath) {
  const pid_t l_Child = ::fork();
  if (l_Child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit l_Limit;
    ::getrlimit(RLIMIT_FSIZE, &l_Limit);
    l_Limit.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &l_Limit);
    _exit(-iniSave(a_pDocument, a_rPath.c_str()));
  }
  int l_Status = 0;
  ::waitpid(l_Child, &l_Status, 0);
  return WIFEXITED(l_Status) ? -WEXITSTATUS(l_Status) : 1;
}

TEST_F(IniSave, WriteFailureKeepsTargetAndRemovesTemporary) {
  const std::string l_Target = m_Dir.File("out.ini");
  WriteFile(l_Target, "precious\n");
  iniSetValue(m_pDocument, "s", "k", std::string(20000, 'x').c_str(), '"');
  iniSetLineFormat(m_pDocument, kIniUnlimitedWidth, true);
  EXPECT_EQ(SaveWithSizeLimit(m_pDocument, l_Target), kIniErrWrite);
  EXPECT_EQ(ReadFile(l_Target), "precious\n");
  EXPECT_EQ(m_Dir.List(), std::set<std::string>{"out.ini"});

  // Without safe write the truncated target is removed rather than left half written.
  iniSetLineFormat(m_pDocument, kIniUnlimitedWidth, false);
  EXPECT_EQ(SaveWithSizeLimit(m_pDocument, l_Target), kIniErrWrite);
  EXPECT_TRUE(m_Dir.List().empty());
}

}  // namespace
