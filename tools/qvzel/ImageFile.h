// Reading an image file whole, whatever the path names: a regular file, a
// pipe or a device. Never more than the largest image the library takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nQvzelTool {

// The largest image the library takes: its length is an unsigned 32-bit number.
constexpr uint64_t kLargestImage = UINT32_MAX;

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
