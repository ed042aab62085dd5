// SPDX-License-Identifier: LGPL-2.1-or-later
// The exception that carries a JsonStatus, and the scope that throws it.
#include "status/Exception.h"

namespace qverr {

ExceptionBase::ExceptionBase() = default;

ExceptionBase::ExceptionBase(const ExceptionBase& a_rOther) {
  // A copy that cannot get memory for the details still carries the code.
  if (!m_Status.assign(a_rOther.m_Status)) m_Status.code = a_rOther.m_Status.code;
}

ExceptionBase::~ExceptionBase() { m_Status.release(); }

const char* ExceptionBase::what() const noexcept {
  return m_Status.json != nullptr ? m_Status.json : "";
}

Exception::Exception() = default;

Exception::Exception(JsonStatus& a_rSource) { m_Status.moveFrom(a_rSource); }

Exception::Exception(const Exception& a_rOther)
    : ExceptionBase(a_rOther), std::exception(a_rOther) {}

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return ExceptionBase::what(); }

ThrowingStatusScope::ThrowingStatusScope() = default;

ThrowingStatusScope::~ThrowingStatusScope() noexcept(false) {
  if (m_Json.isFatal() && std::uncaught_exceptions() == 0) {
    throw Exception(m_Json);
  }
  m_Json.release();
}

}  // namespace qverr
