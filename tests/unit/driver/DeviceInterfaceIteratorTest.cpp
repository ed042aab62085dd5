// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "TimeBoundChild.h"
#include "driver/tDeviceInterfaceIterator.h"
#include "qvsimGtest.h"
#include "status/StatusCodes.h"

namespace {

using nQVZEL_15_0::nQVKORA000::sInterfacePath;
using nQVZEL_15_0::nQVKORA000::tDeviceInterfaceIterator;

constexpr const char* kClass = "nQVZEL_1_0_Pxi4120";

// Runs in a private /proc/driver tree; skipped where the machine refuses one.
class DeviceInterfaceIteratorTest : public ::testing::Test {
 protected:
  void SetUp() override { QVSIM_ENTER_OR_SKIP(); }

  void load(const std::string& a_rText) {
    std::string l_Error;
    ASSERT_TRUE(nQvDriverSim_1_0::loadSystemText(a_rText, l_Error)) << l_Error;
  }

  // One device of kClass whose interface path and properties the test chooses.
  void loadOne(const std::string& a_rKeys) {
    load("[interface dev]\nclass = " + std::string(kClass) + "\n" + a_rKeys);
  }

  void startAtFirst() {
    m_Iterator.startIteration(kClass, m_Status);
    ASSERT_EQ(m_Status.code, 0);
    ASSERT_FALSE(m_Iterator.atEnd());
  }

