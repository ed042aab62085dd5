// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvzel - driver for the PXI / PXI Express link functions the library finds
 * through device interfaces.
 *
 * Every function matching the ID table is published: a directory under
 * /proc/driver/qv/ (qvzel_proc.c) and a character device /dev/qv/qvzelN
 * (qvzel_cdev.c). The upstream card of class Cyclone4UpstreamZEL also gets
 * its registers, through which the driver reads attributes and writes the
 * card's flash (qvzel_flash.c).
 *
 * Functions reach the driver in two ways. Those it binds come through probe.
 * PCI Express switch ports (the IDT upstream row is one) are claimed by the
 * kernel's built-in port driver before any module can bind them; those are
 * published beside their driver: a PCI bus notifier sees a matching function
 * bound to another driver (and an initial scan sees those bound before this
 * module loaded), the card holds a pci_dev reference, and the function is
 * unpublished when that driver unbinds or the device goes.
 *
 * Registers come through a regmap: from a registered backend (a software
 * card, the lab) when it knows the function, else BAR0 mapped for MMIO.
 */
#include <linux/device.h>
#include <linux/err.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/notifier.h>
#include <linux/pci.h>
#include <linux/slab.h>

#include "qvzel.h"

#define QVZEL_SUBSYSTEM_IDT_FIRST 0x5A10
#define QVZEL_SUBSYSTEM_IDT_LAST 0x5A13

#define QVZEL_IDT_ROW(sub)                                                                   \
	{ PCI_DEVICE_SUB(QVZEL_PCI_VENDOR_IDT, QVZEL_PCI_DEVICE_IDT_UPSTREAM, QVZEL_PCI_VENDOR_QV, \
			 (sub)),                                                             \
	  .driver_data = QVZEL_IDT_UPSTREAM }

static const struct pci_device_id qvzel_pci_ids[] = {
	{ PCI_DEVICE(QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_PXI4120), .driver_data = QVZEL_PXI4120 },
	{ PCI_DEVICE(QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_PXI4135), .driver_data = QVZEL_PXI4135 },
	{ PCI_DEVICE(QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_ZEL7), .driver_data = QVZEL_ZEL7 },
	QVZEL_IDT_ROW(QVZEL_SUBSYSTEM_IDT_FIRST),
	QVZEL_IDT_ROW(QVZEL_SUBSYSTEM_IDT_FIRST + 1),
	QVZEL_IDT_ROW(QVZEL_SUBSYSTEM_IDT_FIRST + 2),
	QVZEL_IDT_ROW(QVZEL_SUBSYSTEM_IDT_LAST),
	/* The card's own bridges carry the same IDs without this subsystem: not bound. */
	{ PCI_DEVICE_SUB(QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_CYCLONE4, QVZEL_PCI_VENDOR_QV,
			 QVZEL_PCI_SUBSYSTEM_CYCLONE4),
	  .driver_data = QVZEL_CYCLONE4 },
	{}
};
MODULE_DEVICE_TABLE(pci, qvzel_pci_ids);

static const char *const qvzel_class_names[] = {
	[QVZEL_PXI4120] = QVZEL_CLASS_PXI4120,
	[QVZEL_PXI4135] = QVZEL_CLASS_PXI4135,
	[QVZEL_ZEL7] = QVZEL_CLASS_ZEL7,
	[QVZEL_IDT_UPSTREAM] = QVZEL_CLASS_IDT_UPSTREAM,
	[QVZEL_CYCLONE4] = QVZEL_CLASS_CYCLONE4_UPSTREAM,
};

const char *qvzel_class_name(enum qvzel_class cls)
{
	return qvzel_class_names[cls];
}

/* ---- Backend registry ---------------------------------------------------- */

/* The one registered software card, or NULL. */
static DEFINE_MUTEX(qvzel_backend_lock);
static const struct qvzel_backend *qvzel_backend;

