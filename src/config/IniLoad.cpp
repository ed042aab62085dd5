// SPDX-License-Identifier: LGPL-2.1-or-later
// INI engine: loading a file into a document.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "config/IniDocument.h"

namespace nQvPxiDriverTools_1_0 {

using namespace nIniDetail;

namespace {

constexpr size_t kChunkSize = 2084;
constexpr size_t kFirstLineCapacity = 256;
constexpr size_t kMaxBaseKeyLength = 255;
constexpr char kContinuationMark[] = " Line";

// Parser state across chunks: the line being collected and the current section.
struct sParser {
  sIniDocument* m_pDocument;
  char* m_pLine;
  size_t m_Length;
  size_t m_Capacity;
  sIniSection* m_pCurrent;
};

// Makes the named section current, creating it when new; a header without
// "]" or with an empty name is ignored.
int ParseSectionHeader(sParser& a_rParser, const char* a_pText) {
  const char* l_pBegin = a_pText + 1;
  while (IsSpace(*l_pBegin)) ++l_pBegin;
  const char* l_pEnd = std::strchr(l_pBegin, ']');
  if (l_pEnd == nullptr) return kIniSuccess;
  while (l_pEnd > l_pBegin && IsSpace(l_pEnd[-1])) --l_pEnd;
  if (l_pEnd == l_pBegin) return kIniSuccess;
  // Only the name is kept; text after the "]" is ignored.
  char* l_pName = CopyText(l_pBegin, static_cast<size_t>(l_pEnd - l_pBegin));
  if (l_pName == nullptr) return kIniErrNoMemory;
  sIniSection* l_pSection = FindSection(*a_rParser.m_pDocument, l_pName);
  if (l_pSection == nullptr) l_pSection = AddSection(*a_rParser.m_pDocument, l_pName);
  std::free(l_pName);
  if (l_pSection == nullptr) return kIniErrNoMemory;
  a_rParser.m_pCurrent = l_pSection;
  return kIniSuccess;
}

// Returns kIniErrNoMemory when the entry could not be stored.
int ParseEntry(sParser& a_rParser, const char* a_pText, const char* a_pTextEnd) {
  const char* l_pEquals = static_cast<const char*>(std::memchr(a_pText, '=', a_pTextEnd - a_pText));
  if (l_pEquals == nullptr || a_rParser.m_pCurrent == nullptr) return kIniSuccess;
  const char* l_pKey = a_pText;
  const char* l_pKeyEnd = l_pEquals;
  const char* l_pValue = l_pEquals + 1;
  const char* l_pValueEnd = a_pTextEnd;
  Trim(l_pKey, l_pKeyEnd);
  Trim(l_pValue, l_pValueEnd);
  if (l_pKey == l_pKeyEnd || l_pValue == l_pValueEnd) return kIniSuccess;
  char l_Quote = 0;
  if (l_pValueEnd - l_pValue >= 2 && *l_pValue == '"' && l_pValueEnd[-1] == '"') {
    ++l_pValue;
    --l_pValueEnd;
    l_Quote = '"';
  }
  char* l_pNewValue = CopyText(l_pValue, static_cast<size_t>(l_pValueEnd - l_pValue));
  char* l_pNewKey = CopyText(l_pKey, static_cast<size_t>(l_pKeyEnd - l_pKey));
  if (l_pNewValue == nullptr || l_pNewKey == nullptr) {
    std::free(l_pNewValue);
    std::free(l_pNewKey);
    return kIniErrNoMemory;
  }
  sIniSection& l_rSection = *a_rParser.m_pCurrent;
  const size_t l_Index = FindEntry(*a_rParser.m_pDocument, l_rSection, l_pNewKey);
  if (l_Index < l_rSection.m_Entries.m_Count) {
    sIniEntry* l_pEntry = l_rSection.m_Entries.m_ppItems[l_Index];
    std::free(l_pEntry->m_pValue);
    std::free(l_pNewKey);
    l_pEntry->m_pValue = l_pNewValue;
    l_pEntry->m_Quote = l_Quote;
    return kIniSuccess;
  }
  sIniEntry* l_pEntry = new (std::nothrow) sIniEntry{l_pNewKey, l_pNewValue, l_Quote};
  if (l_pEntry == nullptr || !AddEntry(*a_rParser.m_pDocument, l_rSection, l_pEntry)) {
    if (l_pEntry != nullptr) {
      FreeEntry(l_pEntry);
    } else {
      std::free(l_pNewKey);
      std::free(l_pNewValue);
    }
    return kIniErrNoMemory;
  }
  return kIniSuccess;
}

// Handles one complete line (without its end); white space leads are skipped.
int ParseLine(sParser& a_rParser) {
  a_rParser.m_pLine[a_rParser.m_Length] = '\0';
  const char* l_pText = a_rParser.m_pLine;
  const char* l_pEnd = a_rParser.m_pLine + a_rParser.m_Length;
  while (l_pText < l_pEnd && IsSpace(*l_pText)) ++l_pText;
  if (l_pText == l_pEnd || *l_pText == ';') return kIniSuccess;
  if (*l_pText == '[') return ParseSectionHeader(a_rParser, l_pText);
  return ParseEntry(a_rParser, l_pText, l_pEnd);
}

int AddToLine(sParser& a_rParser, char a_Char) {
  // One byte stays free for the terminating zero.
  if (a_rParser.m_Length + 1 >= a_rParser.m_Capacity) {
    const size_t l_NewCapacity =
        a_rParser.m_Capacity == 0 ? kFirstLineCapacity : a_rParser.m_Capacity * 2;
    if (l_NewCapacity <= a_rParser.m_Capacity) return kIniErrNoMemory;
    char* l_pNew = static_cast<char*>(std::realloc(a_rParser.m_pLine, l_NewCapacity));
    if (l_pNew == nullptr) return kIniErrNoMemory;
    a_rParser.m_pLine = l_pNew;
    a_rParser.m_Capacity = l_NewCapacity;
  }
  a_rParser.m_pLine[a_rParser.m_Length++] = a_Char;
  return kIniSuccess;
}

int ParseBytes(sParser& a_rParser, const char* a_pBytes, size_t a_Count) {
  for (size_t l_i = 0; l_i < a_Count; ++l_i) {
    const char l_Char = a_pBytes[l_i];
    if (l_Char == '\r' || l_Char == '\n' || l_Char == '\0') {
      if (a_rParser.m_Length != 0) {
        const int l_Result = ParseLine(a_rParser);
        a_rParser.m_Length = 0;
        if (l_Result < 0) return l_Result;
      }
      continue;
    }
    const int l_Result = AddToLine(a_rParser, l_Char);
    if (l_Result < 0) return l_Result;
  }
  return kIniSuccess;
}

// The continuation number of a key "<base> LineNNNN", or -1 when the key is
// not a continuation key. Large numbers saturate: only "is it 1" matters.
long ContinuationNumber(const char* a_pKey, size_t& a_rBaseLength) {
  const char* l_pMark = std::strstr(a_pKey, kContinuationMark);
  if (l_pMark == nullptr) return -1;
  const char* l_pDigits = l_pMark + sizeof(kContinuationMark) - 1;
  if (*l_pDigits == '\0') return -1;
  long l_Number = 0;
  for (const char* l_p = l_pDigits; *l_p != '\0'; ++l_p) {
    if (*l_p < '0' || *l_p > '9') return -1;
    l_Number = l_Number * 10 + (*l_p - '0');
    if (l_Number > 1000000) l_Number = 1000000;
  }
  a_rBaseLength = static_cast<size_t>(l_pMark - a_pKey);
  return l_Number;
}

// The entry made of a run's entries: the first one's base key and the
// values of all of them in order. Null when memory is short.
char* JoinedValue(sIniEntry* const* a_ppRun, size_t a_RunLength) {
  size_t l_TotalLength = 0;
  for (size_t l_j = 0; l_j < a_RunLength; ++l_j)
    l_TotalLength += std::strlen(a_ppRun[l_j]->m_pValue);
  char* l_pValue = static_cast<char*>(std::malloc(l_TotalLength + 1));
  if (l_pValue == nullptr) return nullptr;
  size_t l_At = 0;
  for (size_t l_j = 0; l_j < a_RunLength; ++l_j) {
    const size_t l_PartLength = std::strlen(a_ppRun[l_j]->m_pValue);
    std::memcpy(l_pValue + l_At, a_ppRun[l_j]->m_pValue, l_PartLength);
    l_At += l_PartLength;
  }
  l_pValue[l_At] = '\0';
  return l_pValue;
}

// Joins runs of "<key> Line0001", "<key> Line0002", ... into one entry. The
// kept entries move down over the removed ones in one pass, so that many
// runs cost no more than one.
int JoinContinuations(sIniSection& a_rSection) {
  sIniArray<sIniEntry>& l_rEntries = a_rSection.m_Entries;
  sIniEntry** l_ppItems = l_rEntries.m_ppItems;
  const size_t l_Count = l_rEntries.m_Count;
  int l_Result = kIniSuccess;
  size_t l_Kept = 0;
  size_t l_i = 0;
  while (l_i < l_Count) {
    sIniEntry* l_pFirst = l_ppItems[l_i];
    size_t l_BaseLength = 0;
    size_t l_RunEnd = l_i + 1;
    if (l_Result == kIniSuccess && ContinuationNumber(l_pFirst->m_pKey, l_BaseLength) == 1) {
      for (; l_RunEnd < l_Count; ++l_RunEnd) {
        size_t l_Ignored = 0;
        const long l_Number = ContinuationNumber(l_ppItems[l_RunEnd]->m_pKey, l_Ignored);
        if (l_Number < 0 || l_Number == 1) break;
      }
      if (l_BaseLength > kMaxBaseKeyLength) l_BaseLength = kMaxBaseKeyLength;
      char* l_pKey = CopyText(l_pFirst->m_pKey, l_BaseLength);
      char* l_pValue = l_pKey != nullptr ? JoinedValue(l_ppItems + l_i, l_RunEnd - l_i) : nullptr;
      if (l_pValue == nullptr) {
        // The rest of the section stays as parsed.
        std::free(l_pKey);
        l_Result = kIniErrNoMemory;
        l_RunEnd = l_i + 1;
      } else {
        std::free(l_pFirst->m_pKey);
        std::free(l_pFirst->m_pValue);
        l_pFirst->m_pKey = l_pKey;
        l_pFirst->m_pValue = l_pValue;
        for (size_t l_j = l_i + 1; l_j < l_RunEnd; ++l_j) FreeEntry(l_ppItems[l_j]);
        IndexOutdated(a_rSection.m_Index);
      }
    }
    l_ppItems[l_Kept++] = l_pFirst;
    l_i = l_RunEnd;
  }
  l_rEntries.m_Count = l_Kept;
  return l_Result;
}

bool IsUnicodeMark(const unsigned char* a_pBytes, size_t a_Count) {
  if (a_Count >= 4 && a_pBytes[0] == 0x00 && a_pBytes[1] == 0x00 && a_pBytes[2] == 0xFE &&
      a_pBytes[3] == 0xFF) {
    return true;
  }
  // FF FE also starts the UTF-32 little-endian mark.
  return a_Count >= 2 && ((a_pBytes[0] == 0xFF && a_pBytes[1] == 0xFE) ||
                          (a_pBytes[0] == 0xFE && a_pBytes[1] == 0xFF));
}

// The open file and what may still be read of it.
struct sSource {
  FILE* m_pFile;
  size_t m_Left;  // at most the file's size when it was opened
};

// Reads up to a_Count bytes, never more than the file held when it was
// opened: a file that grows while it is read cannot make the load endless.
size_t ReadSome(sSource& a_rSource, void* a_pBuffer, size_t a_Count) {
  const size_t l_Wanted = a_Count < a_rSource.m_Left ? a_Count : a_rSource.m_Left;
  if (l_Wanted == 0) return 0;
  const size_t l_Read = std::fread(a_pBuffer, 1, l_Wanted, a_rSource.m_pFile);
  a_rSource.m_Left -= l_Read;
  return l_Read;
}

int ParseFile(sIniDocument& a_rDocument, sSource& a_rSource, const unsigned char* a_pStart,
              size_t a_StartCount) {
  EmptyDocument(a_rDocument);
  sParser l_Parser{&a_rDocument, nullptr, 0, 0, nullptr};
  int l_Result = ParseBytes(l_Parser, reinterpret_cast<const char*>(a_pStart), a_StartCount);
  char l_Chunk[kChunkSize];
  while (l_Result == kIniSuccess) {
    const size_t l_Read = ReadSome(a_rSource, l_Chunk, sizeof(l_Chunk));
    if (l_Read == 0) {
      if (std::ferror(a_rSource.m_pFile)) l_Result = kIniErrRead;
      break;
    }
    l_Result = ParseBytes(l_Parser, l_Chunk, l_Read);
  }
  // A file ending without a line end still has its last line.
  if (l_Result == kIniSuccess && l_Parser.m_Length != 0) l_Result = ParseLine(l_Parser);
  std::free(l_Parser.m_pLine);
  for (size_t l_i = 0; l_Result == kIniSuccess && l_i < a_rDocument.m_Sections.m_Count; ++l_i) {
    l_Result = JoinContinuations(*a_rDocument.m_Sections.m_ppItems[l_i]);
  }
  return l_Result;
}

// Opens a regular file for reading. The open does not wait (a FIFO without
// a writer would hold the caller, and with it every other caller, forever)
// and the opened file itself is examined, so nothing can be swapped in
// between: a FIFO, a device such as /dev/zero or a directory is refused, and
// so is a file too large to hold.
int OpenRegularFile(const char* a_pPath, sSource& a_rSource, time_t& a_rFileTime) {
  const int l_Fd = ::open(a_pPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (l_Fd == -1) {
    struct stat l_Info;
    return ::stat(a_pPath, &l_Info) != 0 ? kIniErrNoFile : kIniErrOpen;
  }
  struct stat l_Info;
  int l_Result = kIniSuccess;
  if (::fstat(l_Fd, &l_Info) != 0) {
    l_Result = kIniErrOpen;
  } else if (!S_ISREG(l_Info.st_mode) || l_Info.st_size > kIniMaxFileSize) {
    // Read as a failed read, as a directory always was.
    l_Result = kIniErrRead;
  } else {
    a_rSource.m_pFile = ::fdopen(l_Fd, "rb");
    if (a_rSource.m_pFile == nullptr) l_Result = kIniErrOpen;
  }
  if (l_Result != kIniSuccess) {
    ::close(l_Fd);
    return l_Result;
  }
  a_rSource.m_Left = static_cast<size_t>(l_Info.st_size);
  a_rFileTime = l_Info.st_mtime;
  return kIniSuccess;
}

}  // namespace

int iniLoad(sIniDocument* a_pDocument, const char* a_pPath) {
  int l_Error = kIniSuccess;
  if (!PathUsable(a_pPath, l_Error)) return l_Error;
  if (a_pDocument == nullptr) return kIniErrNoFile;
  sSource l_Source{nullptr, 0};
  time_t l_FileTime = 0;
  l_Error = OpenRegularFile(a_pPath, l_Source, l_FileTime);
  if (l_Error != kIniSuccess) return l_Error;

  unsigned char l_Start[4];
  size_t l_StartCount = ReadSome(l_Source, l_Start, sizeof(l_Start));
  int l_Result = kIniSuccess;
  if (l_StartCount < sizeof(l_Start) && std::ferror(l_Source.m_pFile)) {
    l_Result = kIniErrRead;
  } else if (IsUnicodeMark(l_Start, l_StartCount)) {
    l_Result = kIniErrUnicodeFile;
  } else {
    const unsigned char* l_pStart = l_Start;
    if (l_StartCount >= 3 && l_Start[0] == 0xEF && l_Start[1] == 0xBB && l_Start[2] == 0xBF) {
      l_pStart += 3;
      l_StartCount -= 3;
    }
    l_Result = ParseFile(*a_pDocument, l_Source, l_pStart, l_StartCount);
  }
  std::fclose(l_Source.m_pFile);
  if (l_Result != kIniSuccess) return l_Result;
  std::memcpy(a_pDocument->m_FileName, a_pPath, std::strlen(a_pPath) + 1);
  a_pDocument->m_FileTime = l_FileTime;
  return kIniSuccess;
}

}  // namespace nQvPxiDriverTools_1_0
