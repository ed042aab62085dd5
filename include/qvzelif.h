// SPDX-License-Identifier: LGPL-2.1-or-later
/* qvzelif.h - public interface of libqvzelif.so.1
 *
 * Finds the bus-extension link hardware of PXI and PXI Express systems
 * (upstream link cards in the host, link controllers in chassis), reports
 * their attributes, gives a controller's IDSEL map and updates the firmware
 * of an upstream link card.
 *
 * Every function returns a 32-bit status code: 0 success, negative error,
 * positive warning. Handles are opaque and owned by the library.
 */
#ifndef QVZELIF_H
#define QVZELIF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QVZEL_EXPORT __attribute__((visibility("default")))
#else
#define QVZEL_EXPORT
#endif

/* ---------------------------------------------------------------------------
 * Status codes
 * ------------------------------------------------------------------------- */

/* Success. */
#define QVZEL_SUCCESS                          0
/* Out of memory or of file descriptors. */
#define QVZEL_ERR_MEMORY_FULL             (-52000)
/* The operation is not supported, or the value asked for is empty or 0. */
#define QVZEL_ERR_NOT_SUPPORTED           (-52002)
/* Internal failure: a required object or system facility is missing or failed. */
#define QVZEL_ERR_INTERNAL                (-52003)
/* Invalid parameter: null pointer, unknown handle, wrong item kind, bad image. */
#define QVZEL_ERR_INVALID_PARAMETER       (-52005)
/* Not found, or no such device. */
#define QVZEL_ERR_NOT_FOUND               (-52006)
/* Timed out. */
#define QVZEL_ERR_TIMEOUT                 (-52007)
/* Unclassified system error, or a path name unknown to the path table. */
#define QVZEL_ERR_SYSTEM                  (-52008)
/* Already in progress. */
#define QVZEL_ERR_IN_PROGRESS             (-52011)
/* No space, value overflow, or a missing text. */
#define QVZEL_ERR_OVERFLOW                (-52012)
/* Already exists. */
#define QVZEL_ERR_ALREADY_EXISTS          (-52013)
/* The owner of a lock died. */
#define QVZEL_ERR_OWNER_DEAD              (-52014)
/* No lock available, or a deadlock. */
#define QVZEL_ERR_DEADLOCK                (-52015)
/* A buffer is too small for the value (its size is reported). */
#define QVZEL_ERR_BUFFER_TOO_SMALL        (-52019)
/* Identifier removed. */
#define QVZEL_ERR_ID_REMOVED              (-52020)
/* Connection aborted. */
#define QVZEL_ERR_CONNECTION_ABORTED      (-52023)
/* Input/output error. */
#define QVZEL_ERR_IO                      (-52024)
/* Interrupted. */
#define QVZEL_ERR_INTERRUPTED             (-52025)
/* Permission denied. */
#define QVZEL_ERR_PERMISSION_DENIED       (-52026)
/* Device or resource busy. */
#define QVZEL_ERR_BUSY                    (-52031)

/* PCI bridge library: the caller's buffer is too small. */
#define QVZEL_ERR_PCIBRD_BUFFER_TOO_SMALL (-313002)
/* PCI bridge library: the attribute is not served. */
#define QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED  (-313004)
/* PCI bridge library: the library or one of its entry points is missing. */
#define QVZEL_ERR_PCIBRD_UNAVAILABLE      (-313008)

/* INI file: the document cannot be created. */
#define QVZEL_ERR_INI_CREATE              (-313314)
/* INI file: the path is missing or empty. */
#define QVZEL_ERR_INI_PATH                (-313315)
/* INI file: the file cannot be loaded. */
#define QVZEL_ERR_INI_LOAD                (-313316)
/* INI file: no document is open. */
#define QVZEL_ERR_INI_NO_DOCUMENT         (-313317)
/* INI file: a change was asked of a file opened read-only. */
#define QVZEL_ERR_INI_READ_ONLY           (-313318)
/* INI file: a value could not be stored, or saving failed. */
#define QVZEL_ERR_INI_WRITE               (-313319)
/* INI file: reading a value failed. */
#define QVZEL_ERR_INI_READ                (-313320)
/* INI file: a section could not be deleted or renamed. */
#define QVZEL_ERR_INI_SECTION             (-313321)
/* INI file: the key or section is missing. */
#define QVZEL_ERR_INI_KEY_MISSING         (-313322)
/* INI file: a text does not convert to a number. */
#define QVZEL_ERR_INI_CONVERSION          (-313323)
/* Slot path: the path is empty where a device/function code was needed. */
#define QVZEL_ERR_SLOTPATH_EMPTY          (-313324)
/* Slot path: the text or relative pattern is malformed. */
#define QVZEL_ERR_SLOTPATH_SYNTAX         (-313325)
/* INI file: a change query was made without a document. */
#define QVZEL_ERR_INI_CHANGE_QUERY        (-313328)