int qvzel_register_backend(const struct qvzel_backend *backend)
{
	int ret = 0;

	if (!backend || !backend->get_regmap || !backend->put_regmap)
		return -EINVAL;
	mutex_lock(&qvzel_backend_lock);
	if (qvzel_backend)
		ret = -EBUSY;
	else
		qvzel_backend = backend;
	mutex_unlock(&qvzel_backend_lock);
	return ret;
}
EXPORT_SYMBOL_GPL(qvzel_register_backend);

void qvzel_unregister_backend(const struct qvzel_backend *backend)
{
	mutex_lock(&qvzel_backend_lock);
	if (qvzel_backend == backend)
		qvzel_backend = NULL;
	mutex_unlock(&qvzel_backend_lock);
}
EXPORT_SYMBOL_GPL(qvzel_unregister_backend);

/* The backend's regmap for @pdev; holds its module only for the call. */
static struct regmap *qvzel_backend_regmap(struct qvzel_card *card)
{
	const struct qvzel_backend *backend;
	struct regmap *map = NULL;

	mutex_lock(&qvzel_backend_lock);
	backend = qvzel_backend;
	if (backend && try_module_get(backend->owner)) {
		map = backend->get_regmap(card->pdev);
		module_put(backend->owner);
	}
	mutex_unlock(&qvzel_backend_lock);
	if (IS_ERR_OR_NULL(map))
		return NULL;
	card->backend = backend;
	return map;
}

static const struct regmap_config qvzel_regmap_config = {
	.name = QVZEL_NAME,
	.reg_bits = 32,
	.val_bits = 32,
	.reg_stride = 4,
	.max_register = QVZEL_REG_LAST,
	.cache_type = REGCACHE_NONE,
};

/* A real card: BAR0, managed by devres of the bound function. */
static struct regmap *qvzel_mmio_regmap(struct pci_dev *pdev)
{
	int ret;

	if (!(pci_resource_flags(pdev, 0) & IORESOURCE_MEM) ||
	    pci_resource_len(pdev, 0) < QVZEL_BAR0_SIZE)
		return ERR_PTR(-ENODEV);
	ret = pcim_enable_device(pdev);
	if (ret)
		return ERR_PTR(ret);
	ret = pcim_iomap_regions(pdev, BIT(0), QVZEL_NAME);
	if (ret)
		return ERR_PTR(ret);
	return devm_regmap_init_mmio(&pdev->dev, pcim_iomap_table(pdev)[0], &qvzel_regmap_config);
}

/* ---- Cards --------------------------------------------------------------- */

/* Published cards; qvzel_track_lock serialises publishing beside other drivers. */
static LIST_HEAD(qvzel_cards);
static DEFINE_MUTEX(qvzel_lock);
static DEFINE_MUTEX(qvzel_track_lock);

static struct pci_driver qvzel_pci_driver;

static void qvzel_card_release(struct kref *ref)
{
	struct qvzel_card *card = container_of(ref, struct qvzel_card, ref);

	pci_dev_put(card->pdev);
	kfree(card);
}

void qvzel_card_put(struct qvzel_card *card)
{
	kref_put(&card->ref, qvzel_card_release);
}

static struct qvzel_card *qvzel_card_new(struct pci_dev *pdev, enum qvzel_class cls, bool owned)
{
	struct qvzel_card *card;

	card = kzalloc(sizeof(*card), GFP_KERNEL);
	if (!card)
		return NULL;
	kref_init(&card->ref);
	INIT_LIST_HEAD(&card->node);
	init_rwsem(&card->lock);
	mutex_init(&card->flash_lock);
	card->pdev = pci_dev_get(pdev);
	card->cls = cls;
	card->owned = owned;
	card->minor = -1;
	return card;
}

/* Gives the registers back; a devres map goes with the function's devres. */
static void qvzel_card_drop_map(struct qvzel_card *card, struct regmap *map)
{
	if (map && card->backend)
		card->backend->put_regmap(card->pdev, map);
}

