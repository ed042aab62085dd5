// SPDX-License-Identifier: LGPL-2.1-or-later
// Builds the kernel driver's /proc/driver/qv tree and the simulated device
// files from interface descriptions. Works only on a private tmpfs mounted
// over /proc/driver (privateNamespace.h), never on the host's tree.
#pragma once

#include <string>
#include <vector>

#include "systemFile.h"

namespace nQvDriverSim_1_0 {

constexpr const char* kProcDriver = "/proc/driver";
constexpr const char* kDriverRoot = "/proc/driver/qv";
// Device files, default logs and stored system texts live beside the tree.
constexpr const char* kSimRoot = "/proc/driver/qvsim";

std::string deviceFilePath(const std::string& a_rName);
std::string defaultLogDir();
// Where the cards' flash images live unless a state directory is given.
std::string defaultStateDir();

// True when /proc/driver is a tmpfs, i.e. a private tree made for simulation.
bool isPrivateDriverTree();

// Replaces whatever tree there was by the one the interfaces describe and
// empties their logs in a_rLogDir (created when missing). Cards with a flash
// get a factory flash in a_rStateDir, or keep the flash they have there when
// a_KeepFlash is set and its size is still the described one.
bool buildDriverTree(const std::vector<sInterfaceSpec>& a_rInterfaces, const std::string& a_rLogDir,
                     const std::string& a_rStateDir, bool a_KeepFlash, std::string& a_rError);
// Removes /proc/driver/qv and the simulation files (a machine without driver).
bool removeDriverTree(std::string& a_rError);

// Helpers for the tree and its users.
bool makeDirectories(const std::string& a_rPath, std::string& a_rError);
bool writeWholeFile(const std::string& a_rPath, const void* a_pData, size_t a_Size,
                    std::string& a_rError);

}  // namespace nQvDriverSim_1_0
