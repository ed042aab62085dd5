// SPDX-License-Identifier: LGPL-2.1-or-later
// Renders the report of `check-image` as text or as one JSON document.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "ImageChecker.h"

namespace nQvzelTool {

// Text lines are kept within a_Columns.
void renderImageReport(const sImageReport& a_rReport, std::ostream& a_rOut, size_t a_Columns = 80);
std::string imageReportJson(const sImageReport& a_rReport);

}  // namespace nQvzelTool
