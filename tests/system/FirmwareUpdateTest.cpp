// SPDX-License-Identifier: LGPL-2.1-or-later
// Firmware updates of a simulated four-port card: what reaches the driver's
// write request, and that every refused image leaves it untouched.
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "ImageBuilder.h"
#include "SimMachine.h"
#include "qvsimSupport.h"

namespace systest {
namespace {

// The card answers flash 0x9D17 (ISSI), installed version 0x100 and
// subsystem 0x5A31; the default section matches it and is newer.
class FirmwareUpdate : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    load(cardAndControllerSystem());
    m_pList.reset(new cList);
    ASSERT_EQ(m_pList->code(), 0);
    ASSERT_EQ(m_pList->count(), 2u);
    m_pController = m_pList->item(0);
    m_pCard = m_pList->item(1);
    ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  }

  // Hands the image over in a buffer of exactly its length, so that a read
  // past its end is caught by the address sanitizer build.
  static int32_t update(void* a_pItem, const std::string& a_rImage, uint32_t a_Force) {
    std::vector<char> l_Bytes(a_rImage.begin(), a_rImage.end());
    return nQVPXIKTFINDER100_updateFirmware(a_pItem, l_Bytes.data(),
                                            static_cast<uint32_t>(l_Bytes.size()), a_Force);
  }

  static std::vector<nQvDriverSim_1_0::sFirmwareWrite> writes() {
    return nQvDriverSim_1_0::firmwareWrites("card0");
  }

  // Firmware requests the driver received, accepted or not.
  static size_t writeRequests() {
    size_t l_Count = 0;
    for (const auto& l_rRequest : nQvDriverSim_1_0::driverRequests("card0")) {
      if (l_rRequest.m_Code == kUpdateFirmwareRequest) ++l_Count;
    }
    return l_Count;
  }

  static constexpr uint32_t kUpdateFirmwareRequest = 0x0020003C;

  std::unique_ptr<cList> m_pList;
  void* m_pController = nullptr;
  void* m_pCard = nullptr;
};

TEST_F(FirmwareUpdate, WritesExactlyTheDecodedBytesWithTheHeaderValues) {
  sSection l_Section;
  l_Section.m_PinOutAddr = "0x4C";
  l_Section.m_PinOutVer = "3";
  l_Section.m_Offset = "  1F0000";
  l_Section.m_Payload.clear();
  for (int l_Byte = 0; l_Byte < 200; ++l_Byte) {
    l_Section.m_Payload.push_back(static_cast<uint8_t>(l_Byte * 7));
  }
  ASSERT_EQ(update(m_pCard, imageText({l_Section}), 0), 0);
  const auto l_Writes = writes();
  ASSERT_EQ(l_Writes.size(), 1u);
  EXPECT_EQ(l_Writes[0].m_Bytes, l_Section.m_Payload);
  EXPECT_EQ(l_Writes[0].m_Length, 200u);
  EXPECT_EQ(l_Writes[0].m_PinOutAddr, 0x4Cu);
  EXPECT_EQ(l_Writes[0].m_PinOutVer, 3u);
  EXPECT_EQ(l_Writes[0].m_Offset, 0x1F0000u);
  EXPECT_EQ(l_Writes[0].m_CallerStatus, 0);
}

TEST_F(FirmwareUpdate, TheSectionForTheCardsFlashIsChosenAndALaterOneWins) {
  sSection l_Sst;
  l_Sst.m_UpdateType = "\"SSTFlashFWUpdate\"";
  l_Sst.m_Payload = {1, 1, 1};
  sSection l_First;
  l_First.m_Payload = {2, 2, 2, 2};
  sSection l_Second;
  l_Second.m_Payload = {3, 3};
  l_Second.m_Offset = "0";
  ASSERT_EQ(update(m_pCard, imageText({l_Sst, l_First, l_Sst, l_Second, l_Sst}), 0), 0);
  const auto l_Writes = writes();
  ASSERT_EQ(l_Writes.size(), 1u);
  EXPECT_EQ(l_Writes[0].m_Bytes, l_Second.m_Payload);
  EXPECT_EQ(l_Writes[0].m_Offset, 0u);
  // The flash identifier was read once per section.
  int l_FlashReads = 0;
  for (const auto& l_rRequest : nQvDriverSim_1_0::driverRequests("card0")) {
    if (l_rRequest.m_AttributeId == QVZEL_ATTR_FLASH_ID) ++l_FlashReads;
  }
  EXPECT_EQ(l_FlashReads, 5);
}

