// SPDX-License-Identifier: LGPL-2.1-or-later
// qvz_bench_list_loop SYSTEM COUNT [--read-all] [--max-growth-kib N] [--expect-items N]
//
// Opens and closes COUNT lists of a simulated system in one process (with
// --read-all also reading every attribute of every item) and prints the
// resident set size after a warm-up and at the end. Exits 1 when a list
// opening fails, an attribute answers other than documented, a list has
// another item count than expected, or the resident set grew by more than
// the allowed KiB (default 1024) after a warm-up of 100 rounds (not checked
// with fewer rounds). Also the workload profiled with
// valgrind's callgrind by scripts/bench.sh.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchSupport.h"

namespace {

// Openings before the first reading: lazily built state (the loader's
// caches, the C++ runtime's pools) settles in these.
constexpr long kWarmUp = 100;

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  if (a_Argc < 3) {
    std::fprintf(stderr, "usage: %s SYSTEM COUNT [--read-all] [--max-growth-kib N]\n", a_ppArgv[0]);
    return 2;
  }
  const std::string l_System = a_ppArgv[1];
  const long l_Count = std::strtol(a_ppArgv[2], nullptr, 10);
  bool l_ReadAll = false;
  long l_MaxGrowth = 1024;
  long l_ExpectedItems = -1;
  for (int l_Arg = 3; l_Arg < a_Argc; ++l_Arg) {
    if (std::strcmp(a_ppArgv[l_Arg], "--read-all") == 0) {
      l_ReadAll = true;
    } else if (std::strcmp(a_ppArgv[l_Arg], "--max-growth-kib") == 0 && l_Arg + 1 < a_Argc) {
      l_MaxGrowth = std::strtol(a_ppArgv[++l_Arg], nullptr, 10);
    } else if (std::strcmp(a_ppArgv[l_Arg], "--expect-items") == 0 && l_Arg + 1 < a_Argc) {
      l_ExpectedItems = std::strtol(a_ppArgv[++l_Arg], nullptr, 10);
    } else {
      std::fprintf(stderr, "unknown argument %s\n", a_ppArgv[l_Arg]);
      return 2;
    }
  }
  std::string l_Error;
  if (!nQvBench::useSystem(l_System, l_Error)) {
    std::fprintf(stderr, "%s\n", l_Error.c_str());
    return 77;
  }

  uint64_t l_Before = 0;
  int64_t l_Items = 0;
  for (long l_Round = 0; l_Round < l_Count; ++l_Round) {
    if (l_Round == kWarmUp || (l_Round == 0 && l_Count <= kWarmUp)) {
      l_Before = nQvBench::residentKiB();
    }
    l_Items = nQvBench::openReadClose(l_ReadAll, l_Error, nullptr);
    if (l_Items < 0) {
      std::fprintf(stderr, "round %ld: %s\n", l_Round, l_Error.c_str());
      return 1;
    }
    if (l_ExpectedItems >= 0 && l_Items != l_ExpectedItems) {
      std::fprintf(stderr, "round %ld: %lld items instead of %ld\n", l_Round,
                   static_cast<long long>(l_Items), l_ExpectedItems);
      return 1;
    }
  }
  const uint64_t l_After = nQvBench::residentKiB();
  const long l_Growth = static_cast<long>(l_After) - static_cast<long>(l_Before);
  std::printf(
      "list openings: %ld of %lld items each%s; RSS after %ld: %llu KiB, after %ld: %llu KiB "
      "(%+ld KiB); peak %llu KiB\n",
      l_Count, static_cast<long long>(l_Items), l_ReadAll ? ", every attribute read" : "",
      l_Count > kWarmUp ? kWarmUp : 0L, static_cast<unsigned long long>(l_Before), l_Count,
      static_cast<unsigned long long>(l_After), l_Growth,
      static_cast<unsigned long long>(nQvBench::peakResidentKiB()));
  // The kernel's share of the work, which instruction counts in user space
  // cannot show.
  rusage l_Usage{};
  getrusage(RUSAGE_SELF, &l_Usage);
  std::printf("CPU time: user %.3f s, system %.3f s\n",
              l_Usage.ru_utime.tv_sec + l_Usage.ru_utime.tv_usec / 1e6,
              l_Usage.ru_stime.tv_sec + l_Usage.ru_stime.tv_usec / 1e6);
  // Too few rounds for a warm-up say nothing about growth.
  if (l_Count > kWarmUp && l_Growth > l_MaxGrowth) {
    std::printf("memory grew by more than %ld KiB\n", l_MaxGrowth);
    return 1;
  }
  return 0;
}
