// SPDX-License-Identifier: LGPL-2.1-or-later
// jsonz_ writing: members are inserted in place by moving the tail of the text
// forward; the free room is counted before any byte moves.
#include "status/jsonz.h"

#include <cstdio>
#include <cstring>

namespace {

bool isWhiteSpace(char a_Char) {
  return a_Char == ' ' || a_Char == '\t' || a_Char == '\r' || a_Char == '\n';
}

// The two-character escape letter for a byte, or 0 when it has none.
char shortEscape(unsigned char a_Byte) {
  switch (a_Byte) {
    case '\b':
      return 'b';
    case '\t':
      return 't';
    case '\n':
      return 'n';
    case '\f':
      return 'f';
    case '\r':
      return 'r';
    case '"':
      return '"';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

bool needsUnicodeEscape(unsigned char a_Byte) { return a_Byte < 0x20 || a_Byte == 0x7F; }

size_t nameCost(const char* a_pName) {
  return a_pName == nullptr ? 0 : jsonz_escapedLength(a_pName) + 3;
}

// Writes "name": (nothing for a null name).
char* writeName(char* a_pOut, const char* a_pName) {
  if (a_pName == nullptr) return a_pOut;
  *a_pOut++ = '"';
  a_pOut = jsonz_writeEscaped(a_pOut, a_pName);
  *a_pOut++ = '"';
  *a_pOut++ = ':';
  return a_pOut;
}

// Inserts a member whose value is the literal text a_pDigits (no escaping).
char* addLiteral(char* a_pPoint, const char* a_pName, const char* a_pDigits) {
  const size_t l_Length = std::strlen(a_pDigits);
  char* l_pOut = jsonz_makeRoom(a_pPoint, l_Length + nameCost(a_pName));
  if (l_pOut == nullptr) return nullptr;
  l_pOut = writeName(l_pOut, a_pName);
  std::memcpy(l_pOut, a_pDigits, l_Length);
  return l_pOut + l_Length;
}

// Retries an insert after asking the grower for a larger buffer, for as long
// as the grower hands back an insertion point.
template <typename tInsert>
char* insertGrowing(char* a_pPoint, jsonz_Grower a_Grower, tInsert a_Insert) {
  while (a_pPoint != nullptr) {
    char* l_pNext = a_Insert(a_pPoint);
    if (l_pNext != nullptr) return l_pNext;
    if (a_Grower.m_pGrow == nullptr) return nullptr;
    a_pPoint = a_Grower.m_pGrow(a_pPoint, a_Grower.m_pContext);
  }
  return nullptr;
}

}  // namespace

size_t jsonz_escapedLength(const char* a_pText) {
  if (a_pText == nullptr) return 0;
  size_t l_Length = 0;
  for (const unsigned char* l_p = reinterpret_cast<const unsigned char*>(a_pText); *l_p != 0;
       ++l_p) {
    if (shortEscape(*l_p) != 0) {
      l_Length += 2;
    } else if (needsUnicodeEscape(*l_p)) {
      l_Length += 6;
    } else {
      l_Length += 1;
    }
  }
  return l_Length;
}

char* jsonz_writeEscaped(char* a_pOut, const char* a_pText) {
  if (a_pText == nullptr) return a_pOut;
  for (const unsigned char* l_p = reinterpret_cast<const unsigned char*>(a_pText); *l_p != 0;
       ++l_p) {
    const char l_Letter = shortEscape(*l_p);
    if (l_Letter != 0) {
      *a_pOut++ = '\\';
      *a_pOut++ = l_Letter;
    } else if (needsUnicodeEscape(*l_p)) {
      static const char kHex[] = "0123456789abcdef";
      *a_pOut++ = '\\';
      *a_pOut++ = 'u';
      *a_pOut++ = '0';
      *a_pOut++ = '0';
      *a_pOut++ = kHex[*l_p >> 4];
      *a_pOut++ = kHex[*l_p & 0x0F];
    } else {
      *a_pOut++ = static_cast<char>(*l_p);
    }
  }
  return a_pOut;
}

char* jsonz_initBuffer(char* a_pBuffer, size_t a_Size, const char* a_pText) {
  if (a_pBuffer == nullptr) return nullptr;
  if (a_pText == nullptr) a_pText = "";
  const size_t l_Length = std::strlen(a_pText);
  if (l_Length + 1 >= a_Size) return nullptr;
  std::memmove(a_pBuffer, a_pText, l_Length);
  std::memset(a_pBuffer + l_Length, 0, a_Size - 1 - l_Length);
  a_pBuffer[a_Size - 1] = kJsonzEndMarker;
  return a_pBuffer + (l_Length > 0 ? l_Length - 1 : 0);
}

char* jsonz_makeRoom(char* a_pPoint, size_t a_Count) {
  if (a_pPoint == nullptr) return nullptr;

  bool l_Comma = true;
  const char l_At = *a_pPoint;
  if (l_At == '\0') {
    l_Comma = false;
  } else if (l_At == '}' || l_At == ']') {
    // The opening bracket lies before the insertion point, so this walk ends.
    const char* l_pBefore = a_pPoint - 1;
    while (isWhiteSpace(*l_pBefore)) --l_pBefore;
    if (*l_pBefore == (l_At == '}' ? '{' : '[')) l_Comma = false;
  }
  const size_t l_Needed = a_Count + (l_Comma ? 1 : 0);

  const size_t l_Tail = std::strlen(a_pPoint);
  const char* l_pFree = a_pPoint + l_Tail + 1;
  size_t l_Room = 0;
  while (l_Room < l_Needed && l_pFree[l_Room] == '\0') ++l_Room;
  if (l_Room < l_Needed) return nullptr;

  std::memmove(a_pPoint + l_Needed, a_pPoint, l_Tail + 1);
  if (l_Comma) *a_pPoint++ = ',';
  return a_pPoint;
}

char* jsonz_addObject(char* a_pPoint, const char* a_pName) {
  return addLiteral(a_pPoint, a_pName, "{}");
}

char* jsonz_addString(char* a_pPoint, const char* a_pName, const char* a_pValue) {
  char* l_pOut = jsonz_makeRoom(a_pPoint, jsonz_escapedLength(a_pValue) + nameCost(a_pName) + 2);
  if (l_pOut == nullptr) return nullptr;
  l_pOut = writeName(l_pOut, a_pName);
  *l_pOut++ = '"';
  l_pOut = jsonz_writeEscaped(l_pOut, a_pValue);
  *l_pOut++ = '"';
  return l_pOut;
}

char* jsonz_addInt(char* a_pPoint, const char* a_pName, int32_t a_Value) {
  char l_Digits[64];
  std::snprintf(l_Digits, sizeof(l_Digits), "%i", static_cast<int>(a_Value));
  return addLiteral(a_pPoint, a_pName, l_Digits);
}

char* jsonz_addUnsigned(char* a_pPoint, const char* a_pName, uint32_t a_Value) {
  char l_Digits[64];
  std::snprintf(l_Digits, sizeof(l_Digits), "%u", static_cast<unsigned>(a_Value));
  return addLiteral(a_pPoint, a_pName, l_Digits);
}

char* jsonz_enterObject(char* a_pPoint, const char* a_pName, jsonz_Grower a_Grower) {
  char* l_pAfter = insertGrowing(
      a_pPoint, a_Grower, [a_pName](char* a_pAt) { return jsonz_addObject(a_pAt, a_pName); });
  return l_pAfter == nullptr ? nullptr : l_pAfter - 1;
}

char* jsonz_addStringGrowing(char* a_pPoint, const char* a_pName, const char* a_pValue,
                             jsonz_Grower a_Grower) {
  return insertGrowing(a_pPoint, a_Grower, [a_pName, a_pValue](char* a_pAt) {
    return jsonz_addString(a_pAt, a_pName, a_pValue);
  });
}

char* jsonz_addIntGrowing(char* a_pPoint, const char* a_pName, int32_t a_Value,
                          jsonz_Grower a_Grower) {
  return insertGrowing(a_pPoint, a_Grower, [a_pName, a_Value](char* a_pAt) {
    return jsonz_addInt(a_pAt, a_pName, a_Value);
  });
}

char* jsonz_addUnsignedGrowing(char* a_pPoint, const char* a_pName, uint32_t a_Value,
                               jsonz_Grower a_Grower) {
  return insertGrowing(a_pPoint, a_Grower, [a_pName, a_Value](char* a_pAt) {
    return jsonz_addUnsigned(a_pAt, a_pName, a_Value);
  });
}

char* jsonz_leaveObject(char* a_pPoint) { return a_pPoint == nullptr ? nullptr : a_pPoint + 1; }
