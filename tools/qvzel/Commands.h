// SPDX-License-Identifier: LGPL-2.1-or-later
// The tool's commands, one source file each. Each returns the exit status.
#pragma once

#include <ostream>

#include "CommandLine.h"

namespace nQvzelTool {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int runList(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);
int runShow(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);
int runIdsel(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);
int runCheckImage(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);
int runUpdate(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);
int runDiagnose(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);
int runMetrics(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr);

}  // namespace nQvzelTool
