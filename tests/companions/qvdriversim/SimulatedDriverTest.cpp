// SPDX-License-Identifier: LGPL-2.1-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "device/tInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "driver/tDeviceInterfaceIterator.h"
#include "driverTree.h"
#include "qvsimGtest.h"
#include "qvzel_driver.h"
#include "status/StatusCodes.h"

namespace {

using nQVZEL_15_0::tInterfaceProxy_Cyclone4UpstreamZEL;
using nQVZEL_15_0::nQVKORA000::sInterfacePath;
using nQVZEL_15_0::nQVKORA000::tDeviceInterfaceIterator;
namespace sim = nQvDriverSim_1_0;

constexpr const char* kSystem =
    "[bridge host]\n"
    "someBridgeKey = 1\n"
    "[interface up0]\n"
    "pciVendorID = 0x1F3C\n"
    "pciDeviceID = 0x5A30\n"
    "pciSubsystemVendorID = 0x1F3C\n"
    "pciSubsystemID = 0x5A31\n"
    "pciBusNumber = 5\n"
    "pciDeviceNumber = 0\n"
    "pciFunctionNumber = 0\n"
    "serialNumber = 01A2B3C4\n"
    "attribute.0xF000F0C0 = 0x0102\n"
    "attribute.0xF000F0D0 = 0x9D17\n"
    "[interface bare]\n"
    "class = nQVZEL_1_0_Zel7Device\n";

std::string readFile(const std::string& a_rPath) {
  std::ifstream l_In(a_rPath, std::ios::binary);
  std::ostringstream l_Text;
  l_Text << l_In.rdbuf();
  return l_Text.str();
}

bool exists(const std::string& a_rPath) {
  struct stat l_Stat;
  return ::lstat(a_rPath.c_str(), &l_Stat) == 0;
}

class SimulatedDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QVSIM_ENTER_OR_SKIP();
    std::string l_Error;
    ASSERT_TRUE(sim::loadSystemText(kSystem, l_Error)) << l_Error;
  }
};

TEST_F(SimulatedDriverTest, BuildsTheDriverTree) {
  const std::string l_Device = "/proc/driver/qv/up0";
  EXPECT_EQ(readFile(l_Device + "/busProperties/pciDeviceID"), std::string("\x30\x5A\0\0", 4));
  EXPECT_EQ(readFile(l_Device + "/busProperties/pciBusNumber"), std::string("\x05\0\0\0", 4));
  EXPECT_EQ(readFile(l_Device + "/deviceProperties/serialNumber"), std::string("01A2B3C4\0", 9));
  EXPECT_EQ(
      readFile(l_Device + "/deviceInterfaces/nQVZEL_1_0_Cyclone4UpstreamZEL\\0/interfacePath"),
      sim::deviceFile("up0"));

  const std::string l_Bare = "/proc/driver/qv/bare";
  EXPECT_TRUE(exists(l_Bare + "/deviceInterfaces/nQVZEL_1_0_Zel7Device\\0/interfacePath"));
  EXPECT_FALSE(exists(l_Bare + "/busProperties/pciVendorID")) << "absent keys give no file";
  EXPECT_FALSE(exists(l_Bare + "/deviceProperties/serialNumber"));

  EXPECT_EQ(readFile(std::getenv("QVPCIBRD_SYSTEM")), kSystem) << "the bridge library's file";

  std::string l_Error;
  ASSERT_TRUE(sim::removeSystem(l_Error)) << l_Error;
  EXPECT_FALSE(exists("/proc/driver/qv"));
}

