#include "CommandLine.h"

#include <cstring>

namespace nQvzelTool {

namespace {

struct sCommandSpec {
  const char* m_pName;
  size_t m_ArgCount;
  const char* m_pArgNames;
  bool m_Json;
  bool m_Tree;
  bool m_Update;
};

// Which arguments and options each command takes.
const sCommandSpec kCommands[] = {
    {"list", 0, "", true, true, false},
    {"show", 1, "ITEM", true, false, false},
    {"idsel", 1, "ITEM", true, false, false},
    {"check-image", 1, "IMAGE", true, false, false},
    {"update", 2, "ITEM IMAGE", false, false, true},
    {"help", 0, "", false, false, false},
};

const sCommandSpec* findCommand(const std::string& a_rName) {
  for (const sCommandSpec& l_rSpec : kCommands) {
    if (a_rName == l_rSpec.m_pName) return &l_rSpec;
  }
  return nullptr;
}

// Checks the options and argument count against the command's spec.
void validate(sOptions& a_rOptions) {
  if (!a_rOptions.m_Error.empty() || a_rOptions.m_Help || a_rOptions.m_Version) return;
  if (a_rOptions.m_Command.empty()) {
    a_rOptions.m_Error = "no command given";
    return;
  }
  const sCommandSpec* l_pSpec = findCommand(a_rOptions.m_Command);
  if (l_pSpec == nullptr) {
    a_rOptions.m_Error = "unknown command '" + a_rOptions.m_Command + "'";
    return;
  }
  const std::string l_Name = l_pSpec->m_pName;
  if (l_Name == "help") {
    // "qvzel help [COMMAND]" is "qvzel [COMMAND] --help".
    if (a_rOptions.m_Args.size() > 1) {
      a_rOptions.m_Error = "help takes at most one command name";
      return;
    }
    a_rOptions.m_Help = true;
    a_rOptions.m_Command = a_rOptions.m_Args.empty() ? "" : a_rOptions.m_Args.front();
    a_rOptions.m_Args.clear();
    if (!a_rOptions.m_Command.empty() && findCommand(a_rOptions.m_Command) == nullptr) {
      a_rOptions.m_Error = "unknown command '" + a_rOptions.m_Command + "'";
    }
    return;
  }
  if ((a_rOptions.m_Json && !l_pSpec->m_Json) || (a_rOptions.m_Tree && !l_pSpec->m_Tree) ||
      ((a_rOptions.m_Force || a_rOptions.m_Yes) && !l_pSpec->m_Update)) {
    a_rOptions.m_Error = "an option given is not one that '" + l_Name + "' takes";
    return;
  }
  if (a_rOptions.m_Args.size() != l_pSpec->m_ArgCount) {
    a_rOptions.m_Error = l_pSpec->m_ArgCount == 0
                             ? "'" + l_Name + "' takes no arguments"
                             : "'" + l_Name + "' takes " + l_pSpec->m_pArgNames;
  }
}

}  // namespace

sOptions parseCommandLine(int a_Argc, const char* const* a_pArgv) {
  sOptions l_Options;
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
    } else if (l_Arg == "--help" || l_Arg == "-h") {
      l_Options.m_Help = true;
    } else if (l_Arg == "--version" || l_Arg == "-V") {
      l_Options.m_Version = true;
    } else if (l_Arg == "--json") {
      l_Options.m_Json = true;
    } else if (l_Arg == "--tree") {
      l_Options.m_Tree = true;
    } else if (l_Arg == "--force") {
      l_Options.m_Force = true;
    } else if (l_Arg == "--yes" || l_Arg == "-y") {
      l_Options.m_Yes = true;
    } else if (l_Options.m_Error.empty()) {
      l_Options.m_Error = "unknown option '" + l_Arg + "'";
    }
  }
  if (l_Options.m_Help && !l_Options.m_Command.empty() &&
      findCommand(l_Options.m_Command) == nullptr && l_Options.m_Error.empty()) {
    l_Options.m_Error = "unknown command '" + l_Options.m_Command + "'";
  }
  validate(l_Options);
  return l_Options;
}

}  // namespace nQvzelTool
