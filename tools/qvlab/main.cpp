// SPDX-License-Identifier: LGPL-2.1-or-later
// qvlab: loads a system into the kernel lab and changes it at run time.
// The lab module (kernel/qvlab) serves the requests through /dev/qvlab;
// docs/kernel-lab.md describes the system text and every command.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "LabRecords.h"
#include "cLabDevice.h"
#include "cSystemText.h"

namespace {

using namespace nQvlabTool;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: qvlab load FILE             build the lab from a system text\n"
    "       qvlab reload                reload every card from its flash (a power cycle)\n"
    "       qvlab unplug NAME           pull a card or chassis out (surprise removal)\n"
    "       qvlab plug NAME             put it back\n"
    "       qvlab cable PORT on|off     bring a port's link up or down\n"
    "       qvlab flash read NAME [--offset N] [--length N] [FILE]\n"
    "       qvlab flash write NAME --offset N FILE\n"
    "       qvlab info                  one line per PCI function\n";

int usage(const std::string& a_rMessage) {
  std::cerr << "qvlab: " << a_rMessage << "\n" << kUsage;
  return kExitUsage;
}

std::string reason(int a_Error) {
  switch (a_Error) {
    case EACCES:
    case EPERM:
      return "permission denied (the lab is root's)";
    default:
      return std::strerror(a_Error);
  }
}

int fail(const std::string& a_rMessage) {
  std::cerr << "qvlab: " << a_rMessage << "\n";
  return kExitFailure;
}

int openLab(cLabDevice& a_rLab) {
  const int l_Error = a_rLab.open();
  if (l_Error == ENOENT || l_Error == ENODEV || l_Error == ENXIO) {
    return fail(std::string(QVLAB_DEVICE_PATH) +
                " is missing: the lab module qvlab.ko is not loaded");
  }
  if (l_Error != 0) {
    return fail(std::string(QVLAB_DEVICE_PATH) + ": " + reason(l_Error));
  }
  return kExitSuccess;
}

// The lab's records as it holds them now.
int labRecords(cLabDevice& a_rLab, std::vector<qvlab_info>& a_rInfo,
               std::vector<qvlab_function>& a_rRecords) {
  const int l_Error = a_rLab.info(a_rInfo);
  if (l_Error != 0) {
    return fail("cannot read the lab: " + reason(l_Error));
  }
  a_rRecords.clear();
  for (const qvlab_info& l_rInfo : a_rInfo) {
    a_rRecords.push_back(l_rInfo.function);
  }
  return kExitSuccess;
}

bool parseNumber(const std::string& a_rText, uint32_t& a_rValue) {
  if (a_rText.empty() || a_rText[0] == '-') {
    return false;
  }
  try {
    size_t l_End = 0;
    const unsigned long long l_Value = std::stoull(a_rText, &l_End, 0);
    if (l_End != a_rText.size() || l_Value > 0xFFFFFFFFULL) {
      return false;
    }
    a_rValue = uint32_t(l_Value);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int cmdLoad(cLabDevice& a_rLab, const std::vector<std::string>& a_rArgs) {
  if (a_rArgs.size() != 1) {
    return usage("load takes one system file");
  }
  cSystemText l_Text;
  std::vector<qvlab_function> l_Records;
  std::string l_Error;
  if (!l_Text.load(a_rArgs[0], l_Error)) {
    return fail(l_Error);
  }
  if (!buildLabRecords(l_Text, l_Records, l_Error)) {
    return fail(a_rArgs[0] + ": " + l_Error);
  }
  const int l_Result = a_rLab.load(l_Records);
  if (l_Result != 0) {
    return fail("the lab refused " + a_rArgs[0] + ": " + reason(l_Result));
  }
  return kExitSuccess;
}

int cmdNameOp(cLabDevice& a_rLab, const std::string& a_rCommand,
              const std::vector<std::string>& a_rArgs) {
  const bool l_Cable = a_rCommand == "cable";
  if (a_rArgs.size() != (l_Cable ? 2U : 1U) ||
      (l_Cable && a_rArgs[1] != "on" && a_rArgs[1] != "off")) {
    return usage(l_Cable ? "cable takes a port name and on or off"
                         : a_rCommand + " takes one name");
  }
  const std::string& l_rName = a_rArgs[0];
  int l_Error;
  if (l_Cable) {
    l_Error = a_rLab.cable(l_rName, a_rArgs[1] == "on");
  } else {
    l_Error = a_rLab.unplug(l_rName, a_rCommand == "plug");
  }
  switch (l_Error) {
    case 0:
      return kExitSuccess;
    case ENOENT:
      return fail("the lab has no function named \"" + l_rName + "\" (qvlab info lists them)");
    case EINVAL:
      if (l_Cable) {
        return fail("\"" + l_rName + "\" is no PCI Express port a cable plugs into");
      }
      break;
    case ENXIO:
      return fail("nothing is plugged in at the end of the cable of \"" + l_rName + "\"");
    case ENODEV:
      return fail("\"" + l_rName + "\" is unplugged already");
    case EBUSY:
      return fail("\"" + l_rName + "\" is plugged in already");
  }
  return fail(a_rCommand + " " + l_rName + ": " + reason(l_Error));
}

int cmdFlash(cLabDevice& a_rLab, const std::vector<std::string>& a_rArgs) {
  if (a_rArgs.size() < 2 || (a_rArgs[0] != "read" && a_rArgs[0] != "write")) {
    return usage("flash read NAME ... or flash write NAME ...");
  }
  const bool l_Write = a_rArgs[0] == "write";
  const std::string& l_rName = a_rArgs[1];
  uint32_t l_Offset = 0, l_Length = 0;
  bool l_HasOffset = false, l_HasLength = false;
  std::string l_File;
  for (size_t l_At = 2; l_At < a_rArgs.size(); ++l_At) {
    const std::string& l_rArg = a_rArgs[l_At];
    if (l_rArg == "--offset" || l_rArg == "--length") {
      uint32_t& l_rValue = l_rArg == "--offset" ? l_Offset : l_Length;
      if (l_At + 1 == a_rArgs.size() || !parseNumber(a_rArgs[l_At + 1], l_rValue)) {
        return usage(l_rArg + " takes a number");
      }
      (l_rArg == "--offset" ? l_HasOffset : l_HasLength) = true;
      ++l_At;
    } else if (l_File.empty() && !l_rArg.empty() && (l_rArg[0] != '-' || l_rArg == "-")) {
      l_File = l_rArg;
    } else {
      return usage("unexpected argument " + l_rArg);
    }
  }
  if (l_Write && (!l_HasOffset || l_File.empty() || l_HasLength)) {
    return usage("flash write takes NAME --offset N FILE");
  }

  std::vector<qvlab_info> l_Info;
  std::vector<qvlab_function> l_Records;
  if (labRecords(a_rLab, l_Info, l_Records) != kExitSuccess) {
    return kExitFailure;
  }
  const qvlab_function* l_pCard = findFlashRecord(l_Records, l_rName);
  if (l_pCard == nullptr) {
    return fail("the lab has no card with a flash named \"" + l_rName +
                "\" (qvlab info lists them)");
  }
  const uint32_t l_Size = l_pCard->flash_size;
  std::vector<uint8_t> l_Data;
  if (l_Write) {
    std::ifstream l_Input(l_File, std::ios::binary);
    if (!l_Input) {
      return fail(l_File + ": cannot be read");
    }
    l_Data.assign(std::istreambuf_iterator<char>(l_Input), std::istreambuf_iterator<char>());
  } else {
    if (l_Offset > l_Size) {
      return fail("offset " + std::to_string(l_Offset) + " lies beyond the flash of " +
                  std::to_string(l_Size) + " bytes");
    }
    l_Data.resize(l_HasLength ? l_Length : l_Size - l_Offset);
  }
  if (l_Offset > l_Size || l_Data.size() > l_Size - l_Offset) {
    return fail(std::to_string(l_Data.size()) + " bytes at offset " + std::to_string(l_Offset) +
                " do not fit the flash of " + std::to_string(l_Size) + " bytes");
  }
  const int l_Error = l_Write ? a_rLab.flashWrite(l_pCard->name, l_Offset, l_Data)
                              : a_rLab.flashRead(l_pCard->name, l_Offset, l_Data);
  if (l_Error != 0) {
    return fail("flash " + a_rArgs[0] + " " + l_rName + ": " + reason(l_Error));
  }
  if (l_Write) {
    return kExitSuccess;
  }
  if (l_File.empty() || l_File == "-") {
    std::cout.write(reinterpret_cast<const char*>(l_Data.data()), std::streamsize(l_Data.size()));
    std::cout.flush();
    return std::cout ? kExitSuccess : fail("cannot write the standard output");
  }
  std::ofstream l_Output(l_File, std::ios::binary | std::ios::trunc);
  l_Output.write(reinterpret_cast<const char*>(l_Data.data()), std::streamsize(l_Data.size()));
  l_Output.close();
  return l_Output ? kExitSuccess : fail(l_File + ": cannot be written");
}

int cmdInfo(cLabDevice& a_rLab) {
  std::vector<qvlab_info> l_Info;
  std::vector<qvlab_function> l_Records;
  if (labRecords(a_rLab, l_Info, l_Records) != kExitSuccess) {
    return kExitFailure;
  }
  for (const qvlab_info& l_rInfo : l_Info) {
    const qvlab_function& l_rFunction = l_rInfo.function;
    const bool l_Port = l_rFunction.pcie_type == QVLAB_PCIE_ROOT_PORT ||
                        l_rFunction.pcie_type == QVLAB_PCIE_DOWNSTREAM;
    char l_Line[160];
    std::snprintf(l_Line, sizeof(l_Line), "%-24s %02x:%02x.%u %04x:%04x %s", l_rFunction.name,
                  l_rInfo.bus, unsigned(l_rFunction.devfn >> 3), unsigned(l_rFunction.devfn & 7),
                  l_rFunction.vendor, l_rFunction.device,
                  (l_rInfo.state & QVLAB_STATE_UNPLUGGED) ? "unplugged"
                  : (l_rInfo.state & QVLAB_STATE_PRESENT) ? "present"
                                                          : "absent");
    std::cout << l_Line;
    if (l_Port) {
      std::cout << ((l_rInfo.state & QVLAB_STATE_LINK_UP) ? " link-up" : " link-down");
    }
    if (l_rFunction.flags & QVLAB_FN_CARD) {
      std::snprintf(l_Line, sizeof(l_Line), " firmware 0x%X", l_rInfo.fw_version);
      std::cout << l_Line;
    }
    std::cout << "\n";
  }
  return kExitSuccess;
}

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  std::vector<std::string> l_Args(a_ppArgv + 1, a_ppArgv + a_Argc);
  if (l_Args.empty()) {
    return usage("a command is missing");
  }
  if (l_Args[0] == "-h" || l_Args[0] == "--help" || l_Args[0] == "help") {
    std::cout << kUsage;
    return kExitSuccess;
  }
  const std::string l_Command = l_Args[0];
  l_Args.erase(l_Args.begin());
  static const char* const l_apCommands[] = {"load",  "reload", "unplug", "plug",
                                             "cable", "flash",  "info"};
  bool l_Known = false;
  for (const char* l_pCommand : l_apCommands) {
    l_Known = l_Known || l_Command == l_pCommand;
  }
  if (!l_Known) {
    return usage("unknown command " + l_Command);
  }
  if ((l_Command == "reload" || l_Command == "info") && !l_Args.empty()) {
    return usage(l_Command + " takes no arguments");
  }
  cLabDevice l_Lab;
  if (openLab(l_Lab) != kExitSuccess) {
    return kExitFailure;
  }
  if (l_Command == "load") {
    return cmdLoad(l_Lab, l_Args);
  }
  if (l_Command == "reload") {
    const int l_Error = l_Lab.reload();
    return l_Error == 0 ? kExitSuccess : fail("reload: " + reason(l_Error));
  }
  if (l_Command == "flash") {
    return cmdFlash(l_Lab, l_Args);
  }
  if (l_Command == "info") {
    return cmdInfo(l_Lab);
  }
  return cmdNameOp(l_Lab, l_Command, l_Args);
}
