// SPDX-License-Identifier: LGPL-2.1-or-later
// jsonz_: in-place editing and reading of JSON details texts.
//
// A details buffer of N bytes holds the NUL-terminated JSON text, zero bytes
// up to position N - 2, and the end marker 'J' at position N - 1. Writers
// take an insertion point (the closing bracket of the receiving container)
// and return the next insertion point, or null when the buffer lacks room.
// Readers take NUL-terminated text and never read past its NUL.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char kJsonzEndMarker = 'J';

// Asks for a larger buffer: takes the failed insertion point and the context,
// returns the same point in the larger buffer, or null.
struct jsonz_Grower {
  char* (*m_pGrow)(char* a_pPoint, void* a_pContext);
  void* m_pContext;
};

enum jsonz_Kind : int32_t {
  jsonz_kindError = 0,
  jsonz_kindNull = 1,
  jsonz_kindBoolean = 2,
  jsonz_kindNumber = 3,
  jsonz_kindString = 4,
  jsonz_kindArray = 5,
  jsonz_kindObject = 6,
};

enum jsonz_Error : uint64_t {
  jsonz_errorNoText = 1,
  jsonz_errorValueExpected = 2,
  jsonz_errorObjectExpected = 3,
  jsonz_errorArrayExpected = 4,
  jsonz_errorColonExpected = 5,
  jsonz_errorCommaExpected = 6,
  jsonz_errorInvalidEscape = 7,
  jsonz_errorTrailingComma = 8,
};

// The reader's description of one parsed value.
struct jsonz_Value {
  int32_t m_Kind;
  const char* m_pPosition;
  uint64_t m_LengthOrError;
  bool m_Flag;
};

// Writing.
size_t jsonz_escapedLength(const char* a_pText);
char* jsonz_writeEscaped(char* a_pOut, const char* a_pText);
char* jsonz_initBuffer(char* a_pBuffer, size_t a_Size, const char* a_pText);
char* jsonz_makeRoom(char* a_pPoint, size_t a_Count);
char* jsonz_addObject(char* a_pPoint, const char* a_pName);
char* jsonz_addString(char* a_pPoint, const char* a_pName, const char* a_pValue);
char* jsonz_addInt(char* a_pPoint, const char* a_pName, int32_t a_Value);
char* jsonz_addUnsigned(char* a_pPoint, const char* a_pName, uint32_t a_Value);
char* jsonz_enterObject(char* a_pPoint, const char* a_pName, jsonz_Grower a_Grower);
char* jsonz_addStringGrowing(char* a_pPoint, const char* a_pName, const char* a_pValue,
                             jsonz_Grower a_Grower);
char* jsonz_addIntGrowing(char* a_pPoint, const char* a_pName, int32_t a_Value,
                          jsonz_Grower a_Grower);
char* jsonz_addUnsignedGrowing(char* a_pPoint, const char* a_pName, uint32_t a_Value,
                               jsonz_Grower a_Grower);
char* jsonz_leaveObject(char* a_pPoint);

// Reading.
const char* jsonz_parseValue(const char* a_pText, jsonz_Value* a_pValue);
const char* jsonz_closeOf(const char* a_pText);
const char* jsonz_findMember(const char* a_pText, const char* a_pName);
const char* jsonz_getString(const char* a_pValue, const char* a_pDefault, size_t* a_pLength,
                            const char** a_ppEnd);
int32_t jsonz_getInt(const char* a_pValue, int32_t a_Default, const char** a_ppEnd);
// Decodes a_Count raw bytes into a_pOut (at most a_Count + 1 bytes are
// written) and terminates it; returns the number of bytes written before the NUL.
size_t jsonz_unescape(const char* a_pRaw, size_t a_Count, char* a_pOut);
