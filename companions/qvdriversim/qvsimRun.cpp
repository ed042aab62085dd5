// SPDX-License-Identifier: LGPL-2.1-or-later
// qvsim-run: runs one command inside a simulated system.
//
//   qvsim-run SYSTEMFILE [--log-dir DIR] [--state-dir DIR] [--lib-dir DIR]... -- COMMAND [ARGS...]
//
// Enters a private mount namespace, builds the kernel driver's tree from the
// file's interface sections, points the simulated PCI bridge library at the
// file (QVPCIBRD_SYSTEM), preloads the ioctl interposer that makes the device
// files answer, and replaces itself by the command, whose exit code it thus
// returns. With --state-dir the cards' flash images live in DIR and outlive
// the run: a card keeps what earlier runs wrote into it. Exit 77: the machine refused the namespace
// (a skip, not a pass); 125: the runner itself failed; 126/127: the command could not be run.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driverTree.h"
#include "privateNamespace.h"
#include "systemFile.h"

namespace {

using namespace nQvDriverSim_1_0;

constexpr int kExitSkip = 77;
constexpr int kExitRunnerFailed = 125;
constexpr int kExitCannotExecute = 126;
constexpr int kExitNotFound = 127;

int usage() {
  std::fprintf(stderr,
               "usage: qvsim-run SYSTEMFILE [--log-dir DIR] [--state-dir DIR] [--lib-dir DIR]... "
               "-- COMMAND [ARGS...]\n");
  return kExitRunnerFailed;
}

int fail(const std::string& a_rMessage) {
  std::fprintf(stderr, "qvsim-run: %s\n", a_rMessage.c_str());
  return kExitRunnerFailed;
}

bool absolutePath(const std::string& a_rPath, std::string& a_rAbsolute) {
  char l_Buffer[PATH_MAX];
  if (::realpath(a_rPath.c_str(), l_Buffer) == nullptr) return false;
  a_rAbsolute = l_Buffer;
  return true;
}

// The interposer is built next to this program.
std::string interposerPath() {
  char l_Self[PATH_MAX];
  const ssize_t l_Length = ::readlink("/proc/self/exe", l_Self, sizeof(l_Self) - 1);
  if (l_Length <= 0) return std::string();
  std::string l_Path(l_Self, static_cast<size_t>(l_Length));
  return l_Path.substr(0, l_Path.rfind('/')) + "/libqvdriversim.so";
}

// Puts a_rValue in front of the variable's list (a_pSeparator between).
void prependEnv(const char* a_pName, const std::string& a_rValue, const char* a_pSeparator) {
  const char* l_pOld = std::getenv(a_pName);
  std::string l_New = a_rValue;
  if (l_pOld != nullptr && *l_pOld != '\0') l_New += a_pSeparator + std::string(l_pOld);
  ::setenv(a_pName, l_New.c_str(), 1);
}

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  std::string l_SystemFile;
  std::string l_LogDir;
  std::string l_StateDir;
  std::vector<std::string> l_LibDirs;
  int l_Index = 1;
  for (; l_Index < a_Argc; ++l_Index) {
    const std::string l_Arg = a_ppArgv[l_Index];
    if (l_Arg == "--") break;
    if (l_Arg == "--log-dir" && l_Index + 1 < a_Argc) {
      l_LogDir = a_ppArgv[++l_Index];
    } else if (l_Arg == "--state-dir" && l_Index + 1 < a_Argc) {
      l_StateDir = a_ppArgv[++l_Index];
    } else if (l_Arg == "--lib-dir" && l_Index + 1 < a_Argc) {
      l_LibDirs.push_back(a_ppArgv[++l_Index]);
    } else if (l_SystemFile.empty() && !l_Arg.empty() && l_Arg[0] != '-') {
      l_SystemFile = l_Arg;
    } else {
      return usage();
    }
  }
  if (l_SystemFile.empty() || l_Index + 1 >= a_Argc) return usage();
  char** l_ppCommand = a_ppArgv + l_Index + 1;

  std::vector<sInterfaceSpec> l_Interfaces;
  std::string l_Error;
  std::string l_SystemPath;
  if (!parseSystemFile(l_SystemFile, l_Interfaces, l_Error)) return fail(l_Error);
  if (!absolutePath(l_SystemFile, l_SystemPath)) return fail(l_SystemFile + ": cannot be resolved");
  if (!l_LogDir.empty()) {
    if (!makeDirectories(l_LogDir, l_Error)) return fail(l_Error);
    if (!absolutePath(l_LogDir, l_LogDir)) return fail("the log directory cannot be resolved");
  }
  const bool l_KeepFlash = !l_StateDir.empty();
  if (l_KeepFlash) {
    if (!makeDirectories(l_StateDir, l_Error)) return fail(l_Error);
    if (!absolutePath(l_StateDir, l_StateDir))
      return fail("the state directory cannot be resolved");
  }
  const std::string l_Interposer = interposerPath();
  if (l_Interposer.empty() || ::access(l_Interposer.c_str(), R_OK) != 0) {
    return fail("the ioctl interposer is missing: " + l_Interposer);
  }

  std::string l_Reason;
  if (!enterPrivateNamespace(l_Reason)) {
    std::fprintf(stderr, "qvsim-run: skipped, no private /proc/driver tree: %s\n",
                 l_Reason.c_str());
    return kExitSkip;
  }
  if (l_LogDir.empty()) l_LogDir = defaultLogDir();
  if (l_StateDir.empty()) l_StateDir = defaultStateDir();
  if (!buildDriverTree(l_Interfaces, l_LogDir, l_StateDir, l_KeepFlash, l_Error)) {
    return fail(l_Error);
  }

  ::setenv("QVPCIBRD_SYSTEM", l_SystemPath.c_str(), 1);
  ::setenv("QVSIM_LOG_DIR", l_LogDir.c_str(), 1);
  ::setenv("QVSIM_STATE_DIR", l_StateDir.c_str(), 1);
  prependEnv("LD_PRELOAD", l_Interposer, ":");
  // A preloaded library ahead of the sanitizer runtime is fine here.
  const char* l_pAsan = std::getenv("ASAN_OPTIONS");
  std::string l_AsanOptions =
      (l_pAsan != nullptr && *l_pAsan != '\0') ? l_pAsan + std::string(":") : "";
  ::setenv("ASAN_OPTIONS", (l_AsanOptions + "verify_asan_link_order=0").c_str(), 1);
  for (auto l_Dir = l_LibDirs.rbegin(); l_Dir != l_LibDirs.rend(); ++l_Dir) {
    std::string l_Absolute;
    prependEnv("LD_LIBRARY_PATH", absolutePath(*l_Dir, l_Absolute) ? l_Absolute : *l_Dir, ":");
  }

  ::execvp(l_ppCommand[0], l_ppCommand);
  const int l_Errno = errno;
  std::fprintf(stderr, "qvsim-run: %s: %s\n", l_ppCommand[0], std::strerror(l_Errno));
  return l_Errno == ENOENT ? kExitNotFound : kExitCannotExecute;
}
