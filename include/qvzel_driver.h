// SPDX-License-Identifier: LGPL-2.1-or-later
/*
 * qvzel_driver.h - the contract between the qvzel kernel driver and its users
 *
 * One declaration of everything the driver and user space must agree on: the
 * request codes and records of the card's device interface, the names of the
 * files the driver publishes under /proc/driver/qv/, the interface classes,
 * the attribute identifiers and status codes of its answers, and the register
 * map of the upstream link card behind the driver. The library's register
 * proxy, the user-space simulated driver and the kernel module all take their
 * layouts from here; the static asserts below stop a layout from drifting.
 *
 * Usable from C, C++ and kernel code: only fixed-width types, no padding left
 * to the compiler, host byte order (little-endian on every supported host).
 */
#ifndef QVZEL_DRIVER_H
#define QVZEL_DRIVER_H

#ifdef __KERNEL__
#include <linux/stddef.h>
#include <linux/types.h>
#else
#include <stddef.h>
#include <stdint.h>
#endif

#if defined(__cplusplus)
#define QVZEL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QVZEL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---- Requests ------------------------------------------------------------
 * Both requests pass the address of a struct qvzel_request_descriptor as the
 * ioctl argument. In the Linux request-code layout they have direction 0,
 * type 0, numbers 0x3C and 0x3D and the size field 32 (the descriptor).
 */
#define QVZEL_REQUEST_UPDATE_FIRMWARE 0x0020003CU
#define QVZEL_REQUEST_GET_ATTRIBUTE 0x0020003DU

/* The argument record of every request, 32 bytes. */
struct qvzel_request_descriptor {
	uint64_t input_address; /* user address of the input record */
	uint64_t output_address; /* user address of the output record */
	uint32_t input_size; /* bytes at input_address */
	uint32_t output_size; /* bytes at output_address */
	uint64_t bytes_returned; /* 0 from the caller; the driver stores its count */
};

/* QVZEL_REQUEST_GET_ATTRIBUTE input, 24 bytes. */
struct qvzel_attribute_input {
	uint32_t attribute_id; /* QVZEL_DRV_ATTR_... */
	uint32_t pad; /* not written by callers, never read */
	uint64_t buffer_address; /* user address of the value buffer */
	uint32_t buffer_size; /* bytes available at buffer_address */
	int32_t caller_status; /* 0 or a positive warning the caller holds */
};

/* QVZEL_REQUEST_GET_ATTRIBUTE output, 8 bytes. */
struct qvzel_attribute_output {
	uint32_t byte_count; /* bytes written into the value buffer */
	int32_t status; /* QVZEL_DRV_STATUS_... */
};

/* QVZEL_REQUEST_UPDATE_FIRMWARE input, 32 bytes. */
struct qvzel_firmware_input {
	uint64_t data_address; /* user address of the decoded image bytes */
	uint32_t length; /* number of image bytes */
	uint32_t pinout_address; /* image header PinOutAddr:: */
	uint32_t pinout_version; /* image header PinOutVer:: */
	uint32_t flash_offset; /* image header Offset:: */
	int32_t caller_status; /* 0 or a positive warning the caller holds */
	uint32_t pad; /* not written by callers, never read */
};

/* QVZEL_REQUEST_UPDATE_FIRMWARE output, 4 bytes. */
struct qvzel_firmware_output {
	int32_t status; /* QVZEL_DRV_STATUS_... */
};

QVZEL_STATIC_ASSERT(sizeof(struct qvzel_request_descriptor) == 32, "request descriptor size");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_request_descriptor, output_address) == 8,
		    "request descriptor layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_request_descriptor, input_size) == 16,
		    "request descriptor layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_request_descriptor, output_size) == 20,
		    "request descriptor layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_request_descriptor, bytes_returned) == 24,
		    "request descriptor layout");
QVZEL_STATIC_ASSERT(sizeof(struct qvzel_attribute_input) == 24, "attribute input size");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_attribute_input, buffer_address) == 8,
		    "attribute input layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_attribute_input, buffer_size) == 16,
		    "attribute input layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_attribute_input, caller_status) == 20,
		    "attribute input layout");
QVZEL_STATIC_ASSERT(sizeof(struct qvzel_attribute_output) == 8, "attribute output size");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_attribute_output, status) == 4,
		    "attribute output layout");
