// SPDX-License-Identifier: LGPL-2.1-or-later
// libqvdriversim.so: defines ioctl ahead of the C library. Requests on a
// simulated device file (a regular file that starts with the device-file
// magic line) are answered by the simulated driver; every other descriptor
// goes to the real ioctl unchanged.
#include "sDeviceSettings.h"
#include "simulatedDriver.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <new>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace nQvDriverSim_1_0;

using tIoctl = int (*)(int, unsigned long, ...);

// Device files are small text; anything larger is not one of ours.
constexpr size_t kMaxDeviceFileSize = 1024 * 1024;

enum class eFileKind { kOther, kDevice, kBrokenDevice };

tIoctl realIoctl() {
  static const tIoctl s_Real = reinterpret_cast<tIoctl>(::dlsym(RTLD_NEXT, "ioctl"));
  return s_Real;
}

eFileKind readDeviceFile(int a_Fd, sDeviceSettings& a_rSettings) {
  struct stat l_Stat;
  if (::fstat(a_Fd, &l_Stat) != 0 || !S_ISREG(l_Stat.st_mode)) return eFileKind::kOther;
  if (l_Stat.st_size <= 0 || static_cast<size_t>(l_Stat.st_size) > kMaxDeviceFileSize) {
    return eFileKind::kOther;
  }
  // Most regular files are not ours: look at the magic line before reading on.
  const size_t l_MagicLength = std::strlen(kDeviceFileMagic);
  char l_Magic[64];
  static_assert(sizeof(l_Magic) > sizeof(kDeviceFileMagic), "magic buffer");
  if (::pread(a_Fd, l_Magic, l_MagicLength, 0) != static_cast<ssize_t>(l_MagicLength) ||
      std::memcmp(l_Magic, kDeviceFileMagic, l_MagicLength) != 0) {
    return eFileKind::kOther;
  }
  std::string l_Text(static_cast<size_t>(l_Stat.st_size), '\0');
  size_t l_Done = 0;
  while (l_Done < l_Text.size()) {
    const ssize_t l_Read =
        ::pread(a_Fd, &l_Text[l_Done], l_Text.size() - l_Done, static_cast<off_t>(l_Done));
    if (l_Read <= 0) break;
    l_Done += static_cast<size_t>(l_Read);
  }
  l_Text.resize(l_Done);
  return parseDeviceFile(l_Text, a_rSettings) ? eFileKind::kDevice : eFileKind::kBrokenDevice;
}

}  // namespace

extern "C" {

// Referenced by the test-support library so that linking it always keeps
// this library in the program.
__attribute__((visibility("default"))) int qvdriversim_linked(void) { return 1; }

__attribute__((visibility("default"))) int ioctl(int a_Fd, unsigned long a_Request, ...) noexcept {
  va_list l_Arguments;
  va_start(l_Arguments, a_Request);
  void* l_pArgument = va_arg(l_Arguments, void*);
  va_end(l_Arguments);

  const int l_SavedErrno = errno;
  int l_Errno = 0;
  try {
    sDeviceSettings l_Settings;
    switch (readDeviceFile(a_Fd, l_Settings)) {
      case eFileKind::kOther: {
        errno = l_SavedErrno;
        const tIoctl l_Real = realIoctl();
        if (l_Real == nullptr) {
          errno = ENOSYS;
          return -1;
        }
        return l_Real(a_Fd, a_Request, l_pArgument);
      }
      case eFileKind::kBrokenDevice:
        l_Errno = EIO;
        break;
      case eFileKind::kDevice:
        l_Errno = answerRequest(l_Settings, a_Request, l_pArgument);
        break;
    }
  } catch (const std::bad_alloc&) {
    l_Errno = ENOMEM;
  } catch (...) {
    l_Errno = EIO;
  }
  if (l_Errno != 0) {
    errno = l_Errno;
    return -1;
  }
  errno = l_SavedErrno;
  return 0;
}

}  // extern "C"
