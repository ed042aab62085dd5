// SPDX-License-Identifier: LGPL-2.1-or-later
// Loading INI files of 10,000 to 160,000 keys in one section (10 bytes a
// line: 160,000 keys make 1.6 MB) and of as many one-key sections: through
// the INI class, as discovery reads the controller file, and as the
// controller file of a whole list opening; and list openings with 1,000 to
// 50,000 controllers from the controller file.
//
// Run by scripts/bench.sh; by hand:
//   QVRELOC_SHAREDSTATEDIR=DIR QVZ_BENCH_SYSTEM_DIR=SYSTEMS
//   LD_LIBRARY_PATH=build/normal/companions bench_ini
// The list openings need the simulated driver's private tree (root or
// CAP_SYS_ADMIN) and the relocated shared state directory DIR, where they
// write qvpxi/pxicontrollers.ini; without them only the INI class runs.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "config/cIniFile.h"
#include "qvzelif.h"

namespace {

using nQvPxiDriverTools_1_0::cIniFile;

// The first port of the upstream card of the generated one-chassis system
// (a bridge that serves the attributes a controller reads).
constexpr const char kControllerKeys[] = "VendorName=V\nModelName=Bench\nSlotPath=MR00:00,00,08\n";

// One section "[c]" with the controller's three keys and a_Keys more, or
// a_Keys sections of one key each after it.
std::string iniText(int64_t a_Keys, bool a_Sections) {
  std::string l_Text = std::string("[c]\n") + kControllerKeys;
  char l_Line[32];
  for (int64_t l_Key = 0; l_Key < a_Keys; ++l_Key) {
    if (a_Sections) {
      std::snprintf(l_Line, sizeof(l_Line), "[s%06lld]\nk=v\n", static_cast<long long>(l_Key));
    } else {
      std::snprintf(l_Line, sizeof(l_Line), "k%06lld=v\n", static_cast<long long>(l_Key));
    }
    l_Text += l_Line;
  }
  return l_Text;
}

bool writeFile(const std::string& a_rPath, const std::string& a_rText) {
  std::ofstream l_Out(a_rPath, std::ios::binary | std::ios::trunc);
  l_Out << a_rText;
  return static_cast<bool>(l_Out);
}

void setCounters(benchmark::State& a_rState, const std::string& a_rText) {
  a_rState.counters["keys"] = static_cast<double>(a_rState.range(0));
  a_rState.counters["file_bytes"] = static_cast<double>(a_rText.size());
  a_rState.SetBytesProcessed(static_cast<int64_t>(a_rState.iterations() * a_rText.size()));
}

// Opens the file as discovery does and reads what it reads, checking the
// answers.
void runIniClass(benchmark::State& a_rState, bool a_Sections) {
  const std::string l_Text = iniText(a_rState.range(0), a_Sections);
  const std::string l_Path = "/tmp/qvz-bench-ini-" + std::to_string(getpid()) + ".ini";
  if (!writeFile(l_Path, l_Text)) {
    a_rState.SkipWithError("cannot write the INI file to /tmp");
    return;
  }
  for (auto _ : a_rState) {
    cIniFile l_File;
    Status l_Status;
    std::vector<std::string> l_Sections;
    std::string l_Model;
    l_File.Open(l_Path.c_str(), cIniFile::kModeReadOnly, l_Status);
    l_File.GetSectionNames(l_Sections, l_Status);
    l_File.GetString(l_Sections.empty() ? "" : l_Sections[0].c_str(), "ModelName", l_Model,
                     l_Status);
    const size_t l_Expected = a_Sections ? static_cast<size_t>(a_rState.range(0)) + 1 : 1;
    if (l_Status.isFatal() || l_Model != "Bench" || l_Sections.size() != l_Expected) {
      a_rState.SkipWithError("the INI class did not read the generated file as written");
      break;
    }
  }
  std::remove(l_Path.c_str());
  setCounters(a_rState, l_Text);
}

void BM_IniClassOneSection(benchmark::State& a_rState) { runIniClass(a_rState, false); }
void BM_IniClassManySections(benchmark::State& a_rState) { runIniClass(a_rState, true); }

// Loads the benchmark machine and gives the path of the controller file the
// library reads; an empty path when the environment does not allow it (the
// benchmark is then skipped with the reason).
std::string controllerFilePath(benchmark::State& a_rState) {
  const char* l_pState = std::getenv("QVRELOC_SHAREDSTATEDIR");
  std::string l_Error;
  if (l_pState == nullptr || nQvBench::systemDirectory().empty() ||
      !nQvBench::useSystem(nQvBench::systemFile(1), l_Error)) {
    a_rState.SkipWithError(l_Error.empty() ? "needs QVRELOC_SHAREDSTATEDIR and QVZ_BENCH_SYSTEM_DIR"
                                           : l_Error.c_str());
    return "";
  }
  const std::string l_Dir = std::string(l_pState) + "/qvpxi";
  ::mkdir(l_pState, 0755);
  ::mkdir(l_Dir.c_str(), 0755);
  return l_Dir + "/pxicontrollers.ini";
}

// A list opening whose controller file is the generated file: the list must
// hold the controller it names.
void BM_OpenListWithControllerFile(benchmark::State& a_rState) {
  const std::string l_Path = controllerFilePath(a_rState);
  if (l_Path.empty()) return;
  const std::string l_Text = iniText(a_rState.range(0), false);
  if (!writeFile(l_Path, l_Text)) {
    a_rState.SkipWithError(("cannot write " + l_Path).c_str());
    return;
  }
  const uint32_t l_Expected = nQvBench::expectedItems(1) + 1;
  for (auto _ : a_rState) {
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    const int32_t l_Result = nQVPXIFINDER100_openList(&l_Count, &l_pList);
    nQVPXIFINDER100_closeList(l_pList);
    if (l_Result != QVZEL_SUCCESS || l_Count != l_Expected) {
      a_rState.SkipWithError("the list does not hold the controller file's controller");
      break;
    }
  }
  std::remove(l_Path.c_str());
  setCounters(a_rState, l_Text);
}

// A list opening whose controller file names a_rState.range(0) controllers,
// each on the upstream card's first port, and a read of every attribute of
// every item (what qvzel list asks): the time per controller must stay flat.
void BM_ListManyControllers(benchmark::State& a_rState) {
  const std::string l_Path = controllerFilePath(a_rState);
  if (l_Path.empty()) return;
  std::string l_Text;
  char l_Section[48];
  for (int64_t l_Index = 0; l_Index < a_rState.range(0); ++l_Index) {
    std::snprintf(l_Section, sizeof(l_Section), "[c%lld]\n", static_cast<long long>(l_Index));
    l_Text += std::string(l_Section) + kControllerKeys;
  }
  if (!writeFile(l_Path, l_Text)) {
    a_rState.SkipWithError(("cannot write " + l_Path).c_str());
    return;
  }
  const int64_t l_Expected = nQvBench::expectedItems(1) + a_rState.range(0);
  std::string l_Error;
  for (auto _ : a_rState) {
    const int64_t l_Count = nQvBench::openReadClose(true, l_Error, nullptr);
    if (l_Count != l_Expected) {
      a_rState.SkipWithError(l_Error.empty() ? "the list does not hold every controller"
                                             : l_Error.c_str());
      break;
    }
  }
  std::remove(l_Path.c_str());
  a_rState.counters["controllers"] = static_cast<double>(a_rState.range(0));
}

void keyCounts(benchmark::internal::Benchmark* a_pBench) {
  a_pBench->Arg(10000)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_IniClassOneSection)->Apply(keyCounts);
BENCHMARK(BM_IniClassManySections)->Apply(keyCounts);
BENCHMARK(BM_OpenListWithControllerFile)->Apply(keyCounts);
BENCHMARK(BM_ListManyControllers)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