QVZEL_STATIC_ASSERT(sizeof(struct qvzel_firmware_input) == 32, "firmware input size");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_firmware_input, length) == 8, "firmware input layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_firmware_input, pinout_address) == 12,
		    "firmware input layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_firmware_input, pinout_version) == 16,
		    "firmware input layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_firmware_input, flash_offset) == 20,
		    "firmware input layout");
QVZEL_STATIC_ASSERT(offsetof(struct qvzel_firmware_input, caller_status) == 24,
		    "firmware input layout");
QVZEL_STATIC_ASSERT(sizeof(struct qvzel_firmware_output) == 4, "firmware output size");

/* ---- Attributes served by QVZEL_REQUEST_GET_ATTRIBUTE (32-bit values) ---- */
#define QVZEL_DRV_ATTR_FW_VERSION 0xF000F0C0U /* running firmware version */
#define QVZEL_DRV_ATTR_FLASH_ID 0xF000F0D0U /* (JEDEC byte 0 << 8) | JEDEC byte 2 */
#define QVZEL_DRV_ATTR_HW_REVISION 0xF000F0E0U /* QVZEL_REG_HW_REVISION */
#define QVZEL_DRV_ATTR_PENDING_VERSION 0xF000F0F0U /* version the flash boots next */
#define QVZEL_DRV_ATTR_SUBSYSTEM_ID 0xF000F100U /* PCI subsystem ID, config space */

/* ---- Status codes in the output records (the library's code values) ----- */
#define QVZEL_DRV_STATUS_OK 0
#define QVZEL_DRV_STATUS_NOT_SUPPORTED (-52002) /* unknown attribute identifier */
#define QVZEL_DRV_STATUS_NOT_FOUND (-52006) /* no flash part answers */
#define QVZEL_DRV_STATUS_TIMEOUT (-52007) /* the flash stayed busy too long */
#define QVZEL_DRV_STATUS_OUT_OF_RANGE (-52012) /* length 0 or beyond the flash */
#define QVZEL_DRV_STATUS_BUFFER_TOO_SMALL (-52019) /* value buffer under 4 bytes */
#define QVZEL_DRV_STATUS_VERIFY_FAILED (-52024) /* read-back differs from the image */

/* ---- /proc/driver/qv/ layout --------------------------------------------
 * <root>/<device>/busProperties/<bus property>       4 bytes, host order
 * <root>/<device>/deviceProperties/serialNumber      text and a NUL
 * <root>/<device>/deviceInterfaces/<class>\<instance>/interfacePath
 *                                                     device file path, no NUL
 */
#define QVZEL_PROC_ROOT "/proc/driver/qv"
#define QVZEL_PROC_BUS_PROPERTIES "busProperties"
#define QVZEL_PROC_DEVICE_PROPERTIES "deviceProperties"
#define QVZEL_PROC_DEVICE_INTERFACES "deviceInterfaces"
#define QVZEL_PROC_INTERFACE_PATH "interfacePath"
#define QVZEL_INTERFACE_PATH_MAX 255 /* bytes of an interfacePath */

#define QVZEL_PROP_VENDOR_ID "pciVendorID"
#define QVZEL_PROP_DEVICE_ID "pciDeviceID"
#define QVZEL_PROP_SUBSYSTEM_VENDOR_ID "pciSubsystemVendorID"
#define QVZEL_PROP_SUBSYSTEM_ID "pciSubsystemID"
#define QVZEL_PROP_BUS_NUMBER "pciBusNumber"
#define QVZEL_PROP_DEVICE_NUMBER "pciDeviceNumber"
#define QVZEL_PROP_FUNCTION_NUMBER "pciFunctionNumber"
#define QVZEL_PROP_DOMAIN_NUMBER "pciDomainNumber"
#define QVZEL_PROP_SERIAL_NUMBER "serialNumber"

/* Device files: /dev/qv/qvzel<N>. */
#define QVZEL_DEV_DIR "/dev/qv"
#define QVZEL_DEV_PREFIX "qvzel"

/* ---- Interface classes --------------------------------------------------- */
#define QVZEL_CLASS_PXI4120 "nQVZEL_1_0_Pxi4120"
#define QVZEL_CLASS_PXI4135 "nQVZEL_1_0_Pxi4135"
#define QVZEL_CLASS_ZEL7 "nQVZEL_1_0_Zel7Device"
#define QVZEL_CLASS_IDT_UPSTREAM "nQVZEL_1_0_IdtUpstreamZEL"
#define QVZEL_CLASS_CYCLONE4_UPSTREAM "nQVZEL_1_0_Cyclone4UpstreamZEL"

