// SPDX-License-Identifier: LGPL-2.1-or-later
// List openings on generated systems of 1, 8 and 32 chassis behind four-port
// upstream cards, and attribute reads from 1 to 8 threads at once.
//
// Run by scripts/bench.sh; by hand:
//   QVZ_BENCH_SYSTEM_DIR=DIR LD_LIBRARY_PATH=build/normal/companions bench_discovery
// where DIR holds chassis-1.ini, chassis-8.ini and chassis-32.ini from
// scripts/gen-bench-system.py. Needs the simulated driver's private tree
// (root or CAP_SYS_ADMIN).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "qvzelif.h"

namespace {

// Loads the system of a benchmark's chassis count; false after reporting.
bool prepare(benchmark::State& a_rState, int a_Chassis) {
  std::string l_Error;
  if (!nQvBench::useSystem(nQvBench::systemFile(a_Chassis), l_Error)) {
    a_rState.SkipWithError(l_Error.c_str());
    return false;
  }
  return true;
}

void setSizeCounters(benchmark::State& a_rState, int a_Chassis, uint32_t a_Items) {
  a_rState.counters["chassis"] = a_Chassis;
  a_rState.counters["items"] = a_Items;
  a_rState.counters["bridges"] = nQvBench::countBridges(nQvBench::systemFile(a_Chassis));
}

void runLists(benchmark::State& a_rState, bool a_ReadAttributes) {
  const int l_Chassis = static_cast<int>(a_rState.range(0));
  if (!prepare(a_rState, l_Chassis)) return;
  const uint32_t l_Expected = nQvBench::expectedItems(l_Chassis);
  nQvBench::sAttributeReads l_Reads;
  for (auto _ : a_rState) {
    std::string l_Error;
    const int64_t l_Items = nQvBench::openReadClose(a_ReadAttributes, l_Error, &l_Reads);
    if (l_Items != l_Expected) {
      if (l_Error.empty()) {
        l_Error = "the list has " + std::to_string(l_Items) + " items instead of " +
                  std::to_string(l_Expected);
      }
      a_rState.SkipWithError(l_Error.c_str());
      return;
    }
  }
  setSizeCounters(a_rState, l_Chassis, l_Expected);
  if (a_ReadAttributes && a_rState.iterations() > 0) {
    a_rState.counters["reads"] = double(l_Reads.m_Reads) / double(a_rState.iterations());
  }
}

// openList and closeList only.
void BM_OpenCloseList(benchmark::State& a_rState) { runLists(a_rState, false); }
BENCHMARK(BM_OpenCloseList)
    ->ArgName("chassis")
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// openList, every attribute of every item (the live driver attributes
// between openDevice and closeDevice), closeList.
void BM_OpenReadAllClose(benchmark::State& a_rState) { runLists(a_rState, true); }
BENCHMARK(BM_OpenReadAllClose)
    ->ArgName("chassis")
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One open list shared by the attribute benchmarks' threads.
void* g_pSharedList = nullptr;
void* g_pSharedItem = nullptr;

void openSharedList(const benchmark::State&) {
  if (g_pSharedList != nullptr) return;
  std::string l_Error;
  uint32_t l_Count = 0;
  if (!nQvBench::useSystem(nQvBench::systemFile(8), l_Error) ||
      nQVPXIFINDER100_openList(&l_Count, &g_pSharedList) != QVZEL_SUCCESS || l_Count == 0 ||
      nQVPXIFINDER100_getNthItem(g_pSharedList, 0, &g_pSharedItem) != QVZEL_SUCCESS) {
    g_pSharedList = nullptr;
    g_pSharedItem = nullptr;
  }
}

void closeSharedList(const benchmark::State&) {
  nQVPXIFINDER100_closeList(g_pSharedList);
  g_pSharedList = nullptr;
  g_pSharedItem = nullptr;
}

// One stored 32-bit attribute (the PCI bus number) of one item, read by 1,
// 2, 4 and 8 threads at once; items_per_second is the threads' total.
void BM_ReadU32Attribute(benchmark::State& a_rState) {
  if (g_pSharedItem == nullptr) {
    a_rState.SkipWithError("no list to read from (see BM_OpenCloseList)");
    return;
  }
  uint32_t l_Expected = 0;
  nQVPXIFINDER100_getU32Attribute(g_pSharedItem, QVZEL_ATTR_PCI_BUS, &l_Expected);
  for (auto _ : a_rState) {
    uint32_t l_Value = 0;
    if (nQVPXIFINDER100_getU32Attribute(g_pSharedItem, QVZEL_ATTR_PCI_BUS, &l_Value) !=
            QVZEL_SUCCESS ||
        l_Value != l_Expected) {
      a_rState.SkipWithError("the attribute read failed or changed its value");
      return;
    }
  }
  a_rState.SetItemsProcessed(a_rState.iterations());
}
BENCHMARK(BM_ReadU32Attribute)
    ->Setup(openSharedList)
    ->Teardown(closeSharedList)
    ->ThreadRange(1, 8)
    ->UseRealTime();

// The same with a text attribute (the slot path).
void BM_ReadStringAttribute(benchmark::State& a_rState) {
  if (g_pSharedItem == nullptr) {
    a_rState.SkipWithError("no list to read from (see BM_OpenCloseList)");
    return;
  }
  for (auto _ : a_rState) {
    const char* l_pValue = nullptr;
    if (nQVPXIFINDER100_getStringAttribute(g_pSharedItem, QVZEL_ATTR_SLOT_PATH, &l_pValue) !=
            QVZEL_SUCCESS ||
        l_pValue == nullptr) {
      a_rState.SkipWithError("the attribute read failed");
      return;
    }
    benchmark::DoNotOptimize(l_pValue);
  }
  a_rState.SetItemsProcessed(a_rState.iterations());
}
BENCHMARK(BM_ReadStringAttribute)
    ->Setup(openSharedList)
    ->Teardown(closeSharedList)
    ->ThreadRange(1, 8)
    ->UseRealTime();

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  benchmark::Initialize(&a_Argc, a_ppArgv);
  if (benchmark::ReportUnrecognizedArguments(a_Argc, a_ppArgv)) return 1;
  if (nQvBench::systemDirectory().empty()) {
    std::fprintf(stderr,
                 "set QVZ_BENCH_SYSTEM_DIR to a directory of chassis-N.ini files "
                 "(scripts/gen-bench-system.py)\n");
    return 2;
  }
  // The private driver tree must be entered before any thread starts.
  std::string l_Error;
  if (!nQvBench::useSystem(nQvBench::systemFile(1), l_Error)) {
    std::fprintf(stderr, "%s\n", l_Error.c_str());
    return 77;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
