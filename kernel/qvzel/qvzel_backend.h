/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * qvzel_backend.h - how a software card hands its registers to the driver
 *
 * The driver reaches every card through a regmap. For a real card that is
 * BAR0 mapped with devm_regmap_init_mmio(); a module that models cards in
 * software (the lab) registers a backend instead, and the driver's probe asks
 * it first. Attaching devres to a pci_dev before its probe is refused by the
 * driver core, hence this hook rather than a devres-managed regmap.
 */
#ifndef QVZEL_BACKEND_H
#define QVZEL_BACKEND_H

#include <linux/module.h>
#include <linux/pci.h>
#include <linux/regmap.h>

/* A software card (the lab) supplies the register map of the functions it models. */
struct qvzel_backend {
	struct module *owner;
	/* Returns a referenced regmap for @pdev, or NULL when @pdev is not one of the backend's. */
	struct regmap *(*get_regmap)(struct pci_dev *pdev);
	/* Drops the reference get_regmap gave; called from the driver's remove after all users are done. */
	void (*put_regmap)(struct pci_dev *pdev, struct regmap *map);
};

int qvzel_register_backend(const struct qvzel_backend *backend);
void qvzel_unregister_backend(const struct qvzel_backend *backend);

#endif /* QVZEL_BACKEND_H */
