// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvlab_backend.c - the regmap through which the driver reaches a lab card
 *
 * The driver asks the registered backend for the register map of each
 * function it probes. For the lab's cards it is a regmap whose reads and
 * writes go to the card model; the card stays allocated until the driver
 * gives the map back, even when the lab has dropped the card meanwhile.
 */
#include <linux/err.h>
#include <linux/list.h>
#include <linux/regmap.h>
#include <linux/slab.h>

#include "qvlab.h"
#include "qvzel_backend.h"
#include "qvzel_driver.h"

static int qvlab_reg_read(void *context, unsigned int reg, unsigned int *val)
{
	*val = qvlab_card_read(context, reg);
	return 0;
}

static int qvlab_reg_write(void *context, unsigned int reg, unsigned int val)
{
	qvlab_card_write(context, reg, val);
	return 0;
}

static const struct regmap_config qvlab_regmap_config = {
	.name = "qvlab",
	.reg_bits = 32,
	.val_bits = 32,
	.reg_stride = 4,
	.max_register = QVZEL_REG_LAST,
	.reg_read = qvlab_reg_read,
	.reg_write = qvlab_reg_write,
	.cache_type = REGCACHE_NONE,
	/* The card model serialises its own state. */
	.disable_locking = true,
};

/* Maps handed out, each with the card it holds a reference to. */
struct qvlab_map {
	struct list_head node;
	struct regmap *map;
	struct qvlab_card *card;
};

static LIST_HEAD(qvlab_maps);
static DEFINE_MUTEX(qvlab_maps_lock);

static struct regmap *qvlab_get_regmap(struct pci_dev *pdev)
{
	struct qvlab_map *entry;
	struct qvlab_card *card;

	card = qvlab_card_of(pdev);
	if (!card)
		return NULL;
	entry = kzalloc(sizeof(*entry), GFP_KERNEL);
	if (!entry)
		goto err_card;
	entry->map = regmap_init(&pdev->dev, NULL, card, &qvlab_regmap_config);
	if (IS_ERR(entry->map))
		goto err_entry;
	entry->card = card;
	mutex_lock(&qvlab_maps_lock);
	list_add(&entry->node, &qvlab_maps);
	mutex_unlock(&qvlab_maps_lock);
	return entry->map;

err_entry:
	kfree(entry);
err_card:
	qvlab_card_put(card);
	return NULL;
}

static void qvlab_put_regmap(struct pci_dev *pdev, struct regmap *map)
{
	struct qvlab_map *entry, *found = NULL;

	mutex_lock(&qvlab_maps_lock);
	list_for_each_entry(entry, &qvlab_maps, node) {
		if (entry->map == map) {
			list_del(&entry->node);
			found = entry;
			break;
		}
	}
	mutex_unlock(&qvlab_maps_lock);
	if (WARN_ON(!found))
		return;
	regmap_exit(found->map);
	qvlab_card_put(found->card);
	kfree(found);
}

static const struct qvzel_backend qvlab_backend = {
	.owner = THIS_MODULE,
	.get_regmap = qvlab_get_regmap,
	.put_regmap = qvlab_put_regmap,
};

int qvlab_backend_register(void)
{
	return qvzel_register_backend(&qvlab_backend);
}

void qvlab_backend_unregister(void)
{
	qvzel_unregister_backend(&qvlab_backend);
}