/* PCI identifiers of the functions the driver binds. */
#define QVZEL_PCI_VENDOR_QV 0x1F3C
#define QVZEL_PCI_VENDOR_IDT 0x111D
#define QVZEL_PCI_DEVICE_PXI4120 0x5A02
#define QVZEL_PCI_DEVICE_ZEL7 0x5A04
#define QVZEL_PCI_DEVICE_PXI4135 0x5A08
#define QVZEL_PCI_DEVICE_IDT_UPSTREAM 0x8088 /* subsystems 0x5A10 to 0x5A13 */
#define QVZEL_PCI_DEVICE_CYCLONE4 0x5A30
#define QVZEL_PCI_SUBSYSTEM_CYCLONE4 0x5A31

/* ---- Upstream card register map (BAR0, 32-bit little-endian registers) --- */
#define QVZEL_BAR0_SIZE 0x1000
#define QVZEL_REG_MAGIC 0x00 /* RO: QVZEL_MAGIC */
#define QVZEL_REG_FW_VERSION 0x04 /* RO: running version, 0 when none */
#define QVZEL_REG_HW_REVISION 0x08 /* RO: hardware revision */
#define QVZEL_REG_PINOUT 0x10 /* RW: pin-out of the image being written */
#define QVZEL_REG_SPI_CTRL 0x20 /* RW: chip select */
#define QVZEL_REG_SPI_DATA 0x24 /* RW: write shifts a byte out, read the byte in */
#define QVZEL_REG_SPI_STATUS 0x28 /* RO: transfer busy */
#define QVZEL_REG_LAST QVZEL_REG_SPI_STATUS

#define QVZEL_MAGIC 0x4C5A5651U /* bytes 'Q','V','Z','L' */
#define QVZEL_PINOUT_ADDRESS_MASK 0xFFFFU /* bits 0-15 */
#define QVZEL_PINOUT_VERSION_SHIFT 16 /* bits 16-23 */
#define QVZEL_PINOUT_VERSION_MASK 0xFFU
#define QVZEL_SPI_CTRL_CS 0x1U /* 1 asserted; releasing ends the command */
#define QVZEL_SPI_STATUS_BUSY 0x1U

/* ---- SPI NOR flash behind the SPI window (standard JEDEC commands) ------- */
#define QVZEL_SPI_CMD_PAGE_PROGRAM 0x02 /* 3 address bytes, up to a page */
#define QVZEL_SPI_CMD_READ 0x03 /* 3 address bytes */
#define QVZEL_SPI_CMD_WRITE_DISABLE 0x04
#define QVZEL_SPI_CMD_READ_STATUS 0x05
#define QVZEL_SPI_CMD_WRITE_ENABLE 0x06
#define QVZEL_SPI_CMD_SECTOR_ERASE 0x20 /* 4 KiB */
#define QVZEL_SPI_CMD_READ_JEDEC_ID 0x9F /* 3 bytes */
#define QVZEL_SPI_SR_WIP 0x01U /* write or erase in progress */
#define QVZEL_SPI_SR_WEL 0x02U /* write enable latch */
#define QVZEL_FLASH_PAGE_SIZE 256U
#define QVZEL_FLASH_SECTOR_SIZE 4096U
#define QVZEL_FLASH_ERASED 0xFFU

/* Known parts: 3-byte JEDEC ID (manufacturer, type, capacity), served ID. */
#define QVZEL_JEDEC_ISSI_8M 0x9D4017U
#define QVZEL_JEDEC_SST_1M 0xBF258EU
#define QVZEL_DRV_FLASH_ID_ISSI 0x9D17U /* 8 MiB */
#define QVZEL_DRV_FLASH_ID_SST 0xBF8EU /* 1 MiB */

/* ---- Boot header: what the card runs after a reload ----------------------
 * 8 bytes at QVZEL_BOOT_HEADER_OFFSET: 'Q','V','F','W', then the version as
 * a 32-bit little-endian number. Without the magic the card runs version 0.
 */
#define QVZEL_BOOT_HEADER_OFFSET 0x20000U
#define QVZEL_BOOT_HEADER_SIZE 8U
#define QVZEL_BOOT_MAGIC "QVFW"
#define QVZEL_BOOT_MAGIC_SIZE 4U

#endif /* QVZEL_DRIVER_H */