static int qvzel_publish(struct qvzel_card *card)
{
	struct pci_dev *pdev = card->pdev;
	int ret;

	if (card->map) {
		mutex_lock(&card->flash_lock);
		ret = qvzel_flash_identify(card);
		mutex_unlock(&card->flash_lock);
		if (ret)
			dev_warn(&pdev->dev, "no flash part answers (%d)\n", ret);
	}
	ret = qvzel_cdev_add(card);
	if (ret)
		return ret;
	ret = qvzel_proc_add(card);
	if (ret) {
		qvzel_cdev_remove(card);
		return ret;
	}
	mutex_lock(&qvzel_lock);
	list_add_tail(&card->node, &qvzel_cards);
	mutex_unlock(&qvzel_lock);
	if (card->owned)
		dev_info(&pdev->dev, "%s at %s\n", qvzel_class_name(card->cls), card->path);
	else
		dev_info(&pdev->dev, "%s at %s (bound to %s)\n", qvzel_class_name(card->cls),
			 card->path, pdev->dev.driver->name);
	return 0;
}

/*
 * The files go first, so nothing new finds the card; then the card is marked
 * gone, which waits for requests in flight; then the registers go back.
 * Open files keep the card itself until they are closed.
 */
static void qvzel_unpublish(struct qvzel_card *card)
{
	struct regmap *map;

	mutex_lock(&qvzel_lock);
	list_del_init(&card->node);
	mutex_unlock(&qvzel_lock);
	qvzel_proc_remove(card);
	qvzel_cdev_remove(card);
	down_write(&card->lock);
	card->gone = true;
	map = card->map;
	card->map = NULL;
	up_write(&card->lock);
	qvzel_card_drop_map(card, map);
	qvzel_card_put(card);
}

/* ---- Functions this driver binds ----------------------------------------- */

static int qvzel_probe(struct pci_dev *pdev, const struct pci_device_id *id)
{
	struct qvzel_card *card;
	struct regmap *map;
	int ret;

	card = qvzel_card_new(pdev, id->driver_data, true);
	if (!card)
		return -ENOMEM;
	if (card->cls == QVZEL_CYCLONE4) {
		map = qvzel_backend_regmap(card);
		if (!map)
			map = qvzel_mmio_regmap(pdev);
		if (IS_ERR(map)) {
			ret = PTR_ERR(map);
			dev_err(&pdev->dev, "no card registers: %d\n", ret);
			goto err_card;
		}
		card->map = map;
	}
	ret = qvzel_publish(card);
	if (ret)
		goto err_map;
	pci_set_drvdata(pdev, card);
	return 0;

err_map:
	qvzel_card_drop_map(card, card->map);
err_card:
	qvzel_card_put(card);
	return ret;
}

static void qvzel_remove(struct pci_dev *pdev)
{
	qvzel_unpublish(pci_get_drvdata(pdev));
}

static struct pci_driver qvzel_pci_driver = {
	.name = QVZEL_NAME,
	.id_table = qvzel_pci_ids,
	.probe = qvzel_probe,
	.remove = qvzel_remove,
};

/* ---- Functions bound to another driver ----------------------------------- */

/* Called under qvzel_track_lock. */
static struct qvzel_card *qvzel_find_tracked(struct pci_dev *pdev)
{
	struct qvzel_card *card, *found = NULL;

	mutex_lock(&qvzel_lock);
	list_for_each_entry(card, &qvzel_cards, node) {
		if (card->pdev == pdev && !card->owned) {
			found = card;
			break;
		}
	}
	mutex_unlock(&qvzel_lock);
	return found;
}

/*
 * Publishes @pdev beside the driver it is bound to. Such a card's registers
 * come only from a backend: BAR0 belongs to the bound driver.
 */
