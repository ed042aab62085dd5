// SPDX-License-Identifier: LGPL-2.1-or-later
// Entry point of the system test programs. The environment the library reads
// when it is loaded (where the companion libraries are, where the shared
// state directory is relocated to) must be in place before the process
// starts, so the program sets it and runs itself again once.
//
// QVZ_SYSTEST_SCENARIO chooses the machine's libraries:
//   (unset)             the simulated PCI bridge and relocation libraries
//   no-bridge-library   only the relocation library
//   missing-entry       a PCI bridge library that lacks one entry point
//   failed-path-table   the relocation query for "sharedstatedir" fails
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#if !defined(QVZ_SYSTEST_COMPANIONS) || !defined(QVZ_SYSTEST_RELOCATION_ONLY)
#error "the build names the companion library folders"
#endif

namespace {

constexpr const char kMarker[] = "QVZ_SYSTEST_PREPARED";
// Inside the private /proc/driver tree: every test process has its own.
constexpr const char kStateDir[] = "/proc/driver/qvstate";

// The LD_LIBRARY_PATH of a scenario, or null for an unknown one.
const char* libraryPath(const std::string& a_rScenario) {
  if (a_rScenario.empty() || a_rScenario == "failed-path-table") return QVZ_SYSTEST_COMPANIONS;
  if (a_rScenario == "no-bridge-library") return QVZ_SYSTEST_RELOCATION_ONLY;
  if (a_rScenario == "missing-entry") {
    return QVZ_SYSTEST_COMPANIONS "/variants/missing-entry:" QVZ_SYSTEST_RELOCATION_ONLY;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kMarker) == nullptr) {
    const char* l_pScenario = std::getenv("QVZ_SYSTEST_SCENARIO");
    const std::string l_Scenario = l_pScenario ? l_pScenario : "";
    const char* l_pLibraries = libraryPath(l_Scenario);
    if (l_pLibraries == nullptr) {
      std::fprintf(stderr, "system tests: unknown scenario '%s'\n", l_Scenario.c_str());
      return 2;
    }
    setenv(kMarker, "1", 1);
    setenv("LD_LIBRARY_PATH", l_pLibraries, 1);
    setenv("QVRELOC_SHAREDSTATEDIR", kStateDir, 1);
    if (l_Scenario == "failed-path-table") {
      setenv("QVRELOC_FAIL", "sharedstatedir", 1);
    } else {
      unsetenv("QVRELOC_FAIL");
    }
    unsetenv("QVPCIBRD_SYSTEM");
    execv("/proc/self/exe", argv);
    std::perror("system tests: cannot run again with the test environment");
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