/* ---------------------------------------------------------------------------
 * Attribute identifiers
 *
 * Identifiers whose bits 12 to 15 are all set take an index in their low four
 * bits (for example the port number): QVZEL_ATTR_PORT_NAME + 2 names port 2.
 * ------------------------------------------------------------------------- */

/* Text: vendor name. U32: the device class, one of QVZEL_DEVICE_CLASS_... */
#define QVZEL_ATTR_VENDOR_NAME            0x00000000u
#define QVZEL_ATTR_DEVICE_CLASS           0x00000000u
/* Text: model name. */
#define QVZEL_ATTR_MODEL_NAME             0x00000001u
/* U32 (controller): the constant QVZEL_CONTROLLER_TYPE_PXI1. */
#define QVZEL_ATTR_CONTROLLER_TYPE        0x00010000u
/* U32 (controller): PCI bridge attribute QVPCIBRD_ATTR_PORT_NUMBER of its bridge. */
#define QVZEL_ATTR_CONTROLLER_PORT        0x00010001u
/* U32 (controller): bus number of its PCI bridge. */
#define QVZEL_ATTR_CONTROLLER_BRIDGE_BUS  0x0001F010u
/* U32: vendor ID (subsystem vendor ID when the model has one). */
#define QVZEL_ATTR_VENDOR_ID              0x0001F020u
/* U32: product ID (subsystem ID when the model has one). */
#define QVZEL_ATTR_PRODUCT_ID             0x0001F030u
/* U32 (controller): 1 when the controller is integrated in its chassis. */
#define QVZEL_ATTR_IS_INTEGRATED          0x0001F040u
/* Text: slot path of the device. */
#define QVZEL_ATTR_SLOT_PATH              0x0001F810u
/* U32: PCI bus number. */
#define QVZEL_ATTR_PCI_BUS                0xF000F010u
/* U32: PCI device number. */
#define QVZEL_ATTR_PCI_DEVICE             0xF000F020u
/* U32: PCI function number. */
#define QVZEL_ATTR_PCI_FUNCTION           0xF000F030u
/* U32 (upstream): number of ports. */
#define QVZEL_ATTR_PORT_COUNT             0xF000F040u
/* U32 (upstream) + port index: the port's PCI bridge attribute QVPCIBRD_ATTR_PORT_NUMBER. */
#define QVZEL_ATTR_PORT_NUMBER            0xF000F050u
/* U32 (upstream): link status, read now from the device's link. */
#define QVZEL_ATTR_LINK_STATUS            0xF000F060u
/* U32 (upstream): link speed, read now from the device's link. */
#define QVZEL_ATTR_LINK_SPEED             0xF000F070u
/* U32 (upstream) + port index: the port's negotiated link width. */
#define QVZEL_ATTR_PORT_LINK_WIDTH        0xF000F090u
/* U32 (upstream) + port index: the port's link speed. */
#define QVZEL_ATTR_PORT_LINK_SPEED        0xF000F0A0u
/* U32 (upstream): width of one port as the model defines it. */
#define QVZEL_ATTR_PORT_WIDTH             0xF000F0B0u
/* U32 (upstream, open device): installed firmware version. */
#define QVZEL_ATTR_FIRMWARE_VERSION       0xF000F0C0u
/* U32 (upstream, open device): flash memory identifier, QVZEL_FLASH_ID_... */
#define QVZEL_ATTR_FLASH_ID               0xF000F0D0u
/* U32 (upstream, open device): driver attribute 0xF000F0E0. */
#define QVZEL_ATTR_DRIVER_E0              0xF000F0E0u
/* U32 (upstream, open device): driver attribute 0xF000F0F0. */
#define QVZEL_ATTR_DRIVER_F0              0xF000F0F0u
/* U32 (upstream, open device): PCI subsystem ID as the card reports it. */
#define QVZEL_ATTR_CARD_SUBSYSTEM_ID      0xF000F100u
/* Text (upstream): serial number. */
#define QVZEL_ATTR_SERIAL_NUMBER          0xF000F810u
/* Text: slot path of the device (same as QVZEL_ATTR_SLOT_PATH). */
#define QVZEL_ATTR_SLOT_PATH_2            0xF000F820u
/* Text (upstream) + port index: name of the port. */
#define QVZEL_ATTR_PORT_NAME              0xF000F830u
/* Text (upstream): part number. */
#define QVZEL_ATTR_PART_NUMBER            0xF000F840u
/* Text (upstream): the constant "PXI Bus Extension Module". */
#define QVZEL_ATTR_DEVICE_DESCRIPTION     0xF000F860u

