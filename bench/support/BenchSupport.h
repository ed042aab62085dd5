// SPDX-License-Identifier: LGPL-2.1-or-later
// Helpers shared by the benchmarks that run the library against simulated
// systems: choosing a system, walking a list, reading every attribute of an
// item and the process's memory figures.
#pragma once

#include <cstdint>
#include <string>

namespace nQvBench {

// Directory of the generated systems (chassis-N.ini), from QVZ_BENCH_SYSTEM_DIR.
std::string systemDirectory();
// Path of the generated system with a_Chassis chassis.
std::string systemFile(int a_Chassis);
// Items a list opening of that system must report: one per upstream card
// (four chassis each) and one per chassis' link controller.
uint32_t expectedItems(int a_Chassis);
// Number of "[bridge" sections of a system file; 0 when it cannot be read.
uint32_t countBridges(const std::string& a_rSystemFile);

// Enters the private driver tree (first call) and loads a system into it and
// into the simulated PCI bridge library. False with the reason on failure.
bool useSystem(const std::string& a_rSystemFile, std::string& a_rError);

// What reading every attribute of one item did.
struct sAttributeReads {
  uint32_t m_Reads = 0;         // attribute and IDSEL map reads made
  uint32_t m_NotSupported = 0;  // reads answered "empty or 0" (-52002), as documented
  std::string m_Failure;        // the first unexpected answer, empty when none
};

// Reads every attribute the item answers: for an upstream device all port
// attributes, and the live driver attributes between an openDevice and a
// closeDevice; for a controller also its IDSEL map.
sAttributeReads readEveryAttribute(void* a_pItem);

// Opens a list, reads every attribute of every item and closes it. Returns
// the item count, or -1 with a_rError set.
int64_t openReadClose(bool a_ReadAttributes, std::string& a_rError, sAttributeReads* a_pReads);

// Resident set size and its peak, in KiB, from /proc/self/status.
uint64_t residentKiB();
uint64_t peakResidentKiB();

}  // namespace nQvBench
