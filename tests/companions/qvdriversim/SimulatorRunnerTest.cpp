// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "TempDir.h"
#include "driverLog.h"

namespace {

// Runs a shell command line; its exit code, or -1 when it did not exit.
int run(const std::string& a_rCommand) {
  const int l_Result = std::system((a_rCommand + " 2>/dev/null").c_str());
  return WIFEXITED(l_Result) ? WEXITSTATUS(l_Result) : -1;
}

constexpr int kSkipped = 77;

class SimulatorRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_System = m_Dir.Write("system.ini",
                           "[bridge b]\nanything = here\n"
                           "[interface up0]\n"
                           "pciVendorID = 0x1F3C\n"
                           "attribute.0xF000F0D0 = 0xBF8E\n");
    m_Runner = QVZ_QVSIM_RUN;
  }

  // Runs a command under the runner; skips the test where namespaces are refused.
  int runUnder(const std::string& a_rArguments) {
    return run(m_Runner + " " + m_System + " --log-dir " + m_Dir.File("logs") + " -- " +
               a_rArguments);
  }

  cTempDir m_Dir;
  std::string m_System;
  std::string m_Runner;
};

TEST_F(SimulatorRunnerTest, CommandSeesTheSystemAndItsExitCodeComesBack) {
  const int l_Code = runUnder(
      "sh -c 'test -f /proc/driver/qv/up0/busProperties/pciVendorID && "
      "test \"$QVPCIBRD_SYSTEM\" = " +
      m_System + " && exit 42'");
  if (l_Code == kSkipped) GTEST_SKIP() << "the machine refuses a private mount namespace";
  EXPECT_EQ(l_Code, 42);
}

TEST_F(SimulatorRunnerTest, PreloadedDriverAnswersAndLogsOutsideTheNamespace) {
  const int l_Code = runUnder(std::string(QVZ_QVSIM_PROBE) + " 0xF000F0D0 0xBF8E");
  if (l_Code == kSkipped) GTEST_SKIP() << "the machine refuses a private mount namespace";
  EXPECT_EQ(l_Code, 0);

  std::vector<nQvDriverSim_1_0::sFirmwareWrite> l_Writes;
  ASSERT_TRUE(nQvDriverSim_1_0::readWrites(m_Dir.File("logs"), "up0", l_Writes));
  ASSERT_EQ(l_Writes.size(), 1u);
  EXPECT_EQ(l_Writes[0].m_Bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(l_Writes[0].m_Offset, 0x20u);
}

TEST_F(SimulatorRunnerTest, RunnerFailuresHaveTheirOwnExitCodes) {
  EXPECT_EQ(run(m_Runner), 125) << "usage";
  EXPECT_EQ(run(m_Runner + " " + m_System + " --"), 125) << "no command";
  EXPECT_EQ(run(m_Runner + " " + m_Dir.Write("bad.ini", "[interface x]\nerrno = x\n") + " -- true"),
            125);
  const int l_Missing = run(m_Runner + " " + m_System + " -- /nonexistent/command");
  if (l_Missing == kSkipped) GTEST_SKIP() << "the machine refuses a private mount namespace";
  EXPECT_EQ(l_Missing, 127);
}

}  // namespace
