// SPDX-License-Identifier: LGPL-2.1-or-later
// A controller file that is not a regular file (a FIFO, a link to a device
// that never ends): the list opening neither waits nor reads without end,
// takes nothing from it and still lists every other device.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "SimMachine.h"
#include "TimeBoundChild.h"

namespace systest {
namespace {

class SpecialControllerFile : public SystemTest {};

TEST_F(SpecialControllerFile, IsTakenAsNoFileWithoutWaiting) {
  load(cardSystem());
  // Creates the folder, then leaves the place of the file free.
  writeControllerFile("[c]\n");
  writeControllerFile("");
  uint32_t l_Baseline = 0;
  {
    cList l_List;
    ASSERT_EQ(l_List.code(), 0);
    l_Baseline = l_List.count();
  }
  ASSERT_GT(l_Baseline, 0u);

  const std::string l_Path =
      std::string(std::getenv("QVRELOC_SHAREDSTATEDIR")) + "/qvpxi/pxicontrollers.ini";
  for (const char* l_pKind : {"fifo", "/dev/zero", "/dev/urandom"}) {
    SCOPED_TRACE(l_pKind);
    unlink(l_Path.c_str());
    if (std::string(l_pKind) == "fifo") {
      ASSERT_EQ(mkfifo(l_Path.c_str(), 0644), 0);
    } else {
      ASSERT_EQ(symlink(l_pKind, l_Path.c_str()), 0);
    }
    const int l_Result = qvztest::runTimeBound(10, [l_Baseline]() {
      cList l_List;
      return l_List.code() == 0 && l_List.count() == l_Baseline ? 0 : 1;
    });
    EXPECT_EQ(l_Result, 0) << "-1: the list opening hung";
  }
  unlink(l_Path.c_str());
}

}  // namespace
}  // namespace systest
