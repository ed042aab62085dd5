// SPDX-License-Identifier: LGPL-2.1-or-later
// Parsing of the command line: one command, its arguments and its options.
#pragma once

#include <string>
#include <vector>

namespace nQvzelTool {

struct sOptions {
  std::string m_Command;            // empty when only --help or --version was given
  std::vector<std::string> m_Args;  // the command's arguments, in order
  bool m_Json = false;
  bool m_Tree = false;
  bool m_Force = false;
  bool m_Yes = false;
  bool m_Help = false;
  bool m_Version = false;
  std::string m_Output;  // --output FILE; empty when not given
  std::string m_Error;   // a usage error; the tool then exits with 2
};

// Reads argv[1..]; never fails, but sets m_Error for a usage error.
sOptions parseCommandLine(int a_Argc, const char* const* a_pArgv);

}  // namespace nQvzelTool
