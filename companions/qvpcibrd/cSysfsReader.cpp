// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSysfsReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace qvpcibrd {
namespace {

// Longer than any attribute this backend reads; a longer text is no number.
constexpr size_t kMaxAttributeBytes = 256;

}  // namespace

std::vector<std::string> cSysfsReader::listDirectory(const std::string& a_rPath) {
  std::vector<std::string> l_Names;
  std::unique_ptr<DIR, int (*)(DIR*)> l_pDir(opendir(a_rPath.c_str()), closedir);
  if (!l_pDir) return l_Names;
  while (const dirent* l_pEntry = readdir(l_pDir.get())) {
    if (l_pEntry->d_name[0] != '.') l_Names.push_back(l_pEntry->d_name);
  }
  return l_Names;
}

static_assert(kWorkingDirectory == AT_FDCWD, "the working directory's descriptor");

bool cSysfsReader::readLink(int a_DirFd, const std::string& a_rPath, std::string& a_rTarget) {
  char l_Buffer[PATH_MAX];
  const ssize_t l_Length = readlinkat(a_DirFd, a_rPath.c_str(), l_Buffer, sizeof l_Buffer);
  if (l_Length <= 0 || static_cast<size_t>(l_Length) >= sizeof l_Buffer) return false;
  a_rTarget.assign(l_Buffer, static_cast<size_t>(l_Length));
  return true;
}

namespace {

// Reads up to a_Max bytes into a_pBuffer; the count read, or -1 when the
// file cannot be opened or read. Only a regular file is read (every sysfs
// attribute is one): the open does not block, so a named pipe or a device
// put in an attribute's place is refused at once instead of holding the
// session opening forever.
ssize_t readInto(int a_DirFd, const std::string& a_rPath, uint8_t* a_pBuffer, size_t a_Max) {
  const int l_Fd = openat(a_DirFd, a_rPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (l_Fd < 0) return -1;
  struct stat l_Stat;
  if (fstat(l_Fd, &l_Stat) != 0 || !S_ISREG(l_Stat.st_mode)) {
    close(l_Fd);
    return -1;
  }
  size_t l_Have = 0;
  bool l_Ok = true;
  while (l_Have < a_Max) {
    const ssize_t l_Got = ::read(l_Fd, a_pBuffer + l_Have, a_Max - l_Have);
    if (l_Got < 0 && errno == EINTR) continue;
    if (l_Got < 0) l_Ok = false;
    if (l_Got <= 0) break;
    l_Have += static_cast<size_t>(l_Got);
    // sysfs answers a read with everything up to the size asked for, so a
    // short read is the end of the file: no second read to learn it.
    if (l_Have < a_Max) break;
  }
  close(l_Fd);
  return l_Ok ? static_cast<ssize_t>(l_Have) : -1;
}

}  // namespace

bool cSysfsReader::readBytes(const std::string& a_rPath, size_t a_Max,
                             std::vector<uint8_t>& a_rBytes, int a_DirFd) {
  a_rBytes.resize(a_Max);
  const ssize_t l_Have = readInto(a_DirFd, a_rPath, a_rBytes.data(), a_Max);
  a_rBytes.resize(l_Have < 0 ? 0 : static_cast<size_t>(l_Have));
  return l_Have >= 0;
}

bool cSysfsReader::readLine(const std::string& a_rPath, std::string& a_rText, int a_DirFd) {
  uint8_t l_Buffer[kMaxAttributeBytes];
  const ssize_t l_Have = readInto(a_DirFd, a_rPath, l_Buffer, sizeof l_Buffer);
  if (l_Have < 0) return false;
  const char* l_pText = reinterpret_cast<const char*>(l_Buffer);
  size_t l_Length = 0;
  while (l_Length < static_cast<size_t>(l_Have) && l_pText[l_Length] != '\n' &&
         l_pText[l_Length] != '\0') {
    ++l_Length;
  }
  a_rText.assign(l_pText, l_Length);
  return true;
}

bool cSysfsReader::readNumber(const std::string& a_rPath, int a_Base, unsigned long a_Max,
                              unsigned long& a_rValue) {
  std::string l_Text;
  if (!readLine(a_rPath, l_Text) || l_Text.empty()) return false;
  char* l_pEnd = nullptr;
  errno = 0;
  a_rValue = std::strtoul(l_Text.c_str(), &l_pEnd, a_Base);
  return errno == 0 && *l_pEnd == '\0' && l_Text[0] != '-' && a_rValue <= a_Max;
}

uint16_t cSysfsReader::readId(const std::string& a_rPath) {
  unsigned long l_Value = 0;
  return readNumber(a_rPath, 16, 0xFFFF, l_Value) ? static_cast<uint16_t>(l_Value) : 0;
}

}  // namespace qvpcibrd
