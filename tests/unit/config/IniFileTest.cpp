// SPDX-License-Identifier: LGPL-2.1-or-later
#include <fcntl.h>
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "TempDir.h"
#include "config/cIniFile.h"

using nQvPxiDriverTools_1_0::cIniFile;

namespace {

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_Dir.Path().empty()); }
  std::string Path(const char* a_pName = "file.ini") { return m_Dir.File(a_pName); }
  // Opens a file holding a_rText; returns the Open status code.
  int64_t OpenWith(const std::string& a_rText, uint32_t a_Mode = cIniFile::kModeReadWrite) {
    WriteFile(Path(), a_rText);
    Status l_Status;
    m_File.Open(Path().c_str(), a_Mode, l_Status);
    return l_Status.code;
  }

  cTempDir m_Dir;
  cIniFile m_File;
};

TEST_F(IniFile, WithoutDocument) {
  Status l_Status;
  EXPECT_FALSE(m_File.SectionExists("s", l_Status));
  EXPECT_EQ(l_Status.code, qvstatus::kIniNoDocument);
  Status l_Set;
  m_File.SetString("s", "k", "v", l_Set);
  EXPECT_EQ(l_Set.code, qvstatus::kIniNoDocument);
  Status l_Save;
  m_File.Save(l_Save);
  EXPECT_EQ(l_Save.code, qvstatus::kIniNoDocument);
  Status l_Reset;
  m_File.Reset(l_Reset);
  EXPECT_EQ(l_Reset.code, qvstatus::kIniNoDocument);
  // The change query reports its own code, even into a failed status.
  Status l_Failed;
  QVZ_SET_STATUS(l_Failed, qvstatus::kNotFound);
  EXPECT_FALSE(m_File.HasChangedOnDisk(l_Failed));
  EXPECT_EQ(l_Failed.code, qvstatus::kNotFound);
  Status l_Change;
  EXPECT_FALSE(m_File.HasChangedOnDisk(l_Change));
  EXPECT_EQ(l_Change.code, qvstatus::kIniChangeQuery);

  Status l_Open;
  m_File.Open("", cIniFile::kModeReadWrite, l_Open);
  EXPECT_EQ(l_Open.code, qvstatus::kIniPath);
  Status l_OpenNull;
  m_File.Open(nullptr, cIniFile::kModeReadWrite, l_OpenNull);
  EXPECT_EQ(l_OpenNull.code, qvstatus::kIniPath);
}

TEST_F(IniFile, MissingFileCanBeFilledAndSaved) {
  Status l_Open;
  m_File.Open(Path("new.ini").c_str(), cIniFile::kModeReadWrite, l_Open);
  EXPECT_EQ(l_Open.code, qvstatus::kIniLoad);
  Status l_Status;
  m_File.SetString("Main", "Name", "x", l_Status);
  m_File.Save(l_Status);
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_EQ(ReadFile(Path("new.ini")), "[Main]\nName = \"x\"\n");
  std::string l_Path;
  Status l_Failed;
  QVZ_SET_STATUS(l_Failed, qvstatus::kNotFound);
  m_File.GetPath(l_Path, l_Failed);  // copies even into a failed status
  EXPECT_EQ(l_Path, Path("new.ini"));
}

TEST_F(IniFile, ControllerFileReading) {
  ASSERT_EQ(OpenWith("[Controller1]\nVendorName = \"Maker\"\nModelName = Box\n"
                     "SlotPath = MR00:00,E0\n[Controller2]\nVendorName=V2\n",
                     cIniFile::kModeReadOnly),
            0);
  Status l_Status;
  std::vector<std::string> l_Names{"kept"};
  m_File.GetSectionNames(l_Names, l_Status);
  EXPECT_EQ(l_Names, (std::vector<std::string>{"kept", "Controller1", "Controller2"}));
  std::string l_Value;
  m_File.GetString("Controller1", "SlotPath", l_Value, l_Status);
  EXPECT_EQ(l_Value, "MR00:00,E0");
  m_File.GetString("Controller1", "VendorName", l_Value, l_Status);
  EXPECT_EQ(l_Value, "Maker");
  EXPECT_TRUE(m_File.KeyExists("Controller2", "VendorName", l_Status));
  EXPECT_FALSE(m_File.KeyExists("Controller2", "ModelName", l_Status));
  EXPECT_EQ(l_Status.code, 0);

  Status l_Missing;
  l_Value = "unchanged";
  m_File.GetString("Controller2", "ModelName", l_Value, l_Missing);
  EXPECT_EQ(l_Missing.code, qvstatus::kIniKeyMissing);
  EXPECT_EQ(l_Value, "unchanged");
}

