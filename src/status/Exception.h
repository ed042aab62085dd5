// SPDX-License-Identifier: LGPL-2.1-or-later
// The exception that carries a JsonStatus, and the scope that throws it.
#pragma once

#include "status/JsonStatus.h"

#include <exception>

namespace qverr {

class ExceptionBase {
 public:
  ExceptionBase();
  ExceptionBase(const ExceptionBase& a_rOther);
  virtual ~ExceptionBase();
  // The details text of the status, or an empty text when it has none.
  virtual const char* what() const noexcept;

  JsonStatus& status() { return m_Status; }
  const JsonStatus& status() const { return m_Status; }

 protected:
  JsonStatus m_Status;
};

class Exception : public virtual ExceptionBase, public virtual std::exception {
 public:
  Exception();
  // Takes over the code and details of a_rSource (JsonStatus::moveFrom).
  explicit Exception(JsonStatus& a_rSource);
  Exception(const Exception& a_rOther);
  ~Exception() override;
  const char* what() const noexcept override;
};

// Owns a JsonStatus; when the scope ends with an error in it and no other
// exception is propagating, the status is moved into a qverr::Exception that
// is thrown. Otherwise the status is released.
class ThrowingStatusScope {
 public:
  ThrowingStatusScope();
  ~ThrowingStatusScope() noexcept(false);
  ThrowingStatusScope(const ThrowingStatusScope&) = delete;
  ThrowingStatusScope& operator=(const ThrowingStatusScope&) = delete;

  JsonStatus& json() { return m_Json; }
  operator JsonStatus&() { return m_Json; }

 private:
  JsonStatus m_Json;
};

}  // namespace qverr
