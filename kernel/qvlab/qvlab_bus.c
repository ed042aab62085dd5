// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvlab_bus.c - the lab's PCI root bus and the configuration space behind it
 *
 * Every function is a 4 KiB configuration space in memory with a mask of the
 * bits software may write. Accesses are routed as type 1 bridges route them:
 * a function sits on the bus its parent bridge's secondary bus number names,
 * so the numbers the kernel reads or writes decide what it finds. A function
 * answers only while it is plugged and every port above it has a trained
 * link; otherwise the access fails with all ones, as an empty slot does.
 */
#include <linux/pci.h>
#include <linux/slab.h>
#include <linux/vmalloc.h>
#include <asm/unaligned.h>

#include "qvlab.h"
#include "qvzel_driver.h"

DEFINE_RAW_SPINLOCK(qvlab_cfg_lock);

/* Capability layout of every function. */
#define QVLAB_CAP_PCIE 0x40
#define QVLAB_CAP_SSVID 0x80
#define QVLAB_EXT_DSN 0x100

#define QVLAB_PCIE_CAP_VERSION 2
#define QVLAB_SPEED_MAX 6
#define QVLAB_WIDTH_MAX 32
#define QVLAB_DEVCTL_DEFAULT 0x2810 /* 512-byte reads, relaxed ordering, no snoop */
#define QVLAB_MEM_WINDOW_CLOSED 0xFFF0 /* base above limit */
#define QVLAB_IO_WINDOW_CLOSED 0xF0
#define QVLAB_HEADER_MULTIFUNCTION 0x80

static bool qvlab_is_port(const struct qvlab_fn *fn)
{
	return fn->rec.pcie_type == QVLAB_PCIE_ROOT_PORT ||
	       fn->rec.pcie_type == QVLAB_PCIE_DOWNSTREAM;
}

static bool qvlab_is_bridge(const struct qvlab_fn *fn)
{
	return fn->rec.flags & QVLAB_FN_BRIDGE;
}

static void qvlab_set16(struct qvlab_fn *fn, unsigned int where, u16 val, u16 wmask)
{
	put_unaligned_le16(val, fn->cfg + where);
	put_unaligned_le16(wmask, fn->wmask + where);
}

/* Link Status: a port with its link down reads x0 at 2.5 GT/s and no data link. */
static void qvlab_update_link(struct qvlab_fn *fn)
{
	u16 sta;

	if (fn->rec.pcie_type == QVLAB_PCIE_NONE)
		return;
	if (qvlab_is_port(fn) && !fn->link_up)
		sta = PCI_EXP_LNKSTA_CLS_2_5GB;
	else
		sta = (fn->rec.speed & PCI_EXP_LNKSTA_CLS) |
		      ((fn->rec.width << 4) & PCI_EXP_LNKSTA_NLW);
	if (qvlab_is_port(fn) && fn->link_up)
		sta |= PCI_EXP_LNKSTA_DLLLA;
	put_unaligned_le16(sta, fn->cfg + QVLAB_CAP_PCIE + PCI_EXP_LNKSTA);
}

