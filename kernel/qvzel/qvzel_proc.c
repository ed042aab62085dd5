// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvzel_proc.c - /proc/driver/qv/, one directory per published function
 *
 *   <pci name>/busProperties/<property>    4 bytes, host order
 *   <pci name>/deviceProperties/serialNumber
 *   <pci name>/deviceInterfaces/<class>\0/interfacePath
 *
 * Every file is read-only (0444) and its content fixed while the function
 * is published; proc_remove() waits for readers, so the card's buffers the
 * files point at stay valid until it returns.
 */
#include <linux/fs.h>
#include <linux/proc_fs.h>
#include <linux/stat.h>

#include "qvzel.h"

#define QVZEL_PROC_DIR "driver/qv"
#define QVZEL_PROC_MODE 0444
#define QVZEL_INSTANCE "\\0" /* one interface per function */

static struct proc_dir_entry *qvzel_proc_root;

static const char *const qvzel_bus_prop_names[QVZEL_BP_COUNT] = {
	[QVZEL_BP_VENDOR] = QVZEL_PROP_VENDOR_ID,
	[QVZEL_BP_DEVICE] = QVZEL_PROP_DEVICE_ID,
	[QVZEL_BP_SUBSYSTEM_VENDOR] = QVZEL_PROP_SUBSYSTEM_VENDOR_ID,
	[QVZEL_BP_SUBSYSTEM] = QVZEL_PROP_SUBSYSTEM_ID,
	[QVZEL_BP_BUS] = QVZEL_PROP_BUS_NUMBER,
	[QVZEL_BP_SLOT] = QVZEL_PROP_DEVICE_NUMBER,
	[QVZEL_BP_FUNCTION] = QVZEL_PROP_FUNCTION_NUMBER,
	[QVZEL_BP_DOMAIN] = QVZEL_PROP_DOMAIN_NUMBER,
};

static ssize_t qvzel_prop_read(struct file *file, char __user *buf, size_t count, loff_t *ppos)
{
	const struct qvzel_prop *prop = pde_data(file_inode(file));

	return simple_read_from_buffer(buf, count, ppos, prop->data, prop->len);
}

static const struct proc_ops qvzel_prop_ops = {
	.proc_read = qvzel_prop_read,
	.proc_lseek = default_llseek,
};

static int qvzel_prop_add(struct proc_dir_entry *dir, const char *name, struct qvzel_prop *prop)
{
	return proc_create_data(name, QVZEL_PROC_MODE, dir, &qvzel_prop_ops, prop) ? 0 : -ENOMEM;
}

/* The Device Serial Number capability as text: "%08X" when it fits 32 bits, else "%016llX". */
static void qvzel_serial_text(struct pci_dev *pdev, char *out)
{
	u32 lo, hi;
	int pos;

	out[0] = '\0';
	pos = pci_find_ext_capability(pdev, PCI_EXT_CAP_ID_DSN);
	if (!pos || pci_read_config_dword(pdev, pos + 4, &lo) ||
	    pci_read_config_dword(pdev, pos + 8, &hi))
		return;
	if (hi)
		snprintf(out, QVZEL_SERIAL_SIZE, "%016llX", ((u64)hi << 32) | lo);
	else
		snprintf(out, QVZEL_SERIAL_SIZE, "%08X", lo);
}

static void qvzel_fill_props(struct qvzel_card *card)
{
	struct pci_dev *pdev = card->pdev;
	int i;

	card->bus_props[QVZEL_BP_VENDOR] = pdev->vendor;
	card->bus_props[QVZEL_BP_DEVICE] = pdev->device;
	card->bus_props[QVZEL_BP_SUBSYSTEM_VENDOR] = pdev->subsystem_vendor;
	card->bus_props[QVZEL_BP_SUBSYSTEM] = pdev->subsystem_device;
	card->bus_props[QVZEL_BP_BUS] = pdev->bus->number;
	card->bus_props[QVZEL_BP_SLOT] = PCI_SLOT(pdev->devfn);
	card->bus_props[QVZEL_BP_FUNCTION] = PCI_FUNC(pdev->devfn);
	card->bus_props[QVZEL_BP_DOMAIN] = pci_domain_nr(pdev->bus);
	for (i = 0; i < QVZEL_BP_COUNT; i++) {
		card->bus_files[i].data = &card->bus_props[i];
		card->bus_files[i].len = sizeof(card->bus_props[i]);
	}
	qvzel_serial_text(pdev, card->serial);
	card->serial_file.data = card->serial;
	card->serial_file.len = strlen(card->serial) + 1; /* the NUL is part of the content */
	card->path_file.data = card->path;
	card->path_file.len = strlen(card->path); /* no NUL, no line feed */
}

int qvzel_proc_add(struct qvzel_card *card)
{
	char iface[64];
	struct proc_dir_entry *dir, *sub;
	int i, ret = -ENOMEM;

	qvzel_fill_props(card);
	dir = proc_mkdir(pci_name(card->pdev), qvzel_proc_root);
	if (!dir)
		return -ENOMEM;

	sub = proc_mkdir(QVZEL_PROC_BUS_PROPERTIES, dir);
	if (!sub)
		goto err;
	for (i = 0; i < QVZEL_BP_COUNT; i++) {
		ret = qvzel_prop_add(sub, qvzel_bus_prop_names[i], &card->bus_files[i]);
		if (ret)
			goto err;
	}

	ret = -ENOMEM;
	sub = proc_mkdir(QVZEL_PROC_DEVICE_PROPERTIES, dir);
	if (!sub)
		goto err;
	ret = qvzel_prop_add(sub, QVZEL_PROP_SERIAL_NUMBER, &card->serial_file);
	if (ret)
		goto err;

	ret = -ENOMEM;
	sub = proc_mkdir(QVZEL_PROC_DEVICE_INTERFACES, dir);
	if (!sub)
		goto err;
	snprintf(iface, sizeof(iface), "%s%s", qvzel_class_name(card->cls), QVZEL_INSTANCE);
	sub = proc_mkdir(iface, sub);
	if (!sub)
		goto err;
	ret = qvzel_prop_add(sub, QVZEL_PROC_INTERFACE_PATH, &card->path_file);
	if (ret)
		goto err;

	card->proc_dir = dir;
	return 0;

err:
	proc_remove(dir);
	return ret;
}

void qvzel_proc_remove(struct qvzel_card *card)
{
	proc_remove(card->proc_dir);
	card->proc_dir = NULL;
}

int qvzel_proc_init(void)
{
	qvzel_proc_root = proc_mkdir(QVZEL_PROC_DIR, NULL);
	return qvzel_proc_root ? 0 : -ENOMEM;
}

void qvzel_proc_exit(void)
{
	proc_remove(qvzel_proc_root);
	qvzel_proc_root = NULL;
}
