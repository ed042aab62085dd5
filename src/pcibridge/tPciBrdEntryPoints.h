// The entry points of the PCI bridge library libqvpcibrd.so.1 as this
// library calls them. The library is loaded at run time and never linked.
#pragma once

#include <cstdint>

namespace nQVZEL_15_0 {
namespace nQvPciBrdWrapper_15_0 {

// Session handle; kNoSession when none is open.
typedef int32_t tPciBrdSession;
constexpr tPciBrdSession kNoSession = -1;
// Handle of one bridge, given by the PCI bridge library.
typedef uint32_t tPciBrdBridgeRef;

extern "C" {
typedef int32_t (*tQvPciBrd_OpenSession)(uint32_t a_Flags, tPciBrdSession* a_pSession);
typedef int32_t (*tQvPciBrd_CloseSession)(tPciBrdSession a_Session);
typedef int32_t (*tQvPciBrd_FindBridgesByPciIds)(tPciBrdSession a_Session,
                                                 const uint16_t* a_pVendorId,
                                                 const uint16_t* a_pDeviceId,
                                                 const uint16_t* a_pSubsystemVendorId,
                                                 const uint16_t* a_pSubsystemId,
                                                 tPciBrdBridgeRef* a_pBridges, uint32_t* a_pCount);
typedef int32_t (*tQvPciBrd_FindBridgeByAddress)(tPciBrdSession a_Session, uint8_t a_Bus,
                                                 uint8_t a_Device, uint8_t a_Function,
                                                 tPciBrdBridgeRef* a_pBridge);
typedef int32_t (*tQvPciBrd_FindBridgeBySlotPath)(tPciBrdSession a_Session, const char* a_pSlotPath,
                                                  tPciBrdBridgeRef* a_pBridge);
typedef int32_t (*tQvPciBrd_FindParentBridgeForBus)(tPciBrdSession a_Session, uint8_t a_Bus,
                                                    tPciBrdBridgeRef* a_pBridge);
typedef int32_t (*tQvPciBrd_GetBridgeParent)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Child,
                                             tPciBrdBridgeRef* a_pParent);
typedef int32_t (*tQvPciBrd_GetBridgeChildren)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Parent,
                                               tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount);
typedef int32_t (*tQvPciBrd_GetBusChildren)(tPciBrdSession a_Session, uint8_t a_Bus,
                                            tPciBrdBridgeRef* a_pChildren, uint32_t* a_pCount);
typedef int32_t (*tQvPciBrd_GetRootBuses)(tPciBrdSession a_Session, uint32_t* a_pBuses,
                                          uint32_t* a_pCount);
typedef int32_t (*tQvPciBrd_GetBridgeAddress)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                              uint8_t* a_pBus, uint8_t* a_pDevice,
                                              uint8_t* a_pFunction);
typedef int32_t (*tQvPciBrd_GetBridgeSlotPath)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                               char* a_pBuffer, uint32_t* a_pSize);
typedef int32_t (*tQvPciBrd_GetBridgeIds)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                          uint16_t* a_pVendorId, uint16_t* a_pDeviceId,
                                          uint16_t* a_pSubsystemVendorId, uint16_t* a_pSubsystemId);
typedef int32_t (*tQvPciBrd_SetAttributeU32)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                             uint32_t a_AttributeId, uint32_t a_Value);
typedef int32_t (*tQvPciBrd_GetAttributeU32)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                             uint32_t a_AttributeId, uint32_t* a_pValue);
typedef int32_t (*tQvPciBrd_OpenBridge)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge);
typedef int32_t (*tQvPciBrd_CloseBridge)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge);
typedef int32_t (*tQvPciBrd_EepromUpdate)(tPciBrdSession a_Session, tPciBrdBridgeRef a_Bridge,
                                          uint16_t a_VendorId, uint16_t a_DeviceId,
                                          uint32_t a_AlwaysOverwrite, uint32_t a_UpdateMethod,
                                          uint32_t a_ByteCount, const uint8_t* a_pImage);
}

}  // namespace nQvPciBrdWrapper_15_0
}  // namespace nQVZEL_15_0
