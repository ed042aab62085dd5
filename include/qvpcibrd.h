// SPDX-License-Identifier: LGPL-2.1-or-later
/* qvpcibrd.h - the interface of the PCI bridge library libqvpcibrd.so.1
 *
 * libqvzelif.so.1 loads libqvpcibrd.so.1 at run time and binds the eighteen
 * entry points declared here by name; it never links against it. A site
 * that writes its own PCI bridge library implements exactly these entry
 * points with these argument lists, protocols and result codes.
 *
 * Every entry point returns a 32-bit result: 0 success, negative error,
 * positive warning. All but QvPciBrd_OpenSession take the session first.
 *
 * List entry points use count-then-fill: pass a null array and a count of 0
 * to learn the number of entries (QVPCIBRD_ERR_BUFFER_TOO_SMALL when there
 * are any), then an array of that many entries with the same count variable.
 * QvPciBrd_GetBridgeSlotPath works the same way with a text buffer and its
 * size in bytes (the terminating NUL included).
 */
#ifndef QVPCIBRD_H
#define QVPCIBRD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QVPCIBRD_EXPORT __attribute__((visibility("default")))
#else
#define QVPCIBRD_EXPORT
#endif

/* ---------------------------------------------------------------------------
 * Result codes
 * ------------------------------------------------------------------------- */

#define QVPCIBRD_SUCCESS 0
/* The caller's array or buffer is too small; the size needed was written. */
#define QVPCIBRD_ERR_BUFFER_TOO_SMALL (-313002)
/* No bridge matches the address, slot path or bus asked for. */
#define QVPCIBRD_ERR_NOT_FOUND (-313003)
/* The bridge does not serve the attribute (callers treat it as absent). */
#define QVPCIBRD_ERR_ATTR_NOT_SERVED (-313004)
/* The session handle is not that of an open session. */
#define QVPCIBRD_ERR_INVALID_SESSION (-313005)
/* A bridge reference, pointer or text argument is not acceptable. */
#define QVPCIBRD_ERR_INVALID_PARAMETER (-313006)
/* The machine could not be read when the session opened (a simulated
 * system's description, the sysfs root directory). */
#define QVPCIBRD_ERR_SYSTEM_DESCRIPTION (-313007)
/* The library does not write to hardware: attribute writes and EEPROM
 * updates are refused. */
#define QVPCIBRD_ERR_READ_ONLY (-313009)

/* ---------------------------------------------------------------------------
 * Bridge attributes (QvPciBrd_GetAttributeU32, QvPciBrd_SetAttributeU32)
 * ------------------------------------------------------------------------- */

/* PCI Express port number of the bridge's link (Link Capabilities 31:24). */
#define QVPCIBRD_ATTR_PORT_NUMBER 0x20000300u
/* Link status, live: current speed code in bits 0-3, negotiated width in
 * bits 4-9 (width 0 while the link is down). */
#define QVPCIBRD_ATTR_LINK_STATUS 0x20000A00u
/* Width the port is built for, in lanes (Link Capabilities, Maximum Link
 * Width): the same whether a link is up, down or trained narrower. */
#define QVPCIBRD_ATTR_LINK_WIDTH 0x20000B00u
/* Current link speed as the Link Status code (1 = 2.5 GT/s, 2 = 5 GT/s,
 * 3 = 8 GT/s, ...); 0 when unknown. */
#define QVPCIBRD_ATTR_LINK_SPEED 0x20000C00u

/* ---------------------------------------------------------------------------
 * Types
 * ------------------------------------------------------------------------- */

/* Session handle; QVPCIBRD_NO_SESSION names no session. */
typedef int32_t tQvPciBrdSession;
#define QVPCIBRD_NO_SESSION (-1)
/* Handle of one bridge, valid within its session. */
typedef uint32_t tQvPciBrdBridgeRef;

/* ---------------------------------------------------------------------------
 * Entry points
 * ------------------------------------------------------------------------- */

/* Every entry point's name without its QvPciBrd_ prefix, in the order the
 * binding looks them up: X(OpenSession) X(CloseSession) ... */
#define QVPCIBRD_ENTRY_POINTS(X) \
  X(OpenSession)                 \
  X(CloseSession)                \
  X(FindBridgesByPciIds)         \
  X(FindBridgeByAddress)         \
  X(FindBridgeBySlotPath)        \
  X(FindParentBridgeForBus)      \
  X(GetBridgeParent)             \
  X(GetBridgeChildren)           \
  X(GetBusChildren)              \
  X(GetRootBuses)                \
  X(GetBridgeAddress)            \
  X(GetBridgeSlotPath)           \
  X(GetBridgeIds)                \
  X(SetAttributeU32)             \
  X(GetAttributeU32)             \
  X(OpenBridge)                  \
  X(CloseBridge)                 \
  X(EepromUpdate)

