#include "ErrorReport.h"

#include "Format.h"
#include "qvzelif.h"

namespace nQvzelTool {

void reportFailure(std::ostream& a_rErr, const std::string& a_rSentence, int32_t a_Code) {
  a_rErr << "qvzel: " << a_rSentence << '\n';
  if (a_Code != 0) a_rErr << "qvzel: " << statusText(a_Code) << '\n';
}

void reportListFailure(std::ostream& a_rErr, int32_t a_Code) {
  // With valid pointers, opening a list gives these codes when the PCI bridge
  // library or one of its entry points cannot be loaded.
  if (a_Code == QVZEL_ERR_INVALID_PARAMETER || a_Code == QVZEL_ERR_PCIBRD_UNAVAILABLE) {
    reportFailure(a_rErr,
                  "cannot list the link devices; the PCI bridge library libqvpcibrd.so.1 is "
                  "probably missing or incomplete.",
                  a_Code);
    return;
  }
  reportFailure(a_rErr, "cannot list the link devices.", a_Code);
}

}  // namespace nQvzelTool
