// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel check-image IMAGE [--json]
#include "Commands.h"
#include "ErrorReport.h"
#include "ImageChecker.h"
#include "ImageReportRenderer.h"
#include "cStandardOutput.h"

namespace nQvzelTool {

int runCheckImage(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  const sImageReport l_Report = checkImageFile(a_rOptions.m_Args.at(0));
  if (a_rOptions.m_Json) {
    a_rOut << imageReportJson(l_Report);
  } else if (l_Report.m_Readable) {
    renderImageReport(l_Report, a_rOut, cStandardOutput::columns());
  }
  if (!l_Report.m_Problem.empty()) reportFailure(a_rErr, l_Report.m_Problem + ".");
  return l_Report.valid() ? kExitSuccess : kExitFailure;
}

}  // namespace nQvzelTool
