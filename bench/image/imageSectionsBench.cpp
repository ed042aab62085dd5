// SPDX-License-Identifier: LGPL-2.1-or-later
// Images of many small sections, 1,000 to 100,000: the update's check
// (section split, flash type, header and payload of the chosen section) and
// the whole-image analysis behind qvzel check-image. Each header key is
// searched from its section's start to the image's end, so a search that
// starts over for every section makes the time grow with the square of the
// section count; the curves must stay straight.
//
// Shapes: "good" (valid sections, alternately SST and ISSI), "no-blank" (no
// header ends with an empty line, so that search finds nothing), "cr-only"
// (lines end in CR alone: every value runs on to the end of the image).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "ImageAnalysis.h"
#include "ImageCheck.h"

namespace {

using namespace nQVZEL_15_0;

enum eShape : int64_t { kGood, kNoBlank, kCrOnly };

const char* shapeName(int64_t a_Shape) {
  return a_Shape == kGood ? "good" : a_Shape == kNoBlank ? "no-blank" : "cr-only";
}

// The payload YWJj decodes to "abc", whose image checksum is 741236882.
std::string makeSections(int64_t a_Sections, int64_t a_Shape) {
  std::string l_Text;
  char l_Section[320];
  for (int64_t l_Index = 0; l_Index < a_Sections; ++l_Index) {
    const char* l_pEnd = a_Shape == kCrOnly ? "\r" : "\r\n";
    const char* l_pBlank = a_Shape == kNoBlank ? "" : l_pEnd;
    std::snprintf(l_Section, sizeof(l_Section),
                  "HeaderVersion::2%sUpdateType::\"%s\"%sSubSystemID::5A31%sPinOutAddr::10%s"
                  "PinOutVer::2%sOffset::0%sVersion::%llX%sByteCount::3%sCRC::741236882%s%s"
                  "YWJj%s",
                  l_pEnd, l_Index % 2 == 0 ? "SSTFlashFWUpdate" : "ISSIFlashFWUpdate", l_pEnd,
                  l_pEnd, l_pEnd, l_pEnd, l_pEnd, static_cast<unsigned long long>(0x100 + l_Index),
                  l_pEnd, l_pEnd, l_pEnd, l_pBlank, l_pEnd);
    l_Text += l_Section;
  }
  return l_Text;
}

const std::string& imageOf(int64_t a_Sections, int64_t a_Shape) {
  static std::map<std::pair<int64_t, int64_t>, std::string> s_Images;
  std::string& l_rImage = s_Images[{a_Sections, a_Shape}];
  if (l_rImage.empty()) l_rImage = makeSections(a_Sections, a_Shape);
  return l_rImage;
}

void setCounters(benchmark::State& a_rState, const std::string& a_rImage) {
  a_rState.SetLabel(shapeName(a_rState.range(1)));
  a_rState.counters["sections"] = static_cast<double>(a_rState.range(0));
  a_rState.counters["image_bytes"] = static_cast<double>(a_rImage.size());
}

// The update's check for an SST card: the last SST section is the one chosen.
void BM_UpdateCheck(benchmark::State& a_rState) {
  const std::string& l_rImage = imageOf(a_rState.range(0), a_rState.range(1));
  const auto l_Length = static_cast<uint32_t>(l_rImage.size());
  // A CR-only image's update type runs on to the end of the image: no known type.
  const int32_t l_Expected = a_rState.range(1) == kGood      ? qvstatus::kSuccess
                             : a_rState.range(1) == kNoBlank ? qvstatus::kOverflow
                                                             : qvstatus::kNotSupported;
  for (auto _ : a_rState) {
    cKnownCard l_Card(kSstFlashId, 0x5A31, 0);
    sImageWrite l_Write;
    Status l_Status;
    checkImageForCard(l_rImage.data(), l_Length, QVZEL_FORCE_UPDATE, l_Card, l_Write, l_Status);
    if (l_Status.code != l_Expected) {
      a_rState.SkipWithError("the update's check gives another answer than the image's shape");
      return;
    }
    benchmark::DoNotOptimize(l_Write.m_Check.m_DecodedLength);
  }
  setCounters(a_rState, l_rImage);
}

// Every section with every value and finding, as qvzel check-image reads it.
void BM_AnalyseImage(benchmark::State& a_rState) {
  const std::string& l_rImage = imageOf(a_rState.range(0), a_rState.range(1));
  const auto l_Length = static_cast<uint32_t>(l_rImage.size());
  for (auto _ : a_rState) {
    sImageAnalysis l_Analysis;
    Status l_Status;
    analyseImage(l_rImage.data(), l_Length, l_Analysis, l_Status);
    if (l_Status.isFatal() ||
        l_Analysis.m_Sections.size() != static_cast<size_t>(a_rState.range(0)) ||
        l_Analysis.valid() != (a_rState.range(1) == kGood)) {
      a_rState.SkipWithError("the analysis does not see the image's sections as made");
      return;
    }
    benchmark::DoNotOptimize(l_Analysis.m_Sections.data());
  }
  setCounters(a_rState, l_rImage);
}

void sectionCounts(benchmark::internal::Benchmark* a_pBench) {
  for (const int64_t l_Shape : {kGood, kNoBlank, kCrOnly}) {
    for (const int64_t l_Sections : {1000, 3000, 10000, 30000, 100000}) {
      a_pBench->Args({l_Sections, l_Shape});
    }
  }
  a_pBench->ArgNames({"sections", "shape"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_UpdateCheck)->Apply(sectionCounts);
BENCHMARK(BM_AnalyseImage)->Apply(sectionCounts);

}  // namespace

BENCHMARK_MAIN();
