// SPDX-License-Identifier: LGPL-2.1-or-later
// jsonz_ reading: a small validating parser over NUL-terminated text. Every
// scan stops at the text's NUL, so malformed input yields an error or the
// default, never a read past the end.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "status/jsonz.h"

namespace {

// Deeper nesting is refused so hostile text cannot exhaust the stack.
constexpr int kMaxDepth = 256;

bool isWhiteSpace(char a_Char) {
  return a_Char == ' ' || a_Char == '\t' || a_Char == '\r' || a_Char == '\n';
}
bool isDigit(char a_Char) { return a_Char >= '0' && a_Char <= '9'; }

int hexValue(char a_Char) {
  if (a_Char >= '0' && a_Char <= '9') return a_Char - '0';
  if (a_Char >= 'a' && a_Char <= 'f') return a_Char - 'a' + 10;
  if (a_Char >= 'A' && a_Char <= 'F') return a_Char - 'A' + 10;
  return -1;
}

// Reads four hexadecimal digits; stops at the first non-digit (a NUL included).
bool readHex4(const char* a_p, uint32_t* a_pValue) {
  uint32_t l_Value = 0;
  for (int l_Index = 0; l_Index < 4; ++l_Index) {
    const int l_Digit = hexValue(a_p[l_Index]);
    if (l_Digit < 0) return false;
    l_Value = (l_Value << 4) | static_cast<uint32_t>(l_Digit);
  }
  *a_pValue = l_Value;
  return true;
}

// The letters of the one-letter escapes and the characters they stand for.
constexpr char kEscapeLetters[] = "\"\\/bfnrt";
constexpr char kEscapedCharacters[] = "\"\\/\b\f\n\r\t";

// The character that a backslash followed by a_Letter stands for, or 0 when
// that is no one-letter escape (the letter 'u' included).
char escapedCharacter(char a_Letter) {
  const char* l_p = a_Letter == '\0' ? nullptr : std::strchr(kEscapeLetters, a_Letter);
  return l_p == nullptr ? 0 : kEscapedCharacters[l_p - kEscapeLetters];
}

const char* skipWhiteSpace(const char* a_p) {
  while (isWhiteSpace(*a_p)) ++a_p;
  return a_p;
}

// Outcome of one parser attempt. A failure without error code (number,
// boolean, null) does not compete for the reported error.
struct sAttempt {
  const char* m_pEnd;
  jsonz_Value m_Value;
};

sAttempt fail(const char* a_pAt, uint64_t a_Error) {
  return sAttempt{nullptr, jsonz_Value{jsonz_kindError, a_pAt, a_Error, false}};
}
sAttempt failQuietly() { return fail(nullptr, 0); }
sAttempt succeed(const char* a_pEnd, int32_t a_Kind, const char* a_pPosition, uint64_t a_Length,
                 bool a_Flag) {
  return sAttempt{a_pEnd, jsonz_Value{a_Kind, a_pPosition, a_Length, a_Flag}};
}

sAttempt parseAny(const char* a_p, int a_Depth);

sAttempt parseString(const char* a_p) {
  if (*a_p != '"') return fail(a_p, jsonz_errorValueExpected);
  const char* l_p = a_p + 1;
  for (;;) {
    const unsigned char l_Byte = static_cast<unsigned char>(*l_p);
    if (l_Byte == '"') {
      return succeed(l_p + 1, jsonz_kindString, a_p + 1, static_cast<uint64_t>(l_p - a_p - 1),
                     false);
    }
    if (l_Byte < 0x20) return fail(l_p, jsonz_errorValueExpected);  // NUL: never closed
    if (l_Byte != '\\') {
      ++l_p;
      continue;
    }
    const char l_Letter = l_p[1];
    if (escapedCharacter(l_Letter) != 0) {
      l_p += 2;
    } else if (l_Letter == 'u') {
      uint32_t l_Ignored = 0;
      if (!readHex4(l_p + 2, &l_Ignored)) return fail(l_p, jsonz_errorInvalidEscape);
      l_p += 6;
    } else {
      return fail(l_p, jsonz_errorInvalidEscape);
    }
  }
}

sAttempt parseNumber(const char* a_p) {
  const char* l_p = a_p;
  if (*l_p == '-') ++l_p;
  if (!isDigit(*l_p)) return failQuietly();
  while (isDigit(*l_p)) ++l_p;
  bool l_Flag = false;
  if (*l_p == '.') {
    if (!isDigit(l_p[1])) return failQuietly();
    ++l_p;
    while (isDigit(*l_p)) ++l_p;
    l_Flag = true;
  }
  if (*l_p == 'e' || *l_p == 'E') {
    const char* l_pExp = l_p + 1;
    if (*l_pExp == '+' || *l_pExp == '-') ++l_pExp;
    if (!isDigit(*l_pExp)) return failQuietly();
    while (isDigit(*l_pExp)) ++l_pExp;
    l_p = l_pExp;
    l_Flag = true;
  }
  return succeed(l_p, jsonz_kindNumber, a_p, static_cast<uint64_t>(l_p - a_p), l_Flag);
}

// Matches a_pWord at a_p; the comparison stops at the first difference, so it
// never passes the text's NUL.
bool startsWith(const char* a_p, const char* a_pWord) {
  for (; *a_pWord != '\0'; ++a_p, ++a_pWord) {
    if (*a_p != *a_pWord) return false;
  }
  return true;
}

sAttempt parseBoolean(const char* a_p) {
  if (startsWith(a_p, "true")) return succeed(a_p + 4, jsonz_kindBoolean, a_p, 4, true);
  if (startsWith(a_p, "false")) return succeed(a_p + 5, jsonz_kindBoolean, a_p, 5, false);
  return failQuietly();
}

sAttempt parseNull(const char* a_p) {
  if (startsWith(a_p, "null")) return succeed(a_p + 4, jsonz_kindNull, a_p, 4, false);
  return failQuietly();
}

// Objects and arrays share one loop; an object's members carry a name and a colon.
sAttempt parseContainer(const char* a_p, int a_Depth, bool a_Object) {
  const char l_Open = a_Object ? '{' : '[';
  const char l_Close = a_Object ? '}' : ']';
  const uint64_t l_Unfinished = a_Object ? jsonz_errorObjectExpected : jsonz_errorArrayExpected;
  if (*a_p != l_Open || a_Depth >= kMaxDepth) return fail(a_p, l_Unfinished);
  const int32_t l_Kind = a_Object ? jsonz_kindObject : jsonz_kindArray;

  const char* l_p = skipWhiteSpace(a_p + 1);
  if (*l_p == l_Close) {
    return succeed(l_p + 1, l_Kind, a_p, static_cast<uint64_t>(l_p + 1 - a_p), false);
  }
  for (;;) {
    if (*l_p == '\0') return fail(l_p, l_Unfinished);
    if (a_Object) {
      const sAttempt l_Name = parseString(l_p);
      if (l_Name.m_pEnd == nullptr) return l_Name;
      l_p = skipWhiteSpace(l_Name.m_pEnd);
      if (*l_p == '\0') return fail(l_p, l_Unfinished);
      if (*l_p != ':') return fail(l_p, jsonz_errorColonExpected);
      l_p = skipWhiteSpace(l_p + 1);
      if (*l_p == '\0') return fail(l_p, l_Unfinished);
    }
    const sAttempt l_Element = parseAny(l_p, a_Depth + 1);
    if (l_Element.m_pEnd == nullptr) return l_Element;
    l_p = skipWhiteSpace(l_Element.m_pEnd);
    if (*l_p == l_Close) {
      return succeed(l_p + 1, l_Kind, a_p, static_cast<uint64_t>(l_p + 1 - a_p), false);
    }
    if (*l_p == '\0') return fail(l_p, l_Unfinished);
    if (*l_p != ',') return fail(l_p, jsonz_errorCommaExpected);
    l_p = skipWhiteSpace(l_p + 1);
    if (*l_p == l_Close) return fail(l_p, jsonz_errorTrailingComma);
  }
}

sAttempt parseStringAt(const char* a_p, int) { return parseString(a_p); }
sAttempt parseNumberAt(const char* a_p, int) { return parseNumber(a_p); }
sAttempt parseObjectAt(const char* a_p, int a_Depth) { return parseContainer(a_p, a_Depth, true); }
sAttempt parseArrayAt(const char* a_p, int a_Depth) { return parseContainer(a_p, a_Depth, false); }
sAttempt parseBooleanAt(const char* a_p, int) { return parseBoolean(a_p); }
sAttempt parseNullAt(const char* a_p, int) { return parseNull(a_p); }

// Tries the parsers in table order; the first success wins, otherwise the
// error furthest into the text (the earlier parser on a tie).
sAttempt parseAny(const char* a_p, int a_Depth) {
  static constexpr sAttempt (*kParsers[])(const char*, int) = {
      parseStringAt, parseNumberAt, parseObjectAt, parseArrayAt, parseBooleanAt, parseNullAt};
  a_p = skipWhiteSpace(a_p);
  sAttempt l_Best = failQuietly();
  for (const auto l_pParser : kParsers) {
    const sAttempt l_Try = l_pParser(a_p, a_Depth);
    if (l_Try.m_pEnd != nullptr) return l_Try;
    const char* l_pAt = l_Try.m_Value.m_pPosition;
    if (l_pAt != nullptr &&
        (l_Best.m_Value.m_pPosition == nullptr || l_pAt > l_Best.m_Value.m_pPosition)) {
      l_Best = l_Try;
    }
  }
  return l_Best;
}

// Reads the escape at a_rp (backslash, 'u', four hexadecimal digits), and the
// low surrogate after it when it is a high one, into one code point; a_rp and
// a_rLeft move past what was read. False, with both unchanged, when the
// escape does not decode.
bool readUnicodeEscape(const char*& a_rp, size_t& a_rLeft, uint32_t& a_rCode) {
  const char* l_p = a_rp;
  size_t l_Left = a_rLeft;
  uint32_t l_Code = 0;
  if (l_Left < 6 || !readHex4(l_p + 2, &l_Code)) return false;
  l_p += 6;
  l_Left -= 6;
  if (l_Code >= 0xD800 && l_Code <= 0xDFFF) {
    // Only a high surrogate followed by a low one makes a code point.
    uint32_t l_Low = 0;
    if (l_Code > 0xDBFF || l_Left < 6 || l_p[0] != '\\' || l_p[1] != 'u' ||
        !readHex4(l_p + 2, &l_Low) || l_Low < 0xDC00 || l_Low > 0xDFFF) {
      return false;
    }
    l_p += 6;
    l_Left -= 6;
    l_Code = 0x10000 + ((l_Code - 0xD800) << 10) + (l_Low - 0xDC00);
  }
  if (l_Code > 0x1FFFFF) return false;
  a_rp = l_p;
  a_rLeft = l_Left;
  a_rCode = l_Code;
  return true;
}

// Writes a_Code as UTF-8 (one to four bytes) and returns the byte count.
int encodeUtf8(uint32_t a_Code, unsigned char* a_pOut) {
  int l_Count = 0;
  if (a_Code < 0x80) {
    a_pOut[l_Count++] = static_cast<unsigned char>(a_Code);
  } else if (a_Code < 0x800) {
    a_pOut[l_Count++] = static_cast<unsigned char>(0xC0 | (a_Code >> 6));
    a_pOut[l_Count++] = static_cast<unsigned char>(0x80 | (a_Code & 0x3F));
  } else if (a_Code < 0x10000) {
    a_pOut[l_Count++] = static_cast<unsigned char>(0xE0 | (a_Code >> 12));
    a_pOut[l_Count++] = static_cast<unsigned char>(0x80 | ((a_Code >> 6) & 0x3F));
    a_pOut[l_Count++] = static_cast<unsigned char>(0x80 | (a_Code & 0x3F));
  } else {
    a_pOut[l_Count++] = static_cast<unsigned char>(0xF0 | (a_Code >> 18));
    a_pOut[l_Count++] = static_cast<unsigned char>(0x80 | ((a_Code >> 12) & 0x3F));
    a_pOut[l_Count++] = static_cast<unsigned char>(0x80 | ((a_Code >> 6) & 0x3F));
    a_pOut[l_Count++] = static_cast<unsigned char>(0x80 | (a_Code & 0x3F));
  }
  return l_Count;
}

// Decodes the next character of a raw string into UTF-8 bytes; returns their
// count, or -1 at the end of the bytes, at a NUL or at an escape that does not
// decode.
int decodeNext(const char*& a_rp, size_t& a_rLeft, unsigned char* a_pOut) {
  const char* l_p = a_rp;
  if (a_rLeft == 0 || *l_p == '\0') return -1;
  if (*l_p != '\\') {
    a_pOut[0] = static_cast<unsigned char>(*l_p);
    ++a_rp;
    --a_rLeft;
    return 1;
  }
  if (a_rLeft < 2) return -1;
  if (l_p[1] != 'u') {
    const char l_Simple = escapedCharacter(l_p[1]);
    if (l_Simple == 0) return -1;
    a_pOut[0] = static_cast<unsigned char>(l_Simple);
    a_rp += 2;
    a_rLeft -= 2;
    return 1;
  }
  uint32_t l_Code = 0;
  if (!readUnicodeEscape(a_rp, a_rLeft, l_Code)) return -1;
  return encodeUtf8(l_Code, a_pOut);
}

// Compares a decoded raw name with a_pName, its terminating NUL included.
bool nameEquals(const char* a_pRaw, size_t a_Count, const char* a_pName) {
  const char* l_p = a_pRaw;
  size_t l_Left = a_Count;
  size_t l_Index = 0;
  unsigned char l_Bytes[4];
  for (;;) {
    const int l_Count = decodeNext(l_p, l_Left, l_Bytes);
    if (l_Count < 0) return a_pName[l_Index] == '\0';
    for (int l_Byte = 0; l_Byte < l_Count; ++l_Byte) {
      if (static_cast<unsigned char>(a_pName[l_Index]) != l_Bytes[l_Byte]) return false;
      if (l_Bytes[l_Byte] == 0) return true;
      ++l_Index;
    }
  }
}

// The locale's decimal separator is ',' when 1.5 prints as "1,5".
bool localeUsesComma() {
  char l_Probe[16];
  std::snprintf(l_Probe, sizeof(l_Probe), "%.1f", 1.5);
  return l_Probe[1] == ',';
}

}  // namespace

