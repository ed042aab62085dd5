// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvzel - driver for the PXI / PXI Express link functions the library finds
 * through device interfaces.
 *
 * So far this module holds the backend hook only (qvzel_backend.h): the one
 * registry through which a software card hands the driver its registers. The
 * PCI driver, the /proc/driver/qv/ layout and the character devices are not
 * here yet.
 */
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/pci.h>

#include "qvzel_backend.h"

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

static int __init qvzel_init(void)
{
	return 0;
}

static void __exit qvzel_exit(void)
{
}

module_init(qvzel_init);
module_exit(qvzel_exit);

MODULE_DESCRIPTION("PXI / PXI Express link function driver");
MODULE_LICENSE("GPL");
