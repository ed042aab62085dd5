// SPDX-License-Identifier: LGPL-2.1-or-later
// Conversions between Status and JsonStatus, and the scopes that lend one
// carrier to code that takes the other.
#include "status/JsonStatus.h"

#include <cstring>

namespace {

// Room asked for before each group of members copied from a Status.
constexpr uint32_t kDetailsReserve = 256;
// Only the tail of a long path is read back; its start is rarely telling.
constexpr size_t kFileTail = Status::kFileSize - 1;
constexpr size_t kComponentBytes = Status::kComponentSize - 1;

// Copies a fixed-size field so the text is terminated even if the field is not.
template <size_t tSize>
void copyField(char (&a_rOut)[tSize], const char (&a_rField)[tSize]) {
  const size_t l_Length = strnlen(a_rField, tSize - 1);
  std::memcpy(a_rOut, a_rField, l_Length);
  a_rOut[l_Length] = '\0';
}

}  // namespace

void statusToJson(const Status& a_rStatus, JsonStatus& a_rJson) {
  if (a_rStatus.code == 0 || !a_rJson.setCode(static_cast<int32_t>(a_rStatus.code))) return;
  if (a_rStatus.capacity < Status::kFullCapacity) return;

  const jsonz_Grower l_Grower = a_rJson.grower();
  char l_File[Status::kFileSize];
  copyField(l_File, a_rStatus.file);
  if (l_File[0] != '\0') {
    char* l_pPoint = a_rJson.reserve(kDetailsReserve);
    l_pPoint = jsonz_addStringGrowing(l_pPoint, "file", l_File, l_Grower);
    jsonz_addUnsignedGrowing(l_pPoint, "line", static_cast<uint32_t>(a_rStatus.line), l_Grower);
  }
  char l_Component[Status::kComponentSize];
  copyField(l_Component, a_rStatus.component);
  if (l_Component[0] != '\0') {
    jsonz_addStringGrowing(a_rJson.reserve(kDetailsReserve), "component", l_Component, l_Grower);
  }
}

void jsonToStatus(const JsonStatus& a_rJson, Status& a_rStatus) {
  if (a_rJson.code == 0 || a_rStatus.code < 0) return;

  char l_Component[Status::kComponentSize] = "";
  char l_File[Status::kFileSize] = "";
  int32_t l_Line = 0;
  if (a_rJson.json != nullptr) {
    size_t l_Length = 0;
    const char* l_pRaw =
        jsonz_getString(jsonz_findMember(a_rJson.json, "component"), nullptr, &l_Length, nullptr);
    if (l_pRaw != nullptr) {
      jsonz_unescape(l_pRaw, l_Length < kComponentBytes ? l_Length : kComponentBytes, l_Component);
    }

    l_pRaw = jsonz_getString(jsonz_findMember(a_rJson.json, "file"), nullptr, &l_Length, nullptr);
    if (l_pRaw != nullptr) {
      if (l_Length > kFileTail) {
        l_pRaw += l_Length - kFileTail;
        l_Length = kFileTail;
        // A cut through an escape must not leave a stray backslash in front;
        // an uncut path keeps its leading backslashes.
        while (l_Length > 0 && *l_pRaw == '\\') {
          ++l_pRaw;
          --l_Length;
        }
      }
      jsonz_unescape(l_pRaw, l_Length, l_File);
    }

    l_Line = jsonz_getInt(jsonz_findMember(a_rJson.json, "line"), 0, nullptr);
  }
  a_rStatus.set(static_cast<int64_t>(a_rJson.code), l_Component, l_File,
                static_cast<uint64_t>(static_cast<int64_t>(l_Line)));
}

JsonStatusScope::JsonStatusScope(Status& a_rStatus) : m_pStatus(&a_rStatus) {
  statusToJson(a_rStatus, m_Json);
}

JsonStatusScope::~JsonStatusScope() {
  jsonToStatus(m_Json, *m_pStatus);
  m_Json.release();
}

StatusScope::StatusScope(JsonStatus& a_rJson) : m_pJson(&a_rJson) {
  jsonToStatus(a_rJson, m_Status);
}

StatusScope::~StatusScope() { statusToJson(m_Status, *m_pJson); }
