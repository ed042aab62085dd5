// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel update ITEM IMAGE [--force] [--yes]
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "Diagnosis.h"
#include "ErrorReport.h"
#include "Format.h"
#include "ImageChecker.h"
#include "ItemCommands.h"
#include "cDeferredSignals.h"
#include "cDeviceSession.h"
#include "cElapsedTicker.h"
#include "cStandardOutput.h"
#include "qvzelif.h"

namespace nQvzelTool {

namespace {

// Reads one driver value of the open device; reports a failure itself.
bool readDriverValue(void* a_pItem, uint32_t a_Id, const char* a_pWhat, uint32_t& a_rValue,
                     std::ostream& a_rErr) {
  const int32_t l_Code = nQVPXIFINDER100_getU32Attribute(a_pItem, a_Id, &a_rValue);
  if (l_Code >= 0) return true;
  reportFailure(a_rErr, std::string("cannot read the card's ") + a_pWhat + "; nothing was written.",
                l_Code);
  return false;
}

std::string flashText(uint32_t a_FlashId) {
  const char* l_pName = flashTypeName(a_FlashId);
  return std::string(l_pName != nullptr ? l_pName : "unknown") + " (flash ID " +
         hexText(a_FlashId, 4) + ")";
}

std::string sectionFlashTypes(const sImageReport& a_rReport) {
  std::string l_Types;
  for (const fw::sSectionAnalysis& l_rSection : a_rReport.m_Analysis.m_Sections) {
    l_Types += (l_Types.empty() ? "" : ", ") + flashText(l_rSection.m_Entry.m_Section.m_FlashId);
  }
  return l_Types;
}

// True when some card could take the image: the split accepts it and one
// section that is not superseded passes every check for its own card.
bool writableForSomeCard(const sImageReport& a_rReport) {
  if (a_rReport.m_File.m_Size == 0 || a_rReport.m_Analysis.imageCode() < 0) return false;
  for (const fw::sSectionAnalysis& l_rSection : a_rReport.m_Analysis.m_Sections) {
    if (!l_rSection.m_Superseded && l_rSection.m_Code >= 0) return true;
  }
  return false;
}

// The code an update of this image records: that of the first section an
// update would refuse (the library's own check, for that section's card),
// or the image's when no section is chosen.
int32_t refusalCode(const sImageReport& a_rReport) {
  if (a_rReport.m_Analysis.imageCode() < 0) return a_rReport.m_Analysis.imageCode();
  for (const fw::sSectionAnalysis& l_rSection : a_rReport.m_Analysis.m_Sections) {
    if (!l_rSection.m_Superseded && l_rSection.m_Code < 0) return l_rSection.m_Code;
  }
  return 0;
}

// The first finding that makes an update refuse the section.
std::string refusalText(const sImageReport& a_rReport, int a_Section) {
  const fw::sSectionAnalysis& l_rSection = a_rReport.m_Analysis.m_Sections.at(a_Section);
  for (const fw::sFinding& l_rFinding : l_rSection.m_Findings) {
    if (l_rFinding.m_Refuses) return findingText(a_rReport, l_rSection, l_rFinding);
  }
  return "the library refuses it";
}

// The exit status after a deferred signal, as a shell reports one: 128 + its number.
constexpr int kExitSignalBase = 128;

// Asks on the terminal; true only for an answer starting with y or Y.
bool confirm(const std::string& a_rQuestion, std::ostream& a_rErr) {
  // The answer is typed after the question's last line, so that line ends
  // in a space, not a line feed.
  std::string l_Question =
      wrapText("", displayText(a_rQuestion) + " [y/N]", "", cStandardOutput::errorColumns());
  l_Question.back() = ' ';
  a_rErr << "Do not power off while the firmware is written.\n" << l_Question << std::flush;
  std::string l_Answer;
  if (!std::getline(std::cin, l_Answer)) return false;
  return !l_Answer.empty() && (l_Answer[0] == 'y' || l_Answer[0] == 'Y');
}

void reportInvalidSection(const sImageReport& a_rReport, const sCardVerdict& a_rVerdict,
                          std::ostream& a_rErr) {
  const std::string l_Why =
      a_rVerdict.m_Section < 0
          ? "the image is not valid: " + a_rReport.reason()
          : "the image's section " + std::to_string(a_rVerdict.m_Section + 1) +
                " for this card is not valid: " + refusalText(a_rReport, a_rVerdict.m_Section);
  reportFailure(a_rErr, l_Why + "; nothing was written.", a_rVerdict.m_Code);
}

// Says why the image check refused the card before anything was shown;
// false when the refusal comes later (the version check and the payload).
bool reportEarlyRefusal(const sImageReport& a_rReport, const sCardVerdict& a_rVerdict,
                        uint32_t a_FlashId, uint32_t a_SubsystemId, std::ostream& a_rErr) {
  switch (a_rVerdict.m_Step) {
    case fw::eImageStep::kFlashType:
      reportFailure(a_rErr,
                    "the image holds no section for this card's flash memory, " +
                        flashText(a_FlashId) + "; its sections are for " +
                        sectionFlashTypes(a_rReport) + "; nothing was written.",
                    a_rVerdict.m_Code);
      return true;
    case fw::eImageStep::kSubsystem: {
      const fw::sHeaderValue& l_rValue = a_rReport.m_Analysis.m_Sections.at(a_rVerdict.m_Section)
                                             .m_Check.m_Values[fw::kKeySubsystemId];
      if (l_rValue.m_Found) {
        reportFailure(a_rErr,
                      "the image is made for subsystem ID " + hexText(l_rValue.cut(), 4) +
                          ", but this card reports " + hexText(a_SubsystemId, 4) +
                          "; it is meant for another product; nothing was written.",
                      a_rVerdict.m_Code);
        return true;
      }
      break;
    }
    case fw::eImageStep::kSections:
    case fw::eImageStep::kHeaderVersion:
      break;
    default:
      return false;
  }
  reportInvalidSection(a_rReport, a_rVerdict, a_rErr);
  return true;
}

// After a failed update: tells whether the library refused the image before
// its driver request (the check, run again on the card's present values,
// refuses it too) or the failure came from the driver.
void reportUpdateFailure(const sImageReport& a_rReport, void* a_pItem, bool a_Force, int32_t a_Code,
                         std::ostream& a_rErr) {
  uint32_t l_FlashId = 0;
  uint32_t l_Installed = 0;
  uint32_t l_Subsystem = 0;
  const bool l_Read =
      nQVPXIFINDER100_getU32Attribute(a_pItem, QVZEL_ATTR_FLASH_ID, &l_FlashId) >= 0 &&
      nQVPXIFINDER100_getU32Attribute(a_pItem, QVZEL_ATTR_FIRMWARE_VERSION, &l_Installed) >= 0 &&
      nQVPXIFINDER100_getU32Attribute(a_pItem, QVZEL_ATTR_CARD_SUBSYSTEM_ID, &l_Subsystem) >= 0;
  if (l_Read && checkForCard(a_rReport, l_FlashId, l_Subsystem, l_Installed, a_Force).m_Code < 0) {
    reportFailure(a_rErr,
                  "the firmware update failed before anything reached the driver's write: the "
                  "card's values changed meanwhile and the library refused the image; nothing "
                  "was written.",
                  a_Code);
    return;
  }
  reportFailure(a_rErr,
                "the firmware update failed in the driver, reading the card's values or "
                "writing the firmware; the write may have started, so the card may need the "
                "update again.",
                a_Code);
}

}  // namespace

int runUpdate(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  const std::string& l_rSpec = a_rOptions.m_Args.at(0);
  const std::string& l_rPath = a_rOptions.m_Args.at(1);

  const sImageReport l_Report = checkImageFile(l_rPath);
  if (!l_Report.m_Problem.empty()) {
    reportFailure(a_rErr, l_Report.m_Problem + "; nothing was written.");
    return kExitFailure;
  }
  if (!writableForSomeCard(l_Report)) {
    reportFailure(a_rErr,
                  "the image is not valid: " + l_Report.reason() +
                      "; nothing was written. 'qvzel check-image' shows the details.",
                  refusalCode(l_Report));
    return kExitFailure;
  }

  cFinderList l_List;
  sInventory l_Inventory;
  void* l_pItem = nullptr;
  uint32_t l_Index = 0;
  if (!openAndSelect(l_List, l_Inventory, l_rSpec, l_pItem, l_Index, a_rErr)) {
    reportFailure(a_rErr, "nothing was written.");
    return kExitFailure;
  }
  const sItemRecord& l_rItem = l_Inventory.m_Items.at(l_Index);
  if (l_rItem.m_Kind != eItemKind::kUpstream) {
    reportFailure(a_rErr, "item " + std::to_string(l_Index) +
                              " is not an upstream link device; only upstream link cards take " +
                              "a firmware image; nothing was written.");
    return kExitFailure;
  }

  // From here on the device is open; the session closes it on every return.
  cDeviceSession l_Session(l_pItem);
  const int32_t l_OpenCode = l_Session.open();
  if (l_OpenCode < 0) {
    reportFailure(a_rErr,
                  "cannot open item " + std::to_string(l_Index) +
                      " through the kernel driver; nothing was written." + deviceFileAccessHint(),
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
  const sCardVerdict l_Verdict =
      checkForCard(l_Report, l_FlashId, l_Subsystem, l_Installed, a_rOptions.m_Force);
  if (l_Verdict.m_Code < 0 &&
      reportEarlyRefusal(l_Report, l_Verdict, l_FlashId, l_Subsystem, a_rErr)) {
    return kExitFailure;
  }
  const uint32_t l_ImageVersion = l_Report.m_Analysis.m_Sections.at(l_Verdict.m_Section)
                                      .m_Check.m_Values[fw::kKeyVersion]
                                      .cut();

  const size_t l_Columns = cStandardOutput::columns();
  const std::string l_Values(30, ' ');
  a_rOut << wrapText("Item " + std::to_string(l_Index) + ": ",
                     textOrDash(l_rItem.m_Model) + ", slot path " + textOrDash(l_rItem.m_SlotPath) +
                         ", serial number " + textOrDash(l_rItem.m_SerialNumber),
                     "  ", l_Columns)
         << "  Installed firmware version: " << hexText(l_Installed) << "\n"
         << "  Image firmware version:     " << hexText(l_ImageVersion) << "\n"
         << wrapText(
                "  Flash type:                 ",
                flashText(l_FlashId) + ", image section " + std::to_string(l_Verdict.m_Section + 1),
                l_Values, l_Columns)
         << std::flush;
  // What the user must see before the write did not arrive (a full disk,
  // >/dev/full): stop while nothing is written.
  if (!a_rOut.good()) {
    reportFailure(a_rErr,
                  "standard output cannot be written, so the update stops here; "
                  "nothing was written.");
    return kExitFailure;
  }

  if (l_Verdict.m_Step == fw::eImageStep::kVersion) {
    reportFailure(a_rErr,
                  "the image is not newer than the installed version; use --force to reinstall it; "
                  "nothing was written.",
                  l_Verdict.m_Code);
    return kExitFailure;
  }
  if (l_Verdict.m_Code < 0) {
    reportInvalidSection(l_Report, l_Verdict, a_rErr);
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
                     std::to_string(l_Index) + "?",
                 a_rErr)) {
      reportFailure(a_rErr, "update cancelled; nothing was written.");
      return kExitFailure;
    }
  }

  int32_t l_Code = 0;
  double l_Seconds = 0;
  int l_Signal = 0;
  {
    // An interrupt now would leave the card half written and the user
    // without an answer: it waits until the driver's request returns.
    cDeferredSignals l_Signals(
        "\nqvzel: the firmware is being written; the tool stops once the write is done. "
        "Do not power off.\n");
    cElapsedTicker l_Ticker(a_rErr, "qvzel: writing firmware, ");
    l_Ticker.start(isatty(STDERR_FILENO) != 0);
    l_Code =
        nQVPXIKTFINDER100_updateFirmware(l_pItem, l_Report.m_File.data(), l_Report.m_File.length(),
                                         a_rOptions.m_Force ? QVZEL_FORCE_UPDATE : 0);
    l_Seconds = l_Ticker.stop();
    l_Signal = l_Signals.caught();
  }
  const std::string l_Done = "firmware version " + hexText(l_ImageVersion) +
                             " was written into item " + std::to_string(l_Index);
  if (l_Code < 0) {
    reportUpdateFailure(l_Report, l_pItem, a_rOptions.m_Force, l_Code, a_rErr);
  } else {
    if (l_Code > 0)
      reportFailure(a_rErr, "warning: the driver answered the write with a warning.", l_Code);
    char l_Time[32];
    std::snprintf(l_Time, sizeof(l_Time), "%.1f", l_Seconds);
    a_rOut << "Firmware version " << hexText(l_ImageVersion) << " written into item " << l_Index
           << " in " << l_Time << " s.\n"
           << std::flush;
    // The outcome must reach the user: when stdout lost it, stderr tells.
    if (!a_rOut.good()) {
      reportFailure(a_rErr, l_Done + "; only its report on standard output failed.");
    }
  }
  if (l_Signal != 0) {
    reportFailure(a_rErr, std::string(cDeferredSignals::name(l_Signal)) +
                              " arrived during the write, which was let finish; " +
                              (l_Code < 0 ? "the update failed (see above)." : l_Done + "."));
    return kExitSignalBase + l_Signal;
  }
  return l_Code < 0 ? kExitFailure : kExitSuccess;
}

}  // namespace nQvzelTool
