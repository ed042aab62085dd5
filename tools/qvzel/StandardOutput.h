// The tool's standard streams: descriptors that are surely open, a final
// check that everything written to stdout arrived, and the width text output
// may use.
#pragma once

#include <ostream>

namespace nQvzelTool {

// Puts /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no
// file or device the tool opens later takes its place. Descriptors 1 and 2
// get it read-only: writing to a stdout that was closed still fails.
void guardStandardDescriptors();

// Flushes stdout and tells whether every write to it succeeded; when not,
// says so on a_rErr.
bool finishStandardOutput(std::ostream& a_rErr);

// Columns text output may fill: the terminal's width when stdout is a
// terminal (COLUMNS when the terminal does not tell), else 80.
unsigned outputColumns();

}  // namespace nQvzelTool
