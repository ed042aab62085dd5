/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * qvlab_uapi.h - the control device /dev/qvlab of the PXI lab module
 *
 * The user-space tool qvlab turns a system text (host cards, ports, cables,
 * chassis) into one record per PCI function and hands them to the module,
 * which builds them as a software PCI root bus. Records are fixed-size, with
 * no padding left to the compiler, so that C, C++ and kernel code agree.
 */
#ifndef QVLAB_UAPI_H
#define QVLAB_UAPI_H

#ifdef __KERNEL__
#include <linux/build_bug.h>
#include <linux/ioctl.h>
#include <linux/types.h>
#define QVLAB_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#include <linux/ioctl.h>
#include <linux/types.h>
#ifdef __cplusplus
#define QVLAB_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QVLAB_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
#endif

#define QVLAB_DEVICE_PATH "/dev/qvlab"
#define QVLAB_NAME_LEN 32 /* bytes of a name, NUL included */
#define QVLAB_MAX_FUNCTIONS 256
#define QVLAB_MAX_DEPTH 16 /* bridges from the root bus down */
#define QVLAB_ROOT_BUS 0x40 /* the lab's root bus number in domain 0 */
#define QVLAB_MAX_FLASH_SIZE (64U << 20)
#define QVLAB_NO_PARENT (-1)

/* qvlab_function.pcie_type: the PCI Express port type, or none at all. */
#define QVLAB_PCIE_ENDPOINT 0x0
#define QVLAB_PCIE_ROOT_PORT 0x4
#define QVLAB_PCIE_UPSTREAM 0x5
#define QVLAB_PCIE_DOWNSTREAM 0x6
#define QVLAB_PCIE_PCI_BRIDGE 0x7 /* PCI Express to PCI bridge */
#define QVLAB_PCIE_NONE 0xFF /* conventional PCI: no PCI Express capability */

/* qvlab_function.flags */
#define QVLAB_FN_BRIDGE 0x01 /* type 1 header: functions may sit below */
#define QVLAB_FN_DSN 0x02 /* carries a Device Serial Number capability */
#define QVLAB_FN_CARD 0x04 /* the function of an upstream card: register map and flash */
#define QVLAB_FN_LINK_UP 0x08 /* a port whose link is trained (cabled, or a card in the slot) */

/*
 * One PCI function. Records come parents first: @parent is the index of a
 * bridge record before this one, or QVLAB_NO_PARENT for the lab's root bus.
 * Link values are PCI Express codes: speed 1 = 2.5 GT/s ... 6 = 64 GT/s,
 * widths in lanes. A port's trained values count only while its link is up.
 */
struct qvlab_function {
	char name[QVLAB_NAME_LEN];
	__s32 parent;
	__u16 vendor;
	__u16 device;
	__u16 subsystem_vendor; /* 0 with subsystem_device 0: none */
	__u16 subsystem_device;
	__u32 class_code; /* 24 bits: base class, sub-class, programming interface */
	__u8 devfn;
	__u8 pcie_type;
	__u8 max_width; /* Link Capabilities */
	__u8 max_speed;
	__u8 width; /* Link Status once trained */
	__u8 speed;
	__u8 port_number; /* Link Capabilities bits 31:24 */
	__u8 flags;
	__u64 dsn;
	/* QVLAB_FN_CARD only */
	__u8 jedec_id[3];
	__u8 reserved0;
	__u32 flash_size; /* bytes, a power of two */
	__u32 hw_revision;
	__u32 factory_version; /* boot header the factory flash holds; 0: flash erased */
};
QVLAB_STATIC_ASSERT(sizeof(struct qvlab_function) == 80, "qvlab_function is 80 bytes");

/* QVLAB_IOC_LOAD: replaces the lab by @count records at @records (0: empty lab). */
struct qvlab_load {
	__u32 record_size; /* sizeof(struct qvlab_function) */
	__u32 count;
	__u64 records; /* user address of the array */
};
QVLAB_STATIC_ASSERT(sizeof(struct qvlab_load) == 16, "qvlab_load is 16 bytes");

/*
 * QVLAB_IOC_FLASH_READ reads a card's flash as it is; QVLAB_IOC_FLASH_WRITE
 * stores bytes as a flash programmer would before the card is powered
 * (plain copy, no erase rules), for a factory image. Both keep within the
 * flash: @offset + @length must not exceed its size.
 */
struct qvlab_flash_io {
	char name[QVLAB_NAME_LEN];
	__u32 offset;
	__u32 length;
	__u64 data; /* user address of @length bytes */
};
QVLAB_STATIC_ASSERT(sizeof(struct qvlab_flash_io) == 48, "qvlab_flash_io is 48 bytes");

/* QVLAB_IOC_UNPLUG (@on 0 pull out, 1 plug back in) and QVLAB_IOC_CABLE (@on 1 up, 0 down). */
struct qvlab_name_op {
	char name[QVLAB_NAME_LEN];
	__u32 on;
	__u32 reserved;
};
QVLAB_STATIC_ASSERT(sizeof(struct qvlab_name_op) == 40, "qvlab_name_op is 40 bytes");

/* qvlab_info.state */
#define QVLAB_STATE_PRESENT 0x01 /* visible in configuration space now */
#define QVLAB_STATE_UNPLUGGED 0x02
#define QVLAB_STATE_LINK_UP 0x04

/* QVLAB_IOC_INFO: the record at @index as the lab holds it now; ENOENT past the end. */
struct qvlab_info {
	__u32 index;
	__u32 state;
	__u32 bus; /* bus number the function sits on now */
	__u32 fw_version; /* cards: the running firmware version */
	struct qvlab_function function;
};
QVLAB_STATIC_ASSERT(sizeof(struct qvlab_info) == 96, "qvlab_info is 96 bytes");

#define QVLAB_IOC_MAGIC 'q'
#define QVLAB_IOC_LOAD _IOW(QVLAB_IOC_MAGIC, 1, struct qvlab_load)
#define QVLAB_IOC_RELOAD _IO(QVLAB_IOC_MAGIC, 2)
#define QVLAB_IOC_UNPLUG _IOW(QVLAB_IOC_MAGIC, 3, struct qvlab_name_op)
#define QVLAB_IOC_CABLE _IOW(QVLAB_IOC_MAGIC, 4, struct qvlab_name_op)
#define QVLAB_IOC_FLASH_READ _IOW(QVLAB_IOC_MAGIC, 5, struct qvlab_flash_io)
#define QVLAB_IOC_FLASH_WRITE _IOW(QVLAB_IOC_MAGIC, 6, struct qvlab_flash_io)
#define QVLAB_IOC_INFO _IOWR(QVLAB_IOC_MAGIC, 7, struct qvlab_info)

#endif /* QVLAB_UAPI_H */