TEST_F(IniFile, ReadOnlyRefusesChangesButSaves) {
  ASSERT_EQ(OpenWith("[s]\nk = 1\n", cIniFile::kModeReadOnly), 0);
  const auto l_Expect = [](int64_t a_Code) {
    return [a_Code](const Status& a_rStatus) { EXPECT_EQ(a_rStatus.code, a_Code); };
  };
  const auto l_ReadOnly = l_Expect(qvstatus::kIniReadOnly);
  Status l_1, l_2, l_3, l_4, l_5, l_6, l_7, l_8, l_9, l_10;
  m_File.SetString("s", "k", "2", l_1);
  m_File.SetI32("s", "k", 2, l_2);
  m_File.SetU32("s", "k", 2, l_3);
  m_File.SetHexU32("s", "k", 2, l_4);
  m_File.SetI32List("s", "k", {2}, l_5);
  m_File.SetStringList("s", "k", {"2"}, l_6);
  m_File.DeleteKey("s", "k", l_7);
  m_File.DeleteSection("s", l_8);
  m_File.RenameSection("s", "t", l_9);
  for (const Status* l_p : {&l_1, &l_2, &l_3, &l_4, &l_5, &l_6, &l_7, &l_8, &l_9}) l_ReadOnly(*l_p);
  int32_t l_Value = 0;
  m_File.GetI32("s", "k", l_Value, l_10);
  EXPECT_EQ(l_Value, 1);
  // Saving does not consult the read-only flag: the file is rewritten.
  m_File.Save(l_10);
  EXPECT_EQ(l_10.code, 0);
  EXPECT_EQ(ReadFile(Path()), "[s]\nk = 1\n");
}

TEST_F(IniFile, TypedValues) {
  ASSERT_EQ(OpenWith("[n]\nneg = -1\nempty = \"\"\nbad = 12x\nhex = 0x1F rest\nnothex = zz\n"
                     "max = 4294967295\n"),
            0);
  uint32_t l_U = 7;
  Status l_Neg;
  m_File.GetU32("n", "neg", l_U, l_Neg);
  EXPECT_EQ(l_Neg.code, qvstatus::kIniRead);
  EXPECT_EQ(l_U, 7u);
  Status l_Empty;
  m_File.GetU32("n", "empty", l_U, l_Empty);
  EXPECT_EQ(l_Empty.code, qvstatus::kIniKeyMissing);
  Status l_Bad;
  int32_t l_I = 0;
  m_File.GetI32("n", "bad", l_I, l_Bad);
  EXPECT_EQ(l_Bad.code, qvstatus::kIniRead);
  Status l_Ok;
  m_File.GetU32("n", "max", l_U, l_Ok);
  EXPECT_EQ(l_U, 4294967295u);
  m_File.GetI32("n", "neg", l_I, l_Ok);
  EXPECT_EQ(l_I, -1);
  m_File.GetHexU32("n", "hex", l_U, l_Ok);
  EXPECT_EQ(l_U, 0x1Fu);
  EXPECT_EQ(l_Ok.code, 0);
  Status l_NotHex;
  m_File.GetHexU32("n", "nothex", l_U, l_NotHex);
  EXPECT_EQ(l_NotHex.code, qvstatus::kIniConversion);

  Status l_Set;
  m_File.SetHexU32("n", "h0", 0, l_Set);
  m_File.SetHexU32("n", "h255", 255, l_Set);
  m_File.SetI32("n", "i", INT32_MIN, l_Set);
  m_File.SetU32("n", "u", 4294967295u, l_Set);
  std::string l_Text;
  m_File.GetString("n", "h0", l_Text, l_Set);
  EXPECT_EQ(l_Text, "0");
  m_File.GetString("n", "h255", l_Text, l_Set);
  EXPECT_EQ(l_Text, "0xff");
  m_File.GetHexU32("n", "h0", l_U, l_Set);
  EXPECT_EQ(l_U, 0u);
  m_File.GetI32("n", "i", l_I, l_Set);
  EXPECT_EQ(l_I, INT32_MIN);
  EXPECT_EQ(l_Set.code, 0);
  m_File.Save(l_Set);
  EXPECT_EQ(ReadFile(Path()),
            "[n]\nneg = -1\nempty = \"\"\nbad = 12x\nhex = 0x1F rest\nnothex = zz\n"
            "max = 4294967295\nh0 = \"0\"\nh255 = \"0xff\"\ni = -2147483648\nu = 4294967295\n");
}

