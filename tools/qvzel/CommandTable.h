// SPDX-License-Identifier: LGPL-2.1-or-later
// The tool's commands in one table: name, arguments, options, the function
// that runs it and its help. A new command is one entry in CommandTable.cpp.
#pragma once

#include <cstddef>
#include <ostream>

namespace nQvzelTool {

struct sOptions;

// Options a command may take, as bits of sCommandSpec::m_Options.
enum eCommandOption : unsigned {
  kOptionTree = 1u << 0,
  kOptionForce = 1u << 1,
  kOptionYes = 1u << 2,
  kOptionJson = 1u << 3,
  kOptionOutput = 1u << 4,  // takes a value: --output FILE
};

using tCommandRunner = int (*)(const sOptions& a_rOptions, std::ostream& a_rOut,
                               std::ostream& a_rErr);

struct sCommandSpec {
  const char* m_pName;
  const char* m_pArgNames;  // "ITEM IMAGE"; "" when the command takes none
  unsigned m_Options;       // eCommandOption bits
  tCommandRunner m_pRun;    // null for "help", which the command line resolves
  const char* m_pSummary;   // one line for the tool's help
  const char* m_pHelp;      // the command's help, below its usage line
};

// The table, in the order the tool's help lists it.
const sCommandSpec* commandTable(size_t& a_rCount);
// The command of that name, or null.
const sCommandSpec* findCommand(const char* a_pName);

}  // namespace nQvzelTool
