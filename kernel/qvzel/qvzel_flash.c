// SPDX-License-Identifier: GPL-2.0-only
/*
 * qvzel_flash.c - the card's SPI NOR flash, reached through its SPI window
 *
 * A flash command is: assert chip select, shift the command byte, its
 * address bytes and data out one byte at a time through QVZEL_REG_SPI_DATA
 * (after the window reports itself idle), shift dummy bytes to read answers,
 * release chip select. The commands are the standard JEDEC SPI NOR ones.
 *
 * A card that has left the bus reads all ones: the SPI status then reports
 * busy and the flash's status WIP forever. Both are checked against the magic
 * register, so a vanished card fails with a status instead of a long wait.
 * Nothing here sleeps under a spinlock; waits use usleep_range() and the long
 * loops call cond_resched().
 */
#include <linux/delay.h>
#include <linux/jiffies.h>
#include <linux/minmax.h>
#include <linux/sched.h>
#include <linux/sizes.h>
#include <linux/string.h>

#include "qvzel.h"

#define QVZEL_ALL_ONES 0xFFFFFFFFU
#define QVZEL_SPI_BUSY_POLLS 1000 /* reads of the window's busy bit per byte */
#define QVZEL_WIP_FAST_POLLS 4 /* status reads before the wait starts sleeping */
#define QVZEL_ERASE_TIMEOUT_MS 2000 /* a 4 KiB erase takes up to a few hundred ms */
#define QVZEL_PROGRAM_TIMEOUT_MS 100 /* a page program takes a few ms */
#define QVZEL_ADDR_LIMIT SZ_16M /* what 3-byte addresses reach */
#define QVZEL_RESCHED_MASK 0xFFU /* cond_resched() every 256 bytes */

bool qvzel_card_alive(struct qvzel_card *card)
{
	unsigned int val;

	return !regmap_read(card->map, QVZEL_REG_MAGIC, &val) && val == QVZEL_MAGIC;
}

/* Waits until the window can shift the next byte. */
static int qvzel_spi_ready(struct qvzel_card *card)
{
	unsigned int sta;
	int i;

	for (i = 0; i < QVZEL_SPI_BUSY_POLLS; i++) {
		if (regmap_read(card->map, QVZEL_REG_SPI_STATUS, &sta) || sta == QVZEL_ALL_ONES)
			return QVZEL_DRV_STATUS_NOT_FOUND;
		if (!(sta & QVZEL_SPI_STATUS_BUSY))
			return QVZEL_DRV_STATUS_OK;
		cpu_relax();
	}
	return QVZEL_DRV_STATUS_TIMEOUT;
}

/* Shifts @out to the flash; stores the byte shifted in at @in when given. */
static int qvzel_spi_shift(struct qvzel_card *card, u8 out, u8 *in)
{
	unsigned int val;
	int ret;

	ret = qvzel_spi_ready(card);
	if (ret)
		return ret;
	if (regmap_write(card->map, QVZEL_REG_SPI_DATA, out))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	if (!in)
		return QVZEL_DRV_STATUS_OK;
	if (regmap_read(card->map, QVZEL_REG_SPI_DATA, &val))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	*in = val & 0xFF;
	return QVZEL_DRV_STATUS_OK;
}

static int qvzel_spi_select(struct qvzel_card *card, bool on)
{
	if (regmap_write(card->map, QVZEL_REG_SPI_CTRL, on ? QVZEL_SPI_CTRL_CS : 0))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	return QVZEL_DRV_STATUS_OK;
}

/*
 * One command: @hdr (command and address bytes), then @tx, then @rx_len
 * answer bytes into @rx. Chip select is released on every path, which ends
 * the command at the flash.
 */
static int qvzel_spi_cmd(struct qvzel_card *card, const u8 *hdr, size_t hdr_len, const u8 *tx,
			 size_t tx_len, u8 *rx, size_t rx_len)
{
	size_t i;
	int ret, rel;

	ret = qvzel_spi_select(card, true);
	for (i = 0; !ret && i < hdr_len; i++)
		ret = qvzel_spi_shift(card, hdr[i], NULL);
	for (i = 0; !ret && i < tx_len; i++)
		ret = qvzel_spi_shift(card, tx[i], NULL);
	for (i = 0; !ret && i < rx_len; i++) {
		ret = qvzel_spi_shift(card, QVZEL_FLASH_ERASED, &rx[i]);
		if ((i & QVZEL_RESCHED_MASK) == QVZEL_RESCHED_MASK)
			cond_resched();
	}
	rel = qvzel_spi_select(card, false);
	return ret ? ret : rel;
}

