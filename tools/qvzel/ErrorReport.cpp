// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ErrorReport.h"

#include <dlfcn.h>

#include "Format.h"
#include "cStandardOutput.h"
#include "qvzelif.h"

namespace nQvzelTool {

const char* const kBridgeLibraryFile = "libqvpcibrd.so.1";
const char* const kBridgeLibraryPackage = "libqvpcibrd1-sysfs";

namespace {

// The library reports a PCI bridge library it cannot load with the same code
// as other refusals; loading it here as the library would tells the causes
// apart.
bool bridgeLibraryLoads() {
  void* l_pHandle = dlopen(kBridgeLibraryFile, RTLD_LAZY | RTLD_LOCAL);
  if (l_pHandle == nullptr) return false;
  dlclose(l_pHandle);
  return true;
}

}  // namespace

std::string messageLines(const std::string& a_rText) {
  return wrapText("qvzel: ", displayText(a_rText), "       ", cStandardOutput::errorColumns());
}

void reportFailure(std::ostream& a_rErr, const std::string& a_rSentence, int32_t a_Code) {
  a_rErr << messageLines(a_rSentence);
  if (a_Code != 0) a_rErr << messageLines(statusText(a_Code));
}

void reportListFailure(std::ostream& a_rErr, int32_t a_Code) {
  if (a_Code == QVZEL_ERR_INVALID_PARAMETER || a_Code == QVZEL_ERR_PCIBRD_UNAVAILABLE) {
    if (!bridgeLibraryLoads()) {
      reportFailure(a_rErr,
                    std::string("cannot list the link devices: the PCI bridge library ") +
                        kBridgeLibraryFile + " is not installed; install the package " +
                        kBridgeLibraryPackage + " (or your site's PCI bridge library).",
                    a_Code);
      return;
    }
    reportFailure(a_rErr,
                  std::string("cannot list the link devices; the PCI bridge library ") +
                      kBridgeLibraryFile + " was found but may lack an entry point.",
                  a_Code);
    return;
  }
  reportFailure(a_rErr, "cannot list the link devices.", a_Code);
}

}  // namespace nQvzelTool
