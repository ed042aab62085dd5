// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: the JSON details reader on any text, the fold-back of a
// details text into a Status, inserting members into any valid object or
// array, and the round trips writer -> reader and Status -> JSON -> Status.
#include "fuzzCheck.h"
#include "status/JsonStatus.h"
#include "status/jsonz.h"

using namespace qvzfuzz;

namespace {

size_t fieldLength(const char* a_pField, size_t a_Size) { return strnlen(a_pField, a_Size); }

// The reader must stay inside the text and describe what it found sanely.
void readAnything(const char* a_pText) {
  const size_t l_Length = std::strlen(a_pText);
  jsonz_Value l_Value;
  const char* l_pEnd = jsonz_parseValue(a_pText, &l_Value);
  if (l_pEnd != nullptr) {
    FUZZ_CHECK(l_pEnd > a_pText && l_pEnd <= a_pText + l_Length);
    FUZZ_CHECK(l_Value.m_Kind >= jsonz_kindNull && l_Value.m_Kind <= jsonz_kindObject);
  } else {
    FUZZ_CHECK(l_Value.m_Kind == jsonz_kindError);
    FUZZ_CHECK(l_Value.m_LengthOrError >= jsonz_errorValueExpected &&
               l_Value.m_LengthOrError <= jsonz_errorTrailingComma);
    FUZZ_CHECK(l_Value.m_pPosition >= a_pText && l_Value.m_pPosition <= a_pText + l_Length);
  }
  const char* l_pClose = jsonz_closeOf(a_pText);
  if (l_pClose != nullptr) {
    FUZZ_CHECK(l_pClose >= a_pText && l_pClose < a_pText + l_Length);
    FUZZ_CHECK(*l_pClose == '}' || *l_pClose == ']');
  }

  for (const char* l_pName : {"file", "line", "component", "error_constant", ""}) {
    const char* l_pMember = jsonz_findMember(a_pText, l_pName);
    if (l_pMember == nullptr) continue;
    FUZZ_CHECK(l_pMember > a_pText && l_pMember <= a_pText + l_Length);
    size_t l_RawLength = 0;
    const char* l_pRaw = jsonz_getString(l_pMember, nullptr, &l_RawLength, nullptr);
    if (l_pRaw != nullptr) {
      FUZZ_CHECK(l_pRaw + l_RawLength <= a_pText + l_Length);
      // Decoding never writes more bytes than it reads, plus the NUL.
      std::unique_ptr<char[]> l_Out(new char[l_RawLength + 1]);
      const size_t l_Written = jsonz_unescape(l_pRaw, l_RawLength, l_Out.get());
      FUZZ_CHECK(l_Written <= l_RawLength && l_Out[l_Written] == '\0');
    }
    jsonz_getInt(l_pMember, 0, nullptr);
  }
}

// Folding any details text back gives a Status with terminated fields.
void foldBack(const char* a_pText) {
  JsonStatus l_Json;
  l_Json.setCode(qvstatus::kInternal);
  if (l_Json.setText(a_pText) == nullptr) return;
  Status l_Status;
  jsonToStatus(l_Json, l_Status);
  FUZZ_CHECK(l_Status.code == qvstatus::kInternal);
  FUZZ_CHECK(fieldLength(l_Status.component, Status::kComponentSize) < Status::kComponentSize);
  FUZZ_CHECK(fieldLength(l_Status.file, Status::kFileSize) < Status::kFileSize);

  // A member inserted into a valid object or array leaves it valid.
  jsonz_Value l_Before;
  if (jsonz_parseValue(l_Json.json, &l_Before) == nullptr) return;
  if (l_Before.m_Kind != jsonz_kindObject && l_Before.m_Kind != jsonz_kindArray) return;
  char* l_pPoint = l_Json.reserve(256);
  FUZZ_CHECK(l_pPoint != nullptr);
  const char* l_pName = l_Before.m_Kind == jsonz_kindObject ? "inserted" : nullptr;
  FUZZ_CHECK(jsonz_addStringGrowing(l_pPoint, l_pName, a_pText, l_Json.grower()) != nullptr);
  jsonz_Value l_After;
  FUZZ_CHECK(jsonz_parseValue(l_Json.json, &l_After) != nullptr);
  FUZZ_CHECK(l_After.m_Kind == l_Before.m_Kind);
  FUZZ_CHECK(l_Json.json[l_Json.capacity - 1] == kJsonzEndMarker);
}

// What the writer escapes, the reader gives back byte for byte.
void writeThenRead(const char* a_pName, const char* a_pValue) {
  JsonStatus l_Json;
  char* l_pPoint = l_Json.setText(nullptr);
  FUZZ_CHECK(l_pPoint != nullptr);
  FUZZ_CHECK(jsonz_addStringGrowing(l_pPoint, a_pName, a_pValue, l_Json.grower()) != nullptr);
  FUZZ_CHECK(jsonz_closeOf(l_Json.json) != nullptr);
  const char* l_pMember = jsonz_findMember(l_Json.json, a_pName);
  FUZZ_CHECK(l_pMember != nullptr);
  size_t l_RawLength = 0;
  const char* l_pRaw = jsonz_getString(l_pMember, nullptr, &l_RawLength, nullptr);
  FUZZ_CHECK(l_pRaw != nullptr && l_RawLength == jsonz_escapedLength(a_pValue));
  std::unique_ptr<char[]> l_Out(new char[l_RawLength + 1]);
  jsonz_unescape(l_pRaw, l_RawLength, l_Out.get());
  FUZZ_CHECK(std::strcmp(l_Out.get(), a_pValue) == 0);
}

// A Status lent to JSON and folded back keeps its site whenever the escaped
// texts fit the fields they are read back into.
void statusRoundTrip(const char* a_pText, uint64_t a_Line) {
  char l_Component[Status::kComponentSize] = {};
  std::strncpy(l_Component, a_pText, Status::kComponentSize - 1);
  Status l_Original;
  l_Original.set(qvstatus::kInvalidParameter, l_Component, a_pText, a_Line);

  Status l_Back;
  {
    JsonStatusScope l_Scope(l_Back);
    statusToJson(l_Original, l_Scope.json());
  }
  FUZZ_CHECK(l_Back.code == qvstatus::kInvalidParameter);
  if (jsonz_escapedLength(l_Original.file) <= Status::kFileSize - 1) {
    FUZZ_CHECK(std::strcmp(l_Back.file, l_Original.file) == 0);
    // The line travels with the file; without a file there is no site.
    FUZZ_CHECK(l_Back.line == (l_Original.file[0] != '\0' ? a_Line : 0));
  }
  if (jsonz_escapedLength(l_Original.component) <= Status::kComponentSize - 1) {
    FUZZ_CHECK(std::strcmp(l_Back.component, l_Original.component) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  if (a_Size > (1u << 16)) return 0;
  const std::unique_ptr<char[]> l_Text = terminatedCopy(a_pData, a_Size);
  readAnything(l_Text.get());
  foldBack(l_Text.get());

  // Name and value: the text split at its first line feed.
  std::string l_Name;
  std::string l_Value;
  splitOnce(reinterpret_cast<const uint8_t*>(l_Text.get()), std::strlen(l_Text.get()), "\n", l_Name,
            l_Value);
  writeThenRead(l_Name.c_str(), l_Value.c_str());
  statusRoundTrip(l_Text.get(), a_Size);
  return 0;
}
