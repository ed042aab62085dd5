// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: reading the kernel driver's property files of any content
// (bus properties, the serial number, the interface path), and entries whose
// files are missing. The target runs in a private mount namespace with a
// tmpfs over /proc/driver, so it never sees or touches a real driver.
//
// Input: the contents of the files, separated by "@@", in this order:
// serialNumber, interfacePath, pciBusNumber, pciVendorID. A missing piece
// means the file does not exist.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "driver/tDeviceInterfaceIterator.h"
#include "fuzzCheck.h"

using namespace nQVZEL_15_0::nQVKORA000;

namespace {

const char kClass[] = "nQVZEL_1_0_Cyclone4UpstreamZEL";
const std::string kDevice = "/proc/driver/qv/dev0";
// A second device whose files have all vanished after the directory walk.
const std::string kVanished = "/proc/driver/qv/dev1";
constexpr int kSkipped = 77;

bool writeText(const std::string& a_rPath, const std::string& a_rText) {
  const int l_Fd = ::open(a_rPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (l_Fd == -1) return false;
  const bool l_Ok = a_rText.empty() || ::write(l_Fd, a_rText.data(), a_rText.size()) ==
                                           static_cast<ssize_t>(a_rText.size());
  ::close(l_Fd);
  return l_Ok;
}

// Writes the file, or removes it when the input has no such piece.
void placeFile(const std::string& a_rPath, const std::vector<std::string>& a_rPieces,
               size_t a_Index) {
  if (a_Index < a_rPieces.size()) {
    FUZZ_CHECK(writeText(a_rPath, a_rPieces[a_Index]));
  } else {
    ::unlink(a_rPath.c_str());
  }
}

bool makeTree() {
  for (const std::string& l_rDevice : {kDevice, kVanished}) {
    for (const std::string& l_rDir :
         {std::string("/proc/driver/qv"), l_rDevice, l_rDevice + "/busProperties",
          l_rDevice + "/deviceProperties", l_rDevice + "/deviceInterfaces",
          l_rDevice + "/deviceInterfaces/" + kClass + "\\0"}) {
      if (::mkdir(l_rDir.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

std::vector<std::string> splitPieces(const uint8_t* a_pData, size_t a_Size) {
  std::vector<std::string> l_Pieces;
  std::string l_Rest(reinterpret_cast<const char*>(a_pData), a_Size);
  for (;;) {
    const size_t l_At = l_Rest.find("@@");
    l_Pieces.push_back(l_Rest.substr(0, l_At));
    if (l_At == std::string::npos) break;
    l_Rest.erase(0, l_At + 2);
  }
  return l_Pieces;
}

// Serial number as discovery reads it: probe the size, then read that much
// and keep the text up to its first NUL.
void checkSerialNumber(tDeviceInterfaceIterator& a_rIterator, const std::string* a_pContent) {
  Status l_Probe;
  size_t l_Size = 0;
  a_rIterator.readDeviceProperty("serialNumber", nullptr, 0, &l_Size, l_Probe);
  if (a_pContent == nullptr) {
    FUZZ_CHECK(l_Probe.code == qvstatus::kNotFound);
    return;
  }
  FUZZ_CHECK(l_Probe.code == qvstatus::kBufferTooSmall);
  const size_t l_Expected = std::min(a_pContent->size(), size_t{4096});
  FUZZ_CHECK(l_Size == l_Expected);
  if (l_Size == 0) return;

  std::unique_ptr<char[]> l_Buffer(new char[l_Size]);
  Status l_Read;
  size_t l_Count = 0;
  a_rIterator.readDeviceProperty("serialNumber", l_Buffer.get(), l_Size, &l_Count, l_Read);
  FUZZ_CHECK(l_Read.isNotFatal() && l_Count == l_Size);
  const std::string l_Serial(l_Buffer.get(), strnlen(l_Buffer.get(), l_Count));
  FUZZ_CHECK(a_pContent->compare(0, l_Serial.size(), l_Serial) == 0);
}

void checkBusProperty(tDeviceInterfaceIterator& a_rIterator, const char* a_pName,
                      const std::string* a_pContent) {
  Status l_Status;
  uint32_t l_Value = 0;
  size_t l_Count = 0;
  a_rIterator.readBusProperty(a_pName, &l_Value, sizeof(l_Value), &l_Count, l_Status);
  if (a_pContent == nullptr) {
    FUZZ_CHECK(l_Status.code == qvstatus::kNotFound);
  } else if (a_pContent->size() <= sizeof(l_Value)) {
    FUZZ_CHECK(l_Status.isNotFatal() && l_Count == a_pContent->size());
    FUZZ_CHECK(std::memcmp(&l_Value, a_pContent->data(), l_Count) == 0);
  } else {
    // Too large: only the size is reported, the value stays untouched.
    FUZZ_CHECK(l_Status.code == qvstatus::kBufferTooSmall && l_Value == 0);
    FUZZ_CHECK(l_Count == std::min(a_pContent->size(), size_t{4096}));
  }
}

void checkInterfacePath(tDeviceInterfaceIterator& a_rIterator, const std::string* a_pContent) {
  Status l_Status;
  sInterfacePath l_Path;
  std::memset(&l_Path, 0x5A, sizeof(l_Path));
  a_rIterator.readInterfacePath(&l_Path, l_Status);
  if (a_pContent == nullptr) {
    FUZZ_CHECK(l_Status.code == qvstatus::kNotFound);
  } else if (a_pContent->size() <= sInterfacePath::kMaxPathLength) {
    FUZZ_CHECK(l_Status.isNotFatal() && l_Path.m_Length == a_pContent->size() + 1);
    FUZZ_CHECK(std::memcmp(l_Path.m_Path, a_pContent->data(), a_pContent->size()) == 0);
    FUZZ_CHECK(l_Path.m_Path[a_pContent->size()] == '\0');
  } else {
    FUZZ_CHECK(l_Status.code == qvstatus::kBufferTooSmall);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A private mount namespace: the tmpfs below is seen by this process only.
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("qvzfuzz", "/proc/driver", "tmpfs", 0, "size=16m,mode=0755") != 0 || !makeTree()) {
    std::fprintf(stderr, "fuzz_driver_properties: no private /proc/driver (needs root); skipped\n");
    std::exit(kSkipped);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  if (a_Size > 16384) return 0;
  const std::vector<std::string> l_Pieces = splitPieces(a_pData, a_Size);
  const std::string l_Interface = kDevice + "/deviceInterfaces/" + kClass + "\\0";
  placeFile(kDevice + "/deviceProperties/serialNumber", l_Pieces, 0);
  placeFile(l_Interface + "/interfacePath", l_Pieces, 1);
  placeFile(kDevice + "/busProperties/pciBusNumber", l_Pieces, 2);
  placeFile(kDevice + "/busProperties/pciVendorID", l_Pieces, 3);
  auto content = [&](size_t a_Index) {
    return a_Index < l_Pieces.size() ? &l_Pieces[a_Index] : nullptr;
  };

  Status l_Status;
  tDeviceInterfaceIterator l_Iterator;
  l_Iterator.startIteration(kClass, l_Status);
  FUZZ_CHECK(l_Status.isNotFatal());
  // Both devices are visited, in path order; the second has no files.
  for (int l_Device = 0; l_Device < 2; ++l_Device) {
    FUZZ_CHECK(!l_Iterator.atEnd());
    const bool l_Present = l_Device == 0;
    checkBusProperty(l_Iterator, "pciBusNumber", l_Present ? content(2) : nullptr);
    checkBusProperty(l_Iterator, "pciVendorID", l_Present ? content(3) : nullptr);
    checkSerialNumber(l_Iterator, l_Present ? content(0) : nullptr);
    checkInterfacePath(l_Iterator, l_Present ? content(1) : nullptr);
    l_Iterator.advance();
  }
  FUZZ_CHECK(l_Iterator.atEnd());
  l_Iterator.endIteration();
  return 0;
}
