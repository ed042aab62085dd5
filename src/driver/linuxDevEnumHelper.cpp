#include "driver/linuxDevEnumHelper.h"

#include <fcntl.h>
#include <unistd.h>

namespace nQVZEL_15_0 {
namespace nQVKORA000 {
namespace linuxDevEnumHelper {

int openWithRetries(const char* a_pPath, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return -1;
  for (int l_Attempt = 0; l_Attempt < kOpenAttempts; ++l_Attempt) {
    const int l_Fd = ::open(a_pPath, O_RDONLY | O_CLOEXEC);
    if (l_Fd != -1) return l_Fd;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kNotFound);
  return -1;
}

size_t readOnce(int a_Fd, char* a_pBuffer, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return 0;
  const ssize_t l_Read = ::read(a_Fd, a_pBuffer, kReadLimit);
  if (l_Read < 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kIoError);
    return 0;
  }
  return static_cast<size_t>(l_Read);
}

}  // namespace linuxDevEnumHelper
}  // namespace nQVKORA000
}  // namespace nQVZEL_15_0
