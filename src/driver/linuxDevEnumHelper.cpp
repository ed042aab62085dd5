// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driver/linuxDevEnumHelper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {
namespace linuxDevEnumHelper {

int openWithRetries(const char* a_pPath, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return -1;
  for (int l_Attempt = 0; l_Attempt < kOpenAttempts; ++l_Attempt) {
    const int l_Fd = ::open(a_pPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (l_Fd != -1) return l_Fd;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
  return -1;
}

size_t readOnce(int a_Fd, char* a_pBuffer, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  // The descriptor is examined, not the path, so nothing can be swapped in
  // between.
  struct stat l_Info;
  const bool l_Regular = ::fstat(a_Fd, &l_Info) == 0 && S_ISREG(l_Info.st_mode);
  const ssize_t l_Read = l_Regular ? ::read(a_Fd, a_pBuffer, kReadLimit) : -1;
  if (l_Read < 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIoError);
    return 0;
  }
  return static_cast<size_t>(l_Read);
}

size_t readFile(const char* a_pPath, char* a_pBuffer, Status& a_rStatus) {
  const int l_Fd = openWithRetries(a_pPath, a_rStatus);
  if (l_Fd == -1) return 0;
  const size_t l_Count = readOnce(l_Fd, a_pBuffer, a_rStatus);
  ::close(l_Fd);
  return l_Count;
}

}  // namespace linuxDevEnumHelper
}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
