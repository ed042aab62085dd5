// SPDX-License-Identifier: LGPL-2.1-or-later
// Renders the report of `check-image` as text or as one JSON document.
#pragma once

#include <ostream>
#include <string>

#include "ImageChecker.h"

namespace nQvzelTool {

void renderImageReport(const sImageReport& a_rReport, std::ostream& a_rOut);
std::string imageReportJson(const sImageReport& a_rReport);

}  // namespace nQvzelTool
