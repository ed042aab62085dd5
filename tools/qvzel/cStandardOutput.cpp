// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cStandardOutput.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "ErrorReport.h"

namespace nQvzelTool {

namespace {
constexpr unsigned kDefaultColumns = 80;
// Narrower than this, cutting a cell would leave too little of it.
constexpr unsigned kMinimumColumns = 40;

void guardStandardDescriptors() {
  for (int l_Fd = STDIN_FILENO; l_Fd <= STDERR_FILENO; ++l_Fd) {
    if (fcntl(l_Fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor: this one, as the lower ones
    // are open by now.
    const int l_New = open("/dev/null", O_RDONLY);
    if (l_New != -1 && l_New != l_Fd) close(l_New);
  }
}

// std::cout's buffer, taken once the descriptors are guarded.
std::streambuf* guardedOutputBuffer() {
  guardStandardDescriptors();
  return std::cout.rdbuf();
}

}  // namespace

cStandardOutput::cStandardOutput() : m_Filter(guardedOutputBuffer()) { std::cout.rdbuf(&m_Filter); }

cStandardOutput::~cStandardOutput() {
  if (std::cout.rdbuf() == &m_Filter) std::cout.rdbuf(m_Filter.target());
}

bool cStandardOutput::finish(std::ostream& a_rErr) {
  std::cout.flush();
  const bool l_StreamGood = std::cout.good();
  // Restoring the buffer clears the stream's state: read it first.
  std::cout.rdbuf(m_Filter.target());
  errno = 0;
  const bool l_Flushed = std::fflush(stdout) == 0;
  const int l_Error = m_Filter.error() != 0 ? m_Filter.error() : errno;
  if (l_Flushed && !std::ferror(stdout) && l_StreamGood) return true;
  std::string l_Reason = l_Error != 0 ? std::strerror(l_Error) : "a write failed";
  a_rErr << messageLines("cannot write to standard output: " + l_Reason + ".");
  return false;
}

namespace {

unsigned terminalColumns(int a_Descriptor) {
  if (!isatty(a_Descriptor)) return kDefaultColumns;
  unsigned l_Columns = 0;
  struct winsize l_Size = {};
  if (ioctl(a_Descriptor, TIOCGWINSZ, &l_Size) == 0) l_Columns = l_Size.ws_col;
  const char* l_pColumns = std::getenv("COLUMNS");
  if (l_Columns == 0 && l_pColumns != nullptr) {
    l_Columns = static_cast<unsigned>(std::strtoul(l_pColumns, nullptr, 10));
  }
  if (l_Columns == 0) return kDefaultColumns;
  return l_Columns < kMinimumColumns ? kMinimumColumns : l_Columns;
}

}  // namespace

unsigned cStandardOutput::columns() { return terminalColumns(STDOUT_FILENO); }

unsigned cStandardOutput::errorColumns() { return terminalColumns(STDERR_FILENO); }

}  // namespace nQvzelTool
