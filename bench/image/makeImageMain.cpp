// SPDX-License-Identifier: LGPL-2.1-or-later
// qvz_bench_make_image SIZE IMAGE [PAYLOAD]: writes the benchmark image of
// SIZE bytes (suffix K or M for KiB, MiB) to IMAGE and, when given, the
// Base64 payload of its ISSI section alone to PAYLOAD, for timing other
// decoders on the same text.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ImageMaker.h"

namespace {

bool parseSize(const std::string& a_rText, uint32_t& a_rSize) {
  char* l_pEnd = nullptr;
  unsigned long long l_Value = std::strtoull(a_rText.c_str(), &l_pEnd, 10);
  const std::string l_Suffix = l_pEnd;
  if (l_Suffix == "K") {
    l_Value <<= 10;
  } else if (l_Suffix == "M") {
    l_Value <<= 20;
  } else if (!l_Suffix.empty()) {
    return false;
  }
  if (l_Value == 0 || l_Value > 0xFFFFFFFFull) return false;
  a_rSize = static_cast<uint32_t>(l_Value);
  return true;
}

bool writeFile(const char* a_pPath, const char* a_pData, size_t a_Size) {
  std::ofstream l_File(a_pPath, std::ios::binary | std::ios::trunc);
  l_File.write(a_pData, static_cast<std::streamsize>(a_Size));
  return static_cast<bool>(l_File);
}

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  uint32_t l_Size = 0;
  if (a_Argc < 3 || a_Argc > 4 || !parseSize(a_ppArgv[1], l_Size)) {
    std::fprintf(stderr, "usage: %s SIZE[K|M] IMAGE [PAYLOAD]\n", a_ppArgv[0]);
    return 2;
  }
  try {
    const nQvBench::sMadeImage l_Image = nQvBench::makeImage(l_Size);
    if (!writeFile(a_ppArgv[2], l_Image.m_Text.data(), l_Image.m_Text.size())) {
      std::fprintf(stderr, "cannot write %s\n", a_ppArgv[2]);
      return 1;
    }
    if (a_Argc == 4 && !writeFile(a_ppArgv[3], l_Image.m_Text.data() + l_Image.m_PayloadStart,
                                  l_Image.m_PayloadLength)) {
      std::fprintf(stderr, "cannot write %s\n", a_ppArgv[3]);
      return 1;
    }
    std::printf("image %u bytes, payload %u characters, decoded %u bytes, crc %u\n", l_Size,
                l_Image.m_PayloadLength, l_Image.m_DecodedLength, l_Image.m_Crc);
  } catch (const std::exception& a_rError) {
    std::fprintf(stderr, "%s\n", a_rError.what());
    return 1;
  }
  return 0;
}