static void qvlab_init_pcie(struct qvlab_fn *fn, u8 next)
{
	const struct qvlab_function *r = &fn->rec;
	u8 *cap = fn->cfg + QVLAB_CAP_PCIE;
	u32 lnkcap;

	cap[PCI_CAP_LIST_ID] = PCI_CAP_ID_EXP;
	cap[PCI_CAP_LIST_NEXT] = next;
	put_unaligned_le16(QVLAB_PCIE_CAP_VERSION | (r->pcie_type << 4), cap + PCI_EXP_FLAGS);
	qvlab_set16(fn, QVLAB_CAP_PCIE + PCI_EXP_DEVCTL, QVLAB_DEVCTL_DEFAULT, 0x7FFF);
	lnkcap = (r->max_speed & PCI_EXP_LNKCAP_SLS) | ((r->max_width << 4) & PCI_EXP_LNKCAP_MLW) |
		 ((u32)r->port_number << 24);
	if (qvlab_is_port(fn))
		lnkcap |= PCI_EXP_LNKCAP_DLLLARC;
	put_unaligned_le32(lnkcap, cap + PCI_EXP_LNKCAP);
	/* No link disable and no retraining: the lab's links train as described. */
	qvlab_set16(fn, QVLAB_CAP_PCIE + PCI_EXP_LNKCTL, 0, 0x0FCB);
	if (r->pcie_type == QVLAB_PCIE_ROOT_PORT)
		qvlab_set16(fn, QVLAB_CAP_PCIE + PCI_EXP_RTCTL, 0, 0x001F);
	qvlab_set16(fn, QVLAB_CAP_PCIE + PCI_EXP_DEVCTL2, 0, 0xFFFF);
	/* Supported speeds vector: every rate up to the highest. */
	put_unaligned_le32(GENMASK(r->max_speed, 1), cap + PCI_EXP_LNKCAP2);
	qvlab_set16(fn, QVLAB_CAP_PCIE + PCI_EXP_LNKCTL2, r->max_speed, 0x003F);
	qvlab_update_link(fn);
}

static void qvlab_init_cfg(struct qvlab_fn *fn, u8 bus)
{
	const struct qvlab_function *r = &fn->rec;
	bool ssvid = qvlab_is_bridge(fn) && (r->subsystem_vendor || r->subsystem_device);
	u8 caps = 0;

	memset(fn->cfg, 0, sizeof(fn->cfg));
	memset(fn->wmask, 0, sizeof(fn->wmask));
	put_unaligned_le16(r->vendor, fn->cfg + PCI_VENDOR_ID);
	put_unaligned_le16(r->device, fn->cfg + PCI_DEVICE_ID);
	qvlab_set16(fn, PCI_COMMAND, 0,
		    PCI_COMMAND_IO | PCI_COMMAND_MEMORY | PCI_COMMAND_MASTER | PCI_COMMAND_PARITY |
			    PCI_COMMAND_SERR | PCI_COMMAND_INTX_DISABLE);
	put_unaligned_le32(r->class_code << 8, fn->cfg + PCI_CLASS_REVISION);
	fn->wmask[PCI_CACHE_LINE_SIZE] = 0xFF;
	fn->wmask[PCI_LATENCY_TIMER] = 0xFF;
	fn->wmask[PCI_INTERRUPT_LINE] = 0xFF;

	if (r->pcie_type != QVLAB_PCIE_NONE)
		caps = QVLAB_CAP_PCIE;
	else if (ssvid)
		caps = QVLAB_CAP_SSVID;
	if (caps)
		put_unaligned_le16(PCI_STATUS_CAP_LIST, fn->cfg + PCI_STATUS);
	fn->cfg[PCI_CAPABILITY_LIST] = caps;

	if (qvlab_is_bridge(fn)) {
		fn->cfg[PCI_HEADER_TYPE] = PCI_HEADER_TYPE_BRIDGE;
		fn->cfg[PCI_PRIMARY_BUS] = bus;
		fn->wmask[PCI_PRIMARY_BUS] = 0xFF;
		fn->wmask[PCI_SECONDARY_BUS] = 0xFF;
		fn->wmask[PCI_SUBORDINATE_BUS] = 0xFF;
		fn->wmask[PCI_SEC_LATENCY_TIMER] = 0xFF;
		/*
		 * Every window starts closed (base above limit), as firmware
		 * leaves a bridge with nothing behind it to map.
		 */
		fn->cfg[PCI_IO_BASE] = QVLAB_IO_WINDOW_CLOSED;
		fn->wmask[PCI_IO_BASE] = QVLAB_IO_WINDOW_CLOSED;
		fn->wmask[PCI_IO_LIMIT] = QVLAB_IO_WINDOW_CLOSED;
		qvlab_set16(fn, PCI_MEMORY_BASE, QVLAB_MEM_WINDOW_CLOSED, 0xFFF0);
		qvlab_set16(fn, PCI_MEMORY_LIMIT, 0, 0xFFF0);
		qvlab_set16(fn, PCI_PREF_MEMORY_BASE, QVLAB_MEM_WINDOW_CLOSED, 0xFFF0);
		qvlab_set16(fn, PCI_PREF_MEMORY_LIMIT, 0, 0xFFF0);
		qvlab_set16(fn, PCI_BRIDGE_CONTROL, 0, 0x00FF);
	} else {
		put_unaligned_le16(r->subsystem_vendor, fn->cfg + PCI_SUBSYSTEM_VENDOR_ID);
		put_unaligned_le16(r->subsystem_device, fn->cfg + PCI_SUBSYSTEM_ID);
	}

	if (r->pcie_type != QVLAB_PCIE_NONE)
		qvlab_init_pcie(fn, ssvid ? QVLAB_CAP_SSVID : 0);
	if (ssvid) {
		fn->cfg[QVLAB_CAP_SSVID + PCI_CAP_LIST_ID] = PCI_CAP_ID_SSVID;
		put_unaligned_le16(r->subsystem_vendor, fn->cfg + QVLAB_CAP_SSVID + PCI_SSVID_VENDOR_ID);
		put_unaligned_le16(r->subsystem_device, fn->cfg + QVLAB_CAP_SSVID + PCI_SSVID_DEVICE_ID);
	}
	if (r->flags & QVLAB_FN_DSN) {
		put_unaligned_le32(PCI_EXT_CAP_ID_DSN | (1 << 16), fn->cfg + QVLAB_EXT_DSN);
		put_unaligned_le64(r->dsn, fn->cfg + QVLAB_EXT_DSN + 4);
	}
}