static void qvzel_spi_addr(u8 *hdr, u8 op, u32 addr)
{
	hdr[0] = op;
	hdr[1] = (addr >> 16) & 0xFF;
	hdr[2] = (addr >> 8) & 0xFF;
	hdr[3] = addr & 0xFF;
}

static int qvzel_flash_op(struct qvzel_card *card, u8 op)
{
	return qvzel_spi_cmd(card, &op, 1, NULL, 0, NULL, 0);
}

/* Polls the status register until WIP clears, at most @timeout_ms. */
static int qvzel_flash_wait(struct qvzel_card *card, unsigned int timeout_ms)
{
	unsigned long deadline = jiffies + msecs_to_jiffies(timeout_ms);
	const u8 op = QVZEL_SPI_CMD_READ_STATUS;
	unsigned int polls;
	u8 sr;
	int ret;

	for (polls = 0;; polls++) {
		ret = qvzel_spi_cmd(card, &op, 1, NULL, 0, &sr, 1);
		if (ret)
			return ret;
		if (!(sr & QVZEL_SPI_SR_WIP))
			return QVZEL_DRV_STATUS_OK;
		if (sr == QVZEL_FLASH_ERASED && !qvzel_card_alive(card))
			return QVZEL_DRV_STATUS_NOT_FOUND;
		if (time_after(jiffies, deadline))
			return QVZEL_DRV_STATUS_TIMEOUT;
		if (polls < QVZEL_WIP_FAST_POLLS)
			cpu_relax();
		else
			usleep_range(50, 100);
	}
}

/* Flash size from a JEDEC ID; 0 when no part answers or the capacity is unknown. */
static u32 qvzel_flash_size(u32 jedec)
{
	u8 manufacturer = jedec >> 16;
	u8 capacity = jedec & 0xFF;

	if (manufacturer == 0x00 || manufacturer == 0xFF)
		return 0;
	/* The one known part whose capacity byte is not log2 of its size. */
	if (jedec == QVZEL_JEDEC_SST_1M)
		return SZ_1M;
	if (capacity < 0x10 || capacity > 0x1F)
		return 0;
	return capacity >= 24 ? QVZEL_ADDR_LIMIT : 1U << capacity;
}

int qvzel_flash_identify(struct qvzel_card *card)
{
	const u8 op = QVZEL_SPI_CMD_READ_JEDEC_ID;
	u8 id[3];
	u32 jedec;
	int ret;

	if (!qvzel_card_alive(card))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	ret = qvzel_spi_cmd(card, &op, 1, NULL, 0, id, sizeof(id));
	if (ret)
		return ret;
	jedec = (id[0] << 16) | (id[1] << 8) | id[2];
	if (!qvzel_flash_size(jedec))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	/* Once set the two never change; flash_size published last for lock-free readers. */
	card->jedec = jedec;
	smp_store_release(&card->flash_size, qvzel_flash_size(jedec));
	return QVZEL_DRV_STATUS_OK;
}

int qvzel_flash_read(struct qvzel_card *card, u32 addr, u8 *buf, u32 len)
{
	u8 hdr[4];

	qvzel_spi_addr(hdr, QVZEL_SPI_CMD_READ, addr);
	return qvzel_spi_cmd(card, hdr, sizeof(hdr), NULL, 0, buf, len);
}

static int qvzel_flash_erase(struct qvzel_card *card, u32 addr)
{
	u8 hdr[4];
	int ret;

	ret = qvzel_flash_op(card, QVZEL_SPI_CMD_WRITE_ENABLE);
	if (ret)
		return ret;
	qvzel_spi_addr(hdr, QVZEL_SPI_CMD_SECTOR_ERASE, addr);
	ret = qvzel_spi_cmd(card, hdr, sizeof(hdr), NULL, 0, NULL, 0);
	return ret ? ret : qvzel_flash_wait(card, QVZEL_ERASE_TIMEOUT_MS);
}

