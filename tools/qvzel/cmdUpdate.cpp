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

// The card's values an image is checked against, read through the open
// device.
struct sCardValues {
  uint32_t m_FlashId = 0;
  uint32_t m_Installed = 0;  // the installed firmware version
  uint32_t m_Subsystem = 0;
};

// Reads the card's values in this order and stops at the first that fails;
// when a_pErr is given, that failure is reported there.
bool readCardValues(void* a_pItem, sCardValues& a_rValues, std::ostream* a_pErr) {
  const struct {
    uint32_t m_Id;
    const char* m_pWhat;
    uint32_t* m_pValue;
  } l_Reads[] = {
      {QVZEL_ATTR_FLASH_ID, "flash ID", &a_rValues.m_FlashId},
      {QVZEL_ATTR_FIRMWARE_VERSION, "installed firmware version", &a_rValues.m_Installed},
      {QVZEL_ATTR_CARD_SUBSYSTEM_ID, "subsystem ID", &a_rValues.m_Subsystem}};
  for (const auto& l_rRead : l_Reads) {
    const int32_t l_Code = nQVPXIFINDER100_getU32Attribute(a_pItem, l_rRead.m_Id, l_rRead.m_pValue);
    if (l_Code >= 0) continue;
    if (a_pErr != nullptr) {
      reportFailure(
          *a_pErr,
          std::string("cannot read the card's ") + l_rRead.m_pWhat + "; nothing was written.",
          l_Code);
    }
    return false;
  }
  return true;
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
  sCardValues l_Card;
  if (readCardValues(a_pItem, l_Card, nullptr) &&
      checkForCard(a_rReport, l_Card.m_FlashId, l_Card.m_Subsystem, l_Card.m_Installed, a_Force)
              .m_Code < 0) {
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

// The image file: read and checked as a whole; false (reported) when no card
// could take it.
bool checkImageForUpdate(const sImageReport& a_rReport, std::ostream& a_rErr) {
  if (!a_rReport.m_Problem.empty()) {
    reportFailure(a_rErr, a_rReport.m_Problem + "; nothing was written.");
    return false;
  }
  if (!writableForSomeCard(a_rReport)) {
    reportFailure(a_rErr,
                  "the image is not valid: " + a_rReport.reason() +
                      "; nothing was written. 'qvzel check-image' shows the details.",
                  refusalCode(a_rReport));
    return false;
  }
  return true;
}

// The item the user named, which must be an upstream link card.
bool selectUpstream(const std::string& a_rSpec, sSelectedItem& a_rSelected, std::ostream& a_rErr) {
  if (!openAndSelect(a_rSpec, a_rSelected, a_rErr)) {
    reportFailure(a_rErr, "nothing was written.");
    return false;
  }
  if (a_rSelected.record().m_Kind != eItemKind::kUpstream) {
    reportFailure(a_rErr, "item " + std::to_string(a_rSelected.m_Index) +
                              " is not an upstream link device; only upstream link cards take " +
                              "a firmware image; nothing was written.");
    return false;
  }
  return true;
}

// Opens the device through the kernel driver and reads the card's values.
bool openAndReadCard(cDeviceSession& a_rSession, void* a_pItem, uint32_t a_Index,
                     sCardValues& a_rCard, std::ostream& a_rErr) {
  const int32_t l_OpenCode = a_rSession.open();
  if (l_OpenCode < 0) {
    reportFailure(a_rErr,
                  "cannot open item " + std::to_string(a_Index) +
                      " through the kernel driver; nothing was written." + deviceFileAccessHint(),
                  l_OpenCode);
    return false;
  }
  return readCardValues(a_pItem, a_rCard, &a_rErr);
}

// Shows what is about to be written; false (reported) when standard output
// did not take it.
bool showPlan(const sItemRecord& a_rItem, const sCardValues& a_rCard,
              const sCardVerdict& a_rVerdict, uint32_t a_ImageVersion, std::ostream& a_rOut,
              std::ostream& a_rErr) {
  const size_t l_Columns = cStandardOutput::columns();
  const std::string l_Values(30, ' ');
  a_rOut << wrapText("Item " + std::to_string(a_rItem.m_Index) + ": ",
                     textOrDash(a_rItem.m_Model) + ", slot path " + textOrDash(a_rItem.m_SlotPath) +
                         ", serial number " + textOrDash(a_rItem.m_SerialNumber),
                     "  ", l_Columns)
         << "  Installed firmware version: " << hexText(a_rCard.m_Installed) << "\n"
         << "  Image firmware version:     " << hexText(a_ImageVersion) << "\n"
         << wrapText("  Flash type:                 ",
                     flashText(a_rCard.m_FlashId) + ", image section " +
                         std::to_string(a_rVerdict.m_Section + 1),
                     l_Values, l_Columns)
         << std::flush;
  // What the user must see before the write did not arrive (a full disk,
  // >/dev/full): stop while nothing is written.
  if (!a_rOut.good()) {
    reportFailure(a_rErr,
                  "standard output cannot be written, so the update stops here; "
                  "nothing was written.");
    return false;
  }
  return true;
}

// The refusals that come after the plan was shown, then the user's consent
// (asked on a terminal unless --yes was given).
bool mayWrite(const sImageReport& a_rReport, const sCardVerdict& a_rVerdict,
              const sOptions& a_rOptions, uint32_t a_ImageVersion, uint32_t a_Index,
              std::ostream& a_rErr) {
  if (a_rVerdict.m_Step == fw::eImageStep::kVersion) {
    reportFailure(a_rErr,
                  "the image is not newer than the installed version; use --force to reinstall it; "
                  "nothing was written.",
                  a_rVerdict.m_Code);
    return false;
  }
  if (a_rVerdict.m_Code < 0) {
    reportInvalidSection(a_rReport, a_rVerdict, a_rErr);
    return false;
  }
  if (a_rOptions.m_Yes) return true;
  if (!isatty(STDIN_FILENO)) {
    reportFailure(a_rErr,
                  "nothing was written: confirmation is asked on a terminal, and the "
                  "input is not one; add --yes to write without asking.");
    return false;
  }
  if (!confirm("Write firmware version " + hexText(a_ImageVersion) + " into item " +
                   std::to_string(a_Index) + "?",
               a_rErr)) {
    reportFailure(a_rErr, "update cancelled; nothing was written.");
    return false;
  }
  return true;
}

// What the driver's write request came back with.
struct sWriteOutcome {
  int32_t m_Code = 0;
  double m_Seconds = 0;
  int m_Signal = 0;  // a signal that arrived during the write, else 0
};

sWriteOutcome writeFirmware(void* a_pItem, const sImageReport& a_rReport, bool a_Force,
                            std::ostream& a_rErr) {
  sWriteOutcome l_Outcome;
  // An interrupt now would leave the card half written and the user
  // without an answer: it waits until the driver's request returns.
  cDeferredSignals l_Signals(
      "\nqvzel: the firmware is being written; the tool stops once the write is done. "
      "Do not power off.\n");
  cElapsedTicker l_Ticker(a_rErr, "qvzel: writing firmware, ");
  l_Ticker.start(isatty(STDERR_FILENO) != 0);
  l_Outcome.m_Code =
      nQVPXIKTFINDER100_updateFirmware(a_pItem, a_rReport.m_File.data(), a_rReport.m_File.length(),
                                       a_Force ? QVZEL_FORCE_UPDATE : 0);
  l_Outcome.m_Seconds = l_Ticker.stop();
  l_Outcome.m_Signal = l_Signals.caught();
  return l_Outcome;
}

// Reports how the write ended; the tool's exit status.
int reportOutcome(const sWriteOutcome& a_rOutcome, const sImageReport& a_rReport, void* a_pItem,
                  bool a_Force, uint32_t a_ImageVersion, uint32_t a_Index, std::ostream& a_rOut,
                  std::ostream& a_rErr) {
  const int32_t l_Code = a_rOutcome.m_Code;
  const std::string l_Done = "firmware version " + hexText(a_ImageVersion) +
                             " was written into item " + std::to_string(a_Index);
  if (l_Code < 0) {
    reportUpdateFailure(a_rReport, a_pItem, a_Force, l_Code, a_rErr);
  } else {
    if (l_Code > 0)
      reportFailure(a_rErr, "warning: the driver answered the write with a warning.", l_Code);
    char l_Time[32];
    std::snprintf(l_Time, sizeof(l_Time), "%.1f", a_rOutcome.m_Seconds);
    a_rOut << "Firmware version " << hexText(a_ImageVersion) << " written into item " << a_Index
           << " in " << l_Time << " s.\n"
           << std::flush;
    // The outcome must reach the user: when stdout lost it, stderr tells.
    if (!a_rOut.good()) {
      reportFailure(a_rErr, l_Done + "; only its report on standard output failed.");
    }
  }
  if (a_rOutcome.m_Signal != 0) {
    reportFailure(a_rErr, std::string(cDeferredSignals::name(a_rOutcome.m_Signal)) +
                              " arrived during the write, which was let finish; " +
                              (l_Code < 0 ? "the update failed (see above)." : l_Done + "."));
    return kExitSignalBase + a_rOutcome.m_Signal;
  }
  return l_Code < 0 ? kExitFailure : kExitSuccess;
}

}  // namespace

int runUpdate(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  const sImageReport l_Report = checkImageFile(a_rOptions.m_Args.at(1));
  if (!checkImageForUpdate(l_Report, a_rErr)) return kExitFailure;

  sSelectedItem l_Selected;
  if (!selectUpstream(a_rOptions.m_Args.at(0), l_Selected, a_rErr)) return kExitFailure;
  void* const l_pItem = l_Selected.m_pItem;
  const uint32_t l_Index = l_Selected.m_Index;

  // From here on the device is open; the session closes it on every return.
  cDeviceSession l_Session(l_pItem);
  sCardValues l_Card;
  if (!openAndReadCard(l_Session, l_pItem, l_Index, l_Card, a_rErr)) return kExitFailure;
  const sCardVerdict l_Verdict = checkForCard(l_Report, l_Card.m_FlashId, l_Card.m_Subsystem,
                                              l_Card.m_Installed, a_rOptions.m_Force);
  if (l_Verdict.m_Code < 0 &&
      reportEarlyRefusal(l_Report, l_Verdict, l_Card.m_FlashId, l_Card.m_Subsystem, a_rErr)) {
    return kExitFailure;
  }
  const uint32_t l_ImageVersion = l_Report.m_Analysis.m_Sections.at(l_Verdict.m_Section)
                                      .m_Check.m_Values[fw::kKeyVersion]
                                      .cut();

  if (!showPlan(l_Selected.record(), l_Card, l_Verdict, l_ImageVersion, a_rOut, a_rErr) ||
      !mayWrite(l_Report, l_Verdict, a_rOptions, l_ImageVersion, l_Index, a_rErr)) {
    return kExitFailure;
  }
  const sWriteOutcome l_Outcome = writeFirmware(l_pItem, l_Report, a_rOptions.m_Force, a_rErr);
  return reportOutcome(l_Outcome, l_Report, l_pItem, a_rOptions.m_Force, l_ImageVersion, l_Index,
                       a_rOut, a_rErr);
}

}  // namespace nQvzelTool
