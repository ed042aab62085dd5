// SPDX-License-Identifier: LGPL-2.1-or-later
// The firmware image operations one by one, on images of 1, 16 and 64 MiB:
// where the time of an image validation goes.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "FirmwareImage.h"
#include "ImageMaker.h"

namespace {

using namespace nQVZEL_15_0;

const nQvBench::sMadeImage& imageOfMiB(int64_t a_MiB) {
  static std::map<int64_t, std::unique_ptr<nQvBench::sMadeImage>> s_Images;
  auto& l_rSlot = s_Images[a_MiB];
  if (!l_rSlot) {
    l_rSlot = std::make_unique<nQvBench::sMadeImage>(
        nQvBench::makeImage(static_cast<uint32_t>(a_MiB << 20)));
  }
  return *l_rSlot;
}

void imageSizes(benchmark::internal::Benchmark* a_pBench) {
  a_pBench->Arg(1)->Arg(16)->Arg(64)->ArgName("MiB")->Unit(benchmark::kMillisecond);
}

void BM_ScanImageSections(benchmark::State& a_rState) {
  const auto& l_rImage = imageOfMiB(a_rState.range(0));
  const auto l_Length = static_cast<uint32_t>(l_rImage.m_Text.size());
  for (auto _ : a_rState) {
    Status l_Status;
    std::vector<sImageSection> l_Sections;
    scanImageSections(l_rImage.m_Text.data(), l_Length, l_Sections, l_Status);
    if (l_Status.isFatal() || l_Sections.size() != 2 ||
        l_Sections[1].m_Start != l_rImage.m_IssiStart) {
      a_rState.SkipWithError("the section scan does not see the image's two sections");
      return;
    }
    benchmark::DoNotOptimize(l_Sections.data());
  }
  a_rState.SetBytesProcessed(int64_t(a_rState.iterations()) * l_Length);
}
BENCHMARK(BM_ScanImageSections)->Apply(imageSizes);

// The header keys of the selected section, each searched to the image's end.
void BM_ReadSectionHeader(benchmark::State& a_rState) {
  const auto& l_rImage = imageOfMiB(a_rState.range(0));
  const char* l_pText = l_rImage.m_Text.data() + l_rImage.m_IssiStart;
  const auto l_Length = static_cast<uint32_t>(l_rImage.m_Text.size() - l_rImage.m_IssiStart);
  static const char* const kKeys[] = {kHeaderVersionKey, kSubSystemIdKey, kPinOutAddrKey,
                                      kPinOutVerKey,     kOffsetKey,      kVersionKey,
                                      kByteCountKey,     kCrcKey};
  for (auto _ : a_rState) {
    Status l_Status;
    std::string l_Value;
    for (const char* l_pKey : kKeys) getKeyValue(l_pText, l_Length, l_pKey, l_Value, l_Status);
    const uint32_t l_Offset = findPayloadOffset(l_pText, l_Length, l_Status);
    if (l_Status.isFatal() || l_rImage.m_IssiStart + l_Offset != l_rImage.m_PayloadStart) {
      a_rState.SkipWithError("the header of the ISSI section does not read back");
      return;
    }
    benchmark::DoNotOptimize(l_Value.data());
  }
}
BENCHMARK(BM_ReadSectionHeader)->Apply(imageSizes);

void BM_DecodePayload(benchmark::State& a_rState) {
  const auto& l_rImage = imageOfMiB(a_rState.range(0));
  std::vector<uint8_t> l_Buffer(l_rImage.m_PayloadLength);
  for (auto _ : a_rState) {
    Status l_Status;
    const size_t l_Decoded = decodePayload(l_rImage.m_Text.data() + l_rImage.m_PayloadStart,
                                           l_Buffer.data(), l_Buffer.size(), l_Status);
    if (l_Decoded != l_rImage.m_DecodedLength) {
      a_rState.SkipWithError("the payload decodes to another length than its ByteCount");
      return;
    }
    benchmark::DoNotOptimize(l_Buffer.data());
  }
  a_rState.SetBytesProcessed(int64_t(a_rState.iterations()) * l_rImage.m_PayloadLength);
}
BENCHMARK(BM_DecodePayload)->Apply(imageSizes);

// Decoding and checksum in one pass over the payload, as an update makes them.
void BM_DecodeWithCrc(benchmark::State& a_rState) {
  const auto& l_rImage = imageOfMiB(a_rState.range(0));
  std::vector<uint8_t> l_Buffer(l_rImage.m_PayloadLength);
  for (auto _ : a_rState) {
    Status l_Status;
    uint32_t l_Crc = 0;
    const size_t l_Decoded =
        decodePayloadWithCrc(l_rImage.m_Text.data() + l_rImage.m_PayloadStart, l_Buffer.data(),
                             l_Buffer.size(), &l_Crc, l_Status);
    if (l_Decoded != l_rImage.m_DecodedLength || l_Crc != l_rImage.m_Crc) {
      a_rState.SkipWithError("the payload does not decode to its ByteCount and CRC");
      return;
    }
    benchmark::DoNotOptimize(l_Buffer.data());
  }
  a_rState.SetBytesProcessed(int64_t(a_rState.iterations()) * l_rImage.m_PayloadLength);
}
BENCHMARK(BM_DecodeWithCrc)->Apply(imageSizes);

void BM_ComputeImageCrc(benchmark::State& a_rState) {
  const auto& l_rImage = imageOfMiB(a_rState.range(0));
  std::vector<uint8_t> l_Bytes(l_rImage.m_PayloadLength);
  Status l_Status;
  const size_t l_Decoded = decodePayload(l_rImage.m_Text.data() + l_rImage.m_PayloadStart,
                                         l_Bytes.data(), l_Bytes.size(), l_Status);
  for (auto _ : a_rState) {
    const uint32_t l_Crc = computeImageCrc(l_Bytes.data(), static_cast<uint32_t>(l_Decoded));
    if (l_Crc != l_rImage.m_Crc) {
      a_rState.SkipWithError("the checksum differs from the image's CRC::");
      return;
    }
  }
  a_rState.SetBytesProcessed(int64_t(a_rState.iterations()) * int64_t(l_Decoded));
}
BENCHMARK(BM_ComputeImageCrc)->Apply(imageSizes);

}  // namespace
