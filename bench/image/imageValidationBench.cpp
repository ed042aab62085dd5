// SPDX-License-Identifier: LGPL-2.1-or-later
// Image validation as an update does it, through nQVPXIKTFINDER100_updateFirmware
// on a simulated card whose driver refuses the final write request: section
// scan, flash ID check, header checks, Base64 decoding, length and checksum,
// then one refused request. Images of 1, 16 and 64 MiB.
//
// Run by scripts/bench.sh (needs QVZ_BENCH_SYSTEM_DIR with chassis-1.ini and
// the simulated driver's private tree).
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "ImageMaker.h"
#include "qvsimSupport.h"
#include "qvzelif.h"

namespace {

// The interface name the generator gives the first card.
constexpr const char kCardInterface[] = "card0";
// The driver's request code of a firmware write.
constexpr uint32_t kFirmwareRequest = 0x0020003C;

const nQvBench::sMadeImage& imageOfMiB(int64_t a_MiB) {
  static std::map<int64_t, std::unique_ptr<nQvBench::sMadeImage>> s_Images;
  auto& l_rSlot = s_Images[a_MiB];
  if (!l_rSlot) {
    l_rSlot = std::make_unique<nQvBench::sMadeImage>(
        nQvBench::makeImage(static_cast<uint32_t>(a_MiB << 20)));
  }
  return *l_rSlot;
}

// An open list of the one-card system and its opened card; the driver
// refuses firmware writes with EIO.
struct sOpenCard {
  void* m_pList = nullptr;
  void* m_pCard = nullptr;
  std::string m_Error;

  sOpenCard() {
    uint32_t l_Count = 0;
    if (!nQvBench::useSystem(nQvBench::systemFile(1), m_Error) ||
        !nQvDriverSim_1_0::setDeviceSetting(kCardInterface, "firmwareErrno", std::to_string(EIO),
                                            m_Error)) {
      return;
    }
    if (nQVPXIFINDER100_openList(&l_Count, &m_pList) != QVZEL_SUCCESS) {
      m_Error = "openList failed";
      return;
    }
    for (uint32_t l_Index = 0; l_Index < l_Count && m_pCard == nullptr; ++l_Index) {
      void* l_pItem = nullptr;
      uint32_t l_Class = 0;
      nQVPXIFINDER100_getNthItem(m_pList, l_Index, &l_pItem);
      if (nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_DEVICE_CLASS, &l_Class) ==
              QVZEL_SUCCESS &&
          l_Class == 0xF000) {
        m_pCard = l_pItem;
      }
    }
    if (m_pCard == nullptr) {
      m_Error = "the system has no upstream card";
    } else if (nQVPXIKTFINDER100_openDevice(m_pCard) != QVZEL_SUCCESS) {
      m_Error = "openDevice failed";
      m_pCard = nullptr;
    }
  }
  ~sOpenCard() {
    if (m_pCard != nullptr) nQVPXIKTFINDER100_closeDevice(m_pCard);
    nQVPXIFINDER100_closeList(m_pList);
  }
};

// True when the driver's last request was the firmware write of the whole
// decoded image: the validation before it passed.
bool reachedDriver(const nQvBench::sMadeImage& a_rImage, std::string& a_rError) {
  const auto l_Requests = nQvDriverSim_1_0::driverRequests(kCardInterface);
  if (l_Requests.empty() || l_Requests.back().m_Code != kFirmwareRequest) {
    a_rError = "the update never reached the driver's write request";
    return false;
  }
  if (l_Requests.back().m_Length != a_rImage.m_DecodedLength) {
    a_rError = "the driver was handed " + std::to_string(l_Requests.back().m_Length) +
               " bytes instead of " + std::to_string(a_rImage.m_DecodedLength);
    return false;
  }
  return true;
}

void BM_ValidateImage(benchmark::State& a_rState) {
  const auto& l_rImage = imageOfMiB(a_rState.range(0));
  sOpenCard l_Card;
  if (l_Card.m_pCard == nullptr) {
    a_rState.SkipWithError(l_Card.m_Error.c_str());
    return;
  }
  const auto l_Length = static_cast<uint32_t>(l_rImage.m_Text.size());
  const int32_t l_First =
      nQVPXIKTFINDER100_updateFirmware(l_Card.m_pCard, l_rImage.m_Text.data(), l_Length, 0);
  std::string l_Error;
  if (!reachedDriver(l_rImage, l_Error)) {
    l_Error += " (update answered " + std::to_string(l_First) + ")";
    a_rState.SkipWithError(l_Error.c_str());
    return;
  }
  for (auto _ : a_rState) {
    const int32_t l_Result =
        nQVPXIKTFINDER100_updateFirmware(l_Card.m_pCard, l_rImage.m_Text.data(), l_Length, 0);
    if (l_Result != l_First) {
      a_rState.SkipWithError("the update answered differently on a later run");
      return;
    }
  }
  a_rState.SetBytesProcessed(int64_t(a_rState.iterations()) * l_Length);
  a_rState.counters["image_bytes"] = l_Length;
}
BENCHMARK(BM_ValidateImage)
    ->ArgName("MiB")
    ->Arg(1)
    ->Arg(16)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
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
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
