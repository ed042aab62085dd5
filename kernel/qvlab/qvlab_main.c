// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvlab_main.c - the PXI lab module and its control device /dev/qvlab
 *
 * The module registers the regmap backend through which the driver qvzel
 * reaches the lab's cards, and the control device through which the tool
 * qvlab loads a system (one record per PCI function) and changes it at run
 * time: reload, unplug and plug, cables, the flash as a programmer sees it.
 * One mutex serialises every control request; configuration accesses never
 * take it (they run under the PCI configuration spinlock).
 */
#include <linux/fs.h>
#include <linux/miscdevice.h>
#include <linux/module.h>
#include <linux/mm.h>
#include <linux/mutex.h>
#include <linux/slab.h>
#include <linux/uaccess.h>

#include "qvlab.h"

static DEFINE_MUTEX(qvlab_mutex);
static struct qvlab qvlab_lab;

static int qvlab_load(struct qvlab *lab, const struct qvlab_load __user *uarg)
{
	struct qvlab_function *recs = NULL;
	struct qvlab_load arg;
	int ret;

	if (copy_from_user(&arg, uarg, sizeof(arg)))
		return -EFAULT;
	if (arg.record_size != sizeof(*recs) || arg.count > QVLAB_MAX_FUNCTIONS)
		return -EINVAL;
	if (arg.count) {
		recs = kvmalloc_array(arg.count, sizeof(*recs), GFP_KERNEL);
		if (!recs)
			return -ENOMEM;
		if (copy_from_user(recs, u64_to_user_ptr(arg.records),
				   array_size(arg.count, sizeof(*recs)))) {
			ret = -EFAULT;
			goto out;
		}
	}
	qvlab_stop(lab);
	if (!arg.count) {
		ret = 0;
		goto out;
	}
	ret = qvlab_build(lab, recs, arg.count);
	if (!ret)
		ret = qvlab_start(lab);
	if (ret)
		qvlab_stop(lab);
out:
	kvfree(recs);
	return ret;
}

static void qvlab_reload(struct qvlab *lab)
{
	unsigned int i;

	for (i = 0; i < lab->count; i++)
		if (lab->fns[i].card)
			qvlab_card_reload(lab->fns[i].card);
}

static struct qvlab_fn *qvlab_find_user(struct qvlab *lab, char *name)
{
	name[QVLAB_NAME_LEN - 1] = '\0';
	return qvlab_find(lab, name);
}

static int qvlab_name_op(struct qvlab *lab, unsigned int cmd, struct qvlab_name_op __user *uarg)
{
	struct qvlab_name_op arg;
	struct qvlab_fn *fn;

	if (copy_from_user(&arg, uarg, sizeof(arg)))
		return -EFAULT;
	if (arg.on > 1)
		return -EINVAL;
	fn = qvlab_find_user(lab, arg.name);
	if (!fn)
		return -ENOENT;
	if (cmd == QVLAB_IOC_CABLE)
		return qvlab_cable(lab, fn, arg.on);
	return arg.on ? qvlab_plug(lab, fn) : qvlab_unplug(lab, fn);
}

static int qvlab_flash(struct qvlab *lab, bool write, struct qvlab_flash_io __user *uarg)
{
	struct qvlab_flash_io arg;
	struct qvlab_fn *fn;
	u8 *buf;
	int ret;

	if (copy_from_user(&arg, uarg, sizeof(arg)))
		return -EFAULT;
	fn = qvlab_find_user(lab, arg.name);
	if (!fn)
		return -ENOENT;
	if (!fn->card)
		return -ENOTTY;
	if (arg.offset > fn->card->flash_size || arg.length > fn->card->flash_size - arg.offset)
		return -EINVAL;
	buf = kvmalloc(arg.length ? arg.length : 1, GFP_KERNEL);
	if (!buf)
		return -ENOMEM;
	if (write) {
		ret = copy_from_user(buf, u64_to_user_ptr(arg.data), arg.length) ? -EFAULT : 0;
		if (!ret)
			ret = qvlab_card_flash_io(fn->card, arg.offset, arg.length, buf, true);
	} else {
		ret = qvlab_card_flash_io(fn->card, arg.offset, arg.length, buf, false);
		if (!ret && copy_to_user(u64_to_user_ptr(arg.data), buf, arg.length))
			ret = -EFAULT;
	}
	kvfree(buf);
	return ret;
}

