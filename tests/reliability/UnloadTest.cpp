// SPDX-License-Identifier: LGPL-2.1-or-later
// Unloading the library (dlclose) with lists and device sessions still open
// gives back their driver files, bridge sessions and memory. The program
// does not link the library: it loads it with dlopen, opens lists and the
// card on the usual simulated machine, and unloads it again, many times.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <string>

#include "OpenFiles.h"
#include "qvsimGtest.h"
#include "qvzelif.h"

#ifndef QVZ_UNLOAD_LIBRARY
#error "the build names the library to load"
#endif
#ifndef QVZ_UNLOAD_SYSTEM
#error "the build names the simulated system"
#endif

namespace {

constexpr int kWarmUpCycles = 5;
constexpr int kCycles = 30;
constexpr size_t kNoiseBytesPerCycle = 256;

using nQvzTest::openFileCount;

size_t heapInUse() { return mallinfo2().uordblks; }

template <typename tFunction>
tFunction entry(void* a_pLibrary, const char* a_pName) {
  return reinterpret_cast<tFunction>(dlsym(a_pLibrary, a_pName));
}

// Loads the library, leaves two lists and a device session open, unloads
// it; true when the library's code really left the process.
bool cycle(std::string& a_rWhy) {
  void* l_pLibrary = dlopen(QVZ_UNLOAD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (l_pLibrary == nullptr) {
    a_rWhy = dlerror();
    return false;
  }
  const auto l_pOpenList =
      entry<decltype(&nQVPXIFINDER100_openList)>(l_pLibrary, "nQVPXIFINDER100_openList");
  const auto l_pGetNthItem =
      entry<decltype(&nQVPXIFINDER100_getNthItem)>(l_pLibrary, "nQVPXIFINDER100_getNthItem");
  const auto l_pGetU32 = entry<decltype(&nQVPXIFINDER100_getU32Attribute)>(
      l_pLibrary, "nQVPXIFINDER100_getU32Attribute");
  const auto l_pOpenDevice =
      entry<decltype(&nQVPXIKTFINDER100_openDevice)>(l_pLibrary, "nQVPXIKTFINDER100_openDevice");
  bool l_Opened = false;
  for (int l_List = 0; l_List < 2; ++l_List) {
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    if (l_pOpenList(&l_Count, &l_pList) != 0 || l_Count == 0) {
      a_rWhy = "no list";
      break;
    }
    for (uint32_t l_Index = 0; l_Index < l_Count; ++l_Index) {
      void* l_pItem = nullptr;
      uint32_t l_Class = 0;
      if (l_pGetNthItem(l_pList, l_Index, &l_pItem) == 0 &&
          l_pGetU32(l_pItem, QVZEL_ATTR_DEVICE_CLASS, &l_Class) == 0 &&
          l_Class == QVZEL_DEVICE_CLASS_UPSTREAM && l_pOpenDevice(l_pItem) == 0) {
        l_Opened = true;
      }
    }
  }
  if (!l_Opened && a_rWhy.empty()) a_rWhy = "the card did not open";
  dlclose(l_pLibrary);
  void* l_pStill = dlopen(QVZ_UNLOAD_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  if (l_pStill != nullptr) {
    dlclose(l_pStill);
    a_rWhy = "the library stayed loaded";
    return false;
  }
  return a_rWhy.empty();
}

TEST(Unload, OpenListsAndDeviceSessionsAreReleased) {
  QVSIM_ENTER_OR_SKIP();
  std::string l_Error;
  ASSERT_TRUE(nQvDriverSim_1_0::loadSystemFile(QVZ_UNLOAD_SYSTEM, l_Error)) << l_Error;
  // The first cycles leave what the loader and the C library keep for good.
  std::string l_Why;
  for (int l_Cycle = 0; l_Cycle < kWarmUpCycles; ++l_Cycle) ASSERT_TRUE(cycle(l_Why)) << l_Why;
  const int l_Files = openFileCount();
  const size_t l_Heap = heapInUse();
  for (int l_Cycle = 0; l_Cycle < kCycles; ++l_Cycle) ASSERT_TRUE(cycle(l_Why)) << l_Why;
  EXPECT_EQ(l_Files, openFileCount()) << "descriptors after " << kCycles << " cycles";
  // Without the address sanitizer's allocator the heap shows what stayed.
  // The loader keeps a few hundred bytes more now and then; two lists with
  // a device session each hold over ten kilobytes.
  if (l_Heap != 0) {
    EXPECT_LT(heapInUse(), l_Heap + kNoiseBytesPerCycle * kCycles)
        << "heap bytes after " << kCycles << " cycles, from " << l_Heap;
  }
}

}  // namespace
