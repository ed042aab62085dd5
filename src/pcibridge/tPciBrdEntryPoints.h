// SPDX-License-Identifier: LGPL-2.1-or-later
// The entry points of the PCI bridge library libqvpcibrd.so.1 as this
// library binds them. The library is loaded at run time and never linked;
// every pointer type here is taken from the declaration in qvpcibrd.h, so a
// binding that disagrees with the bridge library's interface does not
// compile.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qvpcibrd.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

// Session handle; kNoSession when none is open.
typedef tQvPciBrdSession tPciBrdSession;
constexpr tPciBrdSession kNoSession = QVPCIBRD_NO_SESSION;
// Handle of one bridge, given by the PCI bridge library.
typedef tQvPciBrdBridgeRef tPciBrdBridgeRef;

// The bridge library's codes that this library acts on reach callers under
// the public names of qvzelif.h.
static_assert(qvstatus::kPciBrdBufferTooSmall == QVPCIBRD_ERR_BUFFER_TOO_SMALL, "buffer too small");
static_assert(qvstatus::kPciBrdAttrNotServed == QVPCIBRD_ERR_ATTR_NOT_SERVED,
              "attribute not served");

// One slot per entry point, in binding order.
enum class ePciBrdEntryPoint : size_t {
#define QVZ_PCIBRD_SLOT(a_Name) k##a_Name,
  QVPCIBRD_ENTRY_POINTS(QVZ_PCIBRD_SLOT)
#undef QVZ_PCIBRD_SLOT
      kCount
};
constexpr size_t kPciBrdEntryPointCount = static_cast<size_t>(ePciBrdEntryPoint::kCount);

// Each entry point's pointer type, tQvPciBrd_<name>, also found from its
// slot as sPciBrdEntryPoint<ePciBrdEntryPoint::k<name>>::tPointer.
template <ePciBrdEntryPoint a_Slot>
struct sPciBrdEntryPoint;
#define QVZ_PCIBRD_TYPE(a_Name)                              \
  typedef decltype(&::QvPciBrd_##a_Name) tQvPciBrd_##a_Name; \
  template <>                                                \
  struct sPciBrdEntryPoint<ePciBrdEntryPoint::k##a_Name> {   \
    typedef tQvPciBrd_##a_Name tPointer;                     \
  };
QVPCIBRD_ENTRY_POINTS(QVZ_PCIBRD_TYPE)
#undef QVZ_PCIBRD_TYPE

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
