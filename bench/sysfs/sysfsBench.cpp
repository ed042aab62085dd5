// SPDX-License-Identifier: LGPL-2.1-or-later
// List openings with the PCI bridge library's sysfs backend, in process.
//
// The tree is the one QVPCIBRD_SYSFS_ROOT names (a recorded or generated
// tree), or the machine's own /sys when the variable is unset. With
// QVZ_BENCH_DRIVER_SYSTEM naming a simulated-system file, a second benchmark
// also builds that system's simulated driver tree, so that the cards the
// driver publishes are found too. QVZ_BENCH_EXPECT_ITEMS, when set, is the
// item count a list opening without the driver must report.
// scripts/bench-sysfs.sh runs it beside `lspci -t` on the same trees.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "qvzelif.h"

namespace {

long expectedItems() {
  const char* l_pText = std::getenv("QVZ_BENCH_EXPECT_ITEMS");
  return l_pText != nullptr ? std::strtol(l_pText, nullptr, 10) : -1;
}

void runLists(benchmark::State& a_rState, long a_Expected) {
  int64_t l_Items = 0;
  for (auto _ : a_rState) {
    std::string l_Error;
    l_Items = nQvBench::openReadClose(false, l_Error, nullptr);
    if (l_Items < 0 || (a_Expected >= 0 && l_Items != a_Expected)) {
      if (l_Error.empty()) {
        l_Error = "the list has " + std::to_string(l_Items) + " items instead of " +
                  std::to_string(a_Expected);
      }
      a_rState.SkipWithError(l_Error.c_str());
      return;
    }
  }
  a_rState.counters["items"] = static_cast<double>(l_Items);
}

// The bridge tree from sysfs; no kernel driver (as on a machine without it).
void BM_OpenCloseListSysfs(benchmark::State& a_rState) { runLists(a_rState, expectedItems()); }
BENCHMARK(BM_OpenCloseListSysfs)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the simulated driver publishing the system's cards.
void BM_OpenCloseListSysfsWithDriver(benchmark::State& a_rState) {
  const char* l_pSystem = std::getenv("QVZ_BENCH_DRIVER_SYSTEM");
  if (l_pSystem == nullptr) {
    a_rState.SkipWithError("QVZ_BENCH_DRIVER_SYSTEM names no system");
    return;
  }
  std::string l_Error;
  if (!nQvBench::useSystem(l_pSystem, l_Error)) {
    a_rState.SkipWithError(l_Error.c_str());
    return;
  }
  // The driver tree stays; the bridges come from sysfs, not from the file.
  unsetenv("QVPCIBRD_SYSTEM");
  runLists(a_rState, -1);
}
BENCHMARK(BM_OpenCloseListSysfsWithDriver)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  benchmark::Initialize(&a_Argc, a_ppArgv);
  if (benchmark::ReportUnrecognizedArguments(a_Argc, a_ppArgv)) return 1;
  // The simulated bridge backend must stay out of the way.
  unsetenv("QVPCIBRD_SYSTEM");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