static int qvlab_check(const struct qvlab_function *recs, unsigned int count)
{
	unsigned int i, j;

	for (i = 0; i < count; i++) {
		const struct qvlab_function *r = &recs[i];

		if (!r->name[0] || strnlen(r->name, QVLAB_NAME_LEN) == QVLAB_NAME_LEN)
			return -EINVAL;
		if (r->parent < QVLAB_NO_PARENT || r->parent >= (s32)i)
			return -EINVAL;
		if (r->parent >= 0 && !(recs[r->parent].flags & QVLAB_FN_BRIDGE))
			return -EINVAL;
		if (r->class_code > 0xFFFFFF || r->max_speed > QVLAB_SPEED_MAX ||
		    r->speed > QVLAB_SPEED_MAX || r->max_width > QVLAB_WIDTH_MAX ||
		    r->width > QVLAB_WIDTH_MAX)
			return -EINVAL;
		switch (r->pcie_type) {
		case QVLAB_PCIE_ENDPOINT:
		case QVLAB_PCIE_ROOT_PORT:
		case QVLAB_PCIE_UPSTREAM:
		case QVLAB_PCIE_DOWNSTREAM:
		case QVLAB_PCIE_PCI_BRIDGE:
		case QVLAB_PCIE_NONE:
			break;
		default:
			return -EINVAL;
		}
		if ((r->flags & QVLAB_FN_CARD) &&
		    (!is_power_of_2(r->flash_size) || r->flash_size < QVZEL_FLASH_SECTOR_SIZE ||
		     r->flash_size > QVLAB_MAX_FLASH_SIZE || (r->flags & QVLAB_FN_BRIDGE)))
			return -EINVAL;
		for (j = 0; j < i; j++) {
			if (!strncmp(recs[j].name, r->name, QVLAB_NAME_LEN))
				return -EEXIST;
			if (recs[j].parent == r->parent && recs[j].devfn == r->devfn)
				return -EEXIST;
		}
	}
	return 0;
}

/* Numbers the buses below @idx depth first, as firmware does at boot. */
static int qvlab_number(struct qvlab *lab, int idx, unsigned int *next)
{
	struct qvlab_fn *bridge = &lab->fns[idx];
	unsigned int i;
	int ret;

	if (*next > 0xFF)
		return -ENOSPC;
	bridge->cfg[PCI_SECONDARY_BUS] = *next;
	(*next)++;
	for (i = idx + 1; i < lab->count; i++) {
		struct qvlab_fn *fn = &lab->fns[i];

		if (fn->rec.parent != idx)
			continue;
		qvlab_init_cfg(fn, bridge->cfg[PCI_SECONDARY_BUS]);
		if (qvlab_is_bridge(fn)) {
			ret = qvlab_number(lab, i, next);
			if (ret)
				return ret;
		}
	}
	bridge->cfg[PCI_SUBORDINATE_BUS] = *next - 1;
	return 0;
}