TEST_F(FirmwareUpdate, AnImageThatIsNotNewerNeedsForceBitZero) {
  sSection l_Same;
  l_Same.m_Version = "100";
  const std::string l_Image = imageText({l_Same});
  EXPECT_EQ(update(m_pCard, l_Image, 0), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(update(m_pCard, l_Image, 2), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(update(m_pCard, l_Image, 1), 0);
  EXPECT_EQ(update(m_pCard, l_Image, 3), 0);
  EXPECT_EQ(writes().size(), 2u);
}

// Each malformed or unsuitable image is refused with its code before the
// driver's write request.
struct sRefusal {
  const char* m_pName;
  int32_t m_Code;
  std::function<std::string()> m_Image;
};

void PrintTo(const sRefusal& a_rCase, std::ostream* a_pOut) { *a_pOut << a_rCase.m_pName; }

class RefusedImage : public FirmwareUpdate, public ::testing::WithParamInterface<sRefusal> {};

TEST_P(RefusedImage, LeavesTheWriteLogEmpty) {
  EXPECT_EQ(update(m_pCard, GetParam().m_Image(), 1), GetParam().m_Code);
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(writeRequests(), 0u);
}

sSection changed(const std::function<void(sSection&)>& a_rChange) {
  sSection l_Section;
  a_rChange(l_Section);
  return l_Section;
}

std::string oneSection(const std::function<void(sSection&)>& a_rChange) {
  return imageText({changed(a_rChange)});
}

INSTANTIATE_TEST_SUITE_P(
    Checks, RefusedImage,
    ::testing::Values(
        sRefusal{"HeaderVersion1", QVZEL_ERR_NOT_SUPPORTED,
                 [] { return oneSection([](sSection& s) { s.m_HeaderVersion = "1"; }); }},
        sRefusal{"SubsystemOfAnotherCard", QVZEL_ERR_NOT_SUPPORTED,
                 [] { return oneSection([](sSection& s) { s.m_SubSystemId = "5A32"; }); }},
        sRefusal{"ByteCountTooHigh", QVZEL_ERR_INTERNAL,
                 [] { return oneSection([](sSection& s) { s.m_ByteCount = "6"; }); }},
        sRefusal{"ChecksumOffByOne", QVZEL_ERR_INTERNAL,
                 [] {
                   return oneSection([](sSection& s) {
                     s.m_Crc = std::to_string(uint64_t{imageCrc(s.m_Payload)} + 1);
                   });
                 }},
        sRefusal{"ChecksumInHexadecimal", QVZEL_ERR_INTERNAL,
                 [] {
                   return oneSection([](sSection& s) {
                     char l_Hex[16];
                     std::snprintf(l_Hex, sizeof(l_Hex), "0x%08X", imageCrc(s.m_Payload));
                     s.m_Crc = l_Hex;
                   });
                 }},
        // A checksum that does not fit 32 bits is an impossible header
        // number, refused as such rather than compared after decoding.
        sRefusal{"ChecksumAbove32Bits", QVZEL_ERR_OVERFLOW,
                 [] {
                   return oneSection([](sSection& s) {
                     s.m_Crc = std::to_string((uint64_t{1} << 32) + imageCrc(s.m_Payload));
                   });
                 }},
        sRefusal{"NoChecksumKey", QVZEL_ERR_OVERFLOW,
                 [] { return oneSection([](sSection& s) { s.m_Crc = "-"; }); }},
        sRefusal{"NoSectionForTheCardsFlash", QVZEL_ERR_NOT_FOUND,
                 [] {
                   return oneSection([](sSection& s) { s.m_UpdateType = "\"SSTFlashFWUpdate\""; });
                 }},
        sRefusal{
            "UpdateTypeWithoutQuotes", QVZEL_ERR_NOT_SUPPORTED,
            [] { return oneSection([](sSection& s) { s.m_UpdateType = "ISSIFlashFWUpdate"; }); }},
        sRefusal{"NoSectionAtAll", QVZEL_ERR_OVERFLOW,
                 [] { return std::string("Version::200\r\nCRC::0\r\n\r\nQUJD\r\n"); }},
        sRefusal{"NoBlankLineAfterTheHeader", QVZEL_ERR_OVERFLOW,
                 [] { return oneSection([](sSection& s) { s.m_HeaderEnd = ""; }); }},
        // The blank line that ends this section's header lies in the next
        // section: the payload would start past the section's end.
        sRefusal{"BlankLineBeyondTheSection", QVZEL_ERR_OVERFLOW,
                 [] {
                   sSection l_Issi = changed([](sSection& s) { s.m_HeaderEnd = ""; });
                   sSection l_Sst =
                       changed([](sSection& s) { s.m_UpdateType = "\"SSTFlashFWUpdate\""; });
                   return imageText({l_Issi, l_Sst});
                 }},
        // A payload that decodes to nothing is no firmware, even when its
        // byte count and checksum agree with that.
        sRefusal{"EmptyPayload", QVZEL_ERR_INTERNAL,
                 [] {
                   return oneSection([](sSection& s) {
                     s.m_Payload.clear();
                     s.m_HeaderEnd = "\r\n====\r\n";
                   });
                 }},
        sRefusal{"TruncatedInTheHeader", QVZEL_ERR_OVERFLOW,
                 [] {
                   const std::string l_Image = imageText({sSection()});
                   return l_Image.substr(0, l_Image.find("Version::200") + 4);
                 }}),
    [](const ::testing::TestParamInfo<sRefusal>& a_rInfo) { return a_rInfo.param.m_pName; });

TEST_F(FirmwareUpdate, TheCardMustBeOpenAndAnUpstreamCard) {
  const std::string l_Image = imageText({sSection()});
  EXPECT_EQ(update(m_pController, l_Image, 1), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(m_pCard), 0);
  EXPECT_EQ(update(m_pCard, l_Image, 1), QVZEL_ERR_INTERNAL);
  EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(m_pCard, nullptr, 0, 1), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_TRUE(writes().empty());
  // Open again, the same image goes through.
  ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  EXPECT_EQ(update(m_pCard, l_Image, 0), 0);
  EXPECT_EQ(writes().size(), 1u);
}

TEST_F(FirmwareUpdate, TheDriversAnswerToTheWriteIsTheResult) {
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "firmwareStatus", "-52024", l_Error))
      << l_Error;
  EXPECT_EQ(update(m_pCard, imageText({sSection()}), 0), QVZEL_ERR_IO);
  ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "firmwareStatus", "0", l_Error));
  ASSERT_TRUE(nQvDriverSim_1_0::setDeviceSetting("card0", "firmwareErrno", "16", l_Error));
  EXPECT_EQ(update(m_pCard, imageText({sSection()}), 0), QVZEL_ERR_BUSY);
}

