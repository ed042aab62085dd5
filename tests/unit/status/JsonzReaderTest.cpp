// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/jsonz.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

jsonz_Value parse(const char* a_pText, const char** a_ppEnd = nullptr) {
  jsonz_Value l_Value{-1, nullptr, 0, false};
  const char* l_pEnd = jsonz_parseValue(a_pText, &l_Value);
  if (a_ppEnd != nullptr) *a_ppEnd = l_pEnd;
  return l_Value;
}

// The parse error code of a text and how far into it the error lies.
struct sError {
  uint64_t m_Code;
  long m_Offset;
  bool operator==(const sError& a_rOther) const {
    return m_Code == a_rOther.m_Code && m_Offset == a_rOther.m_Offset;
  }
};
std::ostream& operator<<(std::ostream& a_rOut, const sError& a_rError) {
  return a_rOut << "{code " << a_rError.m_Code << " at " << a_rError.m_Offset << "}";
}

sError errorOf(const char* a_pText) {
  const char* l_pEnd = nullptr;
  const jsonz_Value l_Value = parse(a_pText, &l_pEnd);
  if (l_pEnd != nullptr || l_Value.m_Kind != jsonz_kindError) return sError{0, -1};
  return sError{l_Value.m_LengthOrError, static_cast<long>(l_Value.m_pPosition - a_pText)};
}

TEST(JsonzReader, ValueKinds) {
  const char* l_pEnd = nullptr;
  jsonz_Value l_Value = parse("  \"a\\\"b\" rest", &l_pEnd);
  EXPECT_EQ(l_Value.m_Kind, jsonz_kindString);
  EXPECT_EQ(std::string(l_Value.m_pPosition, l_Value.m_LengthOrError), "a\\\"b");
  EXPECT_STREQ(l_pEnd, " rest");

  l_Value = parse("-12.5e+3,", &l_pEnd);
  EXPECT_EQ(l_Value.m_Kind, jsonz_kindNumber);
  EXPECT_EQ(l_Value.m_LengthOrError, 8u);
  EXPECT_TRUE(l_Value.m_Flag);
  l_Value = parse("42");
  EXPECT_EQ(l_Value.m_Kind, jsonz_kindNumber);
  EXPECT_FALSE(l_Value.m_Flag);

  l_Value = parse("false");
  EXPECT_EQ(l_Value.m_Kind, jsonz_kindBoolean);
  EXPECT_FALSE(l_Value.m_Flag);
  l_Value = parse("true");
  EXPECT_TRUE(l_Value.m_Flag);
  EXPECT_EQ(parse("null").m_Kind, jsonz_kindNull);
  EXPECT_EQ(parse(R"({ "a" : [1, {"b":null}, "x"] , "c":{} })").m_Kind, jsonz_kindObject);
  EXPECT_EQ(parse("[ ]").m_Kind, jsonz_kindArray);
}

TEST(JsonzReader, ErrorCodesAndPositions) {
  jsonz_Value l_Value = parse(nullptr);
  EXPECT_EQ(l_Value.m_Kind, jsonz_kindError);
  EXPECT_EQ(l_Value.m_LengthOrError, jsonz_errorNoText);

  // Garbage: every parser fails at the first byte; the string parser is first in the table.
  EXPECT_EQ(errorOf("  xyz"), (sError{jsonz_errorValueExpected, 2}));
  EXPECT_EQ(errorOf(""), (sError{jsonz_errorValueExpected, 0}));
  EXPECT_EQ(errorOf("\"open"), (sError{jsonz_errorValueExpected, 5}));
  EXPECT_EQ(errorOf("\"a\tb\""), (sError{jsonz_errorValueExpected, 2}));
  EXPECT_EQ(errorOf(R"({"a":})"), (sError{jsonz_errorValueExpected, 5}));

  EXPECT_EQ(errorOf(R"({"a":1)"), (sError{jsonz_errorObjectExpected, 6}));
  EXPECT_EQ(errorOf("{"), (sError{jsonz_errorObjectExpected, 1}));
  EXPECT_EQ(errorOf("[1, 2"), (sError{jsonz_errorArrayExpected, 5}));

  EXPECT_EQ(errorOf(R"({"a" 1})"), (sError{jsonz_errorColonExpected, 5}));
  EXPECT_EQ(errorOf(R"({"a":1 "b":2})"), (sError{jsonz_errorCommaExpected, 7}));
  EXPECT_EQ(errorOf("[1 2]"), (sError{jsonz_errorCommaExpected, 3}));

  EXPECT_EQ(errorOf(R"("a\x")"), (sError{jsonz_errorInvalidEscape, 2}));
  EXPECT_EQ(errorOf(R"("\u12g4")"), (sError{jsonz_errorInvalidEscape, 1}));
  EXPECT_EQ(errorOf("\"\\u12"), (sError{jsonz_errorInvalidEscape, 1}));

  EXPECT_EQ(errorOf("[1, ]"), (sError{jsonz_errorTrailingComma, 4}));
  EXPECT_EQ(errorOf("{\"a\":1,\n}"), (sError{jsonz_errorTrailingComma, 8}));

  // Errors of nested values pass up unchanged.
  EXPECT_EQ(errorOf(R"({"a":[1,{"b" 2}]})"), (sError{jsonz_errorColonExpected, 13}));
}

