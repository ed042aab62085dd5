/* qvpcibrd.h - interface of the PCI bridge library libqvpcibrd.so.1
 *
 * Enumerates the PCI bridges of a machine and answers questions about them.
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

#include "qvzelif.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QVPCIBRD_EXPORT __attribute__((visibility("default")))
#else
#define QVPCIBRD_EXPORT
#endif

/* Result codes. */
#define QVPCIBRD_SUCCESS 0
/* The caller's array or buffer is too small; the size needed was written. */
#define QVPCIBRD_ERR_BUFFER_TOO_SMALL QVZEL_ERR_PCIBRD_BUFFER_TOO_SMALL
/* No bridge matches the address, slot path or bus asked for. */
#define QVPCIBRD_ERR_NOT_FOUND (-313003)
/* The bridge does not serve the attribute. */
#define QVPCIBRD_ERR_ATTR_NOT_SERVED QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED
/* The session handle is not that of an open session. */
#define QVPCIBRD_ERR_INVALID_SESSION (-313005)
/* A bridge reference, pointer or text argument is not acceptable. */
#define QVPCIBRD_ERR_INVALID_PARAMETER (-313006)
/* The machine could not be read: the system description (simulated
 * backend) or the sysfs root directory (sysfs backend). */
#define QVPCIBRD_ERR_SYSTEM_DESCRIPTION (-313007)
/* The backend does not write to hardware (sysfs backend): attribute writes
 * and EEPROM updates are refused. */
#define QVPCIBRD_ERR_READ_ONLY (-313009)

/* The session value that names no session. */
#define QVPCIBRD_NO_SESSION (-1)

typedef int32_t tQvPciBrdSession;
typedef uint32_t tQvPciBrdBridgeRef;

QVPCIBRD_EXPORT int32_t QvPciBrd_OpenSession(uint32_t a_Flags, tQvPciBrdSession* a_pSession);
QVPCIBRD_EXPORT int32_t QvPciBrd_CloseSession(tQvPciBrdSession a_Session);
QVPCIBRD_EXPORT int32_t QvPciBrd_FindBridgesByPciIds(
    tQvPciBrdSession a_Session, const uint16_t* a_pVendorId, const uint16_t* a_pDeviceId,
    const uint16_t* a_pSubsystemVendorId, const uint16_t* a_pSubsystemId,
    tQvPciBrdBridgeRef* a_pBridges, uint32_t* a_pCount);
QVPCIBRD_EXPORT int32_t QvPciBrd_FindBridgeByAddress(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                                     uint8_t a_Device, uint8_t a_Function,
                                                     tQvPciBrdBridgeRef* a_pBridge);
QVPCIBRD_EXPORT int32_t QvPciBrd_FindBridgeBySlotPath(tQvPciBrdSession a_Session,
                                                      const char* a_pSlotPath,
                                                      tQvPciBrdBridgeRef* a_pBridge);
QVPCIBRD_EXPORT int32_t QvPciBrd_FindParentBridgeForBus(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                                        tQvPciBrdBridgeRef* a_pBridge);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeParent(tQvPciBrdSession a_Session,
                                                 tQvPciBrdBridgeRef a_Child,
                                                 tQvPciBrdBridgeRef* a_pParent);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeChildren(tQvPciBrdSession a_Session,
                                                   tQvPciBrdBridgeRef a_Parent,
                                                   tQvPciBrdBridgeRef* a_pChildren,
                                                   uint32_t* a_pCount);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBusChildren(tQvPciBrdSession a_Session, uint8_t a_Bus,
                                                tQvPciBrdBridgeRef* a_pChildren,
                                                uint32_t* a_pCount);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetRootBuses(tQvPciBrdSession a_Session, uint32_t* a_pBuses,
                                              uint32_t* a_pCount);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeAddress(tQvPciBrdSession a_Session,
                                                  tQvPciBrdBridgeRef a_Bridge, uint8_t* a_pBus,
                                                  uint8_t* a_pDevice, uint8_t* a_pFunction);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeSlotPath(tQvPciBrdSession a_Session,
                                                   tQvPciBrdBridgeRef a_Bridge, char* a_pBuffer,
                                                   uint32_t* a_pSize);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetBridgeIds(tQvPciBrdSession a_Session,
                                              tQvPciBrdBridgeRef a_Bridge, uint16_t* a_pVendorId,
                                              uint16_t* a_pDeviceId, uint16_t* a_pSubsystemVendorId,
                                              uint16_t* a_pSubsystemId);
QVPCIBRD_EXPORT int32_t QvPciBrd_SetAttributeU32(tQvPciBrdSession a_Session,
                                                 tQvPciBrdBridgeRef a_Bridge,
                                                 uint32_t a_AttributeId, uint32_t a_Value);
QVPCIBRD_EXPORT int32_t QvPciBrd_GetAttributeU32(tQvPciBrdSession a_Session,
                                                 tQvPciBrdBridgeRef a_Bridge,
                                                 uint32_t a_AttributeId, uint32_t* a_pValue);
QVPCIBRD_EXPORT int32_t QvPciBrd_OpenBridge(tQvPciBrdSession a_Session,
                                            tQvPciBrdBridgeRef a_Bridge);
QVPCIBRD_EXPORT int32_t QvPciBrd_CloseBridge(tQvPciBrdSession a_Session,
                                             tQvPciBrdBridgeRef a_Bridge);
QVPCIBRD_EXPORT int32_t QvPciBrd_EepromUpdate(tQvPciBrdSession a_Session,
                                              tQvPciBrdBridgeRef a_Bridge, uint16_t a_VendorId,
                                              uint16_t a_DeviceId, uint32_t a_AlwaysOverwrite,
                                              uint32_t a_UpdateMethod, uint32_t a_ByteCount,
                                              const uint8_t* a_pImage);

/* Simulation only: how often the named entry point (without its QvPciBrd_
 * prefix, e.g. "GetRootBuses") was called since the library was loaded or
 * the counters were last reset. Tests use it to see which calls were made. */
QVPCIBRD_EXPORT uint32_t QvPciBrdSim_GetCallCount(const char* a_pEntryPoint);
QVPCIBRD_EXPORT void QvPciBrdSim_ResetCallCounts(void);
/* Simulation only: the number of sessions open right now. */
QVPCIBRD_EXPORT uint32_t QvPciBrdSim_GetSessionCount(void);

#ifdef __cplusplus
}
#endif

#endif /* QVPCIBRD_H */
