// SPDX-License-Identifier: LGPL-2.1-or-later
// libb64's block decoder: the reference the image payload decoder is held to.
#pragma once

#include <string>

// The decoder's header declares C functions without a C++ guard.
extern "C" {
#include <b64/cdecode.h>
}

// Decodes a_Count characters from a fresh state; libb64 skips every byte
// outside the alphabet, as the image format does.
inline std::string libb64Decode(const char* a_pText, size_t a_Count) {
  base64_decodestate l_State;
  base64_init_decodestate(&l_State);
  // libb64 writes the bits of an unfinished byte one place past the last whole one.
  std::string l_Out(a_Count + 1, '\0');
  const int l_Bytes = base64_decode_block(a_pText, static_cast<int>(a_Count), &l_Out[0], &l_State);
  l_Out.resize(static_cast<size_t>(l_Bytes));
  return l_Out;
}
