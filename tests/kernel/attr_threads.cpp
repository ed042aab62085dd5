// SPDX-License-Identifier: LGPL-2.1-or-later
// Many threads reading a card's attributes while the card is updated, for
// the kernel tests:
//
//   qvk_attr_threads SERIAL THREADS STOP_FILE
//
// Each thread opens its own list again and again, finds the card with serial
// number SERIAL, opens its device session and reads its firmware version,
// flash ID, subsystem ID and the two driver attributes, until STOP_FILE
// exists. Every read must succeed
// and the flash ID and subsystem ID must never change; the firmware version
// may. Prints "reads N failures M" and exits 0 only when M is 0 and every
// thread read at least once.
#include <qvzelif.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

std::atomic<uint64_t> g_Reads{0};
std::atomic<uint64_t> g_Failures{0};

void fail(const char* a_pWhat, int32_t a_Code) {
  if (g_Failures.fetch_add(1) < 5) {
    std::fprintf(stderr, "qvk_attr_threads: %s: %d\n", a_pWhat, a_Code);
  }
}

void readLoop(const char* a_pSerial, const char* a_pStopFile, bool* a_pReadOnce) {
  uint32_t l_FlashId = 0, l_Subsystem = 0;
  bool l_First = true;
  while (access(a_pStopFile, F_OK) != 0) {
    uint32_t l_Count = 0;
    void* l_pList = nullptr;
    int32_t l_Code = nQVPXIFINDER100_openList(&l_Count, &l_pList);
    if (l_Code != 0) {
      fail("openList", l_Code);
      continue;
    }
    bool l_Found = false;
    for (uint32_t l_Index = 0; l_Index < l_Count; ++l_Index) {
      void* l_pItem = nullptr;
      const char* l_pText = nullptr;
      if (nQVPXIFINDER100_getNthItem(l_pList, l_Index, &l_pItem) != 0 ||
          nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_SERIAL_NUMBER, &l_pText) != 0 ||
          std::strcmp(l_pText, a_pSerial) != 0) {
        continue;
      }
      l_Found = true;
      // The driver's values answer only inside a device session.
      l_Code = nQVPXIKTFINDER100_openDevice(l_pItem);
      if (l_Code != 0) {
        fail("openDevice", l_Code);
        continue;
      }
      uint32_t l_Values[5] = {};
      const uint32_t l_Ids[5] = {QVZEL_ATTR_FLASH_ID, QVZEL_ATTR_CARD_SUBSYSTEM_ID,
                                 QVZEL_ATTR_FIRMWARE_VERSION, QVZEL_ATTR_DRIVER_E0,
                                 QVZEL_ATTR_DRIVER_F0};
      for (int l_Attr = 0; l_Attr < 5; ++l_Attr) {
        l_Code = nQVPXIFINDER100_getU32Attribute(l_pItem, l_Ids[l_Attr], &l_Values[l_Attr]);
        if (l_Code != 0) {
          fail("getU32Attribute", l_Code);
        }
      }
      if (l_First) {
        l_FlashId = l_Values[0];
        l_Subsystem = l_Values[1];
        l_First = false;
      } else if (l_Values[0] != l_FlashId || l_Values[1] != l_Subsystem) {
        fail("flash ID or subsystem ID changed", 0);
      }
      nQVPXIKTFINDER100_closeDevice(l_pItem);
      g_Reads.fetch_add(1);
      *a_pReadOnce = true;
    }
    if (!l_Found) {
      fail("card not found", 0);
    }
    nQVPXIFINDER100_closeList(l_pList);
  }
}

}  // namespace

int main(int a_Argc, char** a_pArgv) {
  if (a_Argc != 4) {
    std::fprintf(stderr, "usage: qvk_attr_threads SERIAL THREADS STOP_FILE\n");
    return 2;
  }
  const int l_Threads = std::atoi(a_pArgv[2]);
  std::vector<std::thread> l_Workers;
  std::unique_ptr<bool[]> l_pReadOnce(new bool[l_Threads]());
  for (int l_Index = 0; l_Index < l_Threads; ++l_Index) {
    l_Workers.emplace_back(readLoop, a_pArgv[1], a_pArgv[3], &l_pReadOnce[l_Index]);
  }
  for (auto& l_rWorker : l_Workers) {
    l_rWorker.join();
  }
  bool l_AllRead = true;
  for (int l_Index = 0; l_Index < l_Threads; ++l_Index) {
    l_AllRead = l_AllRead && l_pReadOnce[l_Index];
  }
  std::printf("reads %llu failures %llu\n", static_cast<unsigned long long>(g_Reads.load()),
              static_cast<unsigned long long>(g_Failures.load()));
  return g_Failures.load() == 0 && l_AllRead ? 0 : 1;
}
