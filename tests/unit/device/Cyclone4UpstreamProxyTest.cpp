// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "TempDir.h"
#include "device/tInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "driverLog.h"
#include "sDeviceSettings.h"
#include "status/StatusCodes.h"

namespace {

using nQvDriverSim_1_0::sDeviceSettings;
using nQvDriverSim_1_0::sDriverRequest;
using nQvDriverSim_1_0::sFirmwareWrite;
using nQVZEL_15_0::iInterfaceProxy_Cyclone4UpstreamZEL;
using nQVZEL_15_0::tInterfaceProxy_Cyclone4UpstreamZEL;
using nQVZEL_15_0::nQVKORA000::iInterfaceProxy;

// One base object shared by the typed interface and the implementation.
static_assert(std::is_convertible<tInterfaceProxy_Cyclone4UpstreamZEL*, iInterfaceProxy*>::value,
              "iInterfaceProxy must be one shared virtual base");

constexpr uint32_t kFlashId = 0xF000F0D0;
constexpr uint32_t kVersion = 0xF000F0C0;

// The register proxy against a simulated device file in a scratch directory
// (the simulated driver answers any file that carries its magic line).
class Cyclone4UpstreamProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Settings.m_Name = "up0";
    m_Settings.m_LogDir = m_Dir.Path();
    m_Settings.m_Attributes[kFlashId] = 0x9D17;
    m_Settings.m_Attributes[kVersion] = 0x0305;
  }

  // Writes the device file with the current settings and opens the proxy.
  void openDevice() {
    m_Dir.Write("up0", nQvDriverSim_1_0::formatDeviceFile(m_Settings));
    Status l_Status;
    m_Proxy.open(m_Dir.File("up0").c_str(), l_Status);
    ASSERT_EQ(l_Status.code, 0);
  }

  std::vector<sDriverRequest> requests() const {
    std::vector<sDriverRequest> l_Requests;
    EXPECT_TRUE(nQvDriverSim_1_0::readRequests(m_Dir.Path(), "up0", l_Requests));
    return l_Requests;
  }

  std::vector<sFirmwareWrite> writes() const {
    std::vector<sFirmwareWrite> l_Writes;
    EXPECT_TRUE(nQvDriverSim_1_0::readWrites(m_Dir.Path(), "up0", l_Writes));
    return l_Writes;
  }

  cTempDir m_Dir;
  sDeviceSettings m_Settings;
  tInterfaceProxy_Cyclone4UpstreamZEL m_Proxy;
  Status m_Status;
};

