// SPDX-License-Identifier: LGPL-2.1-or-later
// The texts of --help, --version and usage errors.
#pragma once

#include <string>

namespace nQvzelTool {

// Help of the whole tool (empty or unknown command) or of one command.
std::string helpText(const std::string& a_rCommand);
std::string versionText();
// The two lines printed for a usage error.
std::string usageErrorText(const std::string& a_rProblem);

}  // namespace nQvzelTool
