// SPDX-License-Identifier: LGPL-2.1-or-later
#include "device/sModelEntry.h"

namespace nQVZEL_15_0 {

namespace {

constexpr const char* kSingleSlotPattern = "-,f2";
constexpr const char* kIdtSlotPattern = "f0,d4f0";
constexpr const char* kIdtInterface = "nQVZEL_1_0_IdtUpstreamZEL";

}  // namespace

// Constant-initialised: the table is complete before any code of the library
// runs and is never written afterwards.
// clang-format off
const sModelEntry g_ModelTable[kModelTableRowCount] = {
    // Controllers found by PCI IDs or through their driver interfaces.
    {"QV PXI-2250 Integrated ZEL Express", kModelKindPxi1Controller,
     "", 1, 1, 0x104C, 0x8231, 0x1F3C, 0x5A21, nullptr, 0,
     1, {"1", nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 0},
    {"QV PXI-4120", kModelKindPxi1Controller,
     "", 0, 0, 0x1F3C, 0x5A02, 0, 0, "nQVZEL_1_0_Pxi4120", 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {kSingleSlotPattern, nullptr, nullptr, nullptr}, 0},
    {"QV PXI-4120", kModelKindPxi1Controller,
     "", 0, 1, 0x104C, 0x8231, 0x1F3C, 0x5A02, nullptr, 0,
     1, {"1", nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 0},
    {"QV PXI-4125", kModelKindPxi1Controller,
     "", 0, 1, 0x12D8, 0xE112, 0x1F3C, 0x4125, nullptr, 0,
     1, {"1", nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 0},
    {"QV PXI-4130", kModelKindPxi1Controller,
     "", 0, 1, 0x12D8, 0xE112, 0x1F3C, 0x4130, nullptr, 0,
     1, {"1", nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 0},
    {"QV PXI-4135", kModelKindPxi1Controller,
     "", 0, 0, 0x1F3C, 0x5A08, 0, 0, "nQVZEL_1_0_Pxi4135", 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {kSingleSlotPattern, nullptr, nullptr, nullptr}, 0},
    {"PXI-ZEL-7", kModelKindController,
     "", 0, 0, 0x1F3C, 0x5A04, 0, 0, "nQVZEL_1_0_Zel7Device", 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {"f0", nullptr, nullptr, nullptr}, 0},
    // Upstream link devices found by PCI IDs.
    {"QV PXI-4140", kModelKindUpstreamByPciIds,
     "", 0, 1, 0x12D8, 0xE111, 0x1F3C, 0x4140, nullptr, 0,
     1, {"1", nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 1},
    {"QV PXI-4145", kModelKindUpstreamByPciIds,
     "", 0, 1, 0x12D8, 0xE111, 0x1F3C, 0x4145, nullptr, 0,
     1, {"1", nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 1},
    // Upstream link devices found through the driver's device interfaces.
    {"QV PXIe-6510", kModelKindUpstreamByInterface,
     "410517-01", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A10, kIdtInterface, 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {kIdtSlotPattern, nullptr, nullptr, nullptr}, 1},
    {"QV PXIe-6520", kModelKindUpstreamByInterface,
     "410518-04", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A11, kIdtInterface, 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {kIdtSlotPattern, nullptr, nullptr, nullptr}, 1},
    {"QV PXIe-6530mc ZEL Mode", kModelKindUpstreamByInterface,
     "", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A12, kIdtInterface, 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {kIdtSlotPattern, nullptr, nullptr, nullptr}, 1},
    {"QV PXIe-6540", kModelKindUpstreamByInterface,
     "410612-01", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A13, kIdtInterface, 0,
     1, {"1", nullptr, nullptr, nullptr}, 1, {kIdtSlotPattern, nullptr, nullptr, nullptr}, 1},
    {"QV PXIe-6550", kModelKindUpstreamByInterface,
     "410733-01", 0, 0, 0x1F3C, 0x5A30, 0x1F3C, 0x5A31,
     kUpstreamInterfaceClass, 4, 4, {"1", "2", "3", "4"},
     4, {"-,-,d0f0", "-,-,d1f0", "-,-,d2f0", "-,-,d3f0"}, 3},
    // Terminating row: walked like the others (a PCI ID search for IDs 0).
    {nullptr, kModelKindController,
     nullptr, 0, 1, 0, 0, 0, 0, nullptr, 0,
     0, {nullptr, nullptr, nullptr, nullptr}, 0, {nullptr, nullptr, nullptr, nullptr}, 0},
};  // clang-format on

}  // namespace nQVZEL_15_0