const char* jsonz_parseValue(const char* a_pText, jsonz_Value* a_pValue) {
  // The string parser reports an error for every text, so a failure always has a code.
  const sAttempt l_Result =
      a_pText == nullptr ? fail(nullptr, jsonz_errorNoText) : parseAny(a_pText, 0);
  if (a_pValue != nullptr) *a_pValue = l_Result.m_Value;
  return l_Result.m_pEnd;
}

const char* jsonz_closeOf(const char* a_pText) {
  if (a_pText == nullptr || (*a_pText != '{' && *a_pText != '[')) return nullptr;
  const sAttempt l_Result = parseAny(a_pText, 0);
  return l_Result.m_pEnd == nullptr ? nullptr : l_Result.m_pEnd - 1;
}

const char* jsonz_findMember(const char* a_pText, const char* a_pName) {
  if (a_pText == nullptr || a_pName == nullptr) return nullptr;
  const char* l_p = skipWhiteSpace(a_pText);
  if (*l_p != '{') return nullptr;
  l_p = skipWhiteSpace(l_p + 1);
  if (*l_p == '}') return nullptr;
  for (;;) {
    const sAttempt l_Name = parseString(l_p);
    if (l_Name.m_pEnd == nullptr) return nullptr;
    l_p = skipWhiteSpace(l_Name.m_pEnd);
    if (*l_p != ':') return nullptr;
    l_p = skipWhiteSpace(l_p + 1);
    if (nameEquals(l_Name.m_Value.m_pPosition, l_Name.m_Value.m_LengthOrError, a_pName)) {
      return l_p;
    }
    const sAttempt l_Value = parseAny(l_p, 1);
    if (l_Value.m_pEnd == nullptr) return nullptr;
    l_p = skipWhiteSpace(l_Value.m_pEnd);
    if (*l_p != ',') return nullptr;
    l_p = skipWhiteSpace(l_p + 1);
  }
}

