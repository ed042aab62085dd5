// qvzel: lists and services the PXI bus-extension link hardware that
// libqvzelif finds. One source file per command (cmd*.cpp).
#include <iostream>

#include "CommandLine.h"
#include "Commands.h"
#include "HelpText.h"

int main(int a_Argc, char** a_ppArgv) {
  using namespace nQvzelTool;
  const sOptions l_Options = parseCommandLine(a_Argc, a_ppArgv);
  if (!l_Options.m_Error.empty()) {
    std::cerr << usageErrorText(l_Options.m_Error);
    return kExitUsage;
  }
  if (l_Options.m_Help) {
    std::cout << helpText(l_Options.m_Command);
    return kExitSuccess;
  }
  if (l_Options.m_Version) {
    std::cout << versionText();
    return kExitSuccess;
  }
  const std::string& l_rCommand = l_Options.m_Command;
  if (l_rCommand == "list") return runList(l_Options, std::cout, std::cerr);
  if (l_rCommand == "show") return runShow(l_Options, std::cout, std::cerr);
  if (l_rCommand == "idsel") return runIdsel(l_Options, std::cout, std::cerr);
  if (l_rCommand == "check-image") return runCheckImage(l_Options, std::cout, std::cerr);
  if (l_rCommand == "update") return runUpdate(l_Options, std::cout, std::cerr);
  std::cerr << usageErrorText("unknown command '" + l_rCommand + "'");
  return kExitUsage;
}
