// SPDX-License-Identifier: LGPL-2.1-or-later
// Runs a piece of a test in a forked child that an alarm ends after a few
// seconds, so that a call that would hang fails its test instead of holding
// up the whole run.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace qvztest {

// The body's result (0 to 255) as the child's exit status, or -1 when the
// child did not end by itself within a_Seconds (or could not be started).
template <typename tBody>
int runTimeBound(unsigned a_Seconds, tBody a_Body) {
  const pid_t l_Pid = fork();
  if (l_Pid == 0) {
    alarm(a_Seconds);
    _exit(a_Body());
  }
  int l_Status = 0;
  if (l_Pid < 0 || waitpid(l_Pid, &l_Status, 0) != l_Pid || !WIFEXITED(l_Status)) return -1;
  return WEXITSTATUS(l_Status);
}

}  // namespace qvztest