TEST_F(Cyclone4UpstreamProxyTest, AttributeReadWithDriverStatusZero) {
  openDevice();
  uint32_t l_Value = 0;
  uint32_t l_Size = sizeof(l_Value);
  m_Proxy.getAttribute(kFlashId, &l_Value, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_STREQ(m_Status.file, "") << "nothing recorded";
  EXPECT_EQ(l_Size, 4u);
  EXPECT_EQ(l_Value, 0x9D17u);

  const std::vector<sDriverRequest> l_Requests = requests();
  ASSERT_EQ(l_Requests.size(), 1u);
  EXPECT_EQ(l_Requests[0].m_Code, 0x0020003Du);
  EXPECT_EQ(l_Requests[0].m_AttributeId, kFlashId);
  EXPECT_EQ(l_Requests[0].m_BufferSize, 4u);
  EXPECT_EQ(l_Requests[0].m_CallerStatus, 0);
}

TEST_F(Cyclone4UpstreamProxyTest, DriverStatusIsRecordedAndTheByteCountStillStored) {
  m_Settings.m_AttributeStatus = qvstatus::kInvalidParameter;
  openDevice();
  uint32_t l_Value = 0;
  uint32_t l_Size = 16;
  m_Proxy.getAttribute(kVersion, &l_Value, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kInvalidParameter);
  EXPECT_STREQ(m_Status.component, "qvzelif");
  EXPECT_EQ(l_Size, 4u);
  EXPECT_EQ(l_Value, 0x0305u);
}

TEST_F(Cyclone4UpstreamProxyTest, FailingRequestLeavesTheSizeUnchanged) {
  m_Settings.m_AttributeErrno = 5;  // EIO
  openDevice();
  uint32_t l_Value = 0;
  uint32_t l_Size = 8;
  m_Proxy.getAttribute(kFlashId, &l_Value, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kIoError);
  EXPECT_EQ(l_Size, 8u);

  tInterfaceProxy_Cyclone4UpstreamZEL l_Closed;
  Status l_Status;
  l_Closed.getAttribute(kFlashId, &l_Value, &l_Size, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kNotFound) << "a closed file: EBADF";
  EXPECT_EQ(l_Size, 8u);
}

TEST_F(Cyclone4UpstreamProxyTest, CallersWarningReachesTheDriverAndStays) {
  m_Settings.m_AttributeStatusById[kVersion] = 9;  // the driver warns too
  openDevice();
  m_Status.set(7, "caller", "caller.cpp", 3);
  uint32_t l_Value = 0;
  uint32_t l_Size = 4;
  m_Proxy.getAttribute(kVersion, &l_Value, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, 7) << "the first warning is kept";
  EXPECT_STREQ(m_Status.file, "caller.cpp");
  const uint8_t l_Bytes[] = {1, 2, 3};
  m_Proxy.updateFirmware(l_Bytes, sizeof(l_Bytes), 0, 0, 0, m_Status);

  const std::vector<sDriverRequest> l_Requests = requests();
  ASSERT_EQ(l_Requests.size(), 2u);
  EXPECT_EQ(l_Requests[0].m_CallerStatus, 7);
  EXPECT_EQ(l_Requests[1].m_CallerStatus, 7);
  ASSERT_EQ(writes().size(), 1u);
  EXPECT_EQ(writes()[0].m_CallerStatus, 7);
}

TEST_F(Cyclone4UpstreamProxyTest, DriverWarningIsKeptWhenTheStatusIsEmpty) {
  m_Settings.m_AttributeStatus = 3;
  openDevice();
  uint32_t l_Value = 0;
  uint32_t l_Size = 4;
  m_Proxy.getAttribute(kFlashId, &l_Value, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, 3);
  EXPECT_EQ(l_Value, 0x9D17u);
}

TEST_F(Cyclone4UpstreamProxyTest, ByteCountBeyondTheBufferIsAnError) {
  m_Settings.m_HasAttributeByteCount = true;
  m_Settings.m_AttributeByteCount = 64;
  openDevice();
  uint32_t l_Value = 0;
  uint32_t l_Size = 4;
  m_Proxy.getAttribute(kFlashId, &l_Value, &l_Size, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kBufferTooSmall);
  EXPECT_EQ(l_Size, 64u) << "the count is reported, as for a size probe";
}

TEST_F(Cyclone4UpstreamProxyTest, BadArgumentsGiveAStatusNotACrash) {
  openDevice();
  uint32_t l_Size = 4;
  m_Proxy.getAttribute(kFlashId, nullptr, &l_Size, m_Status);  // driver: EFAULT
  EXPECT_EQ(m_Status.code, qvstatus::kSystemError);
  EXPECT_EQ(l_Size, 4u);

  Status l_NoSize;
  uint32_t l_Value = 0;
  m_Proxy.getAttribute(kFlashId, &l_Value, nullptr, l_NoSize);
  EXPECT_EQ(l_NoSize.code, qvstatus::kInvalidParameter);
  EXPECT_EQ(requests().size(), 1u) << "no request without a size";

  Status l_Unknown;
  m_Proxy.getAttribute(0xF000F0E0, &l_Value, &l_Size, l_Unknown);
  EXPECT_EQ(l_Unknown.code, qvstatus::kNotSupported) << "the driver's answer";
  EXPECT_EQ(l_Size, 0u);
}

TEST_F(Cyclone4UpstreamProxyTest, FailedStatusOnEntrySendsNothing) {
  openDevice();
  m_Status.set(qvstatus::kBusy, "x", "x.cpp", 1);
  uint32_t l_Value = 0;
  uint32_t l_Size = 4;
  m_Proxy.getAttribute(kFlashId, &l_Value, &l_Size, m_Status);
  const uint8_t l_Byte = 1;
  m_Proxy.updateFirmware(&l_Byte, 1, 0, 0, 0, m_Status);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(l_Value, 0u);
  EXPECT_EQ(m_Status.code, qvstatus::kBusy);
}

TEST_F(Cyclone4UpstreamProxyTest, FirmwareBytesAndHeaderReachTheDriver) {
  openDevice();
  std::vector<uint8_t> l_Image(3000);
  for (size_t l_Index = 0; l_Index < l_Image.size(); ++l_Index) {
    l_Image[l_Index] = static_cast<uint8_t>(l_Index * 7);
  }
  m_Proxy.updateFirmware(l_Image.data(), static_cast<uint32_t>(l_Image.size()), 0x40, 0x2, 0x100000,
                         m_Status);
  EXPECT_EQ(m_Status.code, 0);

  const std::vector<sFirmwareWrite> l_Writes = writes();
  ASSERT_EQ(l_Writes.size(), 1u);
  EXPECT_EQ(l_Writes[0].m_Length, 3000u);
  EXPECT_EQ(l_Writes[0].m_PinOutAddr, 0x40u);
  EXPECT_EQ(l_Writes[0].m_PinOutVer, 0x2u);
  EXPECT_EQ(l_Writes[0].m_Offset, 0x100000u);
  EXPECT_EQ(l_Writes[0].m_Bytes, l_Image);
  ASSERT_EQ(requests().size(), 1u);
  EXPECT_EQ(requests()[0].m_Code, 0x0020003Cu);
}

TEST_F(Cyclone4UpstreamProxyTest, FirmwareDriverStatusAndErrno) {
  m_Settings.m_FirmwareStatus = qvstatus::kInternal;
  openDevice();
  const uint8_t l_Byte = 0xAB;
  m_Proxy.updateFirmware(&l_Byte, 1, 0, 0, 0, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kInternal);

  m_Proxy.close();
  m_Settings.m_FirmwareStatus = 0;
  m_Settings.m_FirmwareErrno = 16;  // EBUSY
  openDevice();
  Status l_Busy;
  m_Proxy.updateFirmware(&l_Byte, 1, 0, 0, 0, l_Busy);
  EXPECT_EQ(l_Busy.code, qvstatus::kBusy);
  EXPECT_EQ(writes().size(), 1u) << "the failed request wrote nothing";
}

TEST_F(Cyclone4UpstreamProxyTest, WorksThroughItsInterfacesAndClosesOnDestruction) {
  m_Dir.Write("up0", nQvDriverSim_1_0::formatDeviceFile(m_Settings));
  std::unique_ptr<iInterfaceProxy> l_pBase;
  {
    auto l_pProxy = std::make_unique<tInterfaceProxy_Cyclone4UpstreamZEL>();
    l_pProxy->open(m_Dir.File("up0").c_str(), m_Status);
    iInterfaceProxy_Cyclone4UpstreamZEL& l_rTyped = *l_pProxy;
    uint32_t l_Value = 0;
    uint32_t l_Size = 4;
    l_rTyped.getAttribute(kVersion, &l_Value, &l_Size, m_Status);
    EXPECT_EQ(l_Value, 0x0305u);
    l_pBase = std::move(l_pProxy);
  }
  l_pBase->close();
  uint8_t l_Output[8];
  EXPECT_EQ(l_pBase->request(0x0020003D, nullptr, 0, l_Output, 8, m_Status), 0u);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);
  l_pBase.reset();  // destruction through the shared base
}

}  // namespace
