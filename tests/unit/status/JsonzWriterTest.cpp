// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/jsonz.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A details buffer holding a_Text with exactly a_Free bytes of free room.
struct sBuffer {
  std::vector<char> m_Bytes;
  char* m_pLast;

  sBuffer(const char* a_pText, size_t a_Free)
      : m_Bytes(std::strlen(a_pText) + 2 + a_Free, 'x'),
        m_pLast(jsonz_initBuffer(m_Bytes.data(), m_Bytes.size(), a_pText)) {}

  std::string text() const { return std::string(m_Bytes.data()); }
  char marker() const { return m_Bytes.back(); }
  // The bytes between the text's NUL and the marker must all be zero.
  bool zeroFilled() const {
    for (size_t l_Index = text().size(); l_Index + 1 < m_Bytes.size(); ++l_Index) {
      if (m_Bytes[l_Index] != '\0') return false;
    }
    return true;
  }
};

TEST(JsonzWriter, InitBufferFormat) {
  sBuffer l_Buffer("{}", 5);
  ASSERT_NE(l_Buffer.m_pLast, nullptr);
  EXPECT_EQ(*l_Buffer.m_pLast, '}');
  EXPECT_EQ(l_Buffer.text(), "{}");
  EXPECT_EQ(l_Buffer.marker(), kJsonzEndMarker);
  EXPECT_TRUE(l_Buffer.zeroFilled());

  char l_Small[3];
  EXPECT_EQ(jsonz_initBuffer(l_Small, sizeof(l_Small), "{}"), nullptr);  // no room for the marker
  char l_Exact[4];
  EXPECT_NE(jsonz_initBuffer(l_Exact, sizeof(l_Exact), "{}"), nullptr);
  EXPECT_EQ(l_Exact[3], 'J');
}

TEST(JsonzWriter, MembersInInsertionOrderWithCommas) {
  sBuffer l_Buffer("{}", 100);
  char* l_pPoint = jsonz_addString(l_Buffer.m_pLast, "a", "x");
  ASSERT_NE(l_pPoint, nullptr);
  EXPECT_EQ(l_Buffer.text(), R"({"a":"x"})");
  EXPECT_EQ(*l_pPoint, '}');
  l_pPoint = jsonz_addInt(l_pPoint, "b", 1);
  EXPECT_EQ(l_Buffer.text(), R"({"a":"x","b":1})");
  l_pPoint = jsonz_addUnsigned(l_pPoint, "c", 4294967295u);
  l_pPoint = jsonz_addInt(l_pPoint, "d", -7);
  EXPECT_EQ(l_Buffer.text(), R"({"a":"x","b":1,"c":4294967295,"d":-7})");
  EXPECT_EQ(l_Buffer.marker(), 'J');
  EXPECT_TRUE(l_Buffer.zeroFilled());
}

TEST(JsonzWriter, EmptyContainerWithWhiteSpaceTakesNoComma) {
  sBuffer l_Buffer("{ \n}", 20);
  ASSERT_NE(jsonz_addInt(l_Buffer.m_pLast, "n", 3), nullptr);
  EXPECT_EQ(l_Buffer.text(), "{ \n\"n\":3}");

  sBuffer l_Array("[1]", 20);
  char* l_pPoint = jsonz_addString(l_Array.m_pLast, nullptr, "e");  // null name: an element
  ASSERT_NE(l_pPoint, nullptr);
  EXPECT_EQ(l_Array.text(), R"([1,"e"])");
}

TEST(JsonzWriter, NestedObjects) {
  sBuffer l_Buffer("{}", 100);
  const jsonz_Grower l_None{nullptr, nullptr};
  char* l_pInner = jsonz_enterObject(l_Buffer.m_pLast, "o", l_None);
  ASSERT_NE(l_pInner, nullptr);
  EXPECT_EQ(*l_pInner, '}');
  l_pInner = jsonz_addString(l_pInner, "k", "v");
  l_pInner = jsonz_addString(l_pInner, "l", "w");
  char* l_pOuter = jsonz_leaveObject(l_pInner);
  l_pOuter = jsonz_addInt(l_pOuter, "n", 2);
  EXPECT_EQ(l_Buffer.text(), R"({"o":{"k":"v","l":"w"},"n":2})");
  EXPECT_EQ(jsonz_leaveObject(nullptr), nullptr);
}

TEST(JsonzWriter, ExactRoomSucceedsOneLessChangesNothing) {
  // "a":"x" needs 7 bytes in an empty object; a second member needs one more for the comma.
  sBuffer l_Exact("{}", 7);
  ASSERT_NE(jsonz_addString(l_Exact.m_pLast, "a", "x"), nullptr);
  EXPECT_EQ(l_Exact.text(), R"({"a":"x"})");
  EXPECT_EQ(l_Exact.marker(), 'J');
  EXPECT_EQ(l_Exact.m_Bytes[l_Exact.m_Bytes.size() - 2], '\0');

  sBuffer l_Short("{}", 6);
  const std::vector<char> l_Before = l_Short.m_Bytes;
  EXPECT_EQ(jsonz_addString(l_Short.m_pLast, "a", "x"), nullptr);
  EXPECT_EQ(l_Short.m_Bytes, l_Before);

  sBuffer l_CommaExact(R"({"a":1})", 6);  // ,"b":2
  EXPECT_NE(jsonz_addInt(l_CommaExact.m_pLast, "b", 2), nullptr);
  EXPECT_EQ(l_CommaExact.text(), R"({"a":1,"b":2})");
  EXPECT_EQ(l_CommaExact.marker(), 'J');
  sBuffer l_CommaShort(R"({"a":1})", 5);
  EXPECT_EQ(jsonz_addInt(l_CommaShort.m_pLast, "b", 2), nullptr);
  EXPECT_EQ(l_CommaShort.text(), R"({"a":1})");
  EXPECT_EQ(l_CommaShort.marker(), 'J');
}

