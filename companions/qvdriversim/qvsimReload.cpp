// SPDX-License-Identifier: LGPL-2.1-or-later
// qvsim-reload: reloads simulated cards, as power-cycling them does.
//
//   qvsim-reload [--state-dir DIR] [NAME]...
//
// Each named card (by default every card with a flash in the state
// directory) runs from now on the version its flash's boot header names, 0
// when the flash holds no boot header. The state directory is DIR, or
// QVSIM_STATE_DIR, which qvsim-run sets for the command it runs. Prints one
// line per card; exit 0 when every card was reloaded, 1 when one could not
// be, 2 on a usage error.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cardFlash.h"

namespace {

using namespace nQvDriverSim_1_0;

constexpr char kFlashSuffix[] = ".flash";

int usage() {
  std::fprintf(stderr, "usage: qvsim-reload [--state-dir DIR] [NAME]...\n");
  return 2;
}

// The cards that have a flash in a_rDir, sorted.
bool cardsIn(const std::string& a_rDir, std::vector<std::string>& a_rNames) {
  DIR* l_pDir = ::opendir(a_rDir.c_str());
  if (l_pDir == nullptr) return false;
  const std::string l_Suffix = kFlashSuffix;
  while (const dirent* l_pEntry = ::readdir(l_pDir)) {
    const std::string l_Name = l_pEntry->d_name;
    if (l_Name.size() > l_Suffix.size() &&
        l_Name.compare(l_Name.size() - l_Suffix.size(), l_Suffix.size(), l_Suffix) == 0) {
      a_rNames.push_back(l_Name.substr(0, l_Name.size() - l_Suffix.size()));
    }
  }
  ::closedir(l_pDir);
  std::sort(a_rNames.begin(), a_rNames.end());
  return true;
}

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  const char* l_pEnvDir = std::getenv("QVSIM_STATE_DIR");
  std::string l_Dir = l_pEnvDir != nullptr ? l_pEnvDir : "";
  std::vector<std::string> l_Names;
  for (int l_Index = 1; l_Index < a_Argc; ++l_Index) {
    const std::string l_Arg = a_ppArgv[l_Index];
    if (l_Arg == "--state-dir" && l_Index + 1 < a_Argc) {
      l_Dir = a_ppArgv[++l_Index];
    } else if (l_Arg.empty() || l_Arg[0] == '-' || l_Arg.find('/') != std::string::npos) {
      return usage();
    } else {
      l_Names.push_back(l_Arg);
    }
  }
  if (l_Dir.empty()) {
    std::fprintf(stderr,
                 "qvsim-reload: no state directory: run it inside the lab (qvsim-run sets "
                 "QVSIM_STATE_DIR) or give --state-dir\n");
    return 2;
  }
  if (l_Names.empty() && !cardsIn(l_Dir, l_Names)) {
    std::fprintf(stderr, "qvsim-reload: %s: cannot be read\n", l_Dir.c_str());
    return 1;
  }
  if (l_Names.empty()) {
    std::fprintf(stderr, "qvsim-reload: %s holds no card with a flash\n", l_Dir.c_str());
    return 1;
  }
  int l_Exit = 0;
  for (const std::string& l_rName : l_Names) {
    uint32_t l_Version = 0;
    std::string l_Error;
    if (!reloadCard(l_Dir, l_rName, l_Version, l_Error)) {
      std::fprintf(stderr, "qvsim-reload: %s: %s\n", l_rName.c_str(), l_Error.c_str());
      l_Exit = 1;
      continue;
    }
    std::printf("%s: reloaded, runs version 0x%X\n", l_rName.c_str(), l_Version);
  }
  return l_Exit;
}
