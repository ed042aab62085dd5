// SPDX-License-Identifier: LGPL-2.1-or-later
// qvsim_probe: a small program run under qvsim-run by the runner's tests. It
// finds the first Cyclone IV upstream interface, reads one attribute and
// writes a four-byte firmware image through the library's register proxy.
//   qvsim_probe ATTRIBUTE EXPECTED   -> exit 0 when both requests succeed and
//                                       the attribute has the expected value
#include "device/tInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "driver/tDeviceInterfaceIterator.h"

#include <cstdio>
#include <cstdlib>

int main(int a_Argc, char** a_ppArgv) {
  using namespace nQVZEL_15_0;
  if (a_Argc != 3) return 2;
  const uint32_t l_Id = static_cast<uint32_t>(std::strtoul(a_ppArgv[1], nullptr, 0));
  const uint32_t l_Expected = static_cast<uint32_t>(std::strtoul(a_ppArgv[2], nullptr, 0));

  Status l_Status;
  nQVKORA000::tDeviceInterfaceIterator l_Iterator;
  l_Iterator.startIteration("nQVZEL_1_0_Cyclone4UpstreamZEL", l_Status);
  if (l_Iterator.atEnd()) {
    std::fprintf(stderr, "probe: no interface\n");
    return 1;
  }
  nQVKORA000::sInterfacePath l_Path;
  l_Iterator.readInterfacePath(&l_Path, l_Status);
  tInterfaceProxy_Cyclone4UpstreamZEL l_Proxy;
  l_Proxy.open(l_Path, l_Status);
  uint32_t l_Value = 0;
  uint32_t l_Size = sizeof(l_Value);
  l_Proxy.getAttribute(l_Id, &l_Value, &l_Size, l_Status);
  const uint8_t l_Image[] = {1, 2, 3, 4};
  l_Proxy.updateFirmware(l_Image, sizeof(l_Image), 0, 0, 0x20, l_Status);
  std::printf("status %lld value 0x%X\n", static_cast<long long>(l_Status.code), l_Value);
  return (l_Status.code == 0 && l_Value == l_Expected) ? 0 : 1;
}