TEST(JsonzWriter, Escaping) {
  EXPECT_EQ(jsonz_escapedLength("a\t\x01\"\\/\x7f\xc3\xa9"), 1u + 2 + 6 + 2 + 2 + 1 + 6 + 2);
  sBuffer l_Buffer("{}", 100);
  ASSERT_NE(jsonz_addString(l_Buffer.m_pLast, "n\"m", "a\tb\x01/\x7f\\\b\f\n\r"), nullptr);
  EXPECT_EQ(l_Buffer.text(), R"({"n\"m":"a\tb\u0001/\u007f\\\b\f\n\r"})");
  EXPECT_TRUE(l_Buffer.zeroFilled());
}

TEST(JsonzWriter, NullPointStaysNull) {
  EXPECT_EQ(jsonz_makeRoom(nullptr, 3), nullptr);
  EXPECT_EQ(jsonz_addString(nullptr, "a", "b"), nullptr);
  EXPECT_EQ(jsonz_addInt(nullptr, "a", 1), nullptr);
  EXPECT_EQ(jsonz_addObject(nullptr, "a"), nullptr);
}

// A grower over a heap buffer that adds a_Step bytes per call, up to a limit.
struct sTestGrower {
  std::vector<char> m_Bytes;
  size_t m_Step;
  size_t m_Limit;
  int m_Calls = 0;

  static char* grow(char* a_pPoint, void* a_pContext) {
    sTestGrower* l_pSelf = static_cast<sTestGrower*>(a_pContext);
    ++l_pSelf->m_Calls;
    const size_t l_NewSize = l_pSelf->m_Bytes.size() + l_pSelf->m_Step;
    if (l_NewSize > l_pSelf->m_Limit) return nullptr;
    const size_t l_Offset = static_cast<size_t>(a_pPoint - l_pSelf->m_Bytes.data());
    const std::string l_Text(l_pSelf->m_Bytes.data());
    std::vector<char> l_New(l_NewSize);
    jsonz_initBuffer(l_New.data(), l_NewSize, l_Text.c_str());
    l_pSelf->m_Bytes.swap(l_New);
    return l_pSelf->m_Bytes.data() + l_Offset;
  }
};

TEST(JsonzWriter, GrowingInsertsRetryUntilTheyFit) {
  sTestGrower l_Grower{std::vector<char>(4), 3, 1000};
  char* l_pPoint = jsonz_initBuffer(l_Grower.m_Bytes.data(), 4, "{}");
  l_pPoint =
      jsonz_addStringGrowing(l_pPoint, "name", "a longer value", {&sTestGrower::grow, &l_Grower});
  ASSERT_NE(l_pPoint, nullptr);
  EXPECT_GT(l_Grower.m_Calls, 1);
  EXPECT_EQ(std::string(l_Grower.m_Bytes.data()), R"({"name":"a longer value"})");
  EXPECT_EQ(*l_pPoint, '}');
  l_pPoint = jsonz_addIntGrowing(l_pPoint, "n", 12, {&sTestGrower::grow, &l_Grower});
  l_pPoint = jsonz_addUnsignedGrowing(l_pPoint, "u", 7, {&sTestGrower::grow, &l_Grower});
  char* l_pInner = jsonz_enterObject(l_pPoint, "o", {&sTestGrower::grow, &l_Grower});
  ASSERT_NE(l_pInner, nullptr);
  EXPECT_EQ(std::string(l_Grower.m_Bytes.data()),
            R"({"name":"a longer value","n":12,"u":7,"o":{}})");
  EXPECT_EQ(l_Grower.m_Bytes.back(), 'J');

  // A grower that gives up makes the insert fail; without one it fails at once.
  sTestGrower l_Limited{std::vector<char>(4), 3, 10};
  l_pPoint = jsonz_initBuffer(l_Limited.m_Bytes.data(), 4, "{}");
  EXPECT_EQ(
      jsonz_addStringGrowing(l_pPoint, "name", "a longer value", {&sTestGrower::grow, &l_Limited}),
      nullptr);
  EXPECT_EQ(std::string(l_Limited.m_Bytes.data()), "{}");
  char* l_pBrace = l_Limited.m_Bytes.data() + 1;  // the buffer has moved
  EXPECT_EQ(jsonz_addStringGrowing(l_pBrace, "name", "v", {nullptr, nullptr}), nullptr);
}

}  // namespace
