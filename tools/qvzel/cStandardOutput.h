// SPDX-License-Identifier: LGPL-2.1-or-later
// cStandardOutput: the tool's standard streams for one run: descriptors that
// are surely open, stdout escaped line by line, and a final check that
// everything written to stdout arrived.
#pragma once

#include <ostream>

#include "cEscapingStreamBuf.h"

namespace nQvzelTool {

class cStandardOutput {
 public:
  // Puts /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
  // no file or device the tool opens later takes its place (1 and 2 get it
  // read-only: writing to a stdout that was closed still fails), and routes
  // std::cout through the escaping buffer.
  cStandardOutput();
  ~cStandardOutput();
  cStandardOutput(const cStandardOutput&) = delete;
  cStandardOutput& operator=(const cStandardOutput&) = delete;

  // Flushes stdout and tells whether every write to it succeeded; when not,
  // says so on a_rErr.
  bool finish(std::ostream& a_rErr);

  // Columns text output may fill: the terminal's width when stdout is a
  // terminal (COLUMNS when the terminal does not tell), else 80.
  static unsigned columns();
  // The same for stderr, where messages and questions go.
  static unsigned errorColumns();

 private:
  cEscapingStreamBuf m_Filter;
};

}  // namespace nQvzelTool
