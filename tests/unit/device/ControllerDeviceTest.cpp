// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <memory>

#include "SimPciBridge.h"
#include "device/cPxi1ZelControllerDevice.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "qvpcibrd.h"
#include "qvzelif.h"

using namespace nQVZEL_15_0;
using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc;

namespace {

// A root port with a controller bridge below it (slot path MR00:00,E0, on
// bus 1, reference 0x1001) and one bridge that serves no attribute.
const char kSystem[] =
    "[bridge rootport]\n"
    "bus = 0\ndevice = 0x1c\nfunction = 0\nsecondary = 1\n"
    "[bridge controller]\n"
    "parent = rootport\ndevice = 0\nfunction = 0\nsecondary = 5\n"
    "vendor_id = 0x104C\ndevice_id = 0x8231\n"
    "subsystem_vendor_id = 0x1F3C\nsubsystem_id = 0x5A21\n"
    "attr.0x20000300 = 7\n"
    "[bridge silent]\n"
    "parent = rootport\ndevice = 1\nfunction = 0\n";

constexpr uint32_t kControllerRef = 0x1001;
constexpr uint32_t kSilentRef = 0x1002;

class ControllerDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    JsonStatus l_Status;
    m_pWrapper.reset(new cPciBrdWrapper_sc(l_Status));
    m_pWrapper->OpenSession(0, l_Status);
    ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
  }

  static boost::shared_ptr<sCommonDeviceInfo> info(const char* a_pSlotPath, uint8_t a_Bus = 9) {
    boost::shared_ptr<sCommonDeviceInfo> l_Info = boost::make_shared<sCommonDeviceInfo>();
    l_Info->m_Bus = a_Bus;
    Status l_Status;
    l_Info->m_SlotPaths.push_back(cSlotPath(a_pSlotPath, l_Status));
    return l_Info;
  }

  static uint32_t u32(iZelDevice& a_rDevice, uint32_t a_Id) {
    Status l_Status;
    uint32_t l_Value = 0xDEADBEEF;
    a_rDevice.getU32Attribute(a_Id, &l_Value, l_Status);
    EXPECT_EQ(l_Status.code, qvstatus::kSuccess) << std::hex << a_Id;
    return l_Value;
  }

  static std::string text(iZelDevice& a_rDevice, uint32_t a_Id) {
    Status l_Status;
    const char* l_pValue = "<none>";
    a_rDevice.getStringAttribute(a_Id, &l_pValue, l_Status);
    EXPECT_EQ(l_Status.code, qvstatus::kSuccess) << std::hex << a_Id;
    return l_pValue;
  }

  static int64_t failureOf(iZelDevice& a_rDevice, uint32_t a_Id) {
    Status l_Status;
    uint32_t l_Value = 0xDEADBEEF;
    a_rDevice.getU32Attribute(a_Id, &l_Value, l_Status);
    EXPECT_EQ(l_Value, 0xDEADBEEFu);
    return l_Status.code;
  }

  qvztest::cSimSystem m_System{kSystem};
  std::unique_ptr<cPciBrdWrapper_sc> m_pWrapper;
};

}  // namespace

TEST_F(ControllerDevice, FromModelRowReadsItsBridge) {
  Status l_Status;
  cPxi1ZelControllerDevice l_Device(m_pWrapper.get(), &g_ModelTable[0], info("MR00:00,E0"),
                                    l_Status);
  ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_DEVICE_CLASS), 1u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_CONTROLLER_TYPE), 2u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_CONTROLLER_PORT), 7u);
  // The bridge's own bus, not the bus in the info record.
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS), 1u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS + 0xF), 1u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_IS_INTEGRATED), 1u);
  // Handed over to the base.
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_VENDOR_ID), 0x1F3Cu);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PRODUCT_ID + 2), 0x5A21u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PCI_BUS), 9u);
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_VENDOR_NAME), "Quovex");
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_MODEL_NAME), "QV PXI-2250 Integrated ZEL Express");
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_SLOT_PATH), "MR00:00,E0");

  cPxi1ZelControllerDevice l_Other(m_pWrapper.get(), &g_ModelTable[2], info("MR00:00,E0"),
                                   l_Status);
  EXPECT_EQ(u32(l_Other, QVZEL_ATTR_IS_INTEGRATED), 0u);
  EXPECT_EQ(text(l_Other, QVZEL_ATTR_MODEL_NAME), "QV PXI-4120");
}

TEST_F(ControllerDevice, FromControllerFileReportsItsTexts) {
  Status l_Status;
  cPxi1ZelControllerDevice l_Device(m_pWrapper.get(), info("MR00:00,E0", 4), "Acme Chassis",
                                    "Link 9", kControllerRef, l_Status);
  ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_VENDOR_NAME), "Acme Chassis");
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_MODEL_NAME), "Link 9");
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_CONTROLLER_PORT), 7u);
  // The bus in the info record is the bridge's bus for a controller file entry.
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS), 4u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_IS_INTEGRATED), 0u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_VENDOR_ID), 0u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PRODUCT_ID), 0u);

  // Without a vendor text the base's vendor name stands; without a model text
  // there is no model name to give.
  cPxi1ZelControllerDevice l_Bare(m_pWrapper.get(), info("MR00:00,E0"), "", "", kControllerRef,
                                  l_Status);
  EXPECT_EQ(text(l_Bare, QVZEL_ATTR_VENDOR_NAME), "Quovex");
  Status l_NameStatus;
  const char* l_pName = "untouched";
  l_Bare.getStringAttribute(QVZEL_ATTR_MODEL_NAME, &l_pName, l_NameStatus);
  EXPECT_EQ(l_NameStatus.code, qvstatus::kInvalidParameter);
  EXPECT_STREQ(l_pName, "untouched");
}