/* ---------------------------------------------------------------------------
 * Attribute values and sizes
 * ------------------------------------------------------------------------- */

/* QVZEL_ATTR_DEVICE_CLASS of a link controller. */
#define QVZEL_DEVICE_CLASS_CONTROLLER     0x1u
/* QVZEL_ATTR_DEVICE_CLASS of an upstream link device. */
#define QVZEL_DEVICE_CLASS_UPSTREAM       0xF000u
/* QVZEL_ATTR_CONTROLLER_TYPE of every link controller (a PXI-1 link controller). */
#define QVZEL_CONTROLLER_TYPE_PXI1        0x2u
/* QVZEL_ATTR_FLASH_ID of a card with ISSI flash (images of update type
 * "ISSIFlashFWUpdate"). */
#define QVZEL_FLASH_ID_ISSI               0x9D17u
/* QVZEL_ATTR_FLASH_ID of a card with SST flash (update type "SSTFlashFWUpdate"). */
#define QVZEL_FLASH_ID_SST                0xBF8Eu
/* Bytes in the IDSEL map of nQVPXIFINDER100_getControllerIDSELMap. */
#define QVZEL_IDSEL_MAP_SIZE              32u

/* Bit of the force argument that writes an image even when it is not newer. */
#define QVZEL_FORCE_UPDATE                0x1u

/* ---------------------------------------------------------------------------
 * Functions
 * ------------------------------------------------------------------------- */

/* Opens a list of the link devices present. On success stores the item count
 * and a list handle; a list that found nothing is closed again and the handle
 * is null. */
QVZEL_EXPORT int32_t nQVPXIFINDER100_openList(uint32_t* count, void** list);

/* Closes a list and releases its items. Unknown or null handles are ignored.
 * Always returns 0. */
QVZEL_EXPORT int32_t nQVPXIFINDER100_closeList(void* list);

/* Stores the handle of item index (counting from 0) of a list. */
QVZEL_EXPORT int32_t nQVPXIFINDER100_getNthItem(void* list, uint32_t index, void** item);

/* Reads a 32-bit attribute of an item. */
QVZEL_EXPORT int32_t nQVPXIFINDER100_getU32Attribute(void* item, uint32_t attributeId,
                                                     uint32_t* value);

/* Reads a text attribute of an item. The text belongs to the library and
 * stays valid while the item's list is open. */
QVZEL_EXPORT int32_t nQVPXIFINDER100_getStringAttribute(void* item, uint32_t attributeId,
                                                        const char** value);

/* Stores the address of the IDSEL map (QVZEL_IDSEL_MAP_SIZE bytes) of a link
 * controller item. */
QVZEL_EXPORT int32_t nQVPXIFINDER100_getControllerIDSELMap(void* item, const uint8_t** map);

/* Opens the driver connection of an upstream link device item. */
QVZEL_EXPORT int32_t nQVPXIKTFINDER100_openDevice(void* item);

/* Closes the driver connection of an upstream link device item. Always
 * returns 0. */
QVZEL_EXPORT int32_t nQVPXIKTFINDER100_closeDevice(void* item);

/* Writes a firmware image (the image file's bytes) into an opened upstream
 * link device. Bit 0 of force writes it even when it is not newer. */
QVZEL_EXPORT int32_t nQVPXIKTFINDER100_updateFirmware(void* item, const void* image,
                                                      uint32_t length, uint32_t force);

#ifdef __cplusplus
}
#endif

#endif /* QVZELIF_H */