const char* jsonz_getString(const char* a_pValue, const char* a_pDefault, size_t* a_pLength,
                            const char** a_ppEnd) {
  jsonz_Value l_Value;
  const char* l_pEnd = jsonz_parseValue(a_pValue, &l_Value);
  if (a_ppEnd != nullptr) *a_ppEnd = l_pEnd;
  if (l_pEnd != nullptr && l_Value.m_Kind == jsonz_kindString) {
    if (a_pLength != nullptr) *a_pLength = l_Value.m_LengthOrError;
    return l_Value.m_pPosition;
  }
  if (a_pLength != nullptr) *a_pLength = a_pDefault == nullptr ? 0 : std::strlen(a_pDefault);
  return a_pDefault;
}

int32_t jsonz_getInt(const char* a_pValue, int32_t a_Default, const char** a_ppEnd) {
  jsonz_Value l_Value;
  const char* l_pEnd = jsonz_parseValue(a_pValue, &l_Value);
  if (a_ppEnd != nullptr) *a_ppEnd = l_pEnd;
  if (l_pEnd == nullptr || l_Value.m_Kind != jsonz_kindNumber) return a_Default;

  if (!l_Value.m_Flag) {
    // Read as "%i" does: base from the prefix, value kept modulo 2^32.
    char* l_pStop = nullptr;
    const long l_Read = std::strtol(l_Value.m_pPosition, &l_pStop, 0);
    if (l_pStop == l_Value.m_pPosition) return a_Default;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(l_Read)));
  }

  char l_Text[64];
  const size_t l_Length = l_Value.m_LengthOrError < 63 ? l_Value.m_LengthOrError : 63;
  std::memcpy(l_Text, l_Value.m_pPosition, l_Length);
  l_Text[l_Length] = '\0';
  if (localeUsesComma()) {
    char* l_pDot = std::strchr(l_Text, '.');
    if (l_pDot != nullptr) *l_pDot = ',';
  }
  char* l_pStop = nullptr;
  const double l_Read = std::trunc(std::strtod(l_Text, &l_pStop));
  if (l_pStop == l_Text) return a_Default;
  // Values outside the 32-bit range (and NaN) have no integer to give.
  if (!(l_Read >= -2147483648.0 && l_Read <= 2147483647.0)) return a_Default;
  return static_cast<int32_t>(l_Read);
}

size_t jsonz_unescape(const char* a_pRaw, size_t a_Count, char* a_pOut) {
  if (a_pOut == nullptr) return 0;
  size_t l_Written = 0;
  if (a_pRaw != nullptr) {
    const char* l_p = a_pRaw;
    size_t l_Left = a_Count;
    unsigned char l_Bytes[4];
    for (;;) {
      const int l_Count = decodeNext(l_p, l_Left, l_Bytes);
      if (l_Count < 0) break;
      std::memcpy(a_pOut + l_Written, l_Bytes, static_cast<size_t>(l_Count));
      l_Written += static_cast<size_t>(l_Count);
    }
  }
  a_pOut[l_Written] = '\0';
  return l_Written;
}
