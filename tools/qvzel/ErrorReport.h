// How the tool reports a failure on stderr.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace nQvzelTool {

// "qvzel: <sentence>" and, when a_Code is not 0, a second line with the
// status code, its symbolic name and its meaning.
void reportFailure(std::ostream& a_rErr, const std::string& a_rSentence, int32_t a_Code = 0);

// Reports a failed list opening, with a hint where the code tells the cause.
void reportListFailure(std::ostream& a_rErr, int32_t a_Code);

}  // namespace nQvzelTool