TEST(JsonzReader, CloseOf) {
  const char* l_pText = R"({"a":[1,2],"b":"}"} tail)";
  EXPECT_EQ(jsonz_closeOf(l_pText), l_pText + 18);
  const char* l_pArray = "[[],{}]";
  EXPECT_EQ(jsonz_closeOf(l_pArray), l_pArray + 6);
  EXPECT_EQ(jsonz_closeOf(" {}"), nullptr);  // no leading white space
  EXPECT_EQ(jsonz_closeOf("\"text\""), nullptr);
  EXPECT_EQ(jsonz_closeOf("12"), nullptr);
  EXPECT_EQ(jsonz_closeOf("{\"a\":}"), nullptr);
  EXPECT_EQ(jsonz_closeOf(nullptr), nullptr);
}

TEST(JsonzReader, FindMember) {
  const char* l_pText = R"( { "ab" : 1, "a":{"x":2}, "b\u0061" : "v", "dup":3, "dup":4 } )";
  EXPECT_STREQ(jsonz_findMember(l_pText, "a"), R"({"x":2}, "b\u0061" : "v", "dup":3, "dup":4 } )");
  EXPECT_EQ(jsonz_getInt(jsonz_findMember(l_pText, "ab"), -1, nullptr), 1);
  EXPECT_EQ(*jsonz_findMember(l_pText, "ba"), '"');  // escaped name decoded before comparing
  EXPECT_EQ(jsonz_getInt(jsonz_findMember(l_pText, "dup"), -1, nullptr), 3);
  EXPECT_EQ(jsonz_findMember(l_pText, "x"), nullptr);  // nested members are not top-level
  EXPECT_EQ(jsonz_findMember(l_pText, "abc"), nullptr);
  EXPECT_EQ(jsonz_findMember("[1]", "a"), nullptr);
  EXPECT_EQ(jsonz_findMember("{}", "a"), nullptr);
  EXPECT_EQ(jsonz_findMember(R"({"a":1 "b":2})", "b"), nullptr);       // malformed before it
  EXPECT_NE(jsonz_findMember(R"({"a":1, "b":2 oops)", "b"), nullptr);  // malformed after it
  EXPECT_EQ(jsonz_findMember(nullptr, "a"), nullptr);
}

TEST(JsonzReader, GetString) {
  size_t l_Length = 99;
  const char* l_pEnd = nullptr;
  const char* l_pText = R"("a\nb", 1)";
  const char* l_pRaw = jsonz_getString(l_pText, "def", &l_Length, &l_pEnd);
  EXPECT_EQ(l_pRaw, l_pText + 1);
  EXPECT_EQ(l_Length, 4u);
  EXPECT_EQ(l_pEnd, l_pText + 6);

  EXPECT_STREQ(jsonz_getString("12", "def", &l_Length, nullptr), "def");
  EXPECT_EQ(l_Length, 3u);
  EXPECT_EQ(jsonz_getString("12", nullptr, &l_Length, nullptr), nullptr);
  EXPECT_EQ(l_Length, 0u);
  EXPECT_STREQ(jsonz_getString(nullptr, "d", &l_Length, nullptr), "d");
}

