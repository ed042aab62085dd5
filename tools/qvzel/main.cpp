// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel: lists and services the PXI bus-extension link hardware that
// libqvzelif finds. The commands are listed in CommandTable.cpp, one source
// file each (cmd*.cpp).
#include <iostream>

#include "CommandLine.h"
#include "CommandTable.h"
#include "DisplayText.h"
#include "Commands.h"
#include "HelpText.h"
#include "cStandardOutput.h"

namespace {

int run(const nQvzelTool::sOptions& a_rOptions) {
  using namespace nQvzelTool;
  if (!a_rOptions.m_Error.empty()) {
    std::cerr << usageErrorText(a_rOptions.m_Error);
    return kExitUsage;
  }
  if (a_rOptions.m_Help) {
    std::cout << helpText(a_rOptions.m_Command);
    return kExitSuccess;
  }
  if (a_rOptions.m_Version) {
    std::cout << versionText();
    return kExitSuccess;
  }
  const sCommandSpec* l_pSpec = findCommand(a_rOptions.m_Command.c_str());
  if (l_pSpec == nullptr || l_pSpec->m_pRun == nullptr) {
    std::cerr << usageErrorText("unknown command " + quotedArgument(a_rOptions.m_Command));
    return kExitUsage;
  }
  return l_pSpec->m_pRun(a_rOptions, std::cout, std::cerr);
}

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  using namespace nQvzelTool;
  cStandardOutput l_Output;
  const int l_Exit = run(parseCommandLine(a_Argc, a_ppArgv));
  // Output that never arrived is a failure, whatever the command decided.
  if (!l_Output.finish(std::cerr) && l_Exit == kExitSuccess) return kExitFailure;
  return l_Exit;
}
