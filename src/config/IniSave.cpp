// SPDX-License-Identifier: LGPL-2.1-or-later
// INI engine: the text format written and the save procedure.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/IniDocument.h"

namespace nQvPxiDriverTools_1_0 {

using namespace nIniDetail;

namespace {

constexpr char kNoHeaderSection[] = "(null)";
constexpr char kTempPrefix[] = "ini$$.";
constexpr char kTempSuffix[] = "TMP";
// Room per continuation line: the width less " LineNNNN = " and the key.
constexpr long kContinuationOverhead = 12;
constexpr mode_t kTempFileMode = 0644;
constexpr mode_t kPermissionBits = 07777;

struct sEntryLayout {
  bool m_Split;
  char m_Quote;
  long m_Room;  // characters of the value per line when split
};

bool NeedsQuotesWhenSplit(const char* a_pValue) {
  for (const char* l_p = a_pValue; *l_p != '\0'; ++l_p) {
    if (IsSpace(*l_p) || *l_p == '"') return true;
  }
  return false;
}

// Decides how an entry is written; kIniErrNoRoom when it must be split but
// the width leaves no room for the value.
int PlanEntry(const sIniDocument& a_rDocument, const sIniEntry& a_rEntry, sEntryLayout& a_rLayout) {
  a_rLayout = sEntryLayout{false, a_rEntry.m_Quote, 0};
  if (a_rDocument.m_Width < 0) return kIniSuccess;
  const long l_KeyLength = static_cast<long>(std::strlen(a_rEntry.m_pKey));
  const long l_ValueLength = static_cast<long>(std::strlen(a_rEntry.m_pValue));
  const long l_LineLength = l_KeyLength + 3 + l_ValueLength + (a_rLayout.m_Quote != 0 ? 2 : 0);
  if (l_LineLength <= a_rDocument.m_Width) return kIniSuccess;
  // Loading trims every chunk and strips quote pairs, so a bare value whose
  // chunks could start or end with those characters is split in quotes.
  if (a_rLayout.m_Quote == 0 && NeedsQuotesWhenSplit(a_rEntry.m_pValue)) a_rLayout.m_Quote = '"';
  a_rLayout.m_Split = true;
  a_rLayout.m_Room =
      a_rDocument.m_Width - kContinuationOverhead - l_KeyLength - (a_rLayout.m_Quote != 0 ? 2 : 0);
  return a_rLayout.m_Room > 0 ? kIniSuccess : kIniErrNoRoom;
}

// Checks every entry before any file is touched.
int CheckLayouts(const sIniDocument& a_rDocument) {
  for (size_t l_s = 0; l_s < a_rDocument.m_Sections.m_Count; ++l_s) {
    const sIniSection& l_rSection = *a_rDocument.m_Sections.m_ppItems[l_s];
    for (size_t l_e = 0; l_e < l_rSection.m_Entries.m_Count; ++l_e) {
      sEntryLayout l_Layout;
      const int l_Result = PlanEntry(a_rDocument, *l_rSection.m_Entries.m_ppItems[l_e], l_Layout);
      if (l_Result < 0) return l_Result;
    }
  }
  return kIniSuccess;
}

int WriteEntry(const sIniDocument& a_rDocument, const sIniEntry& a_rEntry, FILE* a_pFile) {
  sEntryLayout l_Layout;
  const int l_Plan = PlanEntry(a_rDocument, a_rEntry, l_Layout);
  if (l_Plan < 0) return l_Plan;
  const char l_Quote = l_Layout.m_Quote;
  if (!l_Layout.m_Split) {
    const int l_Written =
        l_Quote != 0 ? std::fprintf(a_pFile, "%s%s%c%s%c\n", a_rEntry.m_pKey, " = ", l_Quote,
                                    a_rEntry.m_pValue, l_Quote)
                     : std::fprintf(a_pFile, "%s%s%s\n", a_rEntry.m_pKey, " = ", a_rEntry.m_pValue);
    return l_Written < 0 ? kIniErrWrite : kIniSuccess;
  }
  const char* l_pRest = a_rEntry.m_pValue;
  size_t l_RestLength = std::strlen(l_pRest);
  int l_LineNumber = 1;
  // An empty value still gets its first line.
  do {
    const size_t l_Chunk = l_RestLength < static_cast<size_t>(l_Layout.m_Room)
                               ? l_RestLength
                               : static_cast<size_t>(l_Layout.m_Room);
    const int l_Written =
        l_Quote != 0
            ? std::fprintf(a_pFile, "%s%s%04d%s%c%.*s%c\n", a_rEntry.m_pKey, " Line", l_LineNumber,
                           " = ", l_Quote, static_cast<int>(l_Chunk), l_pRest, l_Quote)
            : std::fprintf(a_pFile, "%s%s%04d%s%.*s\n", a_rEntry.m_pKey, " Line", l_LineNumber,
                           " = ", static_cast<int>(l_Chunk), l_pRest);
    if (l_Written < 0) return kIniErrWrite;
    l_pRest += l_Chunk;
    l_RestLength -= l_Chunk;
    ++l_LineNumber;
  } while (l_RestLength != 0);
  return kIniSuccess;
}

int WriteDocument(const sIniDocument& a_rDocument, FILE* a_pFile) {
  for (size_t l_s = 0; l_s < a_rDocument.m_Sections.m_Count; ++l_s) {
    const sIniSection& l_rSection = *a_rDocument.m_Sections.m_ppItems[l_s];
    if (l_s != 0 && std::fputc('\n', a_pFile) == EOF) return kIniErrWrite;
    if (std::strcmp(l_rSection.m_pName, kNoHeaderSection) != 0 &&
        std::fprintf(a_pFile, "[%s]\n", l_rSection.m_pName) < 0) {
      return kIniErrWrite;
    }
    for (size_t l_e = 0; l_e < l_rSection.m_Entries.m_Count; ++l_e) {
      const int l_Result = WriteEntry(a_rDocument, *l_rSection.m_Entries.m_ppItems[l_e], a_pFile);
      if (l_Result < 0) return l_Result;
    }
  }
  return kIniSuccess;
}

// Proves the target can be written: creates and removes a missing target,
// opens an existing one for update.
bool TargetWritable(const char* a_pPath) {
  struct stat l_Info;
  if (::stat(a_pPath, &l_Info) != 0) {
    FILE* l_pFile = std::fopen(a_pPath, "wbe");
    if (l_pFile == nullptr) return false;
    std::fclose(l_pFile);
    ::unlink(a_pPath);
    return true;
  }
  FILE* l_pFile = std::fopen(a_pPath, "r+be");
  if (l_pFile == nullptr) return false;
  std::fclose(l_pFile);
  return true;
}

// Opens a fresh temporary file beside the target; a_pTempName receives its name.
int OpenTemporary(const char* a_pPath, char* a_pTempName, size_t a_TempNameSize, FILE*& a_rpFile) {
  const char* l_pSlash = std::strrchr(a_pPath, '/');
  const int l_DirLength = l_pSlash != nullptr ? static_cast<int>(l_pSlash - a_pPath + 1) : 0;
  std::snprintf(a_pTempName, a_TempNameSize, "%s%.*s%s%sXXXXXX", "", l_DirLength, a_pPath,
                kTempPrefix, kTempSuffix);
  const int l_Descriptor = ::mkostemp(a_pTempName, O_CLOEXEC);
  if (l_Descriptor < 0) return kIniErrTempFile;
  a_rpFile = ::fchmod(l_Descriptor, kTempFileMode) == 0 ? ::fdopen(l_Descriptor, "wb") : nullptr;
  if (a_rpFile == nullptr) {
    ::close(l_Descriptor);
    ::unlink(a_pTempName);
    return kIniErrOpenOutput;
  }
  return kIniSuccess;
}

// Writes, flushes and forces the data to disk; the stream is closed on every path.
int WriteAndClose(const sIniDocument& a_rDocument, FILE* a_pFile) {
  int l_Result = WriteDocument(a_rDocument, a_pFile);
  if (l_Result == kIniSuccess && std::fflush(a_pFile) != 0) l_Result = kIniErrWrite;
  // Some file systems cannot sync; only real I/O failures count.
  if (l_Result == kIniSuccess && ::fsync(fileno(a_pFile)) != 0 && errno != EINVAL &&
      errno != EROFS) {
    l_Result = kIniErrWrite;
  }
  if (std::fclose(a_pFile) != 0 && l_Result == kIniSuccess) l_Result = kIniErrWrite;
  return l_Result;
}

}  // namespace

int iniSave(sIniDocument* a_pDocument, const char* a_pPath) {
  int l_Error = kIniSuccess;
  if (!PathUsable(a_pPath, l_Error)) return l_Error;
  if (a_pDocument == nullptr) return kIniErrNoFile;
  // A value that cannot be split is known before any file is touched.
  const int l_Layout = CheckLayouts(*a_pDocument);
  if (l_Layout < 0) return l_Layout;

  char l_TempName[2 * (kIniMaxPathLength + 1) + sizeof(kTempPrefix) + sizeof(kTempSuffix) + 8];
  const bool l_SafeWrite = a_pDocument->m_SafeWrite;
  FILE* l_pFile = nullptr;
  if (l_SafeWrite) {
    if (!TargetWritable(a_pPath)) return kIniErrTarget;
    const int l_Result = OpenTemporary(a_pPath, l_TempName, sizeof(l_TempName), l_pFile);
    if (l_Result < 0) return l_Result;
  } else {
    l_pFile = std::fopen(a_pPath, "wbe");
    if (l_pFile == nullptr) return kIniErrOpenOutput;
  }
  const char* l_pWritten = l_SafeWrite ? l_TempName : a_pPath;
  const int l_Result = WriteAndClose(*a_pDocument, l_pFile);
  if (l_Result < 0) {
    ::unlink(l_pWritten);
    return l_Result;
  }

  if (l_SafeWrite) {
    struct stat l_Old;
    const bool l_Existed = ::stat(a_pPath, &l_Old) == 0;
    if (::rename(l_TempName, a_pPath) != 0) {
      ::unlink(l_TempName);
      return kIniErrTarget;
    }
    if (l_Existed) {
      // Owner first: changing it may clear set-id bits that the mode restores.
      // Without the right to change owners the new file simply keeps ours.
      const int l_OwnerResult = ::chown(a_pPath, l_Old.st_uid, l_Old.st_gid);
      static_cast<void>(l_OwnerResult);
      ::chmod(a_pPath, l_Old.st_mode & kPermissionBits);
    }
  }

  std::memcpy(a_pDocument->m_FileName, a_pPath, std::strlen(a_pPath) + 1);
  struct stat l_Info;
  a_pDocument->m_FileTime = ::stat(a_pPath, &l_Info) == 0 ? l_Info.st_mtime : 0;
  return kIniSuccess;
}

}  // namespace nQvPxiDriverTools_1_0