/* Opens a session and writes its handle (QVPCIBRD_NO_SESSION on failure). */
QVPCIBRD_EXPORT int32_t QvPciBrd_OpenSession(uint32_t a_Flags, tQvPciBrdSession* a_pSession);
/* Ends the session. */
QVPCIBRD_EXPORT int32_t QvPciBrd_CloseSession(tQvPciBrdSession a_Session);
/* Count-then-fill: the bridges whose identifiers match; a null identifier
 * matches any. */
QVPCIBRD_EXPORT int32_t QvPciBrd_FindBridgesByPciIds(
    tQvPciBrdSession a_Session, const uint16_t* a_pVendorId, const uint16_t* a_pDeviceId,
    const uint16_t* a_pSubsystemVendorId, const uint16_t* a_pSubsystemId,
    tQvPciBrdBridgeRef* a_pBridges, uint32_t* a_pCount);
/* The bridge at bus, device and function. */
QVPCIBRD_EXPORT int32_t QvPciBrd_FindBridgeByAddress(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                                     uint8_t a_Device, uint8_t a_Function,
                                                     tQvPciBrdBridgeRef* a_pBridge);
/* The bridge at a slot path text such as "MR00:00,E0". */
QVPCIBRD_EXPORT int32_t QvPciBrd_FindBridgeBySlotPath(tQvPciBrdSession a_Session,
                                                      const char* a_pSlotPath,
                                                      tQvPciBrdBridgeRef* a_pBridge);
/* The bridge whose secondary bus is a_Bus. */
QVPCIBRD_EXPORT int32_t QvPciBrd_FindParentBridgeForBus(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                                        tQvPciBrdBridgeRef* a_pBridge);
/* The bridge above a_Child. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeParent(tQvPciBrdSession a_Session,
                                                 tQvPciBrdBridgeRef a_Child,
                                                 tQvPciBrdBridgeRef* a_pParent);
/* Count-then-fill: the bridges directly below a_Parent. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeChildren(tQvPciBrdSession a_Session,
                                                   tQvPciBrdBridgeRef a_Parent,
                                                   tQvPciBrdBridgeRef* a_pChildren,
                                                   uint32_t* a_pCount);
/* Count-then-fill: the bridges on a_Bus. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBusChildren(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                                tQvPciBrdBridgeRef* a_pChildren,
                                                uint32_t* a_pCount);
/* Count-then-fill: the root buses. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetRootBuses(tQvPciBrdSession a_Session, uint32_t* a_pBuses,
                                              uint32_t* a_pCount);
/* The bridge's address; each output may be null. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeAddress(tQvPciBrdSession a_Session,
                                                  tQvPciBrdBridgeRef a_Bridge, uint8_t* a_pBus,
                                                  uint8_t* a_pDevice, uint8_t* a_pFunction);
/* Size-then-fill: the bridge's slot path text. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeSlotPath(tQvPciBrdSession a_Session,
                                                   tQvPciBrdBridgeRef a_Bridge, char* a_pBuffer,
                                                   uint32_t* a_pSize);
/* The four PCI identifiers; each output may be null. */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeIds(tQvPciBrdSession a_Session,
                                              tQvPciBrdBridgeRef a_Bridge, uint16_t* a_pVendorId,
                                              uint16_t* a_pDeviceId, uint16_t* a_pSubsystemVendorId,
                                              uint16_t* a_pSubsystemId);
/* Writes a bridge attribute (QVPCIBRD_ATTR_...). */
QVPCIBRD_EXPORT int32_t QvPciBrd_SetAttributeU32(tQvPciBrdSession a_Session,
                                                 tQvPciBrdBridgeRef a_Bridge,
                                                 uint32_t a_AttributeId, uint32_t a_Value);
/* Reads a bridge attribute (QVPCIBRD_ATTR_...). */
QVPCIBRD_EXPORT int32_t QvPciBrd_GetAttributeU32(tQvPciBrdSession a_Session,
                                                 tQvPciBrdBridgeRef a_Bridge,
                                                 uint32_t a_AttributeId, uint32_t* a_pValue);
/* Opens the bridge for access, and closes it again. */
QVPCIBRD_EXPORT int32_t QvPciBrd_OpenBridge(tQvPciBrdSession a_Session,
                                            tQvPciBrdBridgeRef a_Bridge);
QVPCIBRD_EXPORT int32_t QvPciBrd_CloseBridge(tQvPciBrdSession a_Session,
                                             tQvPciBrdBridgeRef a_Bridge);
/* Writes an image into the bridge's EEPROM. */
QVPCIBRD_EXPORT int32_t QvPciBrd_EepromUpdate(tQvPciBrdSession a_Session,
                                              tQvPciBrdBridgeRef a_Bridge, uint16_t a_VendorId,
                                              uint16_t a_DeviceId, uint32_t a_AlwaysOverwrite,
                                              uint32_t a_UpdateMethod, uint32_t a_ByteCount,
                                              const uint8_t* a_pImage);

#ifdef __cplusplus
}
#endif

#endif /* QVPCIBRD_H */