/* Function 0 of a device with further functions says so, or the kernel looks no further. */
static void qvlab_mark_multifunction(struct qvlab *lab)
{
	unsigned int i, j;

	for (i = 0; i < lab->count; i++) {
		struct qvlab_fn *fn = &lab->fns[i];

		if (PCI_FUNC(fn->rec.devfn))
			continue;
		for (j = 0; j < lab->count; j++) {
			struct qvlab_fn *other = &lab->fns[j];

			if (other->parent == fn->parent && PCI_FUNC(other->rec.devfn) &&
			    PCI_SLOT(other->rec.devfn) == PCI_SLOT(fn->rec.devfn)) {
				fn->cfg[PCI_HEADER_TYPE] |= QVLAB_HEADER_MULTIFUNCTION;
				break;
			}
		}
	}
}

int qvlab_build(struct qvlab *lab, const struct qvlab_function *recs, unsigned int count)
{
	unsigned int next = QVLAB_ROOT_BUS + 1;
	unsigned int i;
	int ret;

	ret = qvlab_check(recs, count);
	if (ret)
		return ret;
	lab->fns = vzalloc(array_size(count, sizeof(*lab->fns)));
	if (!lab->fns)
		return -ENOMEM;
	lab->count = count;
	for (i = 0; i < count; i++) {
		struct qvlab_fn *fn = &lab->fns[i];

		fn->rec = recs[i];
		fn->parent = recs[i].parent >= 0 ? &lab->fns[recs[i].parent] : NULL;
		fn->depth = fn->parent ? fn->parent->depth + 1 : 0;
		fn->link_up = recs[i].flags & QVLAB_FN_LINK_UP;
		if (fn->depth >= QVLAB_MAX_DEPTH)
			return -EINVAL;
		if (recs[i].flags & QVLAB_FN_CARD) {
			fn->card = qvlab_card_create(&recs[i]);
			if (!fn->card)
				return -ENOMEM;
		}
	}
	for (i = 0; i < count && !ret; i++) {
		if (lab->fns[i].parent)
			continue;
		qvlab_init_cfg(&lab->fns[i], QVLAB_ROOT_BUS);
		if (qvlab_is_bridge(&lab->fns[i]))
			ret = qvlab_number(lab, i, &next);
	}
	if (!ret)
		qvlab_mark_multifunction(lab);
	return ret;
}

bool qvlab_fn_present(const struct qvlab_fn *fn)
{
	for (; fn; fn = fn->parent) {
		if (fn->unplugged)
			return false;
		if (fn->parent && qvlab_is_port(fn->parent) && !fn->parent->link_up)
			return false;
	}
	return true;
}

u8 qvlab_fn_bus(const struct qvlab_fn *fn)
{
	return fn->parent ? fn->parent->cfg[PCI_SECONDARY_BUS] : QVLAB_ROOT_BUS;
}

/* Called under qvlab_cfg_lock. */
static struct qvlab_fn *qvlab_lookup(struct qvlab *lab, unsigned int busnr, unsigned int devfn)
{
	unsigned int i;

	for (i = 0; i < lab->count; i++) {
		struct qvlab_fn *fn = &lab->fns[i];

		if (fn->rec.devfn == devfn && qvlab_fn_bus(fn) == busnr && qvlab_fn_present(fn))
			return fn;
	}
	return NULL;
}

static struct qvlab *qvlab_of_bus(struct pci_bus *bus)
{
	return container_of(bus->sysdata, struct qvlab, sysdata);
}

