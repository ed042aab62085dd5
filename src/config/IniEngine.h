// SPDX-License-Identifier: LGPL-2.1-or-later
// The INI engine: a self-contained module that loads a text file of sections
// and key/value entries into a document, answers lookups and typed reads,
// applies changes and writes the document back. It uses plain heap
// allocation, returns integer results and never throws.
#pragma once

#include <cstdint>
#include <ctime>

namespace nQvPxiDriverTools_1_0 {

struct sIniDocument;

// Results. Lookups give kIniFound or kIniNotFound; iniLoad and iniSave give
// kIniSuccess; every error is negative.
constexpr int kIniSuccess = 0;
constexpr int kIniFound = 1;
constexpr int kIniNotFound = 0;
constexpr int kIniErrNoRoom = -2;       // a value must be split but the width leaves no room
constexpr int kIniErrUnicodeFile = -3;  // UTF-16 or UTF-32 byte-order mark
constexpr int kIniErrNoFileName = -4;   // change query on a document never loaded or saved
constexpr int kIniErrEmptyName = -6;    // empty section name or key when setting
constexpr int kIniErrNoMemory = -12;    // out of memory
constexpr int kIniErrTarget = -13;  // save target can be neither created nor updated; rename failed
constexpr int kIniErrNoFile = -22;  // path missing, file does not exist or cannot be examined
constexpr int kIniErrWrite = -28;   // writing or flushing the output failed
constexpr int kIniErrPathTooLong = -36;   // path longer than kIniMaxPathLength
constexpr int kIniErrOpen = -5001;        // load: the file exists but cannot be opened
constexpr int kIniErrRead = -5002;        // load: reading failed, or the file is too large
constexpr int kIniErrTempFile = -5003;    // save: the temporary file cannot be created
constexpr int kIniErrOpenOutput = -5004;  // save: the output file cannot be opened
constexpr int kIniErrNotI32 = -5021;      // not a valid signed 32-bit number
constexpr int kIniErrNotU32 = -5022;      // not a valid unsigned 32-bit number

// Longest path iniLoad and iniSave accept.
constexpr int kIniMaxPathLength = 255;
// Largest file iniLoad reads (16 MiB).
constexpr long kIniMaxFileSize = 16L << 20;
// Width value meaning "never split lines".
constexpr int kIniUnlimitedWidth = -1;

// --- Document, loading and reading ---

// A new empty document: relaxed comparison, width 80, safe write on. Null
// when memory is short.
sIniDocument* iniCreate();
void iniFree(sIniDocument* a_pDocument);
// Sets the line width used when writing and whether saving goes through a
// temporary file; returns kIniFound.
int iniSetLineFormat(sIniDocument* a_pDocument, int a_Width, bool a_SafeWrite);
// Exact (non-zero) or relaxed (0) name comparison; returns the previous mode.
int iniSetCaseSensitive(sIniDocument* a_pDocument, int a_CaseSensitive);
// Replaces the document's content with the file's; kIniSuccess on success.
// Only a regular file of at most kIniMaxFileSize bytes is read (anything else
// gives kIniErrRead, without waiting), and no more of it than it held when it
// was opened.
int iniLoad(sIniDocument* a_pDocument, const char* a_pPath);
// 1 when the file's modification time differs from the one remembered at
// the last load or save, 0 when equal.
int iniHasChanged(sIniDocument* a_pDocument);
// The modification time (whole seconds) remembered at the last successful
// load or save; 0 before the first one and for a null document.
time_t iniFileTime(const sIniDocument* a_pDocument);
int iniSectionCount(sIniDocument* a_pDocument);
// Name of the section at the 1-based position (stays valid until the next change).
int iniSectionName(sIniDocument* a_pDocument, int a_Position, const char** a_ppName);
int iniSectionExists(sIniDocument* a_pDocument, const char* a_pSection);
int iniKeyExists(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey);
// The stored value text, or null when the section or key is missing.
int iniGetValue(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                const char** a_ppValue);
// 0 when missing or blank; kIniErrNotI32 / kIniErrNotU32 when not a number.
int iniGetI32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              int32_t* a_pValue);
int iniGetU32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              uint32_t* a_pValue);

// --- Changing and saving ---

// Writes the document to a_pPath; kIniSuccess on success.
int iniSave(sIniDocument* a_pDocument, const char* a_pPath);
// Stores a trimmed value with the given quote character (0 or '"').
int iniSetValue(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                const char* a_pValue, char a_Quote);
// Escapes control characters, quotes and backslashes, and stores the value
// between double quotes.
int iniSetString(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                 const char* a_pValue);
int iniSetI32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              int32_t a_Value);
int iniSetU32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              uint32_t a_Value);
int iniDeleteKey(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey);
int iniDeleteSection(sIniDocument* a_pDocument, const char* a_pSection);
int iniRenameSection(sIniDocument* a_pDocument, const char* a_pOldName, const char* a_pNewName);

}  // namespace nQvPxiDriverTools_1_0
