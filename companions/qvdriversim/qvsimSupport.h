// SPDX-License-Identifier: LGPL-2.1-or-later
// Test support for the simulated kernel driver (static library qvsim_support).
// A test program calls these to get a simulated system inside its own
// process: a private /proc/driver/qv tree, device files that answer the
// register proxy's requests, and the driver's logs to check afterwards.
//
//   std::string l_Reason;
//   if (!enterPrivateDriverTree(l_Reason)) GTEST_SKIP() << l_Reason;  // or QVSIM_ENTER_OR_SKIP()
//   ASSERT_TRUE(loadSystemFile("system.ini", l_Error)) << l_Error;
//   ... exercise the library ...
//   std::vector<sFirmwareWrite> l_Writes = firmwareWrites("up0");
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driverLog.h"

namespace nQvDriverSim_1_0 {

// Enters a private mount namespace with an empty /proc/driver (the first call
// in a process) or empties the tree again (later calls). False with the
// reason when the machine refuses (no CAP_SYS_ADMIN, say).
bool enterPrivateDriverTree(std::string& a_rReason);

// Builds the driver tree from the interface sections of a simulated-system
// file and sets QVPCIBRD_SYSTEM to the file's absolute path, so that the
// simulated PCI bridge library reads the same system. The logs go to
// a_rLogDir, by default a directory inside the private tree.
bool loadSystemFile(const std::string& a_rPath, std::string& a_rError,
                    const std::string& a_rLogDir = std::string());
// The same for a system given as text (stored inside the private tree).
bool loadSystemText(const std::string& a_rText, std::string& a_rError,
                    const std::string& a_rLogDir = std::string());

// Removes the whole driver tree: the machine then looks like one without the
// kernel driver.
bool removeSystem(std::string& a_rError);

// Changes one driver key of interface a_rName ("attribute.0xF000F0C0",
// "attributeStatus", "firmwareErrno", ...); takes effect with the next request.
bool setDeviceSetting(const std::string& a_rName, const std::string& a_rKey,
                      const std::string& a_rValue, std::string& a_rError);

// Path of interface a_rName's device file (its default interfacePath).
std::string deviceFile(const std::string& a_rName);

// The flash of a card whose section gives flashSize: the file holding its
// bytes, and its reload (the card then runs the version its boot header
// names, which a_rVersion receives; 0 without a boot header).
std::string flashFile(const std::string& a_rName);
bool reloadCard(const std::string& a_rName, uint32_t& a_rVersion, std::string& a_rError);

// What interface a_rName's driver received since the system was loaded.
std::vector<sFirmwareWrite> firmwareWrites(const std::string& a_rName);
std::vector<sDriverRequest> driverRequests(const std::string& a_rName);

}  // namespace nQvDriverSim_1_0