static void qvzel_track(struct pci_dev *pdev)
{
	const struct pci_device_id *id;
	struct qvzel_card *card;

	if (!pdev->dev.driver || pdev->dev.driver == &qvzel_pci_driver.driver)
		return;
	id = pci_match_id(qvzel_pci_ids, pdev);
	if (!id)
		return;
	mutex_lock(&qvzel_track_lock);
	if (qvzel_find_tracked(pdev))
		goto out;
	card = qvzel_card_new(pdev, id->driver_data, false);
	if (!card)
		goto out;
	if (card->cls == QVZEL_CYCLONE4)
		card->map = qvzel_backend_regmap(card);
	if (qvzel_publish(card)) {
		dev_warn(&pdev->dev, "cannot publish %s\n", qvzel_class_name(card->cls));
		qvzel_card_drop_map(card, card->map);
		qvzel_card_put(card);
	}
out:
	mutex_unlock(&qvzel_track_lock);
}

static void qvzel_untrack(struct pci_dev *pdev)
{
	struct qvzel_card *card;

	mutex_lock(&qvzel_track_lock);
	card = qvzel_find_tracked(pdev);
	if (card)
		qvzel_unpublish(card);
	mutex_unlock(&qvzel_track_lock);
}

static int qvzel_bus_notify(struct notifier_block *nb, unsigned long action, void *data)
{
	struct pci_dev *pdev = to_pci_dev(data);

	switch (action) {
	case BUS_NOTIFY_BOUND_DRIVER:
		qvzel_track(pdev);
		break;
	case BUS_NOTIFY_UNBIND_DRIVER:
	case BUS_NOTIFY_DEL_DEVICE:
		qvzel_untrack(pdev);
		break;
	}
	return NOTIFY_DONE;
}

static struct notifier_block qvzel_bus_nb = {
	.notifier_call = qvzel_bus_notify,
};

/* Functions bound before this module loaded; the device lock keeps their driver still. */
static void qvzel_scan(void)
{
	struct pci_dev *pdev = NULL;

	for_each_pci_dev(pdev) {
		device_lock(&pdev->dev);
		qvzel_track(pdev);
		device_unlock(&pdev->dev);
	}
}

static void qvzel_untrack_all(void)
{
	struct qvzel_card *card;

	mutex_lock(&qvzel_track_lock);
	for (;;) {
		mutex_lock(&qvzel_lock);
		card = list_first_entry_or_null(&qvzel_cards, struct qvzel_card, node);
		mutex_unlock(&qvzel_lock);
		if (!card)
			break;
		qvzel_unpublish(card);
	}
	mutex_unlock(&qvzel_track_lock);
}

/* ---- Module -------------------------------------------------------------- */

static int __init qvzel_init(void)
{
	int ret;

	ret = qvzel_proc_init();
	if (ret)
		return ret;
	ret = qvzel_cdev_init();
	if (ret)
		goto err_proc;
	ret = bus_register_notifier(&pci_bus_type, &qvzel_bus_nb);
	if (ret)
		goto err_cdev;
	ret = pci_register_driver(&qvzel_pci_driver);
	if (ret)
		goto err_notifier;
	qvzel_scan();
	return 0;

err_notifier:
	bus_unregister_notifier(&pci_bus_type, &qvzel_bus_nb);
	qvzel_untrack_all();
err_cdev:
	qvzel_cdev_exit();
err_proc:
	qvzel_proc_exit();
	return ret;
}

static void __exit qvzel_exit(void)
{
	bus_unregister_notifier(&pci_bus_type, &qvzel_bus_nb);
	pci_unregister_driver(&qvzel_pci_driver);
	/* What is left was published beside other drivers. */
	qvzel_untrack_all();
	qvzel_cdev_exit();
	qvzel_proc_exit();
}

module_init(qvzel_init);
module_exit(qvzel_exit);

MODULE_DESCRIPTION("PXI / PXI Express link function driver");
MODULE_LICENSE("GPL");
