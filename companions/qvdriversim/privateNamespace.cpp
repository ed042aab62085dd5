#include "privateNamespace.h"

#include "driverTree.h"

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace nQvDriverSim_1_0 {

namespace {

std::string failure(const char* a_pWhat) {
  return std::string(a_pWhat) + ": " + std::strerror(errno);
}

}  // namespace

bool enterPrivateNamespace(std::string& a_rReason) {
  static bool s_Entered = false;
  if (s_Entered && isPrivateDriverTree()) return true;

  if (::unshare(CLONE_NEWNS) != 0) {
    a_rReason = failure("unshare(CLONE_NEWNS)");
    return false;
  }
  // Private propagation first, so that nothing mounted here reaches the host.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    a_rReason = failure("making mounts private");
    return false;
  }
  if (::mount("qvdriversim", kProcDriver, "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0) {
    a_rReason = failure("mounting a tmpfs over /proc/driver");
    return false;
  }
  s_Entered = true;
  return true;
}

}  // namespace nQvDriverSim_1_0
