// qvzel update ITEM IMAGE [--force] [--yes]
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "ErrorReport.h"
#include "Format.h"
#include "ImageChecker.h"
#include "ItemCommands.h"
#include "cDeviceSession.h"
#include "cElapsedTicker.h"
#include "qvzelif.h"

namespace nQvzelTool {

namespace {

// Reads one driver value of the open device; reports a failure itself.
bool readDriverValue(void* a_pItem, uint32_t a_Id, const char* a_pWhat, uint32_t& a_rValue,
                     std::ostream& a_rErr) {
  const int32_t l_Code = nQVPXIFINDER100_getU32Attribute(a_pItem, a_Id, &a_rValue);
  if (l_Code >= 0) return true;
  reportFailure(a_rErr, std::string("cannot read the card's ") + a_pWhat + ".", l_Code);
  return false;
}

std::string flashText(uint32_t a_FlashId) {
  const char* l_pName = flashTypeName(a_FlashId);
  return std::string(l_pName != nullptr ? l_pName : "unknown") + " (flash ID " +
         hexText(a_FlashId, 4) + ")";
}

std::string sectionFlashTypes(const sImageReport& a_rReport) {
  std::string l_Types;
  for (const sSectionReport& l_rSection : a_rReport.m_Sections) {
    l_Types += (l_Types.empty() ? "" : ", ") + flashText(l_rSection.m_FlashId);
  }
  return l_Types;
}

// Asks on the terminal; true only for an answer starting with y or Y.
bool confirm(const std::string& a_rQuestion, std::ostream& a_rErr) {
  a_rErr << a_rQuestion << " [y/N] " << std::flush;
  std::string l_Answer;
  if (!std::getline(std::cin, l_Answer)) return false;
  return !l_Answer.empty() && (l_Answer[0] == 'y' || l_Answer[0] == 'Y');
}

// The checks the library makes before writing, made here first so that a
// refusal can say in words what is wrong. Returns the section to be written.
const sSectionReport* checkAgainstCard(const sImageReport& a_rReport, uint32_t a_FlashId,
                                       uint32_t a_SubsystemId, std::ostream& a_rErr) {
  const sSectionReport* l_pSection = sectionForFlash(a_rReport, a_FlashId);
  if (l_pSection == nullptr) {
    reportFailure(a_rErr, "the image holds no section for this card's flash memory, " +
                              flashText(a_FlashId) + "; its sections are for " +
                              sectionFlashTypes(a_rReport) + ".");
    return nullptr;
  }
  const uint32_t l_ImageSubsystem = static_cast<uint32_t>(l_pSection->m_SubsystemId.m_Value);
  if (l_ImageSubsystem != a_SubsystemId) {
    reportFailure(a_rErr, "the image is made for subsystem ID " + hexText(l_ImageSubsystem, 4) +
                              ", but this card reports " + hexText(a_SubsystemId, 4) +
                              "; it is meant for another product.");
    return nullptr;
  }
  return l_pSection;
}

}  // namespace

int runUpdate(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  const std::string& l_rSpec = a_rOptions.m_Args.at(0);
  const std::string& l_rPath = a_rOptions.m_Args.at(1);

  std::vector<char> l_Image;
  std::string l_Problem;
  if (!readImageFile(l_rPath, l_Image, l_Problem)) {
    reportFailure(a_rErr, l_Problem + ".");
    return kExitFailure;
  }
  sImageReport l_Report = checkImage(l_Image);
  l_Report.m_Path = l_rPath;
  if (!l_Report.m_Valid) {
    reportFailure(a_rErr, "the image is not valid: " + l_Report.m_Reason + ". 'qvzel check-image " +
                              l_rPath + "' shows the details.");
    return kExitFailure;
  }

  cFinderList l_List;
  sInventory l_Inventory;
  void* l_pItem = nullptr;
  uint32_t l_Index = 0;
  if (!openAndSelect(l_List, l_Inventory, l_rSpec, l_pItem, l_Index, a_rErr)) return kExitFailure;
  const sItemRecord& l_rItem = l_Inventory.m_Items.at(l_Index);
  if (l_rItem.m_Kind != eItemKind::kUpstream) {
    reportFailure(a_rErr, "item " + std::to_string(l_Index) +
                              " is not an upstream link device; only upstream link cards take " +
                              "a firmware image.");
    return kExitFailure;
  }

  // From here on the device is open; the session closes it on every return.
  cDeviceSession l_Session(l_pItem);
  const int32_t l_OpenCode = l_Session.open();
  if (l_OpenCode < 0) {
    reportFailure(a_rErr,
                  "cannot open item " + std::to_string(l_Index) + " through the kernel driver.",
                  l_OpenCode);
    return kExitFailure;
  }
  uint32_t l_FlashId = 0;
  uint32_t l_Installed = 0;
  uint32_t l_Subsystem = 0;
  if (!readDriverValue(l_pItem, QVZEL_ATTR_FLASH_ID, "flash ID", l_FlashId, a_rErr) ||
      !readDriverValue(l_pItem, QVZEL_ATTR_FIRMWARE_VERSION, "installed firmware version",
                       l_Installed, a_rErr) ||
      !readDriverValue(l_pItem, QVZEL_ATTR_CARD_SUBSYSTEM_ID, "subsystem ID", l_Subsystem,
                       a_rErr)) {
    return kExitFailure;
  }
  const sSectionReport* l_pSection = checkAgainstCard(l_Report, l_FlashId, l_Subsystem, a_rErr);
  if (l_pSection == nullptr) return kExitFailure;
  const uint32_t l_ImageVersion = static_cast<uint32_t>(l_pSection->m_Version.m_Value);

  a_rOut << "Item " << l_Index << ": " << textOrDash(l_rItem.m_Model) << ", slot path "
         << textOrDash(l_rItem.m_SlotPath) << ", serial number "
         << textOrDash(l_rItem.m_SerialNumber) << "\n"
         << "  Installed firmware version: " << hexText(l_Installed) << "\n"
         << "  Image firmware version:     " << hexText(l_ImageVersion) << "\n"
         << "  Flash type:                 " << flashText(l_FlashId) << ", image section "
         << l_pSection->m_Number << "\n"
         << std::flush;

  if (l_ImageVersion <= l_Installed && !a_rOptions.m_Force) {
    reportFailure(
        a_rErr, "the image is not newer than the installed version; use --force to reinstall it.");
    return kExitFailure;
  }
  if (!a_rOptions.m_Yes) {
    if (!isatty(STDIN_FILENO)) {
      reportFailure(a_rErr,
                    "nothing was written: confirmation is asked on a terminal, and the "
                    "input is not one; add --yes to write without asking.");
      return kExitFailure;
    }
    if (!confirm("Write firmware version " + hexText(l_ImageVersion) + " into item " +
                     std::to_string(l_Index) + "? Do not power off while it is written.",
                 a_rErr)) {
      reportFailure(a_rErr, "update cancelled; nothing was written.");
      return kExitFailure;
    }
  }

  cElapsedTicker l_Ticker(a_rErr, "qvzel: writing firmware, ");
  l_Ticker.start(isatty(STDERR_FILENO) != 0);
  const int32_t l_Code = nQVPXIKTFINDER100_updateFirmware(
      l_pItem, l_Image.data(), static_cast<uint32_t>(l_Image.size()),
      a_rOptions.m_Force ? QVZEL_FORCE_UPDATE : 0);
  const double l_Seconds = l_Ticker.stop();
  if (l_Code < 0) {
    reportFailure(a_rErr, "the firmware update failed; the card may need the update again.",
                  l_Code);
    return kExitFailure;
  }
  char l_Time[32];
  std::snprintf(l_Time, sizeof(l_Time), "%.1f", l_Seconds);
  a_rOut << "Firmware version " << hexText(l_ImageVersion) << " written into item " << l_Index
         << " in " << l_Time << " s.\n";
  return kExitSuccess;
}

}  // namespace nQvzelTool
