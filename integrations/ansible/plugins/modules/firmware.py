#!/usr/bin/python
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: the qvzelif developers
# GNU General Public License v3.0+ (see LICENSES/GPL-3.0-or-later.txt or https://www.gnu.org/licenses/gpl-3.0.txt)
"""Ansible module qvlab.qvzel.firmware: brings an upstream link card to an image's version."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r"""
module: firmware
short_description: Bring a PXI upstream link card to a firmware image's version
version_added: "1.0.0"
author:
  - qvzelif developers (@qvlab)
description:
  - Checks a firmware image against an upstream link card as the library's
    update does, and as C(qvzel update) does; the image must hold a section
    for the card's flash that passes every check of C(qvzel check-image),
    and that section's subsystem ID must be the card's.
  - Writes the image only when its version is newer than the installed one
    (or I(force) is set); otherwise reports C(changed=false). In check mode it
    checks the image against the card and reports what it would do, writing
    nothing.
  - The image file is read once, on the host, and the bytes checked are the
    bytes written. A regular file longer than the library takes is refused
    unread; pipes and devices are read up to that limit.
  - A refusal fails with the status code the library's update gives for it
    and the reason in C(msg), ending with "nothing was written".
requirements:
  - the Python package qvzelif on the host
  - libqvzelif.so.1, libqvpcibrd.so.1 and the qvzel tool on the host
attributes:
  check_mode:
    description: Can run in check mode and return the changed status prediction without modifying the target.
    support: full
  diff_mode:
    description: Will return details on what has changed (or possibly needs changing in check mode), when in diff mode.
    support: none
options:
  image:
    description: Path of the firmware image file on the host.
    type: path
    required: true
  card:
    description:
      - Slot path (for example C(MR00:00,00,E0)) or serial number of the card.
        May be left out when the host has exactly one upstream link card.
    type: str
  force:
    description: Write the image even when it is not newer than the installed firmware.
    type: bool
    default: false
  library:
    description: The libqvzelif.so.1 to load, instead of the one the dynamic loader finds.
    type: path
  tool:
    description: The qvzel tool that checks images, instead of the one on C(PATH).
    type: path
notes:
  - A failed write after the driver request may have started reports
    C(changed=true) with the status code; the card may need the update
    again. A warning the driver answers the write with is returned in
    C(warning) and shown as a task warning.
  - SIGINT and SIGTERM that arrive during the write are held back until the
    driver has answered, so that the write is not cut short.
"""

EXAMPLES = r"""
- name: Roll out firmware 2.00
  qvlab.qvzel.firmware:
    image: /var/tmp/qvzel-fw.img
    card: 01A2B3C4

- name: Reinstall the same version
  qvlab.qvzel.firmware:
    image: /var/tmp/qvzel-fw.img
    card: MR00:00,00,E0
    force: true
"""

RETURN = r"""
written:
  description: Whether the image was written (false in check mode).
  returned: always
  type: bool
installed_version:
  description: Firmware version the card reported before the task.
  returned: when the card was read
  type: int
image_version:
  description: Version of the image section for the card's flash.
  returned: when the card was read
  type: int
flash_type:
  description: C(ISSI) or C(SST).
  returned: when the card was read
  type: str
slot_path:
  description: Slot path of the card.
  returned: when the card was read
  type: str
serial_number:
  description: Serial number of the card, null for a card found through its PCI identifiers.
  returned: when the card was read
  type: str
warning:
  description: The positive status code the driver answered the write with.
  returned: when the driver answered with a warning
  type: int
code:
  description: Status code of the failure, with C(name) (its constant) and C(text) (its sentence).
  returned: failure
  type: int
name:
  description: Name of the status code's constant, for example C(QVZEL_ERR_NOT_FOUND).
  returned: failure
  type: str
text:
  description: The sentence the status table gives for the code.
  returned: failure
  type: str
write_may_have_started:
  description: On a failed write, whether the driver request may have started.
  returned: failure
  type: bool
"""

import traceback

from ansible.module_utils.basic import AnsibleModule, missing_required_lib

try:
    import qvzelif
except ImportError:
    QVZELIF_IMPORT_ERROR = traceback.format_exc()
    qvzelif = None
else:
    QVZELIF_IMPORT_ERROR = None


def pick_card(module, devices):
    name = module.params["card"]
    if name:
        try:
            card = devices.find(name)
        except LookupError as error:
            module.fail_json(msg=str(error), written=False)
        if card.kind != "upstream":
            module.fail_json(msg="%s is a %s, not an upstream link card" % (name, card.kind),
                             written=False)
        return card
    cards = devices.upstream_cards()
    if len(cards) != 1:
        note = devices.note
        module.fail_json(msg="the host has %d upstream link cards; name one with card%s"
                         % (len(cards), "; " + note if note else ""), written=False)
    return cards[0]


def plan_result(plan):
    return dict(slot_path=plan.slot_path, serial_number=plan.serial_number,
                installed_version=plan.installed_version, image_version=plan.image_version,
                flash_type=plan.flash_type, written=plan.written)


def fail(module, error, result, **extra):
    values = dict(result, **error.as_dict())
    values.update(extra)
    values.pop("message", None)
    module.fail_json(msg=str(error), **values)


def run(module, image):
    params = module.params
    with qvzelif.open_list(params["library"]) as devices:
        card = pick_card(module, devices)
        result = dict(slot_path=card.slot_path, serial_number=card.serial_number, written=False)
        try:
            plan = card.plan_update(image, params["force"], params["tool"])
        except qvzelif.QvzelError as error:
            fail(module, error, result)
        result = plan_result(plan)
        if not plan.will_write:
            module.exit_json(changed=False, msg="nothing to write: " + plan.describe(), **result)
        if module.check_mode:
            module.exit_json(changed=True, msg="check mode, would write: " + plan.describe(),
                             **result)
        try:
            done = card.update_firmware(image, params["force"], params["tool"])
        except qvzelif.UpdateInterrupted as interrupted:
            outcome = interrupted.outcome
            if isinstance(outcome, qvzelif.QvzelError):
                fail(module, outcome, result, changed=outcome.write_may_have_started,
                     write_may_have_started=outcome.write_may_have_started)
            module.fail_json(msg=str(interrupted), changed=True, **plan_result(outcome))
        except qvzelif.QvzelError as error:
            # A failed write that may have reached the flash changed the card.
            started = error.write_may_have_started
            fail(module, error, result, changed=started, write_may_have_started=started)
        result = plan_result(done)
        if done.warning is not None:
            module.warn("the driver answered the write with warning %d (%s): %s"
                        % (done.warning, qvzelif.status_name(done.warning),
                           qvzelif.status_text(done.warning)))
            result["warning"] = done.warning
        module.exit_json(changed=True, msg="written: " + done.describe(), **result)


def main():
    module = AnsibleModule(argument_spec=dict(image=dict(type="path", required=True),
                                              card=dict(type="str"),
                                              force=dict(type="bool", default=False),
                                              library=dict(type="path"),
                                              tool=dict(type="path")),
                           supports_check_mode=True)
    if qvzelif is None:
        module.fail_json(msg=missing_required_lib("qvzelif"), exception=QVZELIF_IMPORT_ERROR)
    try:
        # Read once: the plan and the write use the same bytes.
        image = qvzelif.read_image(module.params["image"])
        run(module, image)
    except qvzelif.QvzelError as error:
        fail(module, error, dict(written=False))
    except (qvzelif.ToolError, OSError) as error:
        module.fail_json(msg=str(error), written=False)


if __name__ == "__main__":
    main()
