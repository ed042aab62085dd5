// SPDX-License-Identifier: LGPL-2.1-or-later
// The flash memory of a simulated upstream card and the version it runs.
// Per card the state directory holds two files:
//   <name>.flash    the flash's bytes (erased bytes are 0xFF)
//   <name>.running  the version the card runs, as text ("0x00000100")
// Firmware requests write into the flash; the pending version is the one
// the flash's boot header names now (8 bytes at QVZEL_BOOT_HEADER_OFFSET:
// "QVFW" and a 32-bit little-endian version); a reload makes it the running
// version, as power-cycling the card does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nQvDriverSim_1_0 {

std::string flashPath(const std::string& a_rStateDir, const std::string& a_rName);
std::string runningPath(const std::string& a_rStateDir, const std::string& a_rName);

// True when the card's flash file exists and holds a_Size bytes.
bool hasFlash(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Size);

// A factory flash: a_Size erased bytes, with a boot header of a_BootVersion
// when a_HasBootHeader; the card runs what the header names (0 without).
bool createFactoryFlash(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Size,
                        bool a_HasBootHeader, uint32_t a_BootVersion, std::string& a_rError);

// The version the boot header names, 0 when the magic is absent.
bool readBootVersion(const std::string& a_rStateDir, const std::string& a_rName,
                     uint32_t& a_rVersion, std::string& a_rError);
bool readRunningVersion(const std::string& a_rStateDir, const std::string& a_rName,
                        uint32_t& a_rVersion, std::string& a_rError);

// Writes a_Length bytes at a_Offset (the caller checked the range); requests
// to one card are serialised through a lock on its flash file.
bool writeFlash(const std::string& a_rStateDir, const std::string& a_rName, uint32_t a_Offset,
                const uint8_t* a_pBytes, size_t a_Length, std::string& a_rError);

// The card runs what its boot header names from now on.
bool reloadCard(const std::string& a_rStateDir, const std::string& a_rName, uint32_t& a_rVersion,
                std::string& a_rError);

}  // namespace nQvDriverSim_1_0
