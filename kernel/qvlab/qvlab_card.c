// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvlab_card.c - an upstream card's register file and its SPI NOR flash
 *
 * The driver talks to the flash one byte at a time through the SPI window
 * (QVZEL_REG_SPI_*). The model follows a standard JEDEC SPI NOR part: erased
 * bytes are 0xFF, programming only clears bits, a page program wraps within
 * its 256-byte page, program and erase need the write enable latch and leave
 * the part busy for a while, and a busy part ignores everything but a status
 * read. The firmware the card runs is taken from the flash's boot header at
 * power-up and at every reload, never while it runs.
 */
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/vmalloc.h>
#include <asm/unaligned.h>

#include "qvlab.h"
#include "qvzel_driver.h"

/* Status reads that report WIP after an operation: erase is the slow one. */
#define QVLAB_BUSY_READS_PROGRAM 2
#define QVLAB_BUSY_READS_ERASE 8
#define QVLAB_MISO_IDLE 0xFF

static void qvlab_card_release(struct kref *ref)
{
	struct qvlab_card *card = container_of(ref, struct qvlab_card, ref);

	vfree(card->flash);
	kfree(card);
}

void qvlab_card_put(struct qvlab_card *card)
{
	if (card)
		kref_put(&card->ref, qvlab_card_release);
}

/* Boot header: 'Q','V','F','W' then the version, 32 bits little-endian. */
static u32 qvlab_card_boot_version(const struct qvlab_card *card)
{
	const u8 *hdr = card->flash + QVZEL_BOOT_HEADER_OFFSET;

	if (card->flash_size < QVZEL_BOOT_HEADER_OFFSET + QVZEL_BOOT_HEADER_SIZE)
		return 0;
	if (memcmp(hdr, QVZEL_BOOT_MAGIC, QVZEL_BOOT_MAGIC_SIZE))
		return 0;
	return get_unaligned_le32(hdr + QVZEL_BOOT_MAGIC_SIZE);
}

struct qvlab_card *qvlab_card_create(const struct qvlab_function *rec)
{
	struct qvlab_card *card;

	card = kzalloc(sizeof(*card), GFP_KERNEL);
	if (!card)
		return NULL;
	card->flash = vmalloc(rec->flash_size);
	if (!card->flash) {
		kfree(card);
		return NULL;
	}
	memset(card->flash, QVZEL_FLASH_ERASED, rec->flash_size);
	kref_init(&card->ref);
	mutex_init(&card->lock);
	card->present = true;
	card->flash_size = rec->flash_size;
	card->hw_revision = rec->hw_revision;
	memcpy(card->jedec_id, rec->jedec_id, sizeof(card->jedec_id));
	if (rec->factory_version &&
	    card->flash_size >= QVZEL_BOOT_HEADER_OFFSET + QVZEL_BOOT_HEADER_SIZE) {
		u8 *hdr = card->flash + QVZEL_BOOT_HEADER_OFFSET;

		memcpy(hdr, QVZEL_BOOT_MAGIC, QVZEL_BOOT_MAGIC_SIZE);
		put_unaligned_le32(rec->factory_version, hdr + QVZEL_BOOT_MAGIC_SIZE);
	}
	card->fw_version = qvlab_card_boot_version(card);
	return card;
}

/* A power cycle: the SPI state is lost and the boot header is read again. */
void qvlab_card_reload(struct qvlab_card *card)
{
	mutex_lock(&card->lock);
	card->selected = false;
	card->count = 0;
	card->wel = false;
	card->busy_reads = 0;
	card->miso = QVLAB_MISO_IDLE;
	card->fw_version = qvlab_card_boot_version(card);
	mutex_unlock(&card->lock);
}

u32 qvlab_card_version(struct qvlab_card *card)
{
	u32 version;

	mutex_lock(&card->lock);
	version = card->fw_version;
	mutex_unlock(&card->lock);
	return version;
}

/* Power lost or restored with the link above: a card that comes back boots again. */
void qvlab_card_set_present(struct qvlab_card *card, bool present)
{
	bool boot;

	mutex_lock(&card->lock);
	boot = present && !card->present;
	card->present = present;
	mutex_unlock(&card->lock);
	if (boot)
		qvlab_card_reload(card);
}

static u8 qvlab_flash_status(struct qvlab_card *card)
{
	u8 sr = 0;

	if (card->busy_reads) {
		sr |= QVZEL_SPI_SR_WIP;
		card->busy_reads--;
	}
	if (card->wel)
		sr |= QVZEL_SPI_SR_WEL;
	return sr;
}

