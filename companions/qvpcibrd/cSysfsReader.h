// SPDX-License-Identifier: LGPL-2.1-or-later
// Small reads from sysfs with as few system calls as the kernel allows: an
// attribute file is one open, one fstat, one read and one close (sysfs
// hands out a whole attribute, or as much of a binary one as was asked for,
// in one read), a link is one readlink, a directory one listing. Only
// regular files are read, and never beyond the size asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvpcibrd {

constexpr int kWorkingDirectory = -100;  // AT_FDCWD

// Paths are absolute or relative to a directory descriptor (AT_FDCWD: the
// working directory): a session opening opens the root once and names
// everything below it relative to that, which spares the kernel walking the
// root's own path at every call.
class cSysfsReader {
 public:
  // The names in a directory (without "." and ".."), unsorted; empty when
  // it cannot be listed.
  static std::vector<std::string> listDirectory(const std::string& a_rPath);
  // The text of a symbolic link; false when a_rPath is no readable link.
  static bool readLink(int a_DirFd, const std::string& a_rPath, std::string& a_rTarget);
  // Up to a_Max bytes of a file; false when it cannot be opened or read.
  // A read that returns fewer bytes than asked for ends the file.
  static bool readBytes(const std::string& a_rPath, size_t a_Max, std::vector<uint8_t>& a_rBytes,
                        int a_DirFd = kWorkingDirectory);
  // A one-line attribute file without its line end.
  static bool readLine(const std::string& a_rPath, std::string& a_rText,
                       int a_DirFd = kWorkingDirectory);
  // A number in base a_Base of at most a_Max; false when the file is
  // missing or holds anything else.
  static bool readNumber(const std::string& a_rPath, int a_Base, unsigned long a_Max,
                         unsigned long& a_rValue);
  // A 16-bit identifier file ("0x8086"); 0 when it cannot be read.
  static uint16_t readId(const std::string& a_rPath);
};

}  // namespace qvpcibrd