TEST_F(SimulatedDriverTest, LibraryFindsOpensAndTalksToTheDevice) {
  tDeviceInterfaceIterator l_Iterator;
  Status l_Status;
  l_Iterator.startIteration("nQVZEL_1_0_Cyclone4UpstreamZEL", l_Status);
  ASSERT_FALSE(l_Iterator.atEnd());
  sInterfacePath l_Path;
  l_Iterator.readInterfacePath(&l_Path, l_Status);
  l_Iterator.advance();
  EXPECT_TRUE(l_Iterator.atEnd()) << "the other device has another class";

  tInterfaceProxy_Cyclone4UpstreamZEL l_Proxy;
  l_Proxy.open(l_Path, l_Status);
  ASSERT_EQ(l_Status.code, 0);
  uint32_t l_Version = 0;
  uint32_t l_Size = 4;
  l_Proxy.getAttribute(0xF000F0C0, &l_Version, &l_Size, l_Status);
  EXPECT_EQ(l_Version, 0x0102u);

  // A changed setting answers from the next request on.
  std::string l_Error;
  ASSERT_TRUE(sim::setDeviceSetting("up0", "attribute.0xF000F0C0", "0x0200", l_Error)) << l_Error;
  EXPECT_FALSE(sim::setDeviceSetting("up0", "noSuchKey", "1", l_Error));
  EXPECT_FALSE(sim::setDeviceSetting("nobody", "errno", "1", l_Error));
  l_Proxy.getAttribute(0xF000F0C0, &l_Version, &l_Size, l_Status);
  EXPECT_EQ(l_Version, 0x0200u);

  const uint8_t l_Image[] = {0xDE, 0xAD, 0xBE, 0xEF};
  l_Proxy.updateFirmware(l_Image, sizeof(l_Image), 1, 2, 3, l_Status);
  EXPECT_EQ(l_Status.code, 0);
  const std::vector<sim::sFirmwareWrite> l_Writes = sim::firmwareWrites("up0");
  ASSERT_EQ(l_Writes.size(), 1u);
  EXPECT_EQ(l_Writes[0].m_Bytes, std::vector<uint8_t>(l_Image, l_Image + 4));
  EXPECT_EQ(l_Writes[0].m_Offset, 3u);
  EXPECT_EQ(sim::driverRequests("up0").size(), 3u);

  // Loading again starts with empty logs.
  ASSERT_TRUE(sim::loadSystemText(kSystem, l_Error)) << l_Error;
  EXPECT_TRUE(sim::firmwareWrites("up0").empty());
  EXPECT_TRUE(sim::driverRequests("up0").empty());
}

TEST_F(SimulatedDriverTest, DriverRejectsMalformedRequestsLikeAKernelDriver) {
  const int l_Fd = ::open(sim::deviceFile("up0").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_NE(l_Fd, -1);
  qvzel_request_descriptor l_Descriptor = {0, 0, 24, 8, 0};
  uint8_t l_Input[24] = {};
  uint8_t l_Output[8] = {};

  errno = 0;
  EXPECT_EQ(::ioctl(l_Fd, QVZEL_REQUEST_GET_ATTRIBUTE, nullptr), -1);
  EXPECT_EQ(errno, EFAULT) << "no descriptor";
  EXPECT_EQ(::ioctl(l_Fd, QVZEL_REQUEST_GET_ATTRIBUTE, &l_Descriptor), -1);
  EXPECT_EQ(errno, EFAULT) << "null input and output";
  l_Descriptor.input_address = reinterpret_cast<uintptr_t>(l_Input);
  l_Descriptor.output_address = reinterpret_cast<uintptr_t>(l_Output);
  l_Descriptor.input_size = 23;
  EXPECT_EQ(::ioctl(l_Fd, QVZEL_REQUEST_GET_ATTRIBUTE, &l_Descriptor), -1);
  EXPECT_EQ(errno, EINVAL) << "wrong input size";
  EXPECT_EQ(::ioctl(l_Fd, 0x0020003E, &l_Descriptor), -1);
  EXPECT_EQ(errno, ENOTTY) << "unknown request";

  std::string l_Error;
  ASSERT_TRUE(sim::setDeviceSetting("up0", "errno", "110", l_Error)) << l_Error;
  l_Descriptor.input_size = 24;
  EXPECT_EQ(::ioctl(l_Fd, QVZEL_REQUEST_GET_ATTRIBUTE, &l_Descriptor), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  ::close(l_Fd);

  const std::vector<sim::sDriverRequest> l_Requests = sim::driverRequests("up0");
  ASSERT_EQ(l_Requests.size(), 5u);
  EXPECT_EQ(l_Requests[3].m_Errno, ENOTTY);
  EXPECT_EQ(l_Requests[4].m_Errno, ETIMEDOUT);
}

TEST_F(SimulatedDriverTest, BrokenDeviceFileFailsWithIoError) {
  std::string l_Error;
  const std::string l_Broken = "#qvdriversim-device 1\nattribute.0x1 = nonsense\n";
  ASSERT_TRUE(
      sim::writeWholeFile(sim::deviceFile("up0"), l_Broken.data(), l_Broken.size(), l_Error));
  tInterfaceProxy_Cyclone4UpstreamZEL l_Proxy;
  Status l_Status;
  l_Proxy.open(sim::deviceFile("up0").c_str(), l_Status);
  uint32_t l_Value = 0;
  uint32_t l_Size = 4;
  l_Proxy.getAttribute(1, &l_Value, &l_Size, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kIoError);
}

}  // namespace
