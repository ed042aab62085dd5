// SPDX-License-Identifier: LGPL-2.1-or-later
// One device session held open across a change of the hardware, for the
// kernel tests' removal cases:
//
//   qvk_session SERIAL IMAGE [GO_FILE]
//
// Opens a list, finds the upstream card with serial number SERIAL, opens its
// device and prints "open CODE". With GO_FILE it then waits until that file
// exists (the test removes the card meanwhile). It updates the card's
// firmware with IMAGE (forced), reads the card's firmware version and prints
// "update CODE" and "read CODE", then closes everything and prints "closed".
// Codes are the library's status codes; the exit status is 0 whenever the
// session ran to its end, 2 when the card is not found.
#include <qvzelif.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void* findBySerial(void* a_pList, uint32_t a_Count, const char* a_pSerial) {
  for (uint32_t l_Index = 0; l_Index < a_Count; ++l_Index) {
    void* l_pItem = nullptr;
    const char* l_pText = nullptr;
    if (nQVPXIFINDER100_getNthItem(a_pList, l_Index, &l_pItem) == 0 &&
        nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_SERIAL_NUMBER, &l_pText) == 0 &&
        std::strcmp(l_pText, a_pSerial) == 0) {
      return l_pItem;
    }
  }
  return nullptr;
}

}  // namespace

int main(int a_Argc, char** a_pArgv) {
  if (a_Argc < 3 || a_Argc > 4) {
    std::fprintf(stderr, "usage: qvk_session SERIAL IMAGE [GO_FILE]\n");
    return 2;
  }
  std::ifstream l_File(a_pArgv[2], std::ios::binary);
  const std::string l_Image{std::istreambuf_iterator<char>(l_File), {}};
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  nQVPXIFINDER100_openList(&l_Count, &l_pList);
  void* l_pItem = findBySerial(l_pList, l_Count, a_pArgv[1]);
  if (l_pItem == nullptr) {
    std::fprintf(stderr, "qvk_session: no device with serial number %s\n", a_pArgv[1]);
    nQVPXIFINDER100_closeList(l_pList);
    return 2;
  }
  std::printf("open %d\n", nQVPXIKTFINDER100_openDevice(l_pItem));
  std::fflush(stdout);
  if (a_Argc == 4) {
    while (access(a_pArgv[3], F_OK) != 0) {
      usleep(20000);
    }
  }
  std::printf("update %d\n",
              nQVPXIKTFINDER100_updateFirmware(l_pItem, l_Image.data(),
                                               static_cast<uint32_t>(l_Image.size()), 1));
  uint32_t l_Version = 0;
  std::printf("read %d\n",
              nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_FIRMWARE_VERSION, &l_Version));
  nQVPXIKTFINDER100_closeDevice(l_pItem);
  nQVPXIFINDER100_closeList(l_pList);
  std::printf("closed\n");
  return 0;
}