TEST(JsonzReader, GetIntBaseRulesAndDefaults) {
  EXPECT_EQ(jsonz_getInt("12", -1, nullptr), 12);
  EXPECT_EQ(jsonz_getInt(" -12 ", -1, nullptr), -12);
  EXPECT_EQ(jsonz_getInt("010", -1, nullptr), 8);          // a leading 0 reads octal
  EXPECT_EQ(jsonz_getInt("0x1F", -1, nullptr), 31);        // 0x reads hexadecimal
  EXPECT_EQ(jsonz_getInt("09", -1, nullptr), 0);           // octal reading stops at 9
  EXPECT_EQ(jsonz_getInt("4294967295", -1, nullptr), -1);  // kept modulo 2^32, as "%i" does

  EXPECT_EQ(jsonz_getInt("2.9", -1, nullptr), 2);  // truncated toward zero
  EXPECT_EQ(jsonz_getInt("-2.9", -1, nullptr), -2);
  EXPECT_EQ(jsonz_getInt("1.5e3", -1, nullptr), 1500);
  EXPECT_EQ(jsonz_getInt("1E2", -1, nullptr), 100);
  EXPECT_EQ(jsonz_getInt("1e300", -7, nullptr), -7);  // no 32-bit value to give

  EXPECT_EQ(jsonz_getInt("\"12\"", -7, nullptr), -7);
  EXPECT_EQ(jsonz_getInt("true", -7, nullptr), -7);
  EXPECT_EQ(jsonz_getInt("-", -7, nullptr), -7);
  EXPECT_EQ(jsonz_getInt(nullptr, -7, nullptr), -7);
  EXPECT_EQ(jsonz_getInt(jsonz_findMember(R"({"line":"12"})", "line"), -7, nullptr), -7);
}

// Builds a minimal locale whose decimal separator is ',' in a temporary
// directory; empty when the machine cannot build one.
std::string buildCommaLocale() {
  const char* l_pCharmap = "/usr/share/i18n/charmaps/UTF-8.gz";
  if (!std::filesystem::exists(l_pCharmap)) return "";
  char l_Template[] = "/tmp/qvz_locale_XXXXXX";
  if (mkdtemp(l_Template) == nullptr) return "";
  const std::string l_Dir = l_Template;
  std::ofstream(l_Dir + "/comma.src")
      << "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
         "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n";
  const std::string l_Command = "localedef -c -i " + l_Dir + "/comma.src -f " + l_pCharmap + " " +
                                l_Dir + "/qvcomma >/dev/null 2>&1";
  if (std::system(l_Command.c_str()) == -1 || !std::filesystem::exists(l_Dir + "/qvcomma")) {
    std::filesystem::remove_all(l_Dir);
    return "";
  }
  return l_Dir;
}

TEST(JsonzReader, GetIntWithCommaLocale) {
  const std::string l_Dir = buildCommaLocale();
  if (l_Dir.empty()) GTEST_SKIP() << "cannot build a locale with a decimal comma here";
  const std::string l_Saved = std::setlocale(LC_NUMERIC, nullptr);
  setenv("LOCPATH", l_Dir.c_str(), 1);
  const bool l_Switched = std::setlocale(LC_NUMERIC, "qvcomma") != nullptr;
  char l_Probe[16];
  std::snprintf(l_Probe, sizeof(l_Probe), "%.1f", 1.5);
  // Read as "0" and "2" if the '.' were not turned into the locale's ','.
  const int32_t l_Fraction = jsonz_getInt("0.75e1", -1, nullptr);
  const int32_t l_Exponent = jsonz_getInt("-2.5e2", -1, nullptr);
  const int32_t l_Integer = jsonz_getInt("0x10", -1, nullptr);
  std::setlocale(LC_NUMERIC, l_Saved.c_str());
  unsetenv("LOCPATH");
  std::filesystem::remove_all(l_Dir);

  ASSERT_TRUE(l_Switched);
  ASSERT_STREQ(l_Probe, "1,5");
  EXPECT_EQ(l_Fraction, 7);
  EXPECT_EQ(l_Exponent, -250);
  EXPECT_EQ(l_Integer, 16);
}

std::string unescape(const std::string& a_rRaw, size_t a_Count) {
  std::unique_ptr<char[]> l_pOut(new char[a_Count + 1]);
  const size_t l_Written = jsonz_unescape(a_rRaw.c_str(), a_Count, l_pOut.get());
  EXPECT_EQ(l_pOut[l_Written], '\0');
  return std::string(l_pOut.get(), l_Written);
}
std::string unescape(const std::string& a_rRaw) { return unescape(a_rRaw, a_rRaw.size()); }

