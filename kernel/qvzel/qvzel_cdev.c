// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvzel_cdev.c - the character devices /dev/qv/qvzelN and their requests
 *
 * One chrdev region and one class, both named "qvzel"; device N is minor N,
 * created as /dev/qv/qvzelN with mode 0600 (a udev rule may widen that).
 * An open file holds a reference on its card, so a card unpublished while
 * files are open stays allocated and answers ENODEV from then on.
 *
 * ioctl: the two requests of the upstream card's interface, each with a
 * struct qvzel_request_descriptor at the argument. Failures of the call
 * itself are errnos (EFAULT bad address, EINVAL wrong record sizes, ENOTTY
 * unknown request or a class without requests, ENODEV card removed); the
 * outcome of a request that ran is the status in its output record.
 */
#include <linux/cdev.h>
#include <linux/compat.h>
#include <linux/device.h>
#include <linux/fs.h>
#include <linux/idr.h>
#include <linux/mm.h>
#include <linux/overflow.h>
#include <linux/slab.h>
#include <linux/uaccess.h>
#include <asm/unaligned.h>

#include "qvzel.h"

#define QVZEL_DEV_MODE 0600

static dev_t qvzel_devt;
static struct cdev qvzel_cdev;
static struct class *qvzel_class;
static DEFINE_IDR(qvzel_minors);
static DEFINE_MUTEX(qvzel_minors_lock);

static int qvzel_open(struct inode *inode, struct file *file)
{
	struct qvzel_card *card;

	mutex_lock(&qvzel_minors_lock);
	card = idr_find(&qvzel_minors, iminor(inode));
	if (card)
		kref_get(&card->ref);
	mutex_unlock(&qvzel_minors_lock);
	if (!card)
		return -ENODEV;
	down_read(&card->lock);
	if (card->gone) {
		up_read(&card->lock);
		qvzel_card_put(card);
		return -ENODEV;
	}
	up_read(&card->lock);
	file->private_data = card;
	return nonseekable_open(inode, file);
}

static int qvzel_release(struct inode *inode, struct file *file)
{
	qvzel_card_put(file->private_data);
	return 0;
}

/* A register value, or NOT_FOUND when the card no longer answers. */
static int qvzel_read_reg(struct qvzel_card *card, unsigned int reg, u32 *val)
{
	unsigned int v;

	if (regmap_read(card->map, reg, &v))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	if (v == 0xFFFFFFFFU && !qvzel_card_alive(card))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	*val = v;
	return QVZEL_DRV_STATUS_OK;
}

/* The subsystem ID as configuration space holds it now. */
static int qvzel_read_subsystem(struct qvzel_card *card, u32 *val)
{
	struct pci_dev *pdev = card->pdev;
	int where = PCI_SUBSYSTEM_ID;
	u16 id;

	if (pdev->hdr_type != PCI_HEADER_TYPE_NORMAL) {
		where = pci_find_capability(pdev, PCI_CAP_ID_SSVID);
		if (!where)
			return QVZEL_DRV_STATUS_NOT_FOUND;
		where += PCI_SSVID_DEVICE_ID;
	}
	if (pci_read_config_word(pdev, where, &id) || PCI_POSSIBLE_ERROR(id))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	*val = id;
	return QVZEL_DRV_STATUS_OK;
}

static int qvzel_flash_lock(struct qvzel_card *card)
{
	return mutex_lock_killable(&card->flash_lock);
}

/* The flash's size, identifying the part first when that has not succeeded yet. */
static int qvzel_identified(struct qvzel_card *card)
{
	return card->flash_size ? QVZEL_DRV_STATUS_OK : qvzel_flash_identify(card);
}

/* From the JEDEC ID read at publishing, without waiting for a write in progress. */
static int qvzel_read_flash_id(struct qvzel_card *card, u32 *val)
{
	int ret = QVZEL_DRV_STATUS_OK;

	if (!smp_load_acquire(&card->flash_size)) {
		if (qvzel_flash_lock(card))
			return -EINTR;
		ret = qvzel_identified(card);
		mutex_unlock(&card->flash_lock);
	}
	if (!ret)
		*val = ((card->jedec >> 8) & 0xFF00) | (card->jedec & 0xFF);
	return ret;
}

