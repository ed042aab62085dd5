/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * qvzel.h - the driver's own declarations, shared by its files
 *
 * Files: qvzel_main.c (module, backend registry, PCI driver, functions
 * owned by other drivers), qvzel_proc.c (the /proc/driver/qv/ layout),
 * qvzel_cdev.c (character devices and their ioctl), qvzel_flash.c (the
 * card's SPI NOR flash, reached through the SPI window of its registers).
 *
 * Every published function is a struct qvzel_card. Its life: created and
 * published when the function is probed (or found bound to another driver),
 * unpublished when it goes away. The registry and every open file hold a
 * reference (@ref); @lock guards @gone and @map, so a request holds it for
 * reading while it runs and unpublishing takes it for writing, which waits
 * for requests in flight. @flash_lock serialises everything that uses the
 * SPI window, the firmware write and the flash reads of attributes.
 */
#ifndef QVZEL_H
#define QVZEL_H

#include <linux/kref.h>
#include <linux/list.h>
#include <linux/mutex.h>
#include <linux/pci.h>
#include <linux/regmap.h>
#include <linux/rwsem.h>

#include "qvzel_backend.h"
#include "qvzel_driver.h"

#define QVZEL_NAME "qvzel"
#define QVZEL_MAX_DEVICES 256

/* Interface classes, the driver_data of the PCI ID table. */
enum qvzel_class {
	QVZEL_PXI4120,
	QVZEL_PXI4135,
	QVZEL_ZEL7,
	QVZEL_IDT_UPSTREAM,
	QVZEL_CYCLONE4,
};

/* The content of one proc file. */
struct qvzel_prop {
	const void *data;
	size_t len;
};

enum qvzel_bus_prop {
	QVZEL_BP_VENDOR,
	QVZEL_BP_DEVICE,
	QVZEL_BP_SUBSYSTEM_VENDOR,
	QVZEL_BP_SUBSYSTEM,
	QVZEL_BP_BUS,
	QVZEL_BP_SLOT,
	QVZEL_BP_FUNCTION,
	QVZEL_BP_DOMAIN,
	QVZEL_BP_COUNT,
};

/* "%016llX" and a NUL */
#define QVZEL_SERIAL_SIZE 17

struct qvzel_card {
	struct kref ref;
	struct list_head node; /* qvzel_cards, under qvzel_lock */
	struct pci_dev *pdev; /* referenced for the card's whole life */
	enum qvzel_class cls;
	bool owned; /* bound by this driver; else published beside another */
	int minor;
	struct device *dev; /* the character device, while published */

	struct rw_semaphore lock;
	bool gone;
	struct regmap *map; /* NULL: no registers (not a Cyclone4 card) */
	const struct qvzel_backend *backend; /* gave @map, takes it back */

	struct mutex flash_lock;
	u32 jedec; /* 3-byte JEDEC ID, valid once @flash_size is not 0 */
	u32 flash_size; /* bytes reachable with 3-byte addresses; set once */

	struct proc_dir_entry *proc_dir;
	u32 bus_props[QVZEL_BP_COUNT];
	struct qvzel_prop bus_files[QVZEL_BP_COUNT];
	struct qvzel_prop serial_file;
	struct qvzel_prop path_file;
	char serial[QVZEL_SERIAL_SIZE];
	char path[32];
};

/* qvzel_main.c */
const char *qvzel_class_name(enum qvzel_class cls);
void qvzel_card_put(struct qvzel_card *card);

/* qvzel_proc.c */
int qvzel_proc_init(void);
void qvzel_proc_exit(void);
int qvzel_proc_add(struct qvzel_card *card);
void qvzel_proc_remove(struct qvzel_card *card);

/* qvzel_cdev.c */
int qvzel_cdev_init(void);
void qvzel_cdev_exit(void);
int qvzel_cdev_add(struct qvzel_card *card);
void qvzel_cdev_remove(struct qvzel_card *card);

/*
 * qvzel_flash.c: all under @flash_lock; each returns QVZEL_DRV_STATUS_OK or
 * a QVZEL_DRV_STATUS_ failure, never an errno.
 */
bool qvzel_card_alive(struct qvzel_card *card);
int qvzel_flash_identify(struct qvzel_card *card);
int qvzel_flash_read(struct qvzel_card *card, u32 addr, u8 *buf, u32 len);
int qvzel_flash_write(struct qvzel_card *card, const struct qvzel_firmware_input *in,
		      const u8 *image, u8 *scratch);

#endif /* QVZEL_H */
