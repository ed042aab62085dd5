// SPDX-License-Identifier: LGPL-2.1-or-later
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "TempDir.h"
#include "driver/tDeviceInterfaceProxy.h"
#include "status/StatusCodes.h"

namespace {

using nQVZEL_15_0::nQVKORA000::sInterfacePath;
using nQVZEL_15_0::nQVKORA000::sMemoryMapping;
using nQVZEL_15_0::nQVKORA000::tDeviceInterfaceProxy;

constexpr uint32_t kAnyRequest = 0x0020003D;

// The descriptor flags of this process's open descriptor for a_rPath, or -1.
int descriptorFlagsOf(const std::string& a_rPath) {
  DIR* l_pDir = ::opendir("/proc/self/fd");
  if (l_pDir == nullptr) return -1;
  int l_Flags = -1;
  while (const dirent* l_pEntry = ::readdir(l_pDir)) {
    const std::string l_Link = std::string("/proc/self/fd/") + l_pEntry->d_name;
    char l_Target[PATH_MAX];
    const ssize_t l_Length = ::readlink(l_Link.c_str(), l_Target, sizeof(l_Target) - 1);
    if (l_Length > 0 && std::string(l_Target, static_cast<size_t>(l_Length)) == a_rPath) {
      l_Flags = ::fcntl(std::atoi(l_pEntry->d_name), F_GETFD);
    }
  }
  ::closedir(l_pDir);
  return l_Flags;
}

// Permissions ("rw-s") of the mapping that contains a_pAddress.
std::string mappingPermissions(const void* a_pAddress) {
  std::ifstream l_Maps("/proc/self/maps");
  std::string l_Line;
  const uintptr_t l_Address = reinterpret_cast<uintptr_t>(a_pAddress);
  while (std::getline(l_Maps, l_Line)) {
    std::istringstream l_Fields(l_Line);
    std::string l_Range;
    std::string l_Permissions;
    l_Fields >> l_Range >> l_Permissions;
    const uintptr_t l_Begin = std::stoull(l_Range.substr(0, l_Range.find('-')), nullptr, 16);
    const uintptr_t l_End = std::stoull(l_Range.substr(l_Range.find('-') + 1), nullptr, 16);
    if (l_Address >= l_Begin && l_Address < l_End) return l_Permissions;
  }
  return "";
}

class DeviceInterfaceProxyTest : public ::testing::Test {
 protected:
  cTempDir m_Dir;
  tDeviceInterfaceProxy m_Proxy;
  Status m_Status;
};

TEST_F(DeviceInterfaceProxyTest, OpenOfMissingFileRecordsNotFoundAndStaysClosed) {
  m_Proxy.open(m_Dir.File("missing").c_str(), m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);
  EXPECT_STREQ(m_Status.component, "qvzelif");
  EXPECT_FALSE(m_Proxy.isOpen());
}

TEST_F(DeviceInterfaceProxyTest, OpensForReadAndWriteWithCloseOnExec) {
  // A directory cannot be opened for writing: EISDIR is unclassified.
  m_Proxy.open(m_Dir.Path().c_str(), m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kSystemError);
  EXPECT_FALSE(m_Proxy.isOpen());

  Status l_Status;
  const std::string l_File = m_Dir.Write("device", "x");
  m_Proxy.open(l_File.c_str(), l_Status);
  ASSERT_EQ(l_Status.code, 0);
  ASSERT_TRUE(m_Proxy.isOpen());
  const int l_Flags = descriptorFlagsOf(l_File);
  ASSERT_NE(l_Flags, -1);
  EXPECT_TRUE(l_Flags & FD_CLOEXEC);

  m_Proxy.close();
  EXPECT_FALSE(m_Proxy.isOpen());
  EXPECT_EQ(descriptorFlagsOf(l_File), -1) << "the descriptor is closed";
  m_Proxy.close();  // closing a closed proxy does nothing
  EXPECT_FALSE(m_Proxy.isOpen());
}

TEST_F(DeviceInterfaceProxyTest, DestructionClosesTheFile) {
  const std::string l_File = m_Dir.Write("device", "x");
  {
    tDeviceInterfaceProxy l_Proxy;
    l_Proxy.open(l_File.c_str(), m_Status);
    ASSERT_NE(descriptorFlagsOf(l_File), -1);
  }
  EXPECT_EQ(descriptorFlagsOf(l_File), -1);
}

TEST_F(DeviceInterfaceProxyTest, OpenByInterfacePathUsesItsText) {
  sInterfacePath l_Path;
  const std::string l_File = m_Dir.Write("device", "x");
  std::memset(&l_Path, 'J', sizeof(l_Path));
  std::memcpy(l_Path.m_Path, l_File.c_str(), l_File.size() + 1);
  l_Path.m_Length = l_File.size() + 1;
  m_Proxy.open(l_Path, m_Status);
  EXPECT_EQ(m_Status.code, 0);
  EXPECT_TRUE(m_Proxy.isOpen());
}

TEST_F(DeviceInterfaceProxyTest, InterfacePathWithoutTerminatorIsRefused) {
  sInterfacePath l_Path;
  std::memset(&l_Path, 'J', sizeof(l_Path));
  m_Proxy.open(l_Path, m_Status);
  EXPECT_EQ(m_Status.code, qvstatus::kInvalidParameter);
  EXPECT_FALSE(m_Proxy.isOpen());
}

TEST_F(DeviceInterfaceProxyTest, RequestOnClosedProxyRecordsNotFound) {
  uint8_t l_Output[8] = {};
  EXPECT_EQ(m_Proxy.request(kAnyRequest, "in", 2, l_Output, sizeof(l_Output), m_Status), 0u);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);  // EBADF
}