TEST_F(IniFile, Lists) {
  ASSERT_EQ(OpenWith("[l]\ntrail = 1,2,\nbad = 1,x,3\nholes = a,,b\nlead = \",a\"\n"
                     "gap = 1,,2\nspaced = \" 4 , 5\"\n"),
            0);
  Status l_Status;
  std::list<int32_t> l_Numbers{9};
  m_File.GetI32List("l", "trail", l_Numbers, l_Status);
  EXPECT_EQ(l_Numbers, (std::list<int32_t>{9, 1, 2}));
  m_File.GetI32List("l", "spaced", l_Numbers, l_Status);
  EXPECT_EQ(l_Numbers, (std::list<int32_t>{9, 1, 2, 4, 5}));
  EXPECT_EQ(l_Status.code, 0);
  l_Numbers.clear();
  Status l_Bad;
  m_File.GetI32List("l", "bad", l_Numbers, l_Bad);
  EXPECT_EQ(l_Bad.code, qvstatus::kIniConversion);
  EXPECT_EQ(l_Numbers, (std::list<int32_t>{1}));
  Status l_Gap;
  m_File.GetI32List("l", "gap", l_Numbers, l_Gap);
  EXPECT_EQ(l_Gap.code, qvstatus::kIniConversion);

  std::list<std::string> l_Texts;
  m_File.GetStringList("l", "holes", l_Texts, l_Status);
  EXPECT_EQ(l_Texts, (std::list<std::string>{"a", "", "b"}));
  l_Texts.clear();
  m_File.GetStringList("l", "lead", l_Texts, l_Status);
  EXPECT_EQ(l_Texts, (std::list<std::string>{"", "a"}));
  EXPECT_EQ(l_Status.code, 0);

  Status l_Set;
  m_File.SetI32List("l", "out", {-1, 0, 2147483647}, l_Set);
  m_File.SetI32List("l", "none", {}, l_Set);
  m_File.SetStringList("l", "words", {"x y", "", "z"}, l_Set);
  std::string l_Text;
  m_File.GetString("l", "out", l_Text, l_Set);
  EXPECT_EQ(l_Text, "-1,0,2147483647");
  m_File.GetString("l", "words", l_Text, l_Set);
  EXPECT_EQ(l_Text, "x y,,z");
  l_Texts.clear();
  m_File.GetStringList("l", "none", l_Texts, l_Set);
  EXPECT_TRUE(l_Texts.empty());
  EXPECT_EQ(l_Set.code, 0);
}

TEST_F(IniFile, SectionsAndKeysChange) {
  ASSERT_EQ(OpenWith("[a]\nk = 1\n[b]\nk = 2\n"), 0);
  Status l_Status;
  m_File.DeleteKey("a", "k", l_Status);
  m_File.RenameSection("b", "c", l_Status);
  EXPECT_EQ(l_Status.code, 0);
  Status l_Key;
  m_File.DeleteKey("a", "k", l_Key);
  EXPECT_EQ(l_Key.code, qvstatus::kIniKeyMissing);
  Status l_Section;
  m_File.DeleteSection("b", l_Section);
  EXPECT_EQ(l_Section.code, qvstatus::kIniSection);
  Status l_Rename;
  m_File.RenameSection("b", "d", l_Rename);
  EXPECT_EQ(l_Rename.code, qvstatus::kIniSection);
  Status l_Blank;
  m_File.SetString("c", "", "v", l_Blank);
  EXPECT_EQ(l_Blank.code, qvstatus::kIniWrite);
  m_File.DeleteSection("a", l_Status);
  m_File.Save(l_Status);
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_EQ(ReadFile(Path()), "[c]\nk = 2\n");
}

TEST_F(IniFile, ComparisonExactAfterOpenRelaxedAfterReset) {
  ASSERT_EQ(OpenWith("[Main]\nKey = 1\n"), 0);
  Status l_Status;
  EXPECT_TRUE(m_File.SectionExists("Main", l_Status));
  EXPECT_FALSE(m_File.SectionExists("main", l_Status));
  EXPECT_FALSE(m_File.KeyExists("Main", " Key", l_Status));
  m_File.Reset(l_Status);
  m_File.SetString("Main", "Key", "v", l_Status);
  EXPECT_TRUE(m_File.SectionExists(" MAIN ", l_Status));
  EXPECT_TRUE(m_File.KeyExists("main", "key", l_Status));
  EXPECT_EQ(l_Status.code, 0);
  // The fresh document has the engine defaults again: width 80 splits.
  m_File.SetString("Main", "Long", std::string(100, 'x').c_str(), l_Status);
  m_File.Save(l_Status);
  EXPECT_EQ(l_Status.code, 0);
  const std::string l_Saved = ReadFile(Path());
  EXPECT_NE(l_Saved.find("Long Line0002"), std::string::npos) << l_Saved;
  EXPECT_EQ(m_Dir.List(), std::set<std::string>{"file.ini"});
}