// A card whose driver keeps a flash, updated with the demo images.
class FlashUpdate : public FirmwareUpdate {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    sInterface l_Card = fourPortCard();
    l_Card.m_Extra = "flashSize = 0x800000\n";
    load(fourPortHost({4, 4, 4, 4}) + interfaceText(l_Card));
    openCard();
  }

  void openCard() {
    m_pList.reset(new cList);
    ASSERT_EQ(m_pList->code(), 0);
    ASSERT_EQ(m_pList->count(), 1u);
    m_pCard = m_pList->item(0);
    ASSERT_EQ(nQVPXIKTFINDER100_openDevice(m_pCard), 0);
  }

  static std::string readFile(const std::string& a_rPath) {
    std::ifstream l_In(a_rPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(l_In), std::istreambuf_iterator<char>());
  }

  static std::string demoImage(const char* a_pName) {
    const std::string l_Image =
        readFile(std::string(QVZ_SOURCE_DIR "/examples/firmware/") + a_pName);
    EXPECT_FALSE(l_Image.empty()) << a_pName;
    return l_Image;
  }

  static std::string flash() { return readFile(nQvDriverSim_1_0::flashFile("card0")); }
};

TEST_F(FlashUpdate, TheCardRunsTheNewVersionAfterAReload) {
  ASSERT_EQ(number(m_pCard, QVZEL_ATTR_DRIVER_F0), 0x100u);  // the factory boot header
  ASSERT_EQ(update(m_pCard, demoImage("demo-fw-0200.img"), 0), 0);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_FIRMWARE_VERSION), 0x100u);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_DRIVER_F0), 0x200u);
  uint32_t l_Version = 0;
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::reloadCard("card0", l_Version, l_Error)) << l_Error;
  EXPECT_EQ(l_Version, 0x200u);
  m_pList.reset();
  openCard();
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_FIRMWARE_VERSION), 0x200u);
  // Now the older image is the one refused as not newer.
  EXPECT_EQ(update(m_pCard, demoImage("demo-fw-0100.img"), 0), QVZEL_ERR_INVALID_PARAMETER);
}

TEST_F(FlashUpdate, ARefusedImageLeavesTheFlashAsItWas) {
  const std::string l_Before = flash();
  ASSERT_EQ(l_Before.size(), 0x800000u);
  EXPECT_EQ(update(m_pCard, demoImage("demo-fw-0100.img"), 0), QVZEL_ERR_INVALID_PARAMETER);
  std::string l_Broken = demoImage("demo-fw-0200.img");
  l_Broken[l_Broken.rfind("\r\n\r\n") + 10] ^= 1;  // a payload character of the last section
  EXPECT_NE(update(m_pCard, l_Broken, 1), 0);
  // The driver refuses a write that does not fit the flash.
  sSection l_Beyond;
  l_Beyond.m_Offset = "7FFFFF";
  EXPECT_NE(update(m_pCard, imageText({l_Beyond}), 0), 0);
  EXPECT_EQ(writes().size(), 1u);
  EXPECT_TRUE(flash() == l_Before);
  EXPECT_EQ(number(m_pCard, QVZEL_ATTR_DRIVER_F0), 0x100u);
}

}  // namespace
}  // namespace systest
