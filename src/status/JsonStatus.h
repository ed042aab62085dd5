// SPDX-License-Identifier: LGPL-2.1-or-later
// JsonStatus: a 32-bit code with a growable JSON details text, and the scopes
// that lend one status carrier to code that takes the other.
#pragma once

#include "status/Status.h"
#include "status/jsonz.h"

#include <cstdint>

struct JsonStatus;
typedef bool (*tJsonStatusReallocate)(JsonStatus* a_pStatus, uint32_t a_Size);

// Where a failure was recorded; all members are borrowed.
struct ErrorSite {
  const char* m_pFile;
  int32_t m_Line;
  const char* m_pComponent;      // may be null
  const char* m_pErrorConstant;  // may be null
};

// An ErrorSite for the calling line, with this library's component name.
#define QVZ_ERROR_SITE(a_pErrorConstant) \
  (ErrorSite{__FILE__, __LINE__, ::qvstatus::kComponent, (a_pErrorConstant)})

struct JsonStatus {
  int32_t code;
  uint32_t capacity;
  tJsonStatusReallocate reallocate;
  char* json;

  JsonStatus();
  // Releases the buffer through reallocate(this, 0).
  ~JsonStatus();
  JsonStatus(const JsonStatus&) = delete;
  JsonStatus& operator=(const JsonStatus&) = delete;

  bool isFatal() const { return code < 0; }
  bool isNotFatal() const { return code >= 0; }

  bool setCode(int32_t a_Code);
  bool setCodeAt(int32_t a_Code, const ErrorSite& a_rSite, bool* a_pOk = nullptr);
  bool moveFrom(JsonStatus& a_rOther, bool* a_pOk = nullptr);
  bool mergeFrom(const JsonStatus& a_rOther, bool* a_pOk = nullptr);
  bool assign(const JsonStatus& a_rOther);
  char* setText(const char* a_pText);
  char* reserve(uint32_t a_Extra);
  char* grow(char* a_pPosition);
  // Releases the buffer (reallocate with size 0) when there is one.
  void release();
  // The grower the jsonz_ growing inserts use for this status.
  jsonz_Grower grower();

  static bool defaultReallocate(JsonStatus* a_pStatus, uint32_t a_Size);
};

// Copies a Status into a JsonStatus.
void statusToJson(const Status& a_rStatus, JsonStatus& a_rJson);
// Copies a JsonStatus into a Status.
void jsonToStatus(const JsonStatus& a_rJson, Status& a_rStatus);

// Lends a JsonStatus to code that holds a Status; folds the outcome back when
// the scope ends.
class JsonStatusScope {
 public:
  explicit JsonStatusScope(Status& a_rStatus);
  ~JsonStatusScope();
  JsonStatusScope(const JsonStatusScope&) = delete;
  JsonStatusScope& operator=(const JsonStatusScope&) = delete;

  JsonStatus& json() { return m_Json; }
  operator JsonStatus&() { return m_Json; }

 private:
  Status* m_pStatus;
  JsonStatus m_Json;
};

// Lends a Status to code that holds a JsonStatus; folds the outcome back when
// the scope ends.
class StatusScope {
 public:
  explicit StatusScope(JsonStatus& a_rJson);
  ~StatusScope();
  StatusScope(const StatusScope&) = delete;
  StatusScope& operator=(const StatusScope&) = delete;

  Status& status() { return m_Status; }
  operator Status&() { return m_Status; }

 private:
  JsonStatus* m_pJson;
  Status m_Status;
};
