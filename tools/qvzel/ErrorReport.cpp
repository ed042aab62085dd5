#include "ErrorReport.h"

#include "Format.h"

namespace nQvzelTool {

void reportFailure(std::ostream& a_rErr, const std::string& a_rSentence, int32_t a_Code) {
  a_rErr << "qvzel: " << a_rSentence << '\n';
  if (a_Code != 0) a_rErr << "qvzel: " << statusText(a_Code) << '\n';
}

}  // namespace nQvzelTool