/* Programs one whole page at the page-aligned @addr. */
static int qvzel_flash_program(struct qvzel_card *card, u32 addr, const u8 *data)
{
	u8 hdr[4];
	int ret;

	ret = qvzel_flash_op(card, QVZEL_SPI_CMD_WRITE_ENABLE);
	if (ret)
		return ret;
	qvzel_spi_addr(hdr, QVZEL_SPI_CMD_PAGE_PROGRAM, addr);
	ret = qvzel_spi_cmd(card, hdr, sizeof(hdr), data, QVZEL_FLASH_PAGE_SIZE, NULL, 0);
	return ret ? ret : qvzel_flash_wait(card, QVZEL_PROGRAM_TIMEOUT_MS);
}

/*
 * Writes one sector: @want is the sector's new content (old bytes merged in
 * by the caller). Erase, program every page that is not all 0xFF, read back.
 */
static int qvzel_flash_write_sector(struct qvzel_card *card, u32 sector, const u8 *want, u8 *back)
{
	u32 page;
	int ret;

	ret = qvzel_flash_erase(card, sector);
	if (ret)
		return ret;
	for (page = 0; page < QVZEL_FLASH_SECTOR_SIZE; page += QVZEL_FLASH_PAGE_SIZE) {
		if (!memchr_inv(want + page, QVZEL_FLASH_ERASED, QVZEL_FLASH_PAGE_SIZE))
			continue;
		ret = qvzel_flash_program(card, sector + page, want + page);
		if (ret)
			return ret;
	}
	ret = qvzel_flash_read(card, sector, back, QVZEL_FLASH_SECTOR_SIZE);
	if (ret)
		return ret;
	if (memcmp(back, want, QVZEL_FLASH_SECTOR_SIZE))
		return qvzel_card_alive(card) ? QVZEL_DRV_STATUS_VERIFY_FAILED :
						QVZEL_DRV_STATUS_NOT_FOUND;
	return QVZEL_DRV_STATUS_OK;
}

/*
 * The firmware write. The caller has checked the range against the flash
 * size and gives @image (@in->length bytes) and @scratch (two sectors).
 * Sector by sector: read, merge the image's bytes in, and when that changes
 * anything erase, program and verify; bytes outside the range keep their
 * values. A sector that already holds the bytes was verified by its read.
 */
int qvzel_flash_write(struct qvzel_card *card, const struct qvzel_firmware_input *in,
		      const u8 *image, u8 *scratch)
{
	u32 start = in->flash_offset;
	u32 end = in->flash_offset + in->length;
	u8 *sector_buf = scratch;
	u8 *back = scratch + QVZEL_FLASH_SECTOR_SIZE;
	u32 sector, from, to;
	u32 pinout;
	int ret;

	if (!qvzel_card_alive(card))
		return QVZEL_DRV_STATUS_NOT_FOUND;
	pinout = (in->pinout_address & QVZEL_PINOUT_ADDRESS_MASK) |
		 ((in->pinout_version & QVZEL_PINOUT_VERSION_MASK) << QVZEL_PINOUT_VERSION_SHIFT);
	if (regmap_write(card->map, QVZEL_REG_PINOUT, pinout))
		return QVZEL_DRV_STATUS_NOT_FOUND;

	for (sector = round_down(start, QVZEL_FLASH_SECTOR_SIZE); sector < end;
	     sector += QVZEL_FLASH_SECTOR_SIZE) {
		from = max(start, sector);
		to = min(end, sector + QVZEL_FLASH_SECTOR_SIZE);
		if (!qvzel_card_alive(card))
			return QVZEL_DRV_STATUS_NOT_FOUND;
		ret = qvzel_flash_read(card, sector, sector_buf, QVZEL_FLASH_SECTOR_SIZE);
		if (ret)
			return ret;
		if (memcmp(sector_buf + (from - sector), image + (from - start), to - from)) {
			memcpy(sector_buf + (from - sector), image + (from - start), to - from);
			ret = qvzel_flash_write_sector(card, sector, sector_buf, back);
			if (ret)
				return ret;
		}
		cond_resched();
	}
	/* Bytes read from a card that left meanwhile are all ones and may have matched. */
	return qvzel_card_alive(card) ? QVZEL_DRV_STATUS_OK : QVZEL_DRV_STATUS_NOT_FOUND;
}
