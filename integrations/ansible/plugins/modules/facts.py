#!/usr/bin/python
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright: the qvzelif developers
# GNU General Public License v3.0+ (see LICENSES/GPL-3.0-or-later.txt or https://www.gnu.org/licenses/gpl-3.0.txt)
"""Ansible module qvlab.qvzel.facts: the station's PXI link devices as facts."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r"""
module: facts
short_description: The PXI bus-extension link devices of a station, as facts
version_added: "1.0.0"
author:
  - qvzelif developers (@qvlab)
description:
  - Lists the upstream link cards and link controllers that libqvzelif.so.1
    finds on the host and sets them as the fact C(qvzel_devices) (one
    dictionary per device, the keys of the qvzelif package's C(as_dict())),
    with C(qvzel_device_counts) by kind.
  - A controller's C(below) names the upstream card and port its chassis is
    cabled to; each port's C(chassis_found) says whether a listed controller
    lies below it; a card's C(link_up) says whether its link is up.
  - Changes nothing; check mode gives the same facts.
requirements:
  - the Python package qvzelif on the host
  - libqvzelif.so.1 and libqvpcibrd.so.1 on the host
attributes:
  check_mode:
    description: Can run in check mode and return the changed status prediction without modifying the target.
    support: full
  diff_mode:
    description: Will return details on what has changed (or possibly needs changing in check mode), when in diff mode.
    support: N/A
    details: The module changes nothing.
  facts:
    description: Action returns an C(ansible_facts) dictionary that will update existing host facts.
    support: full
options:
  firmware:
    description:
      - Open each upstream card's device session to read its installed
        firmware version, flash and subsystem ID. A card that cannot be
        opened gets C(session_error) and does not fail the task.
    type: bool
    default: true
  library:
    description: The libqvzelif.so.1 to load, instead of the one the dynamic loader finds.
    type: path
notes:
  - On a host without the kernel driver (no C(/proc/driver/qv)) that finds
    nothing, the task warns that no kernel driver is loaded.
"""

EXAMPLES = r"""
- name: Read the link devices
  qvlab.qvzel.facts:

- name: Show each upstream card's firmware version
  ansible.builtin.debug:
    msg: "{{ item.slot_path }}: {{ '0x%04X' % item.firmware_version }}"
  loop: "{{ qvzel_devices | selectattr('kind', 'equalto', 'upstream') | list }}"
"""

RETURN = r"""
ansible_facts:
  description: C(qvzel_devices) (list of dictionaries) and C(qvzel_device_counts)
    (C(upstream), C(controller), C(unknown)).
  returned: success
  type: dict
  contains:
    qvzel_devices:
      description: One dictionary per listed device, in the library's order.
      type: list
      elements: dict
    qvzel_device_counts:
      description: The number of devices of each kind.
      type: dict
code:
  description: Status code of the failure, with C(name) and C(text).
  returned: failure
  type: int
name:
  description: Name of the status code's constant.
  returned: failure
  type: str
text:
  description: The sentence the status table gives for the code.
  returned: failure
  type: str
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


def main():
    module = AnsibleModule(argument_spec=dict(firmware=dict(type="bool", default=True),
                                              library=dict(type="path")),
                           supports_check_mode=True)
    if qvzelif is None:
        module.fail_json(msg=missing_required_lib("qvzelif"), exception=QVZELIF_IMPORT_ERROR)
    try:
        with qvzelif.open_list(module.params["library"]) as listed:
            note = listed.note
            devices = listed.inventory(firmware=module.params["firmware"])
    except qvzelif.QvzelError as error:
        values = error.as_dict()
        values.pop("message", None)
        module.fail_json(msg=str(error), **values)
    except OSError as error:
        module.fail_json(msg=str(error))
    if note:
        module.warn(note)
    counts = dict((kind, sum(1 for device in devices if device["kind"] == kind))
                  for kind in ("upstream", "controller", "unknown"))
    module.exit_json(changed=False, ansible_facts=dict(qvzel_devices=devices,
                                                       qvzel_device_counts=counts))


if __name__ == "__main__":
    main()
