#include "HelpText.h"

#ifndef QVZEL_TOOL_VERSION
#define QVZEL_TOOL_VERSION "0.0.0"
#endif

namespace nQvzelTool {

namespace {

const char* const kToolHelp =
    "Usage: qvzel COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Lists and services the PXI bus-extension link hardware that libqvzelif finds:\n"
    "upstream link cards in this computer and the link controllers of the chassis\n"
    "cabled to them.\n"
    "\n"
    "Commands:\n"
    "  list [--tree] [--json]          list every link device with its attributes\n"
    "  show ITEM [--json]              every attribute of one item\n"
    "  idsel ITEM [--json]             the IDSEL map of a link controller\n"
    "  check-image IMAGE [--json]      validate a firmware image file (no hardware needed)\n"
    "  update ITEM IMAGE [--force] [--yes]\n"
    "                                  write a firmware image into an upstream link card\n"
    "  help [COMMAND]                  this text, or the help of one command\n"
    "\n"
    "ITEM is an index shown by 'qvzel list', a slot path such as MR00:00,E0 or a\n"
    "serial number; slot paths and serial numbers stay the same across reboots.\n"
    "Write slot:PATH or serial:NUMBER to force one reading.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show help (of the tool, or of the command given)\n"
    "  -V, --version    show the tool's version\n"
    "\n"
    "Exit status: 0 success, 1 failure (the message names the status code),\n"
    "2 usage error.\n";

const char* const kListHelp =
    "Usage: qvzel list [--tree] [--json]\n"
    "\n"
    "Lists every item the library finds: kind, vendor, model, slot path, PCI\n"
    "address, vendor and product ID, serial and part number; for upstream link\n"
    "devices the ports with their values and the live link values, for link\n"
    "controllers their bridge values and the upstream port they hang below.\n"
    "When nothing is found it says so and exits with 0.\n"
    "\n"
    "  --tree    show each upstream device's ports and the controllers below them\n"
    "  --json    print one JSON document (keys in docs/tool.md and qvzel(1))\n";

const char* const kShowHelp =
    "Usage: qvzel show ITEM [--json]\n"
    "\n"
    "Shows every attribute of one item. For an upstream link device the tool also\n"
    "opens the device through the kernel driver to read the installed firmware\n"
    "version, the flash ID and the card's subsystem ID.\n"
    "ITEM is a list index, a slot path (MR00:00,E0) or a serial number.\n"
    "\n"
    "  --json    print one JSON document\n";

const char* const kIdselHelp =
    "Usage: qvzel idsel ITEM [--json]\n"
    "\n"
    "Shows the 32-entry IDSEL map of a link controller item (0xFF marks an entry\n"
    "without a slot). ITEM is a list index, a slot path or a serial number.\n"
    "\n"
    "  --json    print one JSON document\n";

const char* const kCheckImageHelp =
    "Usage: qvzel check-image IMAGE [--json]\n"
    "\n"
    "Validates a firmware image file without touching hardware. For every section\n"
    "it shows the update type, flash ID, header version, subsystem ID, pin-out\n"
    "address and version, flash offset, firmware version, byte count, declared\n"
    "and computed checksum, and a verdict with its reason.\n"
    "Exits with 0 only when every section is valid.\n"
    "\n"
    "  --json    print one JSON document\n";

const char* const kUpdateHelp =
    "Usage: qvzel update ITEM IMAGE [--force] [--yes]\n"
    "\n"
    "Writes a firmware image into an upstream link card. The tool validates the\n"
    "image first, opens the device, shows the installed and the image's version\n"
    "and the flash type, asks for confirmation, then writes. Writing takes a while;\n"
    "on a terminal the elapsed time is shown. Do not power off meanwhile.\n"
    "\n"
    "  --force   write the image even when it is not newer than the installed one\n"
    "  --yes     do not ask for confirmation (needed when not on a terminal)\n";

}  // namespace

std::string helpText(const std::string& a_rCommand) {
  if (a_rCommand == "list") return kListHelp;
  if (a_rCommand == "show") return kShowHelp;
  if (a_rCommand == "idsel") return kIdselHelp;
  if (a_rCommand == "check-image") return kCheckImageHelp;
  if (a_rCommand == "update") return kUpdateHelp;
  return kToolHelp;
}

std::string versionText() { return std::string("qvzel ") + QVZEL_TOOL_VERSION + "\n"; }

std::string usageErrorText(const std::string& a_rProblem) {
  return "qvzel: " + a_rProblem + "\nTry 'qvzel --help' for more information.\n";
}

}  // namespace nQvzelTool
