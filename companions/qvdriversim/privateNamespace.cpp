// SPDX-License-Identifier: LGPL-2.1-or-later
#include "privateNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driverTree.h"

namespace nQvDriverSim_1_0 {

namespace {

std::string failure(const char* a_pWhat) {
  return std::string(a_pWhat) + ": " + std::strerror(errno);
}

// Writes one line into a /proc/self file of the user namespace set-up.
bool writeProcSelf(const char* a_pFile, const std::string& a_rText) {
  const int l_Fd = ::open(a_pFile, O_WRONLY | O_CLOEXEC);
  if (l_Fd < 0) return false;
  const bool l_Ok =
      ::write(l_Fd, a_rText.data(), a_rText.size()) == static_cast<ssize_t>(a_rText.size());
  ::close(l_Fd);
  return l_Ok;
}

// Without the privilege to make a mount namespace, a normal user can still
// get one inside a user namespace of its own, where it is root over its own
// mounts only; the user's ids are mapped to themselves, so files it creates
// keep their owner outside.
bool enterUserNamespace() {
  const uid_t l_Uid = ::getuid();
  const gid_t l_Gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  char l_Line[64];
  std::snprintf(l_Line, sizeof(l_Line), "%u %u 1\n", static_cast<unsigned>(l_Uid),
                static_cast<unsigned>(l_Uid));
  if (!writeProcSelf("/proc/self/uid_map", l_Line)) return false;
  writeProcSelf("/proc/self/setgroups", "deny");
  std::snprintf(l_Line, sizeof(l_Line), "%u %u 1\n", static_cast<unsigned>(l_Gid),
                static_cast<unsigned>(l_Gid));
  return writeProcSelf("/proc/self/gid_map", l_Line);
}

}  // namespace

bool enterPrivateNamespace(std::string& a_rReason) {
  static bool s_Entered = false;
  if (s_Entered && isPrivateDriverTree()) return true;
  // Lets scripts and tests try their answer to a machine that refuses the
  // namespace on any machine.
  const char* l_pRefuse = std::getenv(kRefuseVariable);
  if (l_pRefuse && std::strcmp(l_pRefuse, "1") == 0) {
    a_rReason = std::string("refused on request (") + kRefuseVariable + "=1)";
    return false;
  }

  if (::unshare(CLONE_NEWNS) != 0) {
    const std::string l_Reason = failure("unshare(CLONE_NEWNS)");
    if (errno != EPERM || !enterUserNamespace()) {
      a_rReason = l_Reason;
      return false;
    }
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
