#!/usr/bin/python3
"""Ansible module qvzel_facts: the station's PXI link devices as facts."""

DOCUMENTATION = r"""
module: qvzel_facts
short_description: The PXI bus-extension link devices of a station, as facts
description:
  - Lists the upstream link cards and link controllers that libqvzelif.so.1
    finds on the host and sets them as the fact C(qvzel_devices) (one
    dictionary per device, the keys of the qvzelif package's as_dict()),
    with C(qvzel_device_counts) by kind.
  - Needs the qvzelif Python package and libqvzelif.so.1 on the host. Changes
    nothing; check mode gives the same facts.
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
"""

EXAMPLES = r"""
- name: Read the link devices
  qvzel_facts:

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
code:
  description: Status code of the failure, with C(name) and C(text).
  returned: failure
  type: int
"""

from ansible.module_utils.basic import AnsibleModule


def main():
    module = AnsibleModule(argument_spec=dict(firmware=dict(type="bool", default=True),
                                              library=dict(type="path")),
                           supports_check_mode=True)
    try:
        import qvzelif
    except ImportError:
        module.fail_json(msg="the Python package qvzelif is not installed on this host")
    try:
        devices = qvzelif.inventory(firmware=module.params["firmware"],
                                    library=module.params["library"])
    except qvzelif.QvzelError as error:
        module.fail_json(msg=str(error), **error.as_dict())
    except OSError as error:
        module.fail_json(msg="cannot load libqvzelif.so.1: %s" % error)
    counts = {kind: sum(1 for device in devices if device["kind"] == kind)
              for kind in ("upstream", "controller", "unknown")}
    module.exit_json(changed=False, ansible_facts={"qvzel_devices": devices,
                                                   "qvzel_device_counts": counts})


if __name__ == "__main__":
    main()