TEST_F(ControllerDevice, UnknownIdentifiersGoToTheBase) {
  Status l_Status;
  cPxi1ZelControllerDevice l_Device(m_pWrapper.get(), &g_ModelTable[3], info("MR00:00,E0"),
                                    l_Status);
  for (uint32_t l_Id : {0x10002u, 0xF000F040u, 0x1F050u, 0x2u}) {
    EXPECT_EQ(failureOf(l_Device, l_Id), qvstatus::kInvalidParameter) << std::hex << l_Id;
  }
}

TEST_F(ControllerDevice, BridgeFailuresLandInTheCallersStatus) {
  {
    // No bridge at the slot path: the look-up's failure is the first and stays.
    Status l_Status;
    cPxi1ZelControllerDevice l_Device(m_pWrapper.get(), &g_ModelTable[0], info("MR00:18,E0"),
                                      l_Status);
    EXPECT_EQ(l_Status.code, QVPCIBRD_ERR_NOT_FOUND);
  }
  {
    // A bridge that does not serve the port value leaves the controller
    // without it: construction succeeds, the read answers not supported.
    Status l_Status;
    cPxi1ZelControllerDevice l_Device(m_pWrapper.get(), info("MR00:08,E0"), "V", "M", kSilentRef,
                                      l_Status);
    EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
    EXPECT_EQ(failureOf(l_Device, QVZEL_ATTR_CONTROLLER_PORT), qvstatus::kNotSupported);
  }
  {
    // An unserved value costs nothing, not even a warning held before it.
    Status l_Status;
    l_Status.set(5, "caller", "caller.cpp", 1);
    cPxi1ZelControllerDevice l_Device(m_pWrapper.get(), info("MR00:08,E0"), "V", "M", kSilentRef,
                                      l_Status);
    EXPECT_EQ(l_Status.code, 5);
  }
}

TEST_F(ControllerDevice, FailedStatusMakesNoBridgeCall) {
  qvztest::cSimProbe l_Probe;
  ASSERT_TRUE(l_Probe.ready());
  l_Probe.resetCalls();
  Status l_Status;
  QVZ_SET_STATUS(l_Status, qvstatus::kNotFound);
  cPxi1ZelControllerDevice l_FromRow(m_pWrapper.get(), &g_ModelTable[0], info("MR00:00,E0"),
                                     l_Status);
  cPxi1ZelControllerDevice l_FromFile(m_pWrapper.get(), info("MR00:00,E0"), "V", "M",
                                      kControllerRef, l_Status);
  EXPECT_EQ(l_Probe.calls("FindBridgeBySlotPath"), 0u);
  EXPECT_EQ(l_Probe.calls("GetAttributeU32"), 0u);
  EXPECT_EQ(l_Status.code, qvstatus::kNotFound);
  // Nothing was read, so both report 0 for their bridge values.
  EXPECT_EQ(u32(l_FromRow, QVZEL_ATTR_CONTROLLER_PORT), 0u);
  EXPECT_EQ(u32(l_FromRow, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS), 0u);
  EXPECT_EQ(u32(l_FromFile, QVZEL_ATTR_CONTROLLER_PORT), 0u);
}

TEST_F(ControllerDevice, IdselMap) {
  for (size_t l_Entry = 0; l_Entry <= 16; ++l_Entry) EXPECT_EQ(kIdselMap[l_Entry], 0xFF) << l_Entry;
  for (size_t l_Entry = 17; l_Entry < kIdselMapSize; ++l_Entry) {
    EXPECT_EQ(kIdselMap[l_Entry], l_Entry - 16) << l_Entry;
  }
  EXPECT_EQ(kIdselMapSize, 32u);

  Status l_Status;
  cPxi1ZelControllerDevice l_First(m_pWrapper.get(), &g_ModelTable[0], info("MR00:00,E0"),
                                   l_Status);
  cPxi1ZelControllerDevice l_Second(m_pWrapper.get(), info("MR00:00,E0"), "V", "M", kControllerRef,
                                    l_Status);
  const uint8_t* l_pFirst = nullptr;
  const uint8_t* l_pSecond = nullptr;
  l_First.getIDSELMap(&l_pFirst, l_Status);
  l_Second.getIDSELMap(&l_pSecond, l_Status);
  EXPECT_EQ(l_pFirst, kIdselMap);
  EXPECT_EQ(l_pSecond, kIdselMap);

  Status l_Failed;
  QVZ_SET_STATUS(l_Failed, qvstatus::kInternal);
  const uint8_t* l_pUntouched = nullptr;
  l_First.getIDSELMap(&l_pUntouched, l_Failed);
  EXPECT_EQ(l_pUntouched, nullptr);
  EXPECT_EQ(l_Failed.code, qvstatus::kInternal);
}