TEST_F(DeviceInterfaceProxyTest, RequestTheFileDoesNotSupportRecordsNotSupported) {
  m_Proxy.open(m_Dir.Write("plain", "not a device").c_str(), m_Status);
  ASSERT_TRUE(m_Proxy.isOpen());
  uint8_t l_Output[8] = {};
  EXPECT_EQ(m_Proxy.request(kAnyRequest, "in", 2, l_Output, sizeof(l_Output), m_Status), 0u);
  EXPECT_EQ(m_Status.code, qvstatus::kNotSupported);  // ENOTTY
}

TEST_F(DeviceInterfaceProxyTest, FailedStatusOnEntryDoesNothing) {
  m_Status.set(qvstatus::kBusy, "other", "other.cpp", 1);
  const std::string l_File = m_Dir.Write("device", "abc");
  m_Proxy.open(l_File.c_str(), m_Status);
  EXPECT_FALSE(m_Proxy.isOpen());
  char l_Buffer[4];
  EXPECT_EQ(m_Proxy.read(l_Buffer, sizeof(l_Buffer), m_Status), 0);
  EXPECT_EQ(m_Proxy.write("x", 1, m_Status), 0);
  EXPECT_EQ(m_Proxy.request(kAnyRequest, nullptr, 0, nullptr, 0, m_Status), 0u);
  sMemoryMapping l_Mapping = {&l_Buffer, 77};
  EXPECT_EQ(m_Proxy.mapMemory(0, 4096, 1, l_Mapping, m_Status), nullptr);
  EXPECT_EQ(l_Mapping.m_pAddress, &l_Buffer) << "the mapping is left untouched";
  EXPECT_EQ(l_Mapping.m_Length, 77u);
  EXPECT_EQ(m_Status.code, qvstatus::kBusy);
  EXPECT_STREQ(m_Status.file, "other.cpp");
}

TEST_F(DeviceInterfaceProxyTest, ReadAndWriteGoToTheFile) {
  const std::string l_File = m_Dir.Write("device", "hello");
  m_Proxy.open(l_File.c_str(), m_Status);
  char l_Buffer[16] = {};
  EXPECT_EQ(m_Proxy.read(l_Buffer, sizeof(l_Buffer), m_Status), 5);
  EXPECT_STREQ(l_Buffer, "hello");
  EXPECT_EQ(m_Proxy.write("!!", 2, m_Status), 2);
  EXPECT_EQ(m_Status.code, 0);
  std::ifstream l_In(l_File);
  std::string l_Content;
  l_In >> l_Content;
  EXPECT_EQ(l_Content, "hello!!");

  m_Proxy.close();
  EXPECT_EQ(m_Proxy.read(l_Buffer, sizeof(l_Buffer), m_Status), -1);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);
}

TEST_F(DeviceInterfaceProxyTest, MapMemoryCountsOnlyTheLowSixteenBitsOfTheWindow) {
  const long l_Page = ::sysconf(_SC_PAGESIZE);
  std::string l_Content;
  for (char l_Fill : {'A', 'B', 'C'}) l_Content += std::string(static_cast<size_t>(l_Page), l_Fill);
  const std::string l_File = m_Dir.Write("device", l_Content);
  m_Proxy.open(l_File.c_str(), m_Status);

  sMemoryMapping l_Mapping = {nullptr, 0};
  void* l_pWindow = m_Proxy.mapMemory(0x10001, static_cast<size_t>(l_Page), 1, l_Mapping, m_Status);
  ASSERT_EQ(m_Status.code, 0);
  ASSERT_NE(l_pWindow, nullptr);
  EXPECT_EQ(l_Mapping.m_pAddress, l_pWindow);
  EXPECT_EQ(l_Mapping.m_Length, static_cast<uint64_t>(l_Page));
  EXPECT_EQ(static_cast<char*>(l_pWindow)[0], 'B') << "window 0x10001 is page 1";
  EXPECT_EQ(mappingPermissions(l_pWindow), "rw-s");
  static_cast<char*>(l_pWindow)[0] = 'b';  // a shared window writes through
  m_Proxy.unmapMemory(l_Mapping);
  EXPECT_EQ(l_Mapping.m_pAddress, nullptr);
  m_Proxy.unmapMemory(l_Mapping);  // nothing mapped: nothing to do

  std::ifstream l_In(l_File, std::ios::binary);
  l_In.seekg(l_Page);
  EXPECT_EQ(l_In.get(), 'b');

  void* l_pReadOnly = m_Proxy.mapMemory(2, static_cast<size_t>(l_Page), 2, l_Mapping, m_Status);
  ASSERT_NE(l_pReadOnly, nullptr);
  EXPECT_EQ(static_cast<char*>(l_pReadOnly)[0], 'C');
  EXPECT_EQ(mappingPermissions(l_pReadOnly), "r--s") << "access 2 maps read-only";
  m_Proxy.unmapMemory(l_Mapping);
}

TEST_F(DeviceInterfaceProxyTest, FailedMapClearsTheAddressAndRecordsTheError) {
  char l_Dummy = 0;
  sMemoryMapping l_Mapping = {&l_Dummy, 1};
  EXPECT_EQ(m_Proxy.mapMemory(0, 4096, 1, l_Mapping, m_Status), nullptr);
  EXPECT_EQ(l_Mapping.m_pAddress, nullptr);
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);  // closed: EBADF
}

TEST_F(DeviceInterfaceProxyTest, WarningDoesNotStopWork) {
  m_Status.set(7, "warn", "w.cpp", 1);
  m_Proxy.open(m_Dir.Write("device", "x").c_str(), m_Status);
  EXPECT_TRUE(m_Proxy.isOpen());
  EXPECT_EQ(m_Status.code, 7);
}

}  // namespace