/* The version the boot header in flash holds: what the card runs after a reload. */
static int qvzel_read_pending(struct qvzel_card *card, u32 *val)
{
	u8 hdr[QVZEL_BOOT_HEADER_SIZE];
	int ret;

	if (qvzel_flash_lock(card))
		return -EINTR;
	ret = qvzel_identified(card);
	if (!ret && card->flash_size < QVZEL_BOOT_HEADER_OFFSET + QVZEL_BOOT_HEADER_SIZE) {
		*val = 0;
		goto out;
	}
	if (!ret)
		ret = qvzel_flash_read(card, QVZEL_BOOT_HEADER_OFFSET, hdr, sizeof(hdr));
	if (!ret && !qvzel_card_alive(card))
		ret = QVZEL_DRV_STATUS_NOT_FOUND;
	if (!ret)
		*val = memcmp(hdr, QVZEL_BOOT_MAGIC, QVZEL_BOOT_MAGIC_SIZE) ?
			       0 :
			       get_unaligned_le32(hdr + QVZEL_BOOT_MAGIC_SIZE);
out:
	mutex_unlock(&card->flash_lock);
	return ret;
}

/* An attribute's value: a status, or -EINTR when a fatal signal came while waiting. */
static int qvzel_attribute(struct qvzel_card *card, u32 id, u32 *val)
{
	switch (id) {
	case QVZEL_DRV_ATTR_FW_VERSION:
		return qvzel_read_reg(card, QVZEL_REG_FW_VERSION, val);
	case QVZEL_DRV_ATTR_HW_REVISION:
		return qvzel_read_reg(card, QVZEL_REG_HW_REVISION, val);
	case QVZEL_DRV_ATTR_FLASH_ID:
		return qvzel_read_flash_id(card, val);
	case QVZEL_DRV_ATTR_PENDING_VERSION:
		return qvzel_read_pending(card, val);
	case QVZEL_DRV_ATTR_SUBSYSTEM_ID:
		return qvzel_read_subsystem(card, val);
	default:
		return QVZEL_DRV_STATUS_NOT_SUPPORTED;
	}
}

static long qvzel_get_attribute(struct qvzel_card *card, const struct qvzel_request_descriptor *desc,
				u64 *returned)
{
	struct qvzel_attribute_input in;
	struct qvzel_attribute_output out = { 0 };
	u32 val = 0;
	int ret;

	if (desc->input_size != sizeof(in) || desc->output_size != sizeof(out))
		return -EINVAL;
	if (copy_from_user(&in, u64_to_user_ptr(desc->input_address), sizeof(in)))
		return -EFAULT;
	if (in.buffer_size < sizeof(val)) {
		out.status = QVZEL_DRV_STATUS_BUFFER_TOO_SMALL;
	} else {
		ret = qvzel_attribute(card, in.attribute_id, &val);
		if (ret == -EINTR)
			return ret;
		out.status = ret;
		if (!ret) {
			if (copy_to_user(u64_to_user_ptr(in.buffer_address), &val, sizeof(val)))
				return -EFAULT;
			out.byte_count = sizeof(val);
		}
	}
	if (copy_to_user(u64_to_user_ptr(desc->output_address), &out, sizeof(out)))
		return -EFAULT;
	*returned = sizeof(out);
	return 0;
}

/*
 * Everything that can fail before the flash is touched is checked first:
 * record sizes, addresses (the output record is written once up front),
 * the range against the flash, the whole image copied in. Only then the
 * write, which runs to its end: no signal interrupts it.
 */
static long qvzel_update_firmware(struct qvzel_card *card,
				  const struct qvzel_request_descriptor *desc, u64 *returned)
{
	void __user *uout = u64_to_user_ptr(desc->output_address);
	struct qvzel_firmware_input in;
	struct qvzel_firmware_output out = { 0 };
	u8 *image = NULL;
	long ret = 0;
	int status;
	u64 end;

	if (desc->input_size != sizeof(in) || desc->output_size != sizeof(out))
		return -EINVAL;
	if (copy_from_user(&in, u64_to_user_ptr(desc->input_address), sizeof(in)))
		return -EFAULT;
	if (copy_to_user(uout, &out, sizeof(out)))
		return -EFAULT;
	if (qvzel_flash_lock(card))
		return -EINTR;

	status = qvzel_identified(card);
	end = (u64)in.flash_offset + in.length;
	if (!status && (!in.length || end > card->flash_size))
		status = QVZEL_DRV_STATUS_OUT_OF_RANGE;
	if (!status) {
		/* The image, then two sectors of scratch space for the write. */
		image = kvmalloc(size_add(in.length, 2 * QVZEL_FLASH_SECTOR_SIZE), GFP_KERNEL);
		if (!image) {
			ret = -ENOMEM;
			goto out;
		}
		if (copy_from_user(image, u64_to_user_ptr(in.data_address), in.length)) {
			ret = -EFAULT;
			goto out;
		}
		status = qvzel_flash_write(card, &in, image, image + in.length);
		if (status)
			dev_warn(&card->pdev->dev, "firmware write at 0x%x (%u bytes) failed: %d\n",
				 in.flash_offset, in.length, status);
		else
			dev_info(&card->pdev->dev, "firmware written at 0x%x (%u bytes)\n",
				 in.flash_offset, in.length);
	}
	out.status = status;
	if (copy_to_user(uout, &out, sizeof(out)))
		ret = -EFAULT;
	else
		*returned = sizeof(out);
out:
	mutex_unlock(&card->flash_lock);
	kvfree(image);
	return ret;
}

