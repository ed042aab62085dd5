// SPDX-License-Identifier: LGPL-2.1-or-later
// How the tool reports a failure on stderr.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace nQvzelTool {

// The file the library loads as its PCI bridge library, and the package that
// ships ours.
extern const char* const kBridgeLibraryFile;
extern const char* const kBridgeLibraryPackage;

// "qvzel: <text>" with control characters escaped, wrapped at spaces to the
// width of stderr (80 columns when it is not a terminal), later lines indented.
std::string messageLines(const std::string& a_rText);

// The message of a_rSentence and, when a_Code is not 0, one with the status
// code, its symbolic name and its meaning.
void reportFailure(std::ostream& a_rErr, const std::string& a_rSentence, int32_t a_Code = 0);

// Reports a failed list opening; a missing PCI bridge library is named with
// the package to install.
void reportListFailure(std::ostream& a_rErr, int32_t a_Code);

}  // namespace nQvzelTool
