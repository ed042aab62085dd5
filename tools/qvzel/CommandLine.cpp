// SPDX-License-Identifier: LGPL-2.1-or-later
#include "CommandLine.h"

#include <utility>

#include "CommandTable.h"
#include "DisplayText.h"

namespace nQvzelTool {

namespace {

struct sOptionSpec {
  const char* m_pLong;
  const char* m_pShort;  // or null
  unsigned m_Bit;        // eCommandOption bit; 0 for options every command takes
  bool sOptions::*m_pFlag;
};

const sOptionSpec kOptionTable[] = {
    {"--tree", nullptr, kOptionTree, &sOptions::m_Tree},
    {"--force", nullptr, kOptionForce, &sOptions::m_Force},
    {"--yes", "-y", kOptionYes, &sOptions::m_Yes},
    {"--json", nullptr, kOptionJson, &sOptions::m_Json},
    {"--help", "-h", 0, &sOptions::m_Help},
    {"--version", "-V", 0, &sOptions::m_Version},
};

// A command option as the user wrote it, with its bit.
using tGivenOption = std::pair<std::string, unsigned>;

const sOptionSpec* findOption(const std::string& a_rText) {
  for (const sOptionSpec& l_rSpec : kOptionTable) {
    if (a_rText == l_rSpec.m_pLong || (l_rSpec.m_pShort != nullptr && a_rText == l_rSpec.m_pShort))
      return &l_rSpec;
  }
  return nullptr;
}

size_t wordCount(const char* a_pText) {
  size_t l_Count = 0;
  bool l_InWord = false;
  for (const char* l_p = a_pText; *l_p != '\0'; ++l_p) {
    if (*l_p != ' ' && !l_InWord) ++l_Count;
    l_InWord = *l_p != ' ';
  }
  return l_Count;
}

std::string quoted(const std::string& a_rText) { return quotedArgument(a_rText); }

// "qvzel help [COMMAND]" is "qvzel [COMMAND] --help".
void resolveHelpCommand(sOptions& a_rOptions) {
  if (a_rOptions.m_Args.size() > 1) {
    a_rOptions.m_Error = "help takes at most one command name";
    return;
  }
  a_rOptions.m_Help = true;
  a_rOptions.m_Command = a_rOptions.m_Args.empty() ? "" : a_rOptions.m_Args.front();
  a_rOptions.m_Args.clear();
  if (!a_rOptions.m_Command.empty() && findCommand(a_rOptions.m_Command.c_str()) == nullptr) {
    a_rOptions.m_Error = "unknown command " + quoted(a_rOptions.m_Command);
  }
}

// Checks the options and arguments against the command's entry.
void validate(sOptions& a_rOptions, const std::vector<tGivenOption>& a_rGiven) {
  if (!a_rOptions.m_Error.empty() || a_rOptions.m_Help || a_rOptions.m_Version) return;
  if (a_rOptions.m_Command.empty()) {
    a_rOptions.m_Error = "no command given";
    return;
  }
  const sCommandSpec* l_pSpec = findCommand(a_rOptions.m_Command.c_str());
  if (l_pSpec == nullptr) {
    a_rOptions.m_Error = "unknown command " + quoted(a_rOptions.m_Command);
    return;
  }
  const std::string l_Name = l_pSpec->m_pName;
  if (l_pSpec->m_pRun == nullptr) return resolveHelpCommand(a_rOptions);
  for (const tGivenOption& l_rGiven : a_rGiven) {
    if ((l_pSpec->m_Options & l_rGiven.second) == 0) {
      a_rOptions.m_Error = quoted(l_Name) + " does not take the option " + quoted(l_rGiven.first);
      return;
    }
  }
  // The JSON documents name each controller's upstream port; a tree of its
  // own would only repeat that.
  if (a_rOptions.m_Tree && a_rOptions.m_Json) {
    a_rOptions.m_Error =
        "'--tree' and '--json' do not go together; the JSON document names "
        "each controller's upstream port in 'below'";
    return;
  }
  const size_t l_ArgCount = wordCount(l_pSpec->m_pArgNames);
  if (a_rOptions.m_Args.size() != l_ArgCount) {
    a_rOptions.m_Error = l_ArgCount == 0 ? quoted(l_Name) + " takes no arguments"
                                         : quoted(l_Name) + " takes " + l_pSpec->m_pArgNames;
    return;
  }
  for (const std::string& l_rArg : a_rOptions.m_Args) {
    if (l_rArg.empty()) {
      a_rOptions.m_Error = "an empty argument names no item and no file";
      return;
    }
  }
}

}  // namespace

sOptions parseCommandLine(int a_Argc, const char* const* a_pArgv) {
  sOptions l_Options;
  std::vector<tGivenOption> l_Given;
  bool l_OptionsEnded = false;
  for (int l_Index = 1; l_Index < a_Argc; ++l_Index) {
    const std::string l_Arg = a_pArgv[l_Index];
    const bool l_IsOption = !l_OptionsEnded && l_Arg.size() > 1 && l_Arg[0] == '-';
    if (!l_IsOption) {
      if (l_Options.m_Command.empty()) {
        l_Options.m_Command = l_Arg;
      } else {
        l_Options.m_Args.push_back(l_Arg);
      }
      continue;
    }
    if (l_Arg == "--") {
      l_OptionsEnded = true;
      continue;
    }
    // The one option with a value: "--output FILE" or "--output=FILE".
    if (l_Arg == "--output" || l_Arg.compare(0, 9, "--output=") == 0) {
      const bool l_Inline = l_Arg.size() > 8;
      if (!l_Inline && l_Index + 1 >= a_Argc) {
        if (l_Options.m_Error.empty()) l_Options.m_Error = "'--output' needs a file name";
        continue;
      }
      l_Options.m_Output = l_Inline ? l_Arg.substr(9) : a_pArgv[++l_Index];
      if (l_Options.m_Output.empty() && l_Options.m_Error.empty()) {
        l_Options.m_Error = "'--output' needs a file name";
      }
      l_Given.emplace_back("--output", kOptionOutput);
      continue;
    }
    const sOptionSpec* l_pOption = findOption(l_Arg);
    if (l_pOption == nullptr) {
      if (l_Options.m_Error.empty()) l_Options.m_Error = "unknown option " + quoted(l_Arg);
      continue;
    }
    l_Options.*(l_pOption->m_pFlag) = true;
    if (l_pOption->m_Bit != 0) l_Given.emplace_back(l_Arg, l_pOption->m_Bit);
  }
  if (l_Options.m_Help && !l_Options.m_Command.empty() &&
      findCommand(l_Options.m_Command.c_str()) == nullptr && l_Options.m_Error.empty()) {
    l_Options.m_Error = "unknown command " + quoted(l_Options.m_Command);
  }
  validate(l_Options, l_Given);
  return l_Options;
}

}  // namespace nQvzelTool