static int qvlab_cfg_read(struct pci_bus *bus, unsigned int devfn, int where, int size, u32 *val)
{
	struct qvlab_fn *fn;
	unsigned long flags;
	int ret = PCIBIOS_SUCCESSFUL;

	if (where < 0 || where + size > QVLAB_CFG_SIZE)
		return PCIBIOS_BAD_REGISTER_NUMBER;
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fn = qvlab_lookup(qvlab_of_bus(bus), bus->number, devfn);
	if (!fn) {
		PCI_SET_ERROR_RESPONSE(val);
		ret = PCIBIOS_DEVICE_NOT_FOUND;
	} else if (size == 1) {
		*val = fn->cfg[where];
	} else if (size == 2) {
		*val = get_unaligned_le16(fn->cfg + where);
	} else {
		*val = get_unaligned_le32(fn->cfg + where);
	}
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	return ret;
}

static int qvlab_cfg_write(struct pci_bus *bus, unsigned int devfn, int where, int size, u32 val)
{
	struct qvlab_fn *fn;
	unsigned long flags;
	int ret = PCIBIOS_SUCCESSFUL;
	int i;

	if (where < 0 || where + size > QVLAB_CFG_SIZE)
		return PCIBIOS_BAD_REGISTER_NUMBER;
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fn = qvlab_lookup(qvlab_of_bus(bus), bus->number, devfn);
	if (!fn) {
		ret = PCIBIOS_DEVICE_NOT_FOUND;
	} else {
		for (i = 0; i < size; i++, val >>= 8)
			fn->cfg[where + i] = (fn->cfg[where + i] & ~fn->wmask[where + i]) |
					     (val & fn->wmask[where + i]);
	}
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	return ret;
}

struct pci_ops qvlab_pci_ops = {
	.read = qvlab_cfg_read,
	.write = qvlab_cfg_write,
};

int qvlab_start(struct qvlab *lab)
{
	LIST_HEAD(resources);
	struct pci_bus *bus;

	lab->sysdata.domain = 0;
	lab->sysdata.node = NUMA_NO_NODE;
	lab->busn.name = "qvlab";
	lab->busn.start = QVLAB_ROOT_BUS;
	lab->busn.end = 0xFF;
	lab->busn.flags = IORESOURCE_BUS;
	pci_add_resource(&resources, &lab->busn);

	bus = pci_create_root_bus(NULL, QVLAB_ROOT_BUS, &qvlab_pci_ops, &lab->sysdata, &resources);
	if (!bus) {
		pci_free_resource_list(&resources);
		return -ENODEV;
	}
	lab->root = bus;
	pci_lock_rescan_remove();
	pci_scan_child_bus(bus);
	pci_bus_add_devices(bus);
	pci_unlock_rescan_remove();
	return 0;
}

/* Removes the root bus (drivers see an orderly removal) and frees the lab's functions. */
void qvlab_stop(struct qvlab *lab)
{
	struct qvlab_fn *fns;
	unsigned int i, count;
	unsigned long flags;

	if (lab->root) {
		pci_lock_rescan_remove();
		pci_stop_root_bus(lab->root);
		pci_remove_root_bus(lab->root);
		pci_unlock_rescan_remove();
		lab->root = NULL;
	}
	/* A device someone still holds may read configuration space: it finds nothing. */
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fns = lab->fns;
	count = lab->count;
	lab->fns = NULL;
	lab->count = 0;
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	for (i = 0; i < count; i++)
		qvlab_card_put(fns[i].card);
	vfree(fns);
}

struct qvlab_fn *qvlab_find(struct qvlab *lab, const char *name)
{
	unsigned int i;

	for (i = 0; i < lab->count; i++)
		if (!strncmp(lab->fns[i].rec.name, name, QVLAB_NAME_LEN))
			return &lab->fns[i];
	return NULL;
}

/* The kernel's device for @fn, referenced; NULL when it has none. */
static struct pci_dev *qvlab_pci_dev(struct qvlab_fn *fn)
{
	struct pci_dev *pdev;

	pdev = pci_get_domain_bus_and_slot(0, qvlab_fn_bus(fn), fn->rec.devfn);
	if (pdev && pdev->bus->ops != &qvlab_pci_ops) {
		pci_dev_put(pdev);
		pdev = NULL;
	}
	return pdev;
}