static int qvlab_info(struct qvlab *lab, struct qvlab_info __user *uarg)
{
	struct qvlab_info info;
	struct qvlab_fn *fn;
	unsigned long flags;

	if (copy_from_user(&info.index, &uarg->index, sizeof(info.index)))
		return -EFAULT;
	if (info.index >= lab->count)
		return -ENOENT;
	fn = &lab->fns[info.index];
	info.state = 0;
	raw_spin_lock_irqsave(&qvlab_cfg_lock, flags);
	if (qvlab_fn_present(fn))
		info.state |= QVLAB_STATE_PRESENT;
	if (fn->unplugged)
		info.state |= QVLAB_STATE_UNPLUGGED;
	if (fn->link_up)
		info.state |= QVLAB_STATE_LINK_UP;
	info.bus = qvlab_fn_bus(fn);
	raw_spin_unlock_irqrestore(&qvlab_cfg_lock, flags);
	info.fw_version = fn->card ? qvlab_card_version(fn->card) : 0;
	info.function = fn->rec;
	if (copy_to_user(uarg, &info, sizeof(info)))
		return -EFAULT;
	return 0;
}

static long qvlab_ioctl(struct file *file, unsigned int cmd, unsigned long arg)
{
	void __user *uarg = (void __user *)arg;
	struct qvlab *lab = &qvlab_lab;
	long ret;

	switch (cmd) {
	case QVLAB_IOC_LOAD:
	case QVLAB_IOC_RELOAD:
	case QVLAB_IOC_UNPLUG:
	case QVLAB_IOC_CABLE:
	case QVLAB_IOC_FLASH_READ:
	case QVLAB_IOC_FLASH_WRITE:
	case QVLAB_IOC_INFO:
		break;
	default:
		return -ENOTTY;
	}

	mutex_lock(&qvlab_mutex);
	switch (cmd) {
	case QVLAB_IOC_LOAD:
		ret = qvlab_load(lab, uarg);
		break;
	case QVLAB_IOC_RELOAD:
		qvlab_reload(lab);
		ret = 0;
		break;
	case QVLAB_IOC_UNPLUG:
	case QVLAB_IOC_CABLE:
		ret = qvlab_name_op(lab, cmd, uarg);
		break;
	case QVLAB_IOC_FLASH_READ:
	case QVLAB_IOC_FLASH_WRITE:
		ret = qvlab_flash(lab, cmd == QVLAB_IOC_FLASH_WRITE, uarg);
		break;
	default:
		ret = qvlab_info(lab, uarg);
		break;
	}
	mutex_unlock(&qvlab_mutex);
	return ret;
}

static const struct file_operations qvlab_fops = {
	.owner = THIS_MODULE,
	.unlocked_ioctl = qvlab_ioctl,
	.compat_ioctl = compat_ptr_ioctl,
	.llseek = noop_llseek,
};

static struct miscdevice qvlab_misc = {
	.minor = MISC_DYNAMIC_MINOR,
	.name = "qvlab",
	.fops = &qvlab_fops,
	.mode = 0600,
};

static int __init qvlab_init(void)
{
	int ret;

	ret = qvlab_backend_register();
	if (ret)
		return ret;
	ret = misc_register(&qvlab_misc);
	if (ret)
		qvlab_backend_unregister();
	return ret;
}

/* The bus goes first: the driver's remove gives its regmaps back while the backend is still there. */
static void __exit qvlab_exit(void)
{
	misc_deregister(&qvlab_misc);
	mutex_lock(&qvlab_mutex);
	qvlab_stop(&qvlab_lab);
	mutex_unlock(&qvlab_mutex);
	qvlab_backend_unregister();
}

module_init(qvlab_init);
module_exit(qvlab_exit);

MODULE_DESCRIPTION("PXI lab: a software PCI root bus with link cards");
MODULE_LICENSE("GPL");
