// SPDX-License-Identifier: LGPL-2.1-or-later
// Property test of firmware writes: many generated and mutated images go
// through the exported functions to a simulated card, and an independent
// oracle decides for each one whether the driver must receive a write and
// with which bytes. The driver must get a write exactly for the fully valid
// images, and then exactly the decoded bytes with the header's values. The
// qvzel tool's verdicts must agree: its check for the card (update's
// pre-check) and, for a card of the section's own flash type and subsystem,
// check-image's verdict on that section.
#include <cstdlib>
#include <cstring>
#include <random>

#include "ImageChecker.h"
#include "SimMachine.h"
#include "imageGenerator.h"
#include "imageOracle.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

using qvzreliability::sCardState;
using qvzreliability::sExpectedWrite;

// Images per run and the generator's seed; both can be set from outside.
uint32_t settingOr(const char* a_pName, uint32_t a_Default) {
  const char* l_pValue = std::getenv(a_pName);
  return l_pValue != nullptr ? static_cast<uint32_t>(std::strtoul(l_pValue, nullptr, 0))
                             : a_Default;
}

std::string hex(uint32_t a_Value) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "0x%X", a_Value);
  return l_Text;
}

std::string printable(const std::string& a_rImage) {
  std::string l_Text;
  for (const unsigned char l_Char : a_rImage) {
    if (l_Char == '\r') {
      l_Text += "\\r";
    } else if (l_Char == '\n') {
      l_Text += "\\n\n";
    } else if (l_Char < 0x20 || l_Char >= 0x7F) {
      char l_Escape[8];
      std::snprintf(l_Escape, sizeof(l_Escape), "\\x%02X", l_Char);
      l_Text += l_Escape;
    } else {
      l_Text += static_cast<char>(l_Char);
    }
  }
  return l_Text;
}

// The tool's verdicts on the same image against whether the library wrote.
void expectToolAgrees(const std::string& a_rImage, const sCardState& a_rCard, uint32_t a_Force,
                      bool a_Wrote, const std::string& a_rContext) {
  namespace fw = nQVZEL_15_0;
  const nQvzelTool::sImageReport l_Report = nQvzelTool::checkImageText(a_rImage);
  const nQvzelTool::sCardVerdict l_Verdict =
      nQvzelTool::checkForCard(l_Report, a_rCard.m_FlashId, a_rCard.m_SubsystemId,
                               a_rCard.m_InstalledVersion, (a_Force & QVZEL_FORCE_UPDATE) != 0);
  ASSERT_EQ(l_Verdict.m_Code == 0, a_Wrote) << "update's pre-check, " << a_rContext;

  // check-image: each section's verdict agrees with its refusing findings,
  // and the section the card would take is valid exactly when a forced
  // update for a card of its subsystem is written.
  for (const fw::sSectionAnalysis& l_rSection : l_Report.m_Analysis.m_Sections) {
    bool l_Refuses = false;
    for (const fw::sFinding& l_rFinding : l_rSection.m_Findings) l_Refuses |= l_rFinding.m_Refuses;
    ASSERT_EQ(l_rSection.m_Code < 0, l_Refuses) << "check-image's findings, " << a_rContext;
  }
  if (l_Verdict.m_Section < 0 || l_Report.m_Analysis.imageCode() < 0) return;
  const fw::sSectionAnalysis& l_rChosen = l_Report.m_Analysis.m_Sections.at(l_Verdict.m_Section);
  const fw::sHeaderValue& l_rSubsystem = l_rChosen.m_Check.m_Values[fw::kKeySubsystemId];
  if ((a_Force & QVZEL_FORCE_UPDATE) != 0 && l_rSubsystem.m_Found &&
      l_rSubsystem.cut() == a_rCard.m_SubsystemId) {
    ASSERT_FALSE(l_rChosen.m_Superseded) << a_rContext;
    ASSERT_EQ(l_rChosen.m_Code == 0, a_Wrote) << "check-image's section verdict, " << a_rContext;
  }
}

