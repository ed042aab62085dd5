// SPDX-License-Identifier: LGPL-2.1-or-later
#include "HelpText.h"

#include "CommandTable.h"
#include "ErrorReport.h"
#include "Format.h"

#ifndef QVZEL_TOOL_VERSION
#define QVZEL_TOOL_VERSION "0.0.0"
#endif

namespace nQvzelTool {

namespace {

// Where the one-line summaries start in the tool's command list.
constexpr size_t kSummaryColumn = 34;

const char* const kToolIntro =
    "Usage: qvzel COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Lists and services the PXI bus-extension link hardware that libqvzelif finds:\n"
    "upstream link cards in this computer and the link controllers of the chassis\n"
    "cabled to them.\n"
    "\n"
    "Commands:\n";

const char* const kToolOutro =
    "\n"
    "ITEM is an index shown by 'qvzel list', a slot path such as MR00:00,E0 or a\n"
    "serial number; slot paths and serial numbers stay the same across reboots.\n"
    "A plain number is always an index: write serial:NUMBER for a serial number\n"
    "of digits only, and slot:PATH to force the slot-path reading.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show help (of the tool, or of the command given)\n"
    "  -V, --version    show the tool's version\n"
    "  -y, --yes        (update) write without asking for confirmation\n"
    "\n"
    "Exit status: 0 success, 1 failure (the message names the status code),\n"
    "2 usage error.\n";

// Options in the order usage lines show them.
struct sOptionName {
  unsigned m_Bit;
  const char* m_pName;
};
const sOptionName kOptionNames[] = {{kOptionTree, "--tree"},
                                    {kOptionForce, "--force"},
                                    {kOptionYes, "--yes"},
                                    {kOptionJson, "--json"},
                                    {kOptionOutput, "--output FILE"}};

// "update ITEM IMAGE [--force] [--yes]"
std::string synopsis(const sCommandSpec& a_rSpec) {
  std::string l_Text = a_rSpec.m_pName;
  if (*a_rSpec.m_pArgNames != '\0') l_Text += std::string(" ") + a_rSpec.m_pArgNames;
  for (const sOptionName& l_rOption : kOptionNames) {
    if ((a_rSpec.m_Options & l_rOption.m_Bit) != 0)
      l_Text += std::string(" [") + l_rOption.m_pName + "]";
  }
  return l_Text;
}

std::string toolHelp() {
  std::string l_Text = kToolIntro;
  size_t l_Count = 0;
  const sCommandSpec* l_pTable = commandTable(l_Count);
  for (size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    std::string l_Line = "  " + synopsis(l_pTable[l_Index]);
    if (l_Line.size() + 2 > kSummaryColumn) {
      l_Line += "\n";
      l_Line.append(kSummaryColumn, ' ');
    } else {
      l_Line.append(kSummaryColumn - l_Line.size(), ' ');
    }
    l_Text += l_Line + l_pTable[l_Index].m_pSummary + "\n";
  }
  return l_Text + kToolOutro;
}

}  // namespace

std::string helpText(const std::string& a_rCommand) {
  const sCommandSpec* l_pSpec = findCommand(a_rCommand.c_str());
  if (l_pSpec == nullptr) return toolHelp();
  return "Usage: qvzel " + synopsis(*l_pSpec) + "\n\n" + l_pSpec->m_pHelp;
}

std::string versionText() { return std::string("qvzel ") + QVZEL_TOOL_VERSION + "\n"; }

std::string usageErrorText(const std::string& a_rProblem) {
  return messageLines(a_rProblem) + "Try 'qvzel --help' for more information.\n";
}

}  // namespace nQvzelTool
