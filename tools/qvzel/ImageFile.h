// SPDX-License-Identifier: LGPL-2.1-or-later
// Reading an image file whole, whatever the path names: a regular file, a
// pipe or a device. Never more than the largest image the tool checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nQvzelTool {

// The largest image the tool checks or writes: 256 MiB. The library would
// take up to 4 GiB, but a card's flash holds a few MiB, so a real image stays
// far below this; a pipe or a device (/dev/zero) that gives more is refused
// after reading one byte past it, never read to its end.
constexpr uint64_t kLargestImage = uint64_t{256} << 20;

struct sImageFile {
  std::unique_ptr<uint8_t[]> m_pData;
  size_t m_Size = 0;
  const char* data() const { return reinterpret_cast<const char*>(m_pData.get()); }
  uint32_t length() const { return static_cast<uint32_t>(m_Size); }
};

// Reads the file; false with a sentence (no final full stop) in a_rProblem
// when it cannot be opened or read, or holds more than kLargestImage bytes.
bool readImageFile(const std::string& a_rPath, sImageFile& a_rFile, std::string& a_rProblem);

}  // namespace nQvzelTool
