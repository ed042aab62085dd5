// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "Format.h"
#include "ImageCheck.h"

namespace nQvzelTool {

namespace {

// Closes the descriptor on every path out.
struct sDescriptor {
  int m_Fd;
  ~sDescriptor() {
    if (m_Fd >= 0) ::close(m_Fd);
  }
};

// First buffer for a file whose size is not known beforehand (a pipe, a
// device); it doubles as it fills.
constexpr size_t kFirstChunk = size_t{1} << 16;

std::string cannot(const char* a_pWhat, const std::string& a_rPath, const std::string& a_rWhy) {
  return std::string("cannot ") + a_pWhat + " the image file " + quotedArgument(a_rPath) + ": " +
         a_rWhy;
}

// Reads until end of file into a_rFile, growing the buffer; at most
// kLargestImage + 1 bytes, so that a longer file is told apart; memory
// grows with what was read, never beyond that bound.
bool readAll(int a_Fd, size_t a_Expected, const std::string& a_rPath, sImageFile& a_rFile,
             std::string& a_rProblem) {
  const size_t l_Limit = static_cast<size_t>(kLargestImage) + 1;
  // One byte more than a regular file's size tells that it grew meanwhile.
  size_t l_Capacity = a_Expected != 0 ? a_Expected + 1 : kFirstChunk;
  size_t l_Size = 0;
  std::unique_ptr<uint8_t[]> l_pData;
  for (;;) {
    if (!l_pData || l_Size == l_Capacity) {
      if (l_pData) l_Capacity = l_Capacity > l_Limit / 2 ? l_Limit : l_Capacity * 2;
      std::unique_ptr<uint8_t[]> l_pGrown = nQVZEL_15_0::allocateImageBuffer(l_Capacity);
      if (!l_pGrown) {
        a_rProblem = "not enough memory to read the image file " + quotedArgument(a_rPath);
        return false;
      }
      if (l_Size != 0) std::memcpy(l_pGrown.get(), l_pData.get(), l_Size);
      l_pData = std::move(l_pGrown);
    }
    const ssize_t l_Read = ::read(a_Fd, l_pData.get() + l_Size, l_Capacity - l_Size);
    if (l_Read < 0) {
      if (errno == EINTR) continue;
      a_rProblem = cannot("read", a_rPath, std::strerror(errno));
      return false;
    }
    if (l_Read == 0) break;
    l_Size += static_cast<size_t>(l_Read);
    if (l_Size >= l_Limit) {
      a_rProblem = "the image file " + quotedArgument(a_rPath) +
                   " is longer than the largest image the tool checks (" +
                   std::to_string(kLargestImage) + " bytes)";
      return false;
    }
  }
  a_rFile.m_pData = std::move(l_pData);
  a_rFile.m_Size = l_Size;
  return true;
}

}  // namespace

bool readImageFile(const std::string& a_rPath, sImageFile& a_rFile, std::string& a_rProblem) {
  sDescriptor l_File{::open(a_rPath.c_str(), O_RDONLY | O_CLOEXEC)};
  if (l_File.m_Fd < 0) {
    a_rProblem = cannot("open", a_rPath, std::strerror(errno));
    return false;
  }
  struct stat l_Info;
  if (::fstat(l_File.m_Fd, &l_Info) != 0) {
    a_rProblem = cannot("read", a_rPath, std::strerror(errno));
    return false;
  }
  if (S_ISDIR(l_Info.st_mode)) {
    a_rProblem = cannot("read", a_rPath, "it is a directory");
    return false;
  }
  size_t l_Expected = 0;
  if (S_ISREG(l_Info.st_mode)) {
    // Refused before reading: the length is known.
    if (static_cast<uint64_t>(l_Info.st_size) > kLargestImage) {
      a_rProblem = "the image file " + quotedArgument(a_rPath) +
                   " is longer than the largest image the tool checks (" +
                   std::to_string(kLargestImage) + " bytes)";
      return false;
    }
    l_Expected = static_cast<size_t>(l_Info.st_size);
  }
  return readAll(l_File.m_Fd, l_Expected, a_rPath, a_rFile, a_rProblem);
}

}  // namespace nQvzelTool
