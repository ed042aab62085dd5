// Renders the report of `check-image` as text or as one JSON document.
#pragma once

#include "ImageChecker.h"

#include <ostream>
#include <string>

namespace nQvzelTool {

void renderImageReport(const sImageReport& a_rReport, std::ostream& a_rOut);
std::string imageReportJson(const sImageReport& a_rReport);

}  // namespace nQvzelTool