TEST(JsonzReader, UnescapeSimpleAndUtf8) {
  EXPECT_EQ(unescape(R"(a\"\\\/\b\f\n\r\tz)"), "a\"\\/\b\f\n\r\tz");
  EXPECT_EQ(unescape(R"(\u0041\u00e9\u20AC)"), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(unescape(R"(x\u0000y)"), std::string("x\0y", 3));
}

TEST(JsonzReader, UnescapeSurrogatePairs) {
  EXPECT_EQ(unescape(R"(\ud83d\ude00!)"), "\xF0\x9F\x98\x80!");
  EXPECT_EQ(unescape(R"(\uDBFF\uDFFF)"), "\xF4\x8F\xBF\xBF");
  // Decoding ends at a pair that does not combine; what came before is kept.
  EXPECT_EQ(unescape(R"(a\ud83dbc)"), "a");
  EXPECT_EQ(unescape(R"(a\ud83d\u0041)"), "a");
  EXPECT_EQ(unescape(R"(a\ude00\ud83d)"), "a");
  EXPECT_EQ(unescape(R"(a\ud83d\ude00)", 12), "a");  // second escape cut off by the count
}

TEST(JsonzReader, UnescapeStopsAtBadOrCutEscapes) {
  EXPECT_EQ(unescape(R"(ab\u00zz)"), "ab");
  EXPECT_EQ(unescape(R"(ab\u0041)", 6), "ab");
  EXPECT_EQ(unescape("ab\\", 3), "ab");
  EXPECT_EQ(unescape(R"(abc)", 2), "ab");
  EXPECT_EQ(unescape(std::string("ab\0cd", 5), 5), "ab");  // never past a NUL
}

// Every reader on every prefix and on scrambled bytes: run under the sanitizer
// build, a read past the NUL of the exactly sized copy is reported.
TEST(JsonzReader, MalformedInputNeverOverreads) {
  const std::string l_Document =
      R"({"error_constant":"a\u00e9\ud83d\ude00\"","file":"x\\y","line":12,)"
      R"("arr":[1,-2.5e3,true,false,null,{"n":[]}],"component":"qvzelif"})";
  uint32_t l_Seed = 12345;
  auto l_Next = [&l_Seed]() {
    l_Seed = l_Seed * 1103515245u + 12345u;
    return l_Seed >> 16;
  };
  for (size_t l_Round = 0; l_Round < 3000; ++l_Round) {
    std::string l_Text = l_Document.substr(0, l_Round % (l_Document.size() + 1));
    if (l_Round >= l_Document.size()) {
      l_Text = l_Document;
      for (int l_Flip = 0; l_Flip < 3; ++l_Flip) {
        l_Text[l_Next() % l_Text.size()] = static_cast<char>(l_Next() % 255 + 1);
      }
    }
    std::unique_ptr<char[]> l_pCopy(new char[l_Text.size() + 1]);
    std::memcpy(l_pCopy.get(), l_Text.c_str(), l_Text.size() + 1);
    const char* l_p = l_pCopy.get();

    jsonz_Value l_Value;
    const char* l_pEnd = jsonz_parseValue(l_p, &l_Value);
    if (l_pEnd == nullptr) {
      EXPECT_GE(l_Value.m_LengthOrError, 2u);
      EXPECT_LE(l_Value.m_LengthOrError, 8u);
      EXPECT_GE(l_Value.m_pPosition, l_p);
      EXPECT_LE(l_Value.m_pPosition, l_p + l_Text.size());
    }
    jsonz_closeOf(l_p);
    for (const char* l_pName : {"file", "line", "component", "arr", "zz"}) {
      const char* l_pMember = jsonz_findMember(l_p, l_pName);
      size_t l_Length = 0;
      const char* l_pRaw = jsonz_getString(l_pMember, nullptr, &l_Length, nullptr);
      if (l_pRaw != nullptr) {
        std::unique_ptr<char[]> l_pOut(new char[l_Length + 1]);
        jsonz_unescape(l_pRaw, l_Length, l_pOut.get());
      }
      jsonz_getInt(l_pMember, 0, nullptr);
    }
  }
}

TEST(JsonzReader, DeepNestingIsAnErrorNotACrash) {
  const std::string l_Deep(100000, '[');
  EXPECT_EQ(parse(l_Deep.c_str()).m_Kind, jsonz_kindError);
  std::string l_Balanced = std::string(100, '[') + std::string(100, ']');
  EXPECT_EQ(parse(l_Balanced.c_str()).m_Kind, jsonz_kindArray);
}

}  // namespace
