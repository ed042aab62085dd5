#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Writes this station's PXI link inventory as JSON and as CSV.

    inventory.py [--json FILE] [--csv FILE] [--firmware]

JSON holds every value of every device (ports as a list); CSV holds one row
per device with the values that fit a table. --firmware opens each upstream
card's device session to add its installed firmware version and flash; a card
that cannot be opened gets a "session_error" instead. "-" writes to stdout.
"""
import argparse
import contextlib
import csv
import datetime
import json
import socket
import sys

import qvzelif

CSV_COLUMNS = ["index", "kind", "vendor_name", "model_name", "slot_path", "pci_address",
               "vendor_id", "product_id", "serial_number", "part_number", "port_count",
               "firmware_version", "flash_type", "is_integrated"]


def open_output(path: str):
    if path == "-":
        return contextlib.nullcontext(sys.stdout)
    return open(path, "w", encoding="utf-8", newline="")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--json", metavar="FILE", default="inventory.json")
    parser.add_argument("--csv", metavar="FILE", default="inventory.csv")
    parser.add_argument("--firmware", action="store_true",
                        help="open upstream cards to read their firmware version")
    args = parser.parse_args()
    try:
        devices = qvzelif.inventory(firmware=args.firmware)
    except qvzelif.QvzelError as error:
        print("inventory: %s" % error, file=sys.stderr)
        return 1
    document = {
        "station": socket.gethostname(),
        "taken": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
        "devices": devices,
    }
    with open_output(args.json) as out:
        json.dump(document, out, indent=2)
        out.write("\n")
    with open_output(args.csv) as out:
        writer = csv.DictWriter(out, fieldnames=CSV_COLUMNS, extrasaction="ignore")
        writer.writeheader()
        writer.writerows(devices)
    return 0


if __name__ == "__main__":
    sys.exit(main())
