/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * qvlab.h - the PXI lab: a software PCI root bus with link cards behind it
 *
 * Files: qvlab_main.c (module, control device), qvlab_bus.c (root bus,
 * configuration space, removal and rescan), qvlab_card.c (an upstream
 * card's registers and its SPI NOR flash), qvlab_backend.c (the regmap the
 * driver qvzel reaches a card through).
 */
#ifndef QVLAB_H
#define QVLAB_H

#include <linux/kref.h>
#include <linux/mutex.h>
#include <linux/pci.h>
#include <linux/spinlock.h>

#include "qvlab_uapi.h"

#define QVLAB_CFG_SIZE 4096

/* The SPI NOR flash and register file of one upstream card. */
struct qvlab_card {
	struct kref ref; /* the lab's function and every regmap handed out */
	struct mutex lock; /* register and flash state */
	bool present; /* false once unplugged: registers read all ones */
	u32 fw_version;
	u32 hw_revision;
	u32 pinout;
	u8 jedec_id[3];
	u32 flash_size;
	u8 *flash;
	/* the SPI transfer in progress */
	bool selected;
	u8 command;
	u32 count; /* bytes shifted since chip select, opcode included */
	u32 address;
	u8 miso; /* the byte shifted in during the last write */
	bool programmed; /* a page program stored bytes: busy on release */
	/* the flash's status */
	bool wel;
	u32 busy_reads; /* status reads that still report WIP */
};

struct qvlab_fn {
	struct qvlab_function rec;
	struct qvlab_fn *parent;
	unsigned int depth;
	bool unplugged;
	bool link_up; /* ports: trained; other functions: unused */
	u8 cfg[QVLAB_CFG_SIZE];
	u8 wmask[QVLAB_CFG_SIZE]; /* bits software may change */
	struct qvlab_card *card;
};

struct qvlab {
	struct pci_sysdata sysdata;
	struct resource busn;
	struct pci_bus *root;
	unsigned int count;
	struct qvlab_fn *fns; /* vmalloc'ed array of @count */
};

/* Lab state read from configuration accesses, which run under pci_lock. */
extern raw_spinlock_t qvlab_cfg_lock;
extern struct pci_ops qvlab_pci_ops;

/* qvlab_bus.c */
int qvlab_build(struct qvlab *lab, const struct qvlab_function *recs, unsigned int count);
int qvlab_start(struct qvlab *lab);
void qvlab_stop(struct qvlab *lab);
struct qvlab_fn *qvlab_find(struct qvlab *lab, const char *name);
bool qvlab_fn_present(const struct qvlab_fn *fn);
u8 qvlab_fn_bus(const struct qvlab_fn *fn);
int qvlab_unplug(struct qvlab *lab, struct qvlab_fn *fn);
int qvlab_plug(struct qvlab *lab, struct qvlab_fn *fn);
int qvlab_cable(struct qvlab *lab, struct qvlab_fn *fn, bool on);
struct qvlab_card *qvlab_card_of(struct pci_dev *pdev);

/* qvlab_card.c */
struct qvlab_card *qvlab_card_create(const struct qvlab_function *rec);
void qvlab_card_put(struct qvlab_card *card);
void qvlab_card_reload(struct qvlab_card *card);
u32 qvlab_card_version(struct qvlab_card *card);
void qvlab_card_set_present(struct qvlab_card *card, bool present);
u32 qvlab_card_read(struct qvlab_card *card, unsigned int reg);
void qvlab_card_write(struct qvlab_card *card, unsigned int reg, u32 val);
int qvlab_card_flash_io(struct qvlab_card *card, u32 offset, u32 length, u8 *buf, bool write);

/* qvlab_backend.c */
int qvlab_backend_register(void);
void qvlab_backend_unregister(void);

#endif /* QVLAB_H */