TEST_F(IniFile, OpenDoesNotSplitLongValues) {
  ASSERT_EQ(OpenWith(""), 0);
  Status l_Status;
  const std::string l_Long(500, 'y');
  m_File.SetString("s", "k", l_Long.c_str(), l_Status);
  m_File.Save(l_Status);
  EXPECT_EQ(ReadFile(Path()), "[s]\nk = \"" + l_Long + "\"\n");
  cIniFile l_Again;
  l_Again.Open(Path().c_str(), cIniFile::kModeReadOnly, l_Status);
  std::string l_Value;
  l_Again.GetString("s", "k", l_Value, l_Status);
  EXPECT_EQ(l_Value, l_Long);
  EXPECT_EQ(l_Status.code, 0);
}

TEST_F(IniFile, VerifiedSaveNeedsAChangedTime) {
  ASSERT_EQ(OpenWith("[s]\nk = 1\n"), 0);
  m_File.SetVerifyWrite(true);
  EXPECT_TRUE(m_File.GetVerifyWrite());
  // Written just now: five saves within the same second leave the time equal.
  Status l_Same;
  m_File.Save(l_Same);
  if (l_Same.code == 0) GTEST_SKIP() << "the clock moved to the next second during the save";
  EXPECT_EQ(l_Same.code, qvstatus::kIniWrite);

  // An old file gets a new time at the first write.
  struct timespec l_Old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Path().c_str(), l_Old, 0), 0);
  Status l_Changed;
  m_File.Open(Path().c_str(), cIniFile::kModeReadWrite, l_Changed);
  m_File.SetVerifyWrite(true);
  m_File.Save(l_Changed);
  EXPECT_EQ(l_Changed.code, 0);
}

TEST_F(IniFile, ChangeQuery) {
  ASSERT_EQ(OpenWith("[s]\nk = 1\n"), 0);
  Status l_Status;
  EXPECT_FALSE(m_File.HasChangedOnDisk(l_Status));
  struct timespec l_Old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Path().c_str(), l_Old, 0), 0);
  EXPECT_TRUE(m_File.HasChangedOnDisk(l_Status));
  ::unlink(Path().c_str());
  EXPECT_TRUE(m_File.HasChangedOnDisk(l_Status));
  EXPECT_EQ(l_Status.code, 0);
}

TEST_F(IniFile, FailedSaveAndLongPathsTouchNothing) {
  Status l_Open;
  m_File.Open(Path("missing/dir.ini").c_str(), cIniFile::kModeReadWrite, l_Open);
  EXPECT_EQ(l_Open.code, qvstatus::kIniLoad);
  Status l_Save;
  m_File.SetString("s", "k", "v", l_Save);
  m_File.Save(l_Save);
  EXPECT_EQ(l_Save.code, qvstatus::kIniWrite);

  std::string l_Long = m_Dir.Path() + "/";
  l_Long += std::string(300 - l_Long.size(), 'z');
  Status l_LongOpen;
  m_File.Open(l_Long.c_str(), cIniFile::kModeReadWrite, l_LongOpen);
  EXPECT_EQ(l_LongOpen.code, qvstatus::kIniLoad);
  Status l_LongSave;
  m_File.SetString("s", "k", "v", l_LongSave);
  m_File.Save(l_LongSave);
  EXPECT_EQ(l_LongSave.code, qvstatus::kIniWrite);
  EXPECT_TRUE(m_Dir.List().empty());
}

TEST_F(IniFile, CodesKeepTheirValues) {
  EXPECT_EQ(qvstatus::kIniCreate, -313314);
  EXPECT_EQ(qvstatus::kIniPath, -313315);
  EXPECT_EQ(qvstatus::kIniLoad, -313316);
  EXPECT_EQ(qvstatus::kIniNoDocument, -313317);
  EXPECT_EQ(qvstatus::kIniReadOnly, -313318);
  EXPECT_EQ(qvstatus::kIniWrite, -313319);
  EXPECT_EQ(qvstatus::kIniRead, -313320);
  EXPECT_EQ(qvstatus::kIniSection, -313321);
  EXPECT_EQ(qvstatus::kIniKeyMissing, -313322);
  EXPECT_EQ(qvstatus::kIniConversion, -313323);
  EXPECT_EQ(qvstatus::kSlotPathEmpty, -313324);
  EXPECT_EQ(qvstatus::kSlotPathSyntax, -313325);
  EXPECT_EQ(qvstatus::kIniChangeQuery, -313328);
}

}  // namespace