/* Cards are powered while they are reachable. */
static void qvlab_power_cards(struct qvlab *lab)
{
	unsigned int i;

	for (i = 0; i < lab->count; i++)
		if (lab->fns[i].card)
			qvlab_card_set_present(lab->fns[i].card, qvlab_fn_present(&lab->fns[i]));
}

/*
 * Surprise removal: the function and all below it vanish from configuration
 * space first (the slot or cable above loses its link), then the kernel is
 * told, as a hot-plug controller would tell it.
 */
int qvlab_unplug(struct qvlab *lab, struct qvlab_fn *fn)
{
	struct pci_dev *pdev = qvlab_pci_dev(fn);
	unsigned long flags;

	if (fn->unplugged) {
		pci_dev_put(pdev);
		return -ENODEV;
	}
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fn->unplugged = true;
	if (fn->parent && qvlab_is_port(fn->parent)) {
		fn->parent->link_up = false;
		qvlab_update_link(fn->parent);
	}
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	qvlab_power_cards(lab);
	if (pdev) {
		pci_stop_and_remove_bus_device_locked(pdev);
		pci_dev_put(pdev);
	}
	return 0;
}

/* The card or chassis goes back into its slot: the link above trains and the kernel rescans. */
int qvlab_plug(struct qvlab *lab, struct qvlab_fn *fn)
{
	struct pci_dev *pdev = NULL;
	struct pci_bus *bus = lab->root;
	unsigned long flags;

	if (!fn->unplugged)
		return -EBUSY;
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fn->unplugged = false;
	if (fn->parent && qvlab_is_port(fn->parent)) {
		fn->parent->link_up = true;
		qvlab_update_link(fn->parent);
	}
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	qvlab_power_cards(lab);

	if (fn->parent) {
		pdev = qvlab_pci_dev(fn->parent);
		bus = pdev ? pdev->subordinate : NULL;
	}
	if (bus) {
		pci_lock_rescan_remove();
		pci_rescan_bus(bus);
		pci_unlock_rescan_remove();
	}
	pci_dev_put(pdev);
	return 0;
}

static bool qvlab_has_plugged_child(struct qvlab *lab, struct qvlab_fn *port)
{
	unsigned int i;

	for (i = 0; i < lab->count; i++)
		if (lab->fns[i].parent == port && !lab->fns[i].unplugged)
			return true;
	return false;
}

/* Link up (and rescan below the port) or down (and remove what was below). */
int qvlab_cable(struct qvlab *lab, struct qvlab_fn *fn, bool on)
{
	struct pci_dev *pdev, *child, *tmp;
	unsigned long flags;
	int ret = 0;

	if (!qvlab_is_port(fn))
		return -EINVAL;
	if (on && !qvlab_has_plugged_child(lab, fn))
		return -ENXIO;
	if (fn->link_up == on)
		return 0;
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fn->link_up = on;
	qvlab_update_link(fn);
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	qvlab_power_cards(lab);

	pdev = qvlab_pci_dev(fn);
	if (!pdev)
		return 0;
	pci_lock_rescan_remove();
	if (!pdev->subordinate) {
		ret = -ENODEV;
	} else if (on) {
		pci_rescan_bus(pdev->subordinate);
	} else {
		list_for_each_entry_safe_reverse(child, tmp, &pdev->subordinate->devices, bus_list)
			pci_stop_and_remove_bus_device(child);
	}
	pci_unlock_rescan_remove();
	pci_dev_put(pdev);
	return ret;
}

/* The card model behind @pdev, referenced; NULL when @pdev is not a lab card. */
struct qvlab_card *qvlab_card_of(struct pci_dev *pdev)
{
	struct qvlab_card *card = NULL;
	struct qvlab_fn *fn;
	unsigned long flags;

	if (pdev->bus->ops != &qvlab_pci_ops)
		return NULL;
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	fn = qvlab_lookup(qvlab_of_bus(pdev->bus), pdev->bus->number, pdev->devfn);
	if (fn && fn->card) {
		card = fn->card;
		kref_get(&card->ref);
	}
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	return card;
}
