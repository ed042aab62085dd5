// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cardFlash.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "qvzel_driver.h"
#include "systemText.h"
#include "textFields.h"

namespace nQvDriverSim_1_0 {

namespace {

// An open file descriptor, locked for the object's lifetime.
class cLockedFile {
 public:
  cLockedFile(const std::string& a_rPath, int a_Flags, int a_Lock)
      : m_Fd(::open(a_rPath.c_str(), a_Flags | O_CLOEXEC, 0644)) {
    if (m_Fd != -1 && ::flock(m_Fd, a_Lock) != 0) {
      ::close(m_Fd);
      m_Fd = -1;
    }
  }
  ~cLockedFile() {
    if (m_Fd != -1) ::close(m_Fd);  // closing releases the lock
  }
  cLockedFile(const cLockedFile&) = delete;
  cLockedFile& operator=(const cLockedFile&) = delete;
  int fd() const { return m_Fd; }

 private:
  int m_Fd;
};

bool failed(const std::string& a_rPath, const char* a_pWhat, std::string& a_rError) {
  a_rError = a_rPath + ": " + a_pWhat + ": " + std::strerror(errno);
  return false;
}

bool writeAll(int a_Fd, const uint8_t* a_pBytes, size_t a_Length, off_t a_Offset) {
  size_t l_Done = 0;
  while (l_Done < a_Length) {
    const ssize_t l_Written =
        ::pwrite(a_Fd, a_pBytes + l_Done, a_Length - l_Done, a_Offset + static_cast<off_t>(l_Done));
    if (l_Written <= 0) return false;
    l_Done += static_cast<size_t>(l_Written);
  }
  return true;
}

bool writeRunning(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Version,
                  std::string& a_rError) {
  const std::string l_Path = runningPath(a_rStateDir, a_rName);
  const std::string l_Text = textFields::hex32(a_Version) + "\n";
  cLockedFile l_File(l_Path, O_WRONLY | O_CREAT, LOCK_EX);
  if (l_File.fd() == -1) return failed(l_Path, "cannot be written", a_rError);
  if (::ftruncate(l_File.fd(), 0) != 0 ||
      !writeAll(l_File.fd(), reinterpret_cast<const uint8_t*>(l_Text.data()), l_Text.size(), 0)) {
    return failed(l_Path, "write failed", a_rError);
  }
  return true;
}

}  // namespace

std::string flashPath(const std::string& a_rStateDir, const std::string& a_rName) {
  return a_rStateDir + "/" + a_rName + ".flash";
}

std::string runningPath(const std::string& a_rStateDir, const std::string& a_rName) {
  return a_rStateDir + "/" + a_rName + ".running";
}

bool hasFlash(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Size) {
  struct stat l_Stat;
  return ::stat(flashPath(a_rStateDir, a_rName).c_str(), &l_Stat) == 0 && S_ISREG(l_Stat.st_mode) &&
         l_Stat.st_size == static_cast<off_t>(a_Size);
}

bool createFactoryFlash(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Size,
                        bool a_HasBootHeader, uint32_t a_BootVersion, std::string& a_rError) {
  const std::string l_Path = flashPath(a_rStateDir, a_rName);
  std::vector<uint8_t> l_Bytes(a_Size, QVZEL_FLASH_ERASED);
  const bool l_Fits = a_Size >= QVZEL_BOOT_HEADER_OFFSET + QVZEL_BOOT_HEADER_SIZE;
  if (a_HasBootHeader && l_Fits) {
    uint8_t* l_pHeader = l_Bytes.data() + QVZEL_BOOT_HEADER_OFFSET;
    std::memcpy(l_pHeader, QVZEL_BOOT_MAGIC, QVZEL_BOOT_MAGIC_SIZE);
    for (unsigned l_Byte = 0; l_Byte < 4; ++l_Byte) {
      l_pHeader[QVZEL_BOOT_MAGIC_SIZE + l_Byte] =
          static_cast<uint8_t>(a_BootVersion >> (8 * l_Byte));
    }
  }
  {
    cLockedFile l_File(l_Path, O_WRONLY | O_CREAT, LOCK_EX);
    if (l_File.fd() == -1) return failed(l_Path, "cannot be written", a_rError);
    if (::ftruncate(l_File.fd(), 0) != 0 || !writeAll(l_File.fd(), l_Bytes.data(), a_Size, 0)) {
      return failed(l_Path, "write failed", a_rError);
    }
  }
  return writeRunning(a_rStateDir, a_rName, a_HasBootHeader && l_Fits ? a_BootVersion : 0,
                      a_rError);
}

bool readBootVersion(const std::string& a_rStateDir, const std::string& a_rName,
                     uint32_t& a_rVersion, std::string& a_rError) {
  const std::string l_Path = flashPath(a_rStateDir, a_rName);
  cLockedFile l_File(l_Path, O_RDONLY, LOCK_SH);
  if (l_File.fd() == -1) return failed(l_Path, "cannot be read", a_rError);
  uint8_t l_Header[QVZEL_BOOT_HEADER_SIZE];
  const ssize_t l_Read = ::pread(l_File.fd(), l_Header, sizeof(l_Header), QVZEL_BOOT_HEADER_OFFSET);
  a_rVersion = 0;
  if (l_Read == static_cast<ssize_t>(sizeof(l_Header)) &&
      std::memcmp(l_Header, QVZEL_BOOT_MAGIC, QVZEL_BOOT_MAGIC_SIZE) == 0) {
    for (unsigned l_Byte = 0; l_Byte < 4; ++l_Byte) {
      a_rVersion |= static_cast<uint32_t>(l_Header[QVZEL_BOOT_MAGIC_SIZE + l_Byte]) << (8 * l_Byte);
    }
  }
  return true;
}

bool readRunningVersion(const std::string& a_rStateDir, const std::string& a_rName,
                        uint32_t& a_rVersion, std::string& a_rError) {
  const std::string l_Path = runningPath(a_rStateDir, a_rName);
  cLockedFile l_File(l_Path, O_RDONLY, LOCK_SH);
  if (l_File.fd() == -1) return failed(l_Path, "cannot be read", a_rError);
  char l_Text[32];
  const ssize_t l_Read = ::pread(l_File.fd(), l_Text, sizeof(l_Text) - 1, 0);
  if (l_Read <= 0 || !nQvSimSystem_1_0::parseU32(
                         nQvSimSystem_1_0::trim(std::string(l_Text, l_Read)), a_rVersion)) {
    a_rError = l_Path + ": not a version";
    return false;
  }
  return true;
}

bool writeFlash(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Offset,
                const uint8_t* a_pBytes, size_t a_Length, std::string& a_rError) {
  const std::string l_Path = flashPath(a_rStateDir, a_rName);
  cLockedFile l_File(l_Path, O_WRONLY, LOCK_EX);
  if (l_File.fd() == -1) return failed(l_Path, "cannot be written", a_rError);
  if (!writeAll(l_File.fd(), a_pBytes, a_Length, static_cast<off_t>(a_Offset))) {
    return failed(l_Path, "write failed", a_rError);
  }
  return true;
}

bool reloadCard(const std::string& a_rStateDir, const std::string& a_rName, uint32_t& a_rVersion,
                std::string& a_rError) {
  return readBootVersion(a_rStateDir, a_rName, a_rVersion, a_rError) &&
         writeRunning(a_rStateDir, a_rName, a_rVersion, a_rError);
}

}  // namespace nQvDriverSim_1_0