  tDeviceInterfaceIterator m_Iterator;
  Status m_Status;
};

TEST_F(DeviceInterfaceIteratorTest, NoDriverGivesAnEmptyIterationAndRecordsNothing) {
  m_Iterator.startIteration(kClass, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_TRUE(m_Iterator.atEnd());
  EXPECT_EQ(m_Iterator.currentPath(), nullptr);

  uint32_t l_Value = 0;
  m_Iterator.readBusProperty("pciBusNumber", &l_Value, sizeof(l_Value), nullptr, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound) << "no current entry";
  Status l_PathStatus;
  sInterfacePath l_Path;
  m_Iterator.readInterfacePath(&l_Path, l_PathStatus);
  EXPECT_EQ(l_PathStatus.code, qvstatus::kNotFound);
}

TEST_F(DeviceInterfaceIteratorTest, VisitsOnlyTheClassInAscendingPathOrder) {
  load(std::string("[interface devB]\nclass = ") + kClass + "\npciBusNumber = 2\n" +
       "[interface devA]\nclass = " + kClass + "\npciBusNumber = 1\n" +
       "[interface other]\nclass = nQVZEL_1_0_Pxi4135\npciBusNumber = 3\n" +
       "[interface longer]\nclass = " + kClass + "X\npciBusNumber = 4\n");

  std::vector<std::string> l_Paths;
  std::vector<uint32_t> l_Buses;
  for (m_Iterator.startIteration(kClass, m_Status); !m_Iterator.atEnd(); m_Iterator.advance()) {
    l_Paths.push_back(m_Iterator.currentPath());
    uint32_t l_Bus = 0;
    size_t l_Count = 0;
    m_Iterator.readBusProperty("pciBusNumber", &l_Bus, sizeof(l_Bus), &l_Count, m_Status);
    EXPECT_EQ(l_Count, 4u);
    l_Buses.push_back(l_Bus);
  }
  EXPECT_EQ(m_Status.code, 0);
  const std::string l_Suffix = std::string("/deviceInterfaces/") + kClass + "\\0";
  EXPECT_EQ(l_Paths, (std::vector<std::string>{"/proc/driver/qv/devA" + l_Suffix,
                                               "/proc/driver/qv/devB" + l_Suffix}));
  EXPECT_EQ(l_Buses, (std::vector<uint32_t>{1, 2}));
}

TEST_F(DeviceInterfaceIteratorTest, StartRunsEvenWithAFailedStatusAndRestartsCleanly) {
  loadOne("pciBusNumber = 9\n");
  m_Status.set(qvstatus::kBusy, "other", "o.cpp", 1);
  m_Iterator.startIteration(kClass, m_Status);
  EXPECT_FALSE(m_Iterator.atEnd());
  EXPECT_EQ(m_Status.code, qvstatus::kBusy);
  uint32_t l_Bus = 0;
  m_Iterator.readBusProperty("pciBusNumber", &l_Bus, sizeof(l_Bus), nullptr, m_Status);
  EXPECT_EQ(l_Bus, 0u) << "reads do nothing under a failed status";

  Status l_Fresh;
  m_Iterator.startIteration(kClass, l_Fresh);  // the first result is released
  m_Iterator.readBusProperty("pciBusNumber", &l_Bus, sizeof(l_Bus), nullptr, l_Fresh);
  EXPECT_EQ(l_Bus, 9u);
  m_Iterator.advance();
  EXPECT_TRUE(m_Iterator.atEnd());
  m_Iterator.advance();  // stays at the end
  EXPECT_TRUE(m_Iterator.atEnd());
  m_Iterator.endIteration();
  EXPECT_TRUE(m_Iterator.atEnd());
}

TEST_F(DeviceInterfaceIteratorTest, PropertySizesAgainstAFourByteDestination) {
  loadOne(
      "busProperty.two = 01 02\n"
      "busProperty.four = 11 22 33 44\n"
      "busProperty.five = 01 02 03 04 05\n"
      "busProperty.empty =\n" +
      ("busProperty.huge = " + std::string(2 * 5000, 'a') + "\n"));
  startAtFirst();

  uint8_t l_Value[4] = {};
  size_t l_Count = 99;
  m_Iterator.readBusProperty("two", l_Value, sizeof(l_Value), &l_Count, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_EQ(l_Count, 2u);
  EXPECT_EQ(std::vector<uint8_t>(l_Value, l_Value + 4), (std::vector<uint8_t>{1, 2, 0, 0}));

  m_Iterator.readBusProperty("four", l_Value, sizeof(l_Value), &l_Count, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_EQ(l_Count, 4u);
  EXPECT_EQ(std::vector<uint8_t>(l_Value, l_Value + 4),
            (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));

  m_Iterator.readBusProperty("empty", l_Value, sizeof(l_Value), &l_Count, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_EQ(l_Count, 0u);

  m_Iterator.readBusProperty("five", l_Value, sizeof(l_Value), &l_Count, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kBufferTooSmall);
  EXPECT_EQ(l_Count, 5u);
  EXPECT_EQ(l_Value[0], 0x11) << "a property that does not fit is not copied";

  Status l_Huge;
  m_Iterator.readBusProperty("huge", l_Value, sizeof(l_Value), &l_Count, l_Huge);
  EXPECT_EQ(l_Huge.code, qvstatus::kBufferTooSmall);
  EXPECT_EQ(l_Count, 4096u) << "one read of at most 4096 bytes";
}

TEST_F(DeviceInterfaceIteratorTest, SizeProbeThenRead) {
  loadOne("serialNumber = 01ABCDEF\n");
  startAtFirst();

  size_t l_Size = 0;
  m_Iterator.readDeviceProperty("serialNumber", nullptr, 0, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kBufferTooSmall);
  EXPECT_EQ(l_Size, 9u) << "the text and its NUL";

  Status l_Status;
  std::vector<char> l_Serial(l_Size, 'x');
  m_Iterator.readDeviceProperty("serialNumber", l_Serial.data(), l_Serial.size(), nullptr,
                                l_Status);
  EXPECT_EQ(l_Status.code, 0);
  EXPECT_STREQ(l_Serial.data(), "01ABCDEF");
}

TEST_F(DeviceInterfaceIteratorTest, MissingPropertyIsNotFound) {
  loadOne("");
  startAtFirst();
  size_t l_Count = 42;
  uint32_t l_Value = 0;
  m_Iterator.readBusProperty("pciVendorID", &l_Value, sizeof(l_Value), &l_Count, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);
  EXPECT_EQ(l_Count, 42u);
  Status l_Device;
  m_Iterator.readDeviceProperty("serialNumber", nullptr, 0, &l_Count, l_Device);
  EXPECT_EQ(l_Device.code, qvstatus::kNotFound);
}

TEST_F(DeviceInterfaceIteratorTest, InterfacePathOf255BytesFits) {
  const std::string l_Text = "/" + std::string(254, 'p');
  loadOne("interfacePath = " + l_Text + "\n");
  startAtFirst();
  sInterfacePath l_Path;
  std::memset(&l_Path, 'J', sizeof(l_Path));
  m_Iterator.readInterfacePath(&l_Path, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_EQ(l_Path.m_Length, 256u);
  EXPECT_EQ(std::string(l_Path.m_Path), l_Text);
}

TEST_F(DeviceInterfaceIteratorTest, InterfacePathOf256BytesIsRefused) {
  loadOne("interfacePath = /" + std::string(255, 'p') + "\n");
  startAtFirst();
  sInterfacePath l_Path;
  l_Path.m_Length = 7;
  m_Iterator.readInterfacePath(&l_Path, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kBufferTooSmall);
  EXPECT_EQ(l_Path.m_Length, 7u) << "nothing is stored";
}

TEST_F(DeviceInterfaceIteratorTest, InterfacePathIsUsedUnchanged) {
  // Junk is the driver's business: taken as it is, spaces and all.
  loadOne("interfacePath = /dev/qv dev\\0 ; x\n");
  startAtFirst();
  sInterfacePath l_Path;
  m_Iterator.readInterfacePath(&l_Path, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_STREQ(l_Path.m_Path, "/dev/qv dev\\0 ; x");
  EXPECT_EQ(l_Path.m_Length, 18u);

  Status l_NoOut;
  m_Iterator.readInterfacePath(nullptr, l_NoOut);
  EXPECT_EQ(l_NoOut.code, qvstatus::kBufferTooSmall);
}

TEST_F(DeviceInterfaceIteratorTest, FifosWhereFilesBelongFailAtOnceAsReadErrors) {
  // A FIFO without a writer would hold an open or a read forever.
  loadOne("pciBusNumber = 7\n");
  startAtFirst();
  const std::string l_Entry = m_Iterator.currentPath();
  const std::string l_Device = l_Entry.substr(0, l_Entry.find("/deviceInterfaces/"));
  for (const std::string& l_rFifo :
       {l_Device + "/busProperties/pciDeviceID", l_Device + "/deviceProperties/serialNumber"}) {
    ASSERT_EQ(mkfifo(l_rFifo.c_str(), 0600), 0) << l_rFifo;
  }
  ASSERT_EQ(unlink((l_Entry + "/interfacePath").c_str()), 0);
  ASSERT_EQ(mkfifo((l_Entry + "/interfacePath").c_str(), 0600), 0);

  // Each wrong answer sets one bit of the child's exit status.
  const int l_Result = qvztest::runTimeBound(5, [this]() {
    int l_Wrong = 0;
    uint32_t l_Value = 0;
    Status l_Bus;
    m_Iterator.readBusProperty("pciDeviceID", &l_Value, sizeof(l_Value), nullptr, l_Bus);
    if (l_Bus.code != qvstatus::kIoError) l_Wrong |= 1;
    Status l_Serial;
    char l_Text[16];
    m_Iterator.readDeviceProperty("serialNumber", l_Text, sizeof(l_Text), nullptr, l_Serial);
    if (l_Serial.code != qvstatus::kIoError) l_Wrong |= 2;
    Status l_PathStatus;
    sInterfacePath l_Path;
    m_Iterator.readInterfacePath(&l_Path, l_PathStatus);
    if (l_PathStatus.code != qvstatus::kIoError) l_Wrong |= 4;
    Status l_Regular;
    m_Iterator.readBusProperty("pciBusNumber", &l_Value, sizeof(l_Value), nullptr, l_Regular);
    if (l_Regular.code != 0 || l_Value != 7) l_Wrong |= 8;
    return l_Wrong;
  });
  EXPECT_EQ(l_Result, 0) << "-1: a read hung; otherwise the bits of the wrong answers";
}

}  // namespace