static long qvzel_ioctl(struct file *file, unsigned int cmd, unsigned long arg)
{
	struct qvzel_request_descriptor __user *udesc = (void __user *)arg;
	struct qvzel_card *card = file->private_data;
	struct qvzel_request_descriptor desc;
	u64 returned = 0;
	long ret;

	if (cmd != QVZEL_REQUEST_GET_ATTRIBUTE && cmd != QVZEL_REQUEST_UPDATE_FIRMWARE)
		return -ENOTTY;
	if (card->cls != QVZEL_CYCLONE4)
		return -ENOTTY;
	if (copy_from_user(&desc, udesc, sizeof(desc)))
		return -EFAULT;

	down_read(&card->lock);
	if (card->gone || !card->map) {
		ret = -ENODEV;
		goto out;
	}
	if (cmd == QVZEL_REQUEST_GET_ATTRIBUTE)
		ret = qvzel_get_attribute(card, &desc, &returned);
	else
		ret = qvzel_update_firmware(card, &desc, &returned);
	if (!ret && put_user(returned, &udesc->bytes_returned))
		ret = -EFAULT;
out:
	up_read(&card->lock);
	return ret;
}

static const struct file_operations qvzel_fops = {
	.owner = THIS_MODULE,
	.open = qvzel_open,
	.release = qvzel_release,
	.unlocked_ioctl = qvzel_ioctl,
	.compat_ioctl = compat_ptr_ioctl,
	.llseek = no_llseek,
};

int qvzel_cdev_add(struct qvzel_card *card)
{
	struct device *dev;
	int minor;

	mutex_lock(&qvzel_minors_lock);
	minor = idr_alloc(&qvzel_minors, card, 0, QVZEL_MAX_DEVICES, GFP_KERNEL);
	mutex_unlock(&qvzel_minors_lock);
	if (minor < 0)
		return minor;
	card->minor = minor;
	snprintf(card->path, sizeof(card->path), "%s/%s%d", QVZEL_DEV_DIR, QVZEL_DEV_PREFIX, minor);
	dev = device_create(qvzel_class, &card->pdev->dev, MKDEV(MAJOR(qvzel_devt), minor), card,
			    "%s%d", QVZEL_DEV_PREFIX, minor);
	if (IS_ERR(dev)) {
		mutex_lock(&qvzel_minors_lock);
		idr_remove(&qvzel_minors, minor);
		mutex_unlock(&qvzel_minors_lock);
		return PTR_ERR(dev);
	}
	card->dev = dev;
	return 0;
}

/* The device node goes first, then the minor: a new card cannot take it while the node exists. */
void qvzel_cdev_remove(struct qvzel_card *card)
{
	device_destroy(qvzel_class, MKDEV(MAJOR(qvzel_devt), card->minor));
	card->dev = NULL;
	mutex_lock(&qvzel_minors_lock);
	idr_remove(&qvzel_minors, card->minor);
	mutex_unlock(&qvzel_minors_lock);
}

static char *qvzel_devnode(struct device *dev, umode_t *mode)
{
	if (mode)
		*mode = QVZEL_DEV_MODE;
	return kasprintf(GFP_KERNEL, "qv/%s", dev_name(dev));
}

int qvzel_cdev_init(void)
{
	int ret;

	ret = alloc_chrdev_region(&qvzel_devt, 0, QVZEL_MAX_DEVICES, QVZEL_NAME);
	if (ret)
		return ret;
	cdev_init(&qvzel_cdev, &qvzel_fops);
	qvzel_cdev.owner = THIS_MODULE;
	ret = cdev_add(&qvzel_cdev, qvzel_devt, QVZEL_MAX_DEVICES);
	if (ret)
		goto err_region;
	qvzel_class = class_create(THIS_MODULE, QVZEL_NAME);
	if (IS_ERR(qvzel_class)) {
		ret = PTR_ERR(qvzel_class);
		goto err_cdev;
	}
	qvzel_class->devnode = qvzel_devnode;
	return 0;

err_cdev:
	cdev_del(&qvzel_cdev);
err_region:
	unregister_chrdev_region(qvzel_devt, QVZEL_MAX_DEVICES);
	return ret;
}

void qvzel_cdev_exit(void)
{
	class_destroy(qvzel_class);
	cdev_del(&qvzel_cdev);
	unregister_chrdev_region(qvzel_devt, QVZEL_MAX_DEVICES);
	idr_destroy(&qvzel_minors);
}
