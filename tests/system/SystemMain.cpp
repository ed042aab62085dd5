// Entry point of the system test programs. The environment the library reads
// when it is loaded (where the companion libraries are, where the shared
// state directory is relocated to) must be in place before the process
// starts, so the program sets it and runs itself again once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef QVZ_SYSTEST_LIBRARY_PATH
#error "QVZ_SYSTEST_LIBRARY_PATH names the companion library folder"
#endif

namespace {

constexpr const char kMarker[] = "QVZ_SYSTEST_PREPARED";
// Inside the private /proc/driver tree every test process gets its own.
constexpr const char kStateDir[] = "/proc/driver/qvstate";

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kMarker) == nullptr) {
    setenv(kMarker, "1", 1);
    setenv("LD_LIBRARY_PATH", QVZ_SYSTEST_LIBRARY_PATH, 1);
    setenv("QVRELOC_SHAREDSTATEDIR", kStateDir, 1);
    unsetenv("QVRELOC_FAIL");
    unsetenv("QVPCIBRD_SYSTEM");
    execv("/proc/self/exe", argv);
    std::perror("system tests: cannot run again with the test environment");
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
