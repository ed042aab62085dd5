// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: INI loading of any file content, lookups, the typed and list
// reads, and saving: a document saved and loaded again must save to the same
// text (once loading has put it into its written form).
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "config/IniEngine.h"
#include "config/cIniFile.h"
#include "fuzzCheck.h"

using namespace nQvPxiDriverTools_1_0;

namespace {

std::string g_Directory;

std::string pathOf(const char* a_pName) { return g_Directory + "/" + a_pName; }

void removeDirectory() {
  ::unlink(pathOf("input.ini").c_str());
  ::unlink(pathOf("saved.ini").c_str());
  ::rmdir(g_Directory.c_str());
}

void writeFile(const std::string& a_rPath, const uint8_t* a_pData, size_t a_Size) {
  const int l_Fd = ::open(a_rPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  FUZZ_CHECK(l_Fd != -1);
  FUZZ_CHECK(a_Size == 0 || ::write(l_Fd, a_pData, a_Size) == static_cast<ssize_t>(a_Size));
  ::close(l_Fd);
}

std::string readFile(const std::string& a_rPath) {
  std::ifstream l_In(a_rPath, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(l_In)), std::istreambuf_iterator<char>());
}

bool isBlank(char a_Char) { return a_Char == ' ' || a_Char == '\t'; }

// The keys the input's lines could define: the trimmed text before each "=".
std::vector<std::string> candidateKeys(const uint8_t* a_pData, size_t a_Size) {
  std::vector<std::string> l_Keys;
  std::string l_Line;
  for (size_t l_Index = 0; l_Index <= a_Size && l_Keys.size() < 12; ++l_Index) {
    const char l_Char = l_Index < a_Size ? static_cast<char>(a_pData[l_Index]) : '\n';
    if (l_Char != '\n' && l_Char != '\r' && l_Char != '\0') {
      l_Line += l_Char;
      continue;
    }
    const size_t l_Equals = l_Line.find('=');
    if (l_Equals != std::string::npos) {
      std::string l_Key = l_Line.substr(0, l_Equals);
      while (!l_Key.empty() && isBlank(l_Key.back())) l_Key.pop_back();
      while (!l_Key.empty() && isBlank(l_Key.front())) l_Key.erase(0, 1);
      l_Keys.push_back(l_Key);
      // Joined continuation lines answer under their base key.
      const size_t l_Line0 = l_Key.find(" Line");
      if (l_Line0 != std::string::npos) l_Keys.push_back(l_Key.substr(0, l_Line0));
    }
    l_Line.clear();
  }
  return l_Keys;
}

// Independent reading of the accepted number form: blanks, at most one sign,
// digits, blanks. Returns false when the text is not such a number in range.
bool referenceNumber(const char* a_pText, int64_t a_Min, int64_t a_Max, int64_t& a_rValue) {
  std::string l_Text = a_pText;
  while (!l_Text.empty() && isBlank(l_Text.back())) l_Text.pop_back();
  size_t l_At = 0;
  while (l_At < l_Text.size() && isBlank(l_Text[l_At])) ++l_At;
  bool l_Negative = false;
  if (l_At < l_Text.size() && (l_Text[l_At] == '+' || l_Text[l_At] == '-')) {
    l_Negative = l_Text[l_At++] == '-';
  }
  if (l_At == l_Text.size()) return false;
  int64_t l_Value = 0;
  for (; l_At < l_Text.size(); ++l_At) {
    if (l_Text[l_At] < '0' || l_Text[l_At] > '9') return false;
    l_Value = l_Value * 10 + (l_Text[l_At] - '0');
    if (l_Value > (int64_t{1} << 33)) return false;
  }
  if (l_Negative) l_Value = -l_Value;
  if (l_Negative && a_Min == 0) return false;
  if (l_Value < a_Min || l_Value > a_Max) return false;
  a_rValue = l_Value;
  return true;
}

void checkNumberReads(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                      const char* a_pValue) {
  int32_t l_Signed = 0;
  uint32_t l_Unsigned = 0;
  const int l_SignedResult = iniGetI32(a_pDocument, a_pSection, a_pKey, &l_Signed);
  const int l_UnsignedResult = iniGetU32(a_pDocument, a_pSection, a_pKey, &l_Unsigned);
  FUZZ_CHECK(l_SignedResult == kIniFound || l_SignedResult == kIniNotFound ||
             l_SignedResult == kIniErrNotI32);
  FUZZ_CHECK(l_UnsignedResult == kIniFound || l_UnsignedResult == kIniNotFound ||
             l_UnsignedResult == kIniErrNotU32);
  // Vertical tab and form feed count as white space there; leave them out.
  if (std::strpbrk(a_pValue, "\v\f") != nullptr) return;
  std::string l_Stripped = a_pValue;
  l_Stripped.erase(0, l_Stripped.find_first_not_of(" \t") == std::string::npos
                          ? l_Stripped.size()
                          : l_Stripped.find_first_not_of(" \t"));
  if (l_Stripped.empty()) {
    FUZZ_CHECK(l_SignedResult == kIniNotFound && l_UnsignedResult == kIniNotFound);
    return;
  }
  int64_t l_Expected = 0;
  const bool l_SignedOk = referenceNumber(a_pValue, INT32_MIN, INT32_MAX, l_Expected);
  FUZZ_CHECK(l_SignedOk == (l_SignedResult == kIniFound));
  if (l_SignedOk) FUZZ_CHECK(l_Signed == l_Expected);
  const bool l_UnsignedOk = referenceNumber(a_pValue, 0, UINT32_MAX, l_Expected);
  FUZZ_CHECK(l_UnsignedOk == (l_UnsignedResult == kIniFound));
  if (l_UnsignedOk) FUZZ_CHECK(l_Unsigned == l_Expected);
}

void checkListReads(cIniFile& a_rFile, const char* a_pSection, const char* a_pKey,
                    const std::string& a_rValue) {
  Status l_Status;
  std::list<std::string> l_Pieces;
  a_rFile.GetStringList(a_pSection, a_pKey, l_Pieces, l_Status);
  FUZZ_CHECK(l_Status.isNotFatal());
  // The pieces joined with "," give the value back, less one final ",".
  std::string l_Joined;
  for (const std::string& l_rPiece : l_Pieces) {
    if (&l_rPiece != &l_Pieces.front()) l_Joined += ',';
    l_Joined += l_rPiece;
  }
  const bool l_TrailingComma = !a_rValue.empty() && a_rValue.back() == ',';
  FUZZ_CHECK(l_Joined + (l_TrailingComma ? "," : "") == a_rValue);

  Status l_ListStatus;
  std::list<int32_t> l_Numbers;
  a_rFile.GetI32List(a_pSection, a_pKey, l_Numbers, l_ListStatus);
  FUZZ_CHECK(l_Numbers.size() <= l_Pieces.size());
  if (l_ListStatus.isNotFatal()) FUZZ_CHECK(l_Numbers.size() == l_Pieces.size());

  Status l_HexStatus;
  uint32_t l_Hex = 0;
  a_rFile.GetHexU32(a_pSection, a_pKey, l_Hex, l_HexStatus);
  if (l_HexStatus.isFatal()) FUZZ_CHECK(l_HexStatus.code == qvstatus::kIniConversion);
}

// Opens the file, saves it in place, and returns what was written.
std::string resave(const std::string& a_rPath) {
  cIniFile l_File;
  Status l_Status;
  l_File.Open(a_rPath.c_str(), cIniFile::kModeReadWrite, l_Status);
  l_File.Save(l_Status);
  return readFile(a_rPath);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Saving forces data to disk: a memory file system keeps that cheap.
  std::string l_Template =
      std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/qvz-fuzz-ini.XXXXXX";
  FUZZ_CHECK(::mkdtemp(&l_Template[0]) != nullptr);
  g_Directory = l_Template;
  std::atexit(removeDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  if (a_Size > (1u << 16)) return 0;
  const std::string l_Input = pathOf("input.ini");
  writeFile(l_Input, a_pData, a_Size);
  const std::vector<std::string> l_Keys = candidateKeys(a_pData, a_Size);

  // The engine with its defaults (relaxed names).
  sIniDocument* l_pDocument = iniCreate();
  FUZZ_CHECK(l_pDocument != nullptr);
  const int l_Loaded = iniLoad(l_pDocument, l_Input.c_str());
  FUZZ_CHECK(l_Loaded == kIniSuccess || l_Loaded == kIniErrUnicodeFile);
  const int l_Count = iniSectionCount(l_pDocument);
  for (int l_Position = 1; l_Position <= l_Count; ++l_Position) {
    const char* l_pName = nullptr;
    FUZZ_CHECK(iniSectionName(l_pDocument, l_Position, &l_pName) == kIniFound &&
               l_pName != nullptr);
    FUZZ_CHECK(iniSectionExists(l_pDocument, l_pName) == kIniFound);
    const std::string l_Section = l_pName;
    for (const std::string& l_rKey : l_Keys) {
      const char* l_pValue = nullptr;
      const int l_Found = iniGetValue(l_pDocument, l_Section.c_str(), l_rKey.c_str(), &l_pValue);
      FUZZ_CHECK(l_Found == iniKeyExists(l_pDocument, l_Section.c_str(), l_rKey.c_str()));
      if (l_Found != kIniFound) continue;
      FUZZ_CHECK(l_pValue != nullptr);
      checkNumberReads(l_pDocument, l_Section.c_str(), l_rKey.c_str(), l_pValue);
    }
  }
  FUZZ_CHECK(iniSectionName(l_pDocument, l_Count + 1, nullptr) == kIniNotFound);
  iniFree(l_pDocument);

  // The file class as discovery uses it (exact names), with its list reads.
  {
    cIniFile l_File;
    Status l_Status;
    l_File.Open(l_Input.c_str(), cIniFile::kModeReadOnly, l_Status);
    if (l_Status.isFatal()) FUZZ_CHECK(l_Status.code == qvstatus::kIniLoad);
    Status l_NamesStatus;
    std::vector<std::string> l_Sections;
    l_File.GetSectionNames(l_Sections, l_NamesStatus);
    FUZZ_CHECK(l_NamesStatus.isNotFatal());
    for (const std::string& l_rSection : l_Sections) {
      for (const std::string& l_rKey : l_Keys) {
        Status l_ReadStatus;
        std::string l_Value;
        l_File.GetString(l_rSection.c_str(), l_rKey.c_str(), l_Value, l_ReadStatus);
        if (l_ReadStatus.isFatal()) {
          FUZZ_CHECK(l_ReadStatus.code == qvstatus::kIniKeyMissing);
          continue;
        }
        checkListReads(l_File, l_rSection.c_str(), l_rKey.c_str(), l_Value);
      }
    }
  }

  // Saving is stable once a document has been through one save and load.
  const std::string l_Saved = pathOf("saved.ini");
  writeFile(l_Saved, a_pData, a_Size);
  resave(l_Saved);
  const std::string l_Second = resave(l_Saved);
  const std::string l_Third = resave(l_Saved);
  FUZZ_CHECK(l_Second == l_Third);
  return 0;
}
