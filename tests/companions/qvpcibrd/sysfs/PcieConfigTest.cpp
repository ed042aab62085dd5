// SPDX-License-Identifier: LGPL-2.1-or-later
// Decoding of link speed texts and of configuration space images.
#include <gtest/gtest.h>

#include <vector>

#include "cPcieConfig.h"

using qvpcibrd::cPcieConfig;

namespace {

TEST(PcieConfig, SpeedTextsOfOldAndNewKernels) {
  const std::pair<const char*, uint32_t> l_Cases[] = {
      {"2.5 GT/s PCIe", 1},
      {"2.5 GT/s", 1},
      {"5.0 GT/s PCIe", 2},
      {"5 GT/s", 2},
      {"8.0 GT/s PCIe", 3},
      {"8 GT/s", 3},
      {"16.0 GT/s PCIe", 4},
      {"32.0 GT/s PCIe", 5},
      {"64.0 GT/s PCIe", 6},
      {"Unknown", 0},
      {"", 0},
      {"2.50 GT/s", 1},
      {"2.55 GT/s", 0},
      {"3.0 GT/s", 0},
      {"8.0GT/s", 0},
      {"33 MHz PCI", 0},
      {"-5 GT/s", 0},
      {"5. GT/s", 0},
      {"966666666666666666666666 GT/s", 0},  // no overflow on the way
  };
  for (const auto& l_rCase : l_Cases) {
    EXPECT_EQ(l_rCase.second, cPcieConfig::speedCodeFromText(l_rCase.first)) << l_rCase.first;
  }
}

// A bridge header with capabilities at 0x40 (power management) and 0x60
// (PCI Express, Link Capabilities 0x0A000043, Link Status 0x1042).
std::vector<uint8_t> bridgeConfig() {
  std::vector<uint8_t> l_Bytes(256, 0);
  l_Bytes[0] = 0x86, l_Bytes[1] = 0x80;
  l_Bytes[0x06] = 0x10;
  l_Bytes[0x0E] = 0x81;  // type 1, multi-function
  l_Bytes[0x19] = 0x2A;
  l_Bytes[0x34] = 0x42;  // the low two bits are reserved
  l_Bytes[0x40] = 0x01, l_Bytes[0x41] = 0x60;
  l_Bytes[0x60] = 0x10, l_Bytes[0x61] = 0x00;
  l_Bytes[0x6C] = 0x43, l_Bytes[0x6F] = 0x0A;
  l_Bytes[0x72] = 0x42, l_Bytes[0x73] = 0x10;
  return l_Bytes;
}

TEST(PcieConfig, ReadsTheExpressCapability) {
  const cPcieConfig l_Config(bridgeConfig());
  uint32_t l_Caps = 0;
  uint16_t l_Status = 0;
  uint8_t l_Bus = 0;
  EXPECT_EQ(0x60u, l_Config.findCapability(0x10));
  EXPECT_EQ(0x40u, l_Config.findCapability(0x01));
  EXPECT_EQ(0u, l_Config.findCapability(0x05));
  ASSERT_TRUE(l_Config.linkCapabilities(l_Caps));
  EXPECT_EQ(0x0A000043u, l_Caps);
  ASSERT_TRUE(l_Config.linkStatus(l_Status));
  EXPECT_EQ(0x1042, l_Status);
  ASSERT_TRUE(l_Config.secondaryBus(l_Bus));
  EXPECT_EQ(0x2A, l_Bus);
}

TEST(PcieConfig, WhatCannotBeReadIsMissing) {
  uint32_t l_Caps = 0;
  uint8_t l_Bus = 0;
  // What other users than root see: the pointer leads beyond the 64 bytes.
  std::vector<uint8_t> l_Short = bridgeConfig();
  l_Short.resize(64);
  EXPECT_FALSE(cPcieConfig(l_Short).linkCapabilities(l_Caps));
  EXPECT_TRUE(cPcieConfig(l_Short).secondaryBus(l_Bus));
  // The capability starts within the bytes read but Link Capabilities does not.
  std::vector<uint8_t> l_Cut = bridgeConfig();
  l_Cut.resize(0x6E);
  EXPECT_EQ(0x60u, cPcieConfig(l_Cut).findCapability(0x10));
  EXPECT_FALSE(cPcieConfig(l_Cut).linkCapabilities(l_Caps));
  // A function that is powered off reads as all ones.
  const std::vector<uint8_t> l_Ones(256, 0xFF);
  EXPECT_FALSE(cPcieConfig(l_Ones).isValid());
  EXPECT_FALSE(cPcieConfig(l_Ones).linkCapabilities(l_Caps));
  EXPECT_FALSE(cPcieConfig(l_Ones).secondaryBus(l_Bus));
  EXPECT_FALSE(cPcieConfig({}).isValid());
  // No capability list bit; an endpoint header has no secondary bus.
  std::vector<uint8_t> l_NoList = bridgeConfig();
  l_NoList[0x06] = 0;
  l_NoList[0x0E] = 0;
  EXPECT_FALSE(cPcieConfig(l_NoList).linkCapabilities(l_Caps));
  EXPECT_FALSE(cPcieConfig(l_NoList).secondaryBus(l_Bus));
}

TEST(PcieConfig, BrokenCapabilityListsEnd) {
  uint32_t l_Caps = 0;
  std::vector<uint8_t> l_Loop = bridgeConfig();
  l_Loop[0x60] = 0x09, l_Loop[0x61] = 0x40;  // 0x40 -> 0x60 -> 0x40 ...
  EXPECT_EQ(0u, cPcieConfig(l_Loop).findCapability(0x10));
  EXPECT_FALSE(cPcieConfig(l_Loop).linkCapabilities(l_Caps));
  std::vector<uint8_t> l_IntoHeader = bridgeConfig();
  l_IntoHeader[0x41] = 0x10;  // a pointer into the header ends the list
  EXPECT_EQ(0u, cPcieConfig(l_IntoHeader).findCapability(0x10));
}

}  // namespace
