// SPDX-License-Identifier: LGPL-2.1-or-later
// cEscapingStreamBuf: passes text on to another stream buffer line by line,
// each line through displayText(), so that no control character written to
// it reaches the terminal, whichever renderer wrote it. Line feeds pass.
#pragma once

#include <streambuf>
#include <string>

namespace nQvzelTool {

class cEscapingStreamBuf : public std::streambuf {
 public:
  explicit cEscapingStreamBuf(std::streambuf* a_pTarget) : m_pTarget(a_pTarget) {}
  cEscapingStreamBuf(const cEscapingStreamBuf&) = delete;
  cEscapingStreamBuf& operator=(const cEscapingStreamBuf&) = delete;

  std::streambuf* target() const { return m_pTarget; }
  // errno of the first write the target refused, or 0.
  int error() const { return m_Error; }

 protected:
  int_type overflow(int_type a_Char) override;
  int sync() override;

 private:
  // Writes the pending line, escaped; false when the target refused it.
  bool emit();
  void fail();

  std::streambuf* m_pTarget;
  std::string m_Line;
  bool m_Failed = false;
  int m_Error = 0;
};

}  // namespace nQvzelTool