/* One byte shifted out to the flash while chip select is asserted; returns the byte shifted in. */
static u8 qvlab_flash_shift(struct qvlab_card *card, u8 out)
{
	u32 index = card->count++;
	u32 mask = card->flash_size - 1;
	u32 page;

	if (index == 0) {
		card->command = out;
		card->address = 0;
		return QVLAB_MISO_IDLE;
	}
	/* A busy part answers status reads only. */
	if (card->busy_reads && card->command != QVZEL_SPI_CMD_READ_STATUS)
		return QVLAB_MISO_IDLE;

	switch (card->command) {
	case QVZEL_SPI_CMD_READ_JEDEC_ID:
		return index <= 3 ? card->jedec_id[index - 1] : QVLAB_MISO_IDLE;
	case QVZEL_SPI_CMD_READ_STATUS:
		return qvlab_flash_status(card);
	case QVZEL_SPI_CMD_READ:
	case QVZEL_SPI_CMD_PAGE_PROGRAM:
	case QVZEL_SPI_CMD_SECTOR_ERASE:
		if (index <= 3) {
			card->address = (card->address << 8) | out;
			return QVLAB_MISO_IDLE;
		}
		break;
	default:
		return QVLAB_MISO_IDLE;
	}

	if (card->command == QVZEL_SPI_CMD_READ) {
		u8 in = card->flash[card->address & mask];

		card->address++;
		return in;
	}
	if (card->command == QVZEL_SPI_CMD_PAGE_PROGRAM && card->wel) {
		/* The address wraps within its page. */
		page = card->address & ~(QVZEL_FLASH_PAGE_SIZE - 1);
		card->flash[(page | ((card->address + index - 4) & (QVZEL_FLASH_PAGE_SIZE - 1))) & mask] &=
			out;
		card->programmed = true;
	}
	return QVLAB_MISO_IDLE;
}

/* Chip select released: write enable, erase and program take effect now. */
static void qvlab_flash_release(struct qvlab_card *card)
{
	u32 sector;

	if (!card->count || (card->busy_reads && card->command != QVZEL_SPI_CMD_READ_STATUS))
		goto out;
	switch (card->command) {
	case QVZEL_SPI_CMD_WRITE_ENABLE:
		card->wel = true;
		break;
	case QVZEL_SPI_CMD_WRITE_DISABLE:
		card->wel = false;
		break;
	case QVZEL_SPI_CMD_SECTOR_ERASE:
		if (!card->wel || card->count != 4)
			break;
		sector = (card->address & (card->flash_size - 1)) & ~(QVZEL_FLASH_SECTOR_SIZE - 1);
		memset(card->flash + sector, QVZEL_FLASH_ERASED, QVZEL_FLASH_SECTOR_SIZE);
		card->wel = false;
		card->busy_reads = QVLAB_BUSY_READS_ERASE;
		break;
	case QVZEL_SPI_CMD_PAGE_PROGRAM:
		if (!card->wel || card->count < 4)
			break;
		card->wel = false;
		if (card->programmed)
			card->busy_reads = QVLAB_BUSY_READS_PROGRAM;
		break;
	}
out:
	card->count = 0;
	card->programmed = false;
}

u32 qvlab_card_read(struct qvlab_card *card, unsigned int reg)
{
	u32 val = 0;

	mutex_lock(&card->lock);
	if (!card->present) {
		/* A card that is gone reads all ones, as on the bus. */
		val = ~0U;
		goto out;
	}
	switch (reg) {
	case QVZEL_REG_MAGIC:
		val = QVZEL_MAGIC;
		break;
	case QVZEL_REG_FW_VERSION:
		val = card->fw_version;
		break;
	case QVZEL_REG_HW_REVISION:
		val = card->hw_revision;
		break;
	case QVZEL_REG_PINOUT:
		val = card->pinout;
		break;
	case QVZEL_REG_SPI_CTRL:
		val = card->selected ? QVZEL_SPI_CTRL_CS : 0;
		break;
	case QVZEL_REG_SPI_DATA:
		val = card->miso;
		break;
	case QVZEL_REG_SPI_STATUS:
		/* Transfers complete at once. */
		break;
	}
out:
	mutex_unlock(&card->lock);
	return val;
}

void qvlab_card_write(struct qvlab_card *card, unsigned int reg, u32 val)
{
	bool select;

	mutex_lock(&card->lock);
	if (!card->present)
		goto out;
	switch (reg) {
	case QVZEL_REG_PINOUT:
		card->pinout = val & (QVZEL_PINOUT_ADDRESS_MASK |
				      (QVZEL_PINOUT_VERSION_MASK << QVZEL_PINOUT_VERSION_SHIFT));
		break;
	case QVZEL_REG_SPI_CTRL:
		select = val & QVZEL_SPI_CTRL_CS;
		if (select && !card->selected) {
			card->count = 0;
			card->programmed = false;
		} else if (!select && card->selected) {
			qvlab_flash_release(card);
		}
		card->selected = select;
		break;
	case QVZEL_REG_SPI_DATA:
		/* Without chip select nothing reaches the flash. */
		card->miso = card->selected ? qvlab_flash_shift(card, val & 0xFF) : QVLAB_MISO_IDLE;
		break;
	}
out:
	mutex_unlock(&card->lock);
}

int qvlab_card_flash_io(struct qvlab_card *card, u32 offset, u32 length, u8 *buf, bool write)
{
	if (offset > card->flash_size || length > card->flash_size - offset)
		return -EINVAL;
	mutex_lock(&card->lock);
	if (write)
		memcpy(card->flash + offset, buf, length);
	else
		memcpy(buf, card->flash + offset, length);
	mutex_unlock(&card->lock);
	return 0;
}
