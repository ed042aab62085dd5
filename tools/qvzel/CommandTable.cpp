// SPDX-License-Identifier: LGPL-2.1-or-later
#include "CommandTable.h"

#include <cstring>

#include "Commands.h"

namespace nQvzelTool {

namespace {

const sCommandSpec kCommands[] = {
    {"list", "", kOptionTree | kOptionJson, runList, "list every link device with its attributes",
     "Lists every item the library finds: index, kind, slot path, PCI address and\n"
     "model, then indented lines with the vendor, vendor and product ID, serial and\n"
     "part number; for upstream link devices the live link values and the ports, for\n"
     "link controllers their bridge values and the upstream port they hang below.\n"
     "When nothing is found it says so and exits with 0.\n"
     "\n"
     "  --tree    show each upstream device's ports and the controllers below them\n"
     "  --json    print one JSON document (keys in docs/tool.md and qvzel(1)); each\n"
     "            controller names its upstream port in 'below'\n"},
    {"show", "ITEM", kOptionJson, runShow, "every attribute of one item",
     "Shows every attribute of one item. For an upstream link device the tool also\n"
     "opens the device through the kernel driver to read the installed firmware\n"
     "version, the flash ID and the card's subsystem ID.\n"
     "ITEM is a list index, a slot path (MR00:00,E0) or a serial number.\n"
     "\n"
     "  --json    print one JSON document\n"},
    {"idsel", "ITEM", kOptionJson, runIdsel, "the IDSEL map of a link controller",
     "Shows the 32-entry IDSEL map of a link controller item (0xFF marks an entry\n"
     "without a slot). ITEM is a list index, a slot path or a serial number.\n"
     "\n"
     "  --json    print one JSON document\n"},
    {"check-image", "IMAGE", kOptionJson, runCheckImage, "validate a firmware image file offline",
     "Validates a firmware image file without touching hardware. For every section\n"
     "it shows the update type, flash ID, header version, subsystem ID, pin-out\n"
     "address and version, flash offset, firmware version, byte count, declared\n"
     "and computed checksum, and a verdict with its reason.\n"
     "Exits with 0 only when every section is valid.\n"
     "\n"
     "  --json    print one JSON document\n"},
    {"update", "ITEM IMAGE", kOptionForce | kOptionYes, runUpdate,
     "write a firmware image into an upstream card",
     "Writes a firmware image into an upstream link card. The tool validates the\n"
     "image first, opens the device, shows the installed and the image's version\n"
     "and the flash type, asks for confirmation, then writes. Writing takes a while;\n"
     "on a terminal the elapsed time is shown. Do not power off meanwhile.\n"
     "\n"
     "  --force     write the image even when it is not newer than the installed one\n"
     "  -y, --yes   do not ask for confirmation (needed when not on a terminal)\n"},
    {"metrics", "", kOptionOutput, runMetrics, "the link devices as Prometheus metrics",
     "Prints the link devices as Prometheus text for node_exporter's textfile\n"
     "collector: an info sample per device, link and port widths and speeds, the\n"
     "installed firmware version of upstream cards (their device session is opened\n"
     "briefly), the number of devices by kind and whether the scrape succeeded.\n"
     "Exits with 1 when the list cannot be opened (the text says so too).\n"
     "\n"
     "  --output FILE   replace FILE atomically instead of printing\n"},
    {"diagnose", "", kOptionJson, runDiagnose, "explain why devices are or are not listed",
     "Explains why a device is or is not listed on this machine: whether the PCI\n"
     "bridge library loads (its path, or the package to install), whether the\n"
     "kernel driver is loaded (/proc/driver/qv, its interfaces per class), whether\n"
     "this user may open the device files, the controller file (its path,\n"
     "sections and problems), and for each row of the model table what was\n"
     "searched and how many were found; then what the list holds.\n"
     "Exits with 0 whatever it finds.\n"
     "\n"
     "  --json    print one JSON document\n"},
    {"help", "[COMMAND]", 0, nullptr, "this text, or the help of one command",
     "Shows the tool's help, or the help of one command; the same as\n"
     "'qvzel COMMAND --help'.\n"},
};

}  // namespace

const sCommandSpec* commandTable(size_t& a_rCount) {
  a_rCount = sizeof(kCommands) / sizeof(kCommands[0]);
  return kCommands;
}

const sCommandSpec* findCommand(const char* a_pName) {
  for (const sCommandSpec& l_rSpec : kCommands) {
    if (std::strcmp(a_pName, l_rSpec.m_pName) == 0) return &l_rSpec;
  }
  return nullptr;
}

}  // namespace nQvzelTool
