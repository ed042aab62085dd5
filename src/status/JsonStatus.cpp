// SPDX-License-Identifier: LGPL-2.1-or-later
// JsonStatus: the code with its JSON details buffer, edited in place.
#include "status/JsonStatus.h"

#include <cstdlib>
#include <cstring>

namespace {

// Longest text a buffer can hold: its NUL and end marker must fit below 2^31.
constexpr uint64_t kMaxText = 2147483645u;
constexpr uint32_t kMinimumBuffer = 512;

char* growThunk(char* a_pPoint, void* a_pContext) {
  return static_cast<JsonStatus*>(a_pContext)->grow(a_pPoint);
}

}  // namespace

JsonStatus::JsonStatus() : code(0), capacity(0), reallocate(&defaultReallocate), json(nullptr) {}

JsonStatus::~JsonStatus() { release(); }

bool JsonStatus::defaultReallocate(JsonStatus* a_pStatus, uint32_t a_Size) {
  if (a_pStatus == nullptr) return false;
  if (a_Size == 0) {
    std::free(a_pStatus->json);
    a_pStatus->json = nullptr;
    a_pStatus->capacity = 0;
    return true;
  }
  if (a_Size <= a_pStatus->capacity) return true;
  if (a_Size >= (uint32_t{1} << 31)) return false;

  uint32_t l_NewSize = kMinimumBuffer;
  while (l_NewSize < a_Size) l_NewSize <<= 1;
  char* l_pBuffer = static_cast<char*>(std::malloc(l_NewSize));
  if (l_pBuffer == nullptr) return false;
  jsonz_initBuffer(l_pBuffer, l_NewSize, a_pStatus->json != nullptr ? a_pStatus->json : "{}");
  std::free(a_pStatus->json);
  a_pStatus->json = l_pBuffer;
  a_pStatus->capacity = l_NewSize;
  return true;
}

bool JsonStatus::setCode(int32_t a_Code) {
  const bool l_Record = a_Code != 0 && (code == 0 || (code > 0 && a_Code < 0));
  if (!l_Record) return false;
  code = a_Code;
  if (json != nullptr) setText(nullptr);
  return true;
}

bool JsonStatus::setCodeAt(int32_t a_Code, const ErrorSite& a_rSite, bool* a_pOk) {
  if (a_pOk != nullptr) *a_pOk = true;
  if (!setCode(a_Code)) return false;

  const jsonz_Grower l_Grower = grower();
  char* l_pPoint = setText(nullptr);
  if (a_rSite.m_pErrorConstant != nullptr) {
    l_pPoint =
        jsonz_addStringGrowing(l_pPoint, "error_constant", a_rSite.m_pErrorConstant, l_Grower);
  }
  l_pPoint = jsonz_addStringGrowing(l_pPoint, "file", a_rSite.m_pFile, l_Grower);
  l_pPoint = jsonz_addIntGrowing(l_pPoint, "line", a_rSite.m_Line, l_Grower);
  if (a_rSite.m_pComponent != nullptr) {
    l_pPoint = jsonz_addStringGrowing(l_pPoint, "component", a_rSite.m_pComponent, l_Grower);
  }
  if (l_pPoint == nullptr && a_pOk != nullptr) *a_pOk = false;
  return true;
}

bool JsonStatus::moveFrom(JsonStatus& a_rOther, bool* a_pOk) {
  if (a_pOk != nullptr) *a_pOk = true;
  if (!setCode(a_rOther.code)) return false;
  if (reallocate == a_rOther.reallocate) {
    release();
    capacity = a_rOther.capacity;
    json = a_rOther.json;
    a_rOther.capacity = 0;
    a_rOther.json = nullptr;
  } else if (setText(a_rOther.json) == nullptr && a_pOk != nullptr) {
    *a_pOk = false;
  }
  return true;
}

bool JsonStatus::mergeFrom(const JsonStatus& a_rOther, bool* a_pOk) {
  if (a_pOk != nullptr) *a_pOk = true;
  if (!setCode(a_rOther.code)) return false;
  if (a_rOther.json != nullptr && setText(a_rOther.json) == nullptr && a_pOk != nullptr) {
    *a_pOk = false;
  }
  return true;
}

bool JsonStatus::assign(const JsonStatus& a_rOther) {
  if (&a_rOther == this) return true;
  if (a_rOther.capacity == 0) {
    release();
  } else if (setText(a_rOther.json) == nullptr) {
    return false;
  }
  code = a_rOther.code;
  return true;
}

char* JsonStatus::setText(const char* a_pText) {
  const char* l_pText = a_pText != nullptr ? a_pText : "{}";
  const size_t l_Length = std::strlen(l_pText);
  if (l_Length > kMaxText) return nullptr;
  const uint32_t l_Need = static_cast<uint32_t>(l_Length + 2);
  if (capacity < l_Need || json == nullptr) {
    if (reallocate == nullptr || !reallocate(this, l_Need) || json == nullptr) return nullptr;
  }
  return jsonz_initBuffer(json, capacity, l_pText);
}

char* JsonStatus::reserve(uint32_t a_Extra) {
  if (a_Extra > kMaxText) return nullptr;
  const uint32_t l_Need = a_Extra + 2;
  if (capacity < l_Need || json == nullptr) {
    if (reallocate == nullptr || !reallocate(this, l_Need) || json == nullptr) return nullptr;
  }
  jsonz_Value l_Value;
  const char* l_pEnd = jsonz_parseValue(json, &l_Value);
  if (l_pEnd == nullptr ||
      (l_Value.m_Kind != jsonz_kindObject && l_Value.m_Kind != jsonz_kindArray)) {
    return nullptr;
  }
  return json + (l_pEnd - 1 - json);
}

char* JsonStatus::grow(char* a_pPosition) {
  if (a_pPosition == nullptr || json == nullptr) return nullptr;
  const uint64_t l_Extra = 2 * static_cast<uint64_t>(capacity) - 4;
  if (capacity < 4 || l_Extra > kMaxText) return nullptr;
  const ptrdiff_t l_Offset = a_pPosition - json;
  const uint32_t l_OldCapacity = capacity;
  if (reserve(static_cast<uint32_t>(l_Extra)) == nullptr && capacity == l_OldCapacity) {
    return nullptr;
  }
  return json + l_Offset;
}

void JsonStatus::release() {
  if (json == nullptr) return;
  if (reallocate != nullptr) {
    reallocate(this, 0);
    return;
  }
  std::free(json);
  json = nullptr;
  capacity = 0;
}

jsonz_Grower JsonStatus::grower() { return jsonz_Grower{&growThunk, this}; }
