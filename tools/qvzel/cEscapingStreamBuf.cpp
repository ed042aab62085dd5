// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cEscapingStreamBuf.h"

#include <cerrno>

#include "Format.h"

namespace nQvzelTool {

namespace {
// A line longer than this is passed on in pieces.
constexpr size_t kMaxPending = 64 * 1024;
}  // namespace

void cEscapingStreamBuf::fail() {
  if (!m_Failed) m_Error = errno;
  m_Failed = true;
}

bool cEscapingStreamBuf::emit() {
  const std::string l_Text = displayText(m_Line);
  m_Line.clear();
  const std::streamsize l_Size = static_cast<std::streamsize>(l_Text.size());
  if (m_pTarget->sputn(l_Text.data(), l_Size) != l_Size) fail();
  return !m_Failed;
}

cEscapingStreamBuf::int_type cEscapingStreamBuf::overflow(int_type a_Char) {
  if (m_Failed) return traits_type::eof();
  if (traits_type::eq_int_type(a_Char, traits_type::eof())) return traits_type::not_eof(a_Char);
  if (traits_type::to_char_type(a_Char) == '\n') {
    if (!emit()) return traits_type::eof();
    if (traits_type::eq_int_type(m_pTarget->sputc('\n'), traits_type::eof())) {
      fail();
      return traits_type::eof();
    }
    return a_Char;
  }
  m_Line += traits_type::to_char_type(a_Char);
  if (m_Line.size() >= kMaxPending && !emit()) return traits_type::eof();
  return a_Char;
}

int cEscapingStreamBuf::sync() {
  if (!m_Line.empty()) emit();
  if (!m_Failed && m_pTarget->pubsync() != 0) fail();
  return m_Failed ? -1 : 0;
}

}  // namespace nQvzelTool