class FirmwareWriteProperty : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    load(cardSystem());
    reopen();
  }

  // Opens a list and the card in it again (after a reload of the system).
  void reopen() {
    m_pList.reset();
    m_pList.reset(new cList);
    ASSERT_EQ(m_pList->code(), 0);
    ASSERT_EQ(m_pList->count(), 1u);
    m_pCard = m_pList->item(0);
    ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  }

  // Gives the simulated card new answers for flash ID, subsystem and version.
  void setCard(const sCardState& a_rCard) {
    std::string l_Error;
    const std::pair<uint32_t, uint32_t> l_Values[] = {
        {QVZEL_ATTR_FLASH_ID, a_rCard.m_FlashId},
        {QVZEL_ATTR_CARD_SUBSYSTEM_ID, a_rCard.m_SubsystemId},
        {QVZEL_ATTR_FIRMWARE_VERSION, a_rCard.m_InstalledVersion}};
    for (const auto& l_rValue : l_Values) {
      ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "attribute." + hex(l_rValue.first),
                                                     hex(l_rValue.second), l_Error))
          << l_Error;
    }
  }

  std::unique_ptr<cList> m_pList;
  void* m_pCard = nullptr;
};

TEST_F(FirmwareWriteProperty, TheDriverIsWrittenExactlyForValidImages) {
  const uint32_t l_Seed = settingOr("QVZ_PROPERTY_SEED", 20261208);
  const uint32_t l_Images = settingOr("QVZ_PROPERTY_IMAGES", 5000);
  std::mt19937 l_Random(l_Seed);
  sCardState l_Card{0x9D17, 0x5A31, 0x100};
  size_t l_Written = 0;
  uint32_t l_Valid = 0;

  for (uint32_t l_Index = 0; l_Index < l_Images; ++l_Index) {
    // Now and then another card, and a fresh write log (it is read whole each time).
    if (l_Index % 100 == 0) {
      l_Card.m_FlashId = (l_Random() & 1) ? 0x9D17 : 0xBF8E;
      l_Card.m_SubsystemId = l_Random() & 0xFFFF;
      l_Card.m_InstalledVersion = (l_Random() % 3 == 0) ? 0 : l_Random() & 0xFFFF;
      load(cardSystem());
      reopen();
      setCard(l_Card);
      l_Written = 0;
      if (HasFatalFailure()) return;
    }
    std::string l_Image = qvzreliability::generateImage(l_Random, l_Card);
    if (l_Random() % 100 < 35) l_Image = qvzreliability::mutateImage(l_Random, l_Image);
    const uint32_t l_Force = l_Random() % 4;
    const sExpectedWrite l_Expected = qvzreliability::expectedUpdate(l_Image, l_Card, l_Force);

    // The image in a buffer of exactly its size.
    std::unique_ptr<char[]> l_Bytes(new char[l_Image.size() + (l_Image.empty() ? 1 : 0)]);
    std::memcpy(l_Bytes.get(), l_Image.data(), l_Image.size());
    const int32_t l_Code = nQVPXIKTFINDER100_updateFirmware(
        m_pCard, l_Bytes.get(), static_cast<uint32_t>(l_Image.size()), l_Force);
    const auto l_Writes = nQvDriverSim_1_0::firmwareWrites("card0");

    const std::string l_Context =
        "image " + std::to_string(l_Index) + " (seed " + std::to_string(l_Seed) + ", force " +
        std::to_string(l_Force) +
        ", oracle: " + (l_Expected.m_Writes ? "write" : l_Expected.m_Reason) + "):\n" +
        printable(l_Image);
    const bool l_Wrote = l_Writes.size() > l_Written;
    expectToolAgrees(l_Image, l_Card, l_Force, l_Wrote, l_Context);
    if (l_Expected.m_Writes) {
      ++l_Valid;
      ASSERT_EQ(l_Code, 0) << l_Context;
      ASSERT_EQ(l_Writes.size(), l_Written + 1) << l_Context;
      const auto& l_rWrite = l_Writes.back();
      ASSERT_EQ(l_rWrite.m_Bytes, l_Expected.m_Bytes) << l_Context;
      ASSERT_EQ(l_rWrite.m_Length, l_Expected.m_Bytes.size()) << l_Context;
      ASSERT_EQ(l_rWrite.m_PinOutAddr, l_Expected.m_PinOutAddr) << l_Context;
      ASSERT_EQ(l_rWrite.m_PinOutVer, l_Expected.m_PinOutVer) << l_Context;
      ASSERT_EQ(l_rWrite.m_Offset, l_Expected.m_Offset) << l_Context;
    } else {
      ASSERT_LT(l_Code, 0) << l_Context;
      ASSERT_EQ(l_Writes.size(), l_Written) << l_Context;
    }
    l_Written = l_Writes.size();
  }
  std::printf("[          ] %u images, %u of them written\n", l_Images, l_Valid);
  // The generator must reach both outcomes often enough to mean something.
  EXPECT_GT(l_Valid, l_Images / 5);
  EXPECT_LT(l_Valid, l_Images * 4 / 5);
}

}  // namespace
}  // namespace systest
