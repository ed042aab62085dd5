#!/usr/bin/python3
"""Ansible module qvzel_firmware: brings an upstream link card to an image's version."""

DOCUMENTATION = r"""
module: qvzel_firmware
short_description: Bring a PXI upstream link card to a firmware image's version
description:
  - Checks a firmware image against an upstream link card, as C(qvzel update)
    does: the image must be valid (C(qvzel check-image)), hold a section for
    the card's flash, and that section's subsystem ID must be the card's.
  - Writes the image only when its version is newer than the installed one
    (or I(force) is set); otherwise reports C(changed=false). In check mode it
    checks the image against the card and reports what it would do, writing
    nothing.
  - The installed version is what the card reports through the kernel driver.
  - Needs the qvzelif Python package, libqvzelif.so.1 and the qvzel tool on
    the host. The image file is read on the host.
options:
  image:
    description: Path of the firmware image file on the host.
    type: path
    required: true
  card:
    description:
      - Slot path (e.g. C(MR00:00,00,E0)) or serial number of the card. May
        be left out when the host has exactly one upstream link card.
    type: str
  force:
    description: Write the image even when it is not newer than the installed firmware.
    type: bool
    default: false
  library:
    description: The libqvzelif.so.1 to load, instead of the one the dynamic loader finds.
    type: path
  tool:
    description: The qvzel tool that checks images, instead of the one on PATH.
    type: path
"""

EXAMPLES = r"""
- name: Roll out firmware 2.00
  qvzel_firmware:
    image: /srv/firmware/fw-0200.img
    card: 01A2B3C4
"""

RETURN = r"""
written:
  description: Whether the image was written (false in check mode).
  returned: success
  type: bool
installed_version:
  description: Firmware version the card reported before the task.
  returned: success
  type: int
image_version:
  description: Version of the image section for the card's flash.
  returned: success
  type: int
flash_type:
  description: C(ISSI) or C(SST).
  returned: success
  type: str
slot_path:
  description: Slot path of the card.
  returned: success
  type: str
code:
  description: Status code of the failure, with C(name) (its constant) and C(text) (its sentence).
  returned: failure
  type: int
"""

from ansible.module_utils.basic import AnsibleModule


def pick_card(module, devices):
    name = module.params["card"]
    if name:
        try:
            card = devices.find(name)
        except LookupError as error:
            module.fail_json(msg=str(error))
        if card.kind != "upstream":
            module.fail_json(msg="%s is a %s, not an upstream link card" % (name, card.kind))
        return card
    cards = devices.upstream_cards()
    if len(cards) != 1:
        module.fail_json(msg="the host has %d upstream link cards; name one with card"
                         % len(cards))
    return cards[0]


def main():
    module = AnsibleModule(argument_spec=dict(image=dict(type="path", required=True),
                                              card=dict(type="str"),
                                              force=dict(type="bool", default=False),
                                              library=dict(type="path"),
                                              tool=dict(type="path")),
                           supports_check_mode=True)
    try:
        import qvzelif
    except ImportError:
        module.fail_json(msg="the Python package qvzelif is not installed on this host")
    params = module.params
    try:
        with qvzelif.open_list(params["library"]) as devices:
            card = pick_card(module, devices)
            plan = card.plan_update(params["image"], params["force"], params["tool"])
            result = dict(slot_path=plan.slot_path, serial_number=plan.serial_number,
                          installed_version=plan.installed_version,
                          image_version=plan.image_version, flash_type=plan.flash_type,
                          written=False, changed=plan.will_write)
            if not plan.will_write:
                module.exit_json(msg="nothing to write: " + plan.describe(), **result)
            if module.check_mode:
                module.exit_json(msg="check mode, would write: " + plan.describe(), **result)
            card.update_firmware(params["image"], params["force"], params["tool"])
            result["written"] = True
            module.exit_json(msg="written: " + plan.describe(), **result)
    except qvzelif.QvzelError as error:
        module.fail_json(msg=str(error), **error.as_dict())
    except (qvzelif.ToolError, OSError) as error:
        module.fail_json(msg=str(error))


if __name__ == "__main__":
    main()
