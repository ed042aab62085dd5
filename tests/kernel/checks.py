#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""The kernel stage: checks of the real driver, the sysfs PCI bridge library,
the tool and the Python package against the lab, run inside the machine of
scripts/kernel-lab.sh:

  scripts/kernel-lab.sh -- python3 tests/kernel/checks.py [--build DIR] [NAME...]

Prints one line per check, "ok NAME" or "FAIL NAME: reason", and at the end
"kernel: N passed, M failed"; exits 0 only when nothing failed. NAMEs (or
prefixes such as "update.") pick checks; without them every check runs, in
the order below. Each check starts from the lab as the system file describes
it (the lab is loaded again after a check changed it) or says why it cannot.
"""
import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fwimage  # noqa: E402  (beside this file)
import labtext  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
UNPRIVILEGED = 1000  # the machine's user "lab"


class CheckFailed(Exception):
    pass


def expect(condition, reason, *args):
    if not condition:
        raise CheckFailed(reason % args if args else reason)


def run(command, timeout=60, user=None, check=False, stdin=None, env=None):
    """Runs COMMAND and returns the finished process (text output)."""
    kwargs = {}
    if user is not None:
        kwargs.update(user=user, group=user, extra_groups=[])
        env = dict(env or os.environ, HOME="/home/lab", USER="lab", LOGNAME="lab")
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL if stdin is None else stdin,
                              timeout=timeout, env=env, text=True, errors="replace", **kwargs)
    except subprocess.TimeoutExpired:
        raise CheckFailed("'%s' did not finish within %d s" % (" ".join(command), timeout))
    if check and done.returncode != 0:
        raise CheckFailed("'%s' exited with %d: %s" % (" ".join(command), done.returncode,
                                                       (done.stderr or done.stdout).strip()[-300:]))
    return done


def qvzel(*args, **kwargs):
    return run(["qvzel"] + [str(a) for a in args], **kwargs)


def qvzel_json(*args, **kwargs):
    done = qvzel(*args, check=True, **kwargs)
    try:
        return json.loads(done.stdout)
    except ValueError as error:
        raise CheckFailed("qvzel %s printed no JSON document: %s" % (" ".join(args), error))


class Lab:
    """The lab module as the tool qvlab drives it, and what the system file says of it."""

    def __init__(self, system):
        self.system = system
        self.model = labtext.read(system) if system else None
        self.changed = True  # not loaded by this program yet

    def qvlab(self, *args, timeout=60):
        return run(["qvlab"] + [str(a) for a in args], timeout=timeout, check=True)

    def fresh(self):
        """The lab as the system file describes it, factory flash included."""
        expect(self.model is not None, "the machine has no lab system file")
        if self.changed:
            self.qvlab("load", self.system)
            self.changed = False

    def unplug(self, name):
        self.changed = True
        self.qvlab("unplug", name)

    def cable(self, port, on):
        self.changed = True
        self.qvlab("cable", port, "on" if on else "off")

    def reload(self):
        self.changed = True
        self.qvlab("reload")

    def flash(self, name, offset=None, length=None):
        with tempfile.NamedTemporaryFile(prefix="flash-") as out:
            args = ["flash", "read", name]
            if offset is not None:
                args += ["--offset", offset]
            if length is not None:
                args += ["--length", length]
            self.qvlab(*(args + [out.name]))
            return open(out.name, "rb").read()

    def card(self):
        """The first four-port card with a serial number: the one the checks update."""
        expect(self.model.updatable, "the lab's system file holds no card to update")
        return self.model.updatable[0]


class Checks:
    def __init__(self, lab, build):
        self.lab = lab
        self.build = build
        self.tmp = tempfile.mkdtemp(prefix="kernel-checks-")
        os.chmod(self.tmp, 0o755)  # the images are read by user lab too
        self.images = {}

    # ---- helpers ----------------------------------------------------------

    def helper(self, name):
        path = os.path.join(self.build, "tests", "kernel", "qvk_" + name)
        expect(os.access(path, os.X_OK), "the helper program %s is missing", path)
        return path

    def image(self, name, payload, version, offset=fwimage.BOOT_OFFSET, **fields):
        """Writes an image into the scratch folder once and returns its path."""
        path = os.path.join(self.tmp, name + ".img")
        if name not in self.images:
            with open(path, "wb") as out:
                out.write(fwimage.make_image(payload, version, offset, **fields))
            self.images[name] = path
        return path

    def demo_image(self, version):
        return os.path.join(REPO, "examples", "firmware", "demo-fw-%04x.img" % version)

    def item(self, serial):
        items = qvzel_json("list", "--json")["items"]
        for item in items:
            if (item.get("upstream") or {}).get("serialNumber") == serial:
                return item
        raise CheckFailed("qvzel list --json shows no card with serial number %s" % serial)

    def driver_values(self, serial):
        values = qvzel_json("show", "serial:" + serial, "--json")["item"]["driverValues"]
        expect(values and values["openStatus"]["code"] == 0,
               "qvzel show cannot open the card: %s", values and values["openStatus"])
        return values

    def update(self, card, path, force=False, user=None):
        args = ["update", "serial:" + card.serial, path, "--yes"] + (["--force"] if force else [])
        return qvzel(*args, user=user, timeout=300)

    def expect_written(self, card, path, before):
        """The flash holds the image's section for the card at its offset and,
        elsewhere, what it held before."""
        section = fwimage.section_for(open(path, "rb").read(), card.flash_id)
        after = self.lab.flash(card.name)
        expect(len(after) == len(before) == card.flash_size,
               "the flash reads %d bytes, %d before, the part holds %d",
               len(after), len(before), card.flash_size)
        start, end = section.offset, section.offset + len(section.payload)
        written = after[start:end]
        if written != section.payload:
            first = next(i for i in range(len(written)) if written[i] != section.payload[i])
            raise CheckFailed("flash byte 0x%X is 0x%02X, the image's payload has 0x%02X there"
                              % (start + first, written[first], section.payload[first]))
        expect(after[:start] == before[:start] and after[end:] == before[end:],
               "the update changed flash bytes outside [0x%X, 0x%X)", start, end)
        return section

    def expect_untouched(self, card, before, what):
        after = self.lab.flash(card.name)
        expect(hashlib.sha256(after).digest() == hashlib.sha256(before).digest(),
               "%s changed the flash", what)

    # ---- checks -----------------------------------------------------------

    def check_discovery_json(self):
        """Every device of the lab, as the system file describes it."""
        self.lab.fresh()
        items = qvzel_json("list", "--json")["items"]
        got = {labtext.describe_item(item) for item in items}
        want = self.lab.model.expected_items()
        expect(got == want, "qvzel list --json shows %s; the lab holds %s", sorted(got, key=str),
               sorted(want, key=str))
        upstream = [i for i in items if i["kind"] == "upstream"]
        expect(len(upstream) == len(self.lab.model.cards), "%d upstream cards listed, the lab has %d",
               len(upstream), len(self.lab.model.cards))
        for card in self.lab.model.cards:
            if not card.serial:
                continue
            ports = self.item(card.serial)["upstream"]["ports"]
            expect(len(ports) == len(card.ports), "card %s shows %d ports, it has %d",
                   card.serial, len(ports), len(card.ports))
            for port, shown in zip(card.ports, ports):
                expect(shown["chassisFound"] == port.cabled,
                       "port %s of card %s: a chassis %s, the lab has %s", port.number,
                       card.serial, "found" if shown["chassisFound"] else "not found",
                       port.chassis or "no cable")

    def check_discovery_text(self):
        """qvzel list and list --tree name every device."""
        self.lab.fresh()
        table = qvzel("list", check=True).stdout
        tree = qvzel("list", "--tree", check=True).stdout
        cards = self.lab.model.cards
        rows = re.findall(r"^\d+\s+(upstream|controller)\s", table, re.M)
        expect(rows.count("upstream") == len(cards), "qvzel list shows %d upstream rows, the lab has %d",
               rows.count("upstream"), len(cards))
        # A controller that two model-table rows describe is listed twice.
        expect(rows.count("controller") >= len(self.lab.model.controllers),
               "qvzel list shows %d controller rows, the lab has %d",
               rows.count("controller"), len(self.lab.model.controllers))
        for card in (c for c in cards if c.serial):
            expect("serial " + card.serial in table and "serial " + card.serial in tree,
                   "qvzel list or list --tree does not show serial number %s", card.serial)
        empty = sum(1 for c in cards for p in c.ports if not p.cabled)
        expect(tree.count(": no chassis") == empty, "qvzel list --tree shows %d ports without a "
               "chassis, the lab has %d:\n%s", tree.count(": no chassis"), empty, tree)

    def check_attributes(self):
        """qvzel show: the driver's values for every card, from its flash and configuration space."""
        self.lab.fresh()
        for card in self.lab.model.updatable:
            values = self.driver_values(card.serial)
            got = (values["firmwareVersion"], values["flashId"], values["cardSubsystemId"])
            want = (card.version, card.flash_id, card.subsystem)
            expect(got == want, "card %s: version, flash ID, subsystem %s; the lab has %s",
                   card.serial, [hex(v) for v in got if v is not None], [hex(v) for v in want])
            text = qvzel("show", "serial:" + card.serial, check=True).stdout
            for line in ("Firmware version: +0x%X$" % card.version, "Flash ID: +0x%04X " % card.flash_id,
                         "Card subsystem ID: +0x%04X$" % card.subsystem):
                expect(re.search(line, text, re.M), "qvzel show has no line %r:\n%s", line, text)

    def check_idsel(self):
        """Every controller's IDSEL map; an upstream card has none."""
        self.lab.fresh()
        items = qvzel_json("list", "--json")["items"]
        want = [0xFF] * 17 + list(range(1, 16))
        controllers = [i for i in items if i["kind"] == "controller"]
        expect(controllers, "no controller listed")
        for item in controllers:
            got = qvzel_json("idsel", item["index"], "--json")["map"]
            expect(got == want, "controller %s: IDSEL map %s", item["slotPath"], got)
        for item in items:
            if item["kind"] == "upstream":
                done = qvzel("idsel", item["index"])
                expect(done.returncode == 1, "qvzel idsel of an upstream card exited with %d",
                       done.returncode)

    def check_update(self):
        """An update end to end: the flash holds the payload; after a reload the card runs it."""
        self.lab.fresh()
        card = self.lab.card()
        before = self.lab.flash(card.name)
        path = self.demo_image(0x200)
        done = self.update(card, path)
        self.lab.changed = True
        expect(done.returncode == 0, "qvzel update exited with %d: %s", done.returncode,
               done.stderr.strip())
        section = self.expect_written(card, path, before)
        expect(self.driver_values(card.serial)["firmwareVersion"] == card.version,
               "the card runs another version before it is reloaded")
        self.lab.reload()
        version = self.driver_values(card.serial)["firmwareVersion"]
        # The demo image's payload carries the boot header naming its version.
        header = self.lab.flash(card.name, fwimage.BOOT_OFFSET, 8)
        booted = int.from_bytes(header[4:], "little") if header[:4] == b"QVFW" else 0
        expect(version == booted, "after the reload the card runs 0x%X, its flash names 0x%X",
               version, booted)
        expect(booted == section.version, "the image of version 0x%X boots as 0x%X",
               section.version, booted)

    def refused_images(self, card):
        """Images an update must refuse, each with what makes it wrong."""
        payload = fwimage.boot_payload(0x300, 6000)
        over = card.flash_size - 4096
        return [
            ("bad checksum", self.image("bad-crc", payload, 0x300, checksum=12345), False),
            ("short payload", self.image("bad-count", payload, 0x300, byte_count=6001), False),
            ("other subsystem", self.image("other-subsystem", payload, 0x300,
                                           subsystem=card.subsystem ^ 1), False),
            ("other flash type", self.image("other-flash", payload, 0x300,
                                            flash="SST" if card.flash_id == 0x9D17 else "ISSI"),
             False),
            ("not newer", self.image("not-newer", payload, card.version), False),
            ("beyond the flash", self.image("beyond", payload, 0x300, offset=over), True),
            ("offset past the end", self.image("past-end", payload[:16], 0x300,
                                               offset=card.flash_size), True),
        ]

    def check_refused(self):
        """Every refused image leaves the flash byte-identical."""
        self.lab.fresh()
        card = self.lab.card()
        before = self.lab.flash(card.name)
        for what, path, force in self.refused_images(card):
            done = self.update(card, path, force=force)
            expect(done.returncode == 1, "an image with %s: qvzel update exited with %d (%s)",
                   what, done.returncode, done.stderr.strip()[-200:])
            self.expect_untouched(card, before, "an image with %s" % what)
        expect(self.driver_values(card.serial)["firmwareVersion"] == card.version,
               "the card's version changed")

    def check_link_down(self):
        """A card whose chassis link is down still takes an update."""
        self.lab.fresh()
        card = self.lab.card()
        cabled = [p for p in card.ports if p.cabled]
        expect(cabled, "the card has no cabled port")
        port = cabled[0]
        self.lab.cable(port.name, False)
        shown = self.item(card.serial)["upstream"]["ports"][card.ports.index(port)]
        expect(not shown["chassisFound"], "port %s with its cable off still shows a chassis",
               port.name)
        before = self.lab.flash(card.name)
        path = self.image("link-down", fwimage.boot_payload(0x300, 20000), 0x300)
        done = self.update(card, path)
        expect(done.returncode == 0, "qvzel update exited with %d: %s", done.returncode,
               done.stderr.strip())
        self.expect_written(card, path, before)
        self.lab.reload()
        version = self.driver_values(card.serial)["firmwareVersion"]
        expect(version == 0x300, "after the reload the card runs 0x%X, the image is 0x300", version)

    def check_unprivileged(self):
        """A user without access to the device file is told so; nothing is written."""
        self.lab.fresh()
        card = self.lab.card()
        before = self.lab.flash(card.name)
        listed = qvzel("list", user=UNPRIVILEGED)
        expect(listed.returncode == 0 and card.serial in listed.stdout,
               "qvzel list as user lab exited with %d: %s", listed.returncode,
               listed.stderr.strip())
        shown = qvzel("show", "serial:" + card.serial, user=UNPRIVILEGED)
        expect(shown.returncode == 0 and re.search(r"Driver values: +not available", shown.stdout),
               "qvzel show as user lab shows the driver's values or fails:\n%s", shown.stdout[-400:])
        told = qvzel("diagnose", user=UNPRIVILEGED).stdout
        expect(re.search(r"may not (read|write)\s+the\s+device\s+file", told),
               "qvzel diagnose as user lab does not name the device file's permissions:\n%s",
               told[-800:])
        path = self.image("unprivileged", fwimage.boot_payload(0x300, 3000), 0x300)
        done = self.update(card, path, user=UNPRIVILEGED)
        expect(done.returncode == 1, "qvzel update as user lab exited with %d", done.returncode)
        said = " ".join(done.stderr.split())
        expect(re.search(r"cannot open item \d+ through the kernel driver; nothing was written\."
                         r".*may not open the device file /dev/qv/qvzel\d+ for reading and writing",
                         said), "qvzel update as user lab gives no clear reason: %s", said)
        self.expect_untouched(card, before, "an update by user lab")

    def check_threads(self):
        """Many threads read attributes while another process updates the card."""
        self.lab.fresh()
        card = self.lab.card()
        stop = os.path.join(self.tmp, "stop-readers")
        readers = subprocess.Popen([self.helper("attr_threads"), card.serial, "8", stop],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            time.sleep(0.5)
            before = self.lab.flash(card.name)
            path = self.image("threads", fwimage.boot_payload(0x300, 64 << 10, seed=3), 0x300)
            done = self.update(card, path)
            self.lab.changed = True
            expect(done.returncode == 0, "qvzel update beside the readers exited with %d: %s",
                   done.returncode, done.stderr.strip())
        finally:
            open(stop, "w").close()
            out, err = readers.communicate(timeout=60)
        expect(readers.returncode == 0, "the readers: %s %s", out.strip(), err.strip()[-300:])
        self.expect_written(card, path, before)

    def check_metrics(self):
        """qvzel metrics: every card's session opens and its firmware version shows."""
        self.lab.fresh()
        text = qvzel("metrics", check=True).stdout
        for card in self.lab.model.updatable:
            expect(re.search(r'^qvzel_device_session_success\{[^}]*\} 1$', text, re.M),
                   "no successful device session in the metrics:\n%s", text[-600:])
            expect(re.search(r"^qvzel_\w*firmware\w*\{[^}]*\} %d$" % card.version, text, re.M),
                   "the metrics show no firmware version %d", card.version)

    def check_python(self):
        """The Python package: discovery, the driver's values, an update."""
        self.lab.fresh()
        card = self.lab.card()
        path = self.image("python", fwimage.boot_payload(0x300, 5000, seed=4), 0x300)
        before = self.lab.flash(card.name)
        script = """
import json, sys, qvzelif
with qvzelif.open_list() as devices:
    card = devices.find(sys.argv[1])
    with card.session():
        before = [card.firmware_version, card.flash_id, card.card_subsystem_id]
    card.update_firmware(sys.argv[2])
    print(json.dumps({"count": len(devices), "before": before,
                      "controllers": len(devices.controllers())}))
"""
        env = dict(os.environ, PYTHONPATH=os.path.join(REPO, "python"))
        done = run([sys.executable, "-c", script, card.serial, path], env=env, timeout=120)
        self.lab.changed = True
        expect(done.returncode == 0, "the Python package: %s", done.stderr.strip()[-400:])
        got = json.loads(done.stdout)
        expect(got["before"] == [card.version, card.flash_id, card.subsystem],
               "the Python package reads %s", got["before"])
        listed = qvzel_json("list", "--json")["items"]
        expect(got["count"] == len(listed) and
               got["controllers"] == sum(1 for i in listed if i["kind"] == "controller"),
               "the Python package lists %d items, %d controllers; qvzel list %d", got["count"],
               got["controllers"], len(listed))
        self.expect_written(card, path, before)

    def check_removal_open(self):
        """A card unplugged while its session is open: requests fail, nothing hangs."""
        self.lab.fresh()
        card = self.lab.card()
        go = os.path.join(self.tmp, "go")
        path = self.image("removal", fwimage.boot_payload(0x300, 3000), 0x300)
        session = subprocess.Popen([self.helper("session"), card.serial, path, go],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            first = session.stdout.readline().split()
            expect(first == ["open", "0"], "the session did not open: %s", first)
            self.lab.unplug(card.name)
        finally:
            open(go, "w").close()
            out, err = session.communicate(timeout=60)
        lines = dict(line.split(None, 1) for line in out.splitlines() if " " in line)
        expect(session.returncode == 0 and "closed" in out,
               "the session ended with %d: %s %s", session.returncode, out, err)
        expect(lines.get("update", "0").strip() != "0" and lines.get("read", "0").strip() != "0",
               "requests to an unplugged card succeeded: %s", out.strip())
        listed = qvzel_json("list", "--json")["items"]
        expect(all((i.get("upstream") or {}).get("serialNumber") != card.serial for i in listed),
               "qvzel list still shows the unplugged card")

    def check_removal_write(self):
        """A card unplugged while the driver writes its flash: the write fails, nothing hangs."""
        self.lab.fresh()
        card = self.lab.card()
        # A version no other check writes, so that its boot header marks this write.
        payload = fwimage.boot_payload(0x3C5, 1 << 20, seed=5)
        path = self.image("removal-write", payload, 0x3C5)
        last = fwimage.BOOT_OFFSET + (1 << 20) - fwimage.SECTOR
        untouched = self.lab.flash(card.name, last, fwimage.SECTOR)
        session = subprocess.Popen([self.helper("session"), card.serial, path],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            first = session.stdout.readline().split()
            expect(first == ["open", "0"], "the session did not open: %s", first)
            # The write is under way once its first sector holds the image's boot header.
            deadline = time.monotonic() + 60
            while True:
                header = self.lab.flash(card.name, fwimage.BOOT_OFFSET, 8)
                if header == payload[:8]:
                    break
                expect(session.poll() is None and time.monotonic() < deadline,
                       "the write never began (session %s, flash at 0x%X: %s)", session.poll(),
                       fwimage.BOOT_OFFSET, header.hex())
                time.sleep(0.02)
            self.lab.unplug(card.name)
            out, err = session.communicate(timeout=120)
        finally:
            if session.poll() is None:
                session.kill()
        expect(self.lab.flash(card.name, last, fwimage.SECTOR) == untouched,
               "the write ran to its end before the card was unplugged")
        lines = dict(line.split(None, 1) for line in out.splitlines() if " " in line)
        expect(session.returncode == 0 and "closed" in out,
               "the session ended with %d: %s %s", session.returncode, out, err)
        expect(lines.get("update", "0").strip() != "0",
               "the write to a card unplugged while it ran succeeded")

    def driver_program(self, *args):
        done = run([self.helper("driver_ioctl")] + list(args), timeout=180)
        failures = [l[4:].strip() for l in done.stdout.splitlines() if l.startswith("FAIL")]
        expect(done.returncode == 0 and not failures, "qvk_driver_ioctl %s exited with %d: %s",
               " ".join(args), done.returncode, "; ".join(failures) or done.stderr.strip()[-300:])

    def check_driver_requests(self):
        """The device file's answers to malformed requests, its attributes, refused and unaligned writes."""
        self.lab.fresh()
        self.lab.changed = True  # it writes the flash and restores it
        self.driver_program()

    def check_driver_removal(self):
        """The device file of a card unplugged during a write: ENODEV, its proc entries gone."""
        self.lab.fresh()
        self.lab.changed = True
        self.driver_program("--unplug")

    def check_kernel_log(self):
        """The kernel logged no warning, bug or oops during the checks."""
        log = run(["dmesg"], check=True).stdout
        bad = [l for l in log.splitlines() if re.search(r"WARNING:|BUG:|Oops|general protection", l)]
        expect(not bad, "the kernel logged: %s", " | ".join(bad[:3]))


def wait_in_ioctl(pid, timeout):
    """True once a thread of PID sits in ioctl (system call 16 on x86-64)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            for task in os.listdir("/proc/%d/task" % pid):
                with open("/proc/%d/task/%s/syscall" % (pid, task)) as f:
                    if f.read().split(" ", 1)[0] == "16":
                        return True
        except OSError:
            return False
        time.sleep(0.01)
    return False


ORDER = [
    ("discovery.list-json", "check_discovery_json"),
    ("discovery.list-text", "check_discovery_text"),
    ("attributes.show", "check_attributes"),
    ("idsel", "check_idsel"),
    ("driver.requests", "check_driver_requests"),
    ("update.end-to-end", "check_update"),
    ("update.refused-images", "check_refused"),
    ("update.link-down", "check_link_down"),
    ("update.unprivileged", "check_unprivileged"),
    ("update.threads-reading", "check_threads"),
    ("metrics", "check_metrics"),
    ("python", "check_python"),
    ("removal.open-session", "check_removal_open"),
    ("removal.during-write", "check_removal_write"),
    ("removal.driver", "check_driver_removal"),
    ("kernel-log", "check_kernel_log"),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build", "normal"))
    parser.add_argument("--system", help="the lab's system file (default: the one loaded at boot)")
    parser.add_argument("names", nargs="*")
    options = parser.parse_args()
    system = options.system
    if system is None and os.path.exists("/qvlab-vm/system"):
        system = open("/qvlab-vm/system").read().strip()
    lab = Lab(system)
    lab.changed = False  # the machine's init loaded it
    checks = Checks(lab, options.build)
    passed = failed = 0
    started = time.monotonic()
    for name, method in ORDER:
        if options.names and not any(name == n or name.startswith(n) for n in options.names):
            continue
        began = time.monotonic()
        try:
            getattr(checks, method)()
        except CheckFailed as error:
            failed += 1
            print("FAIL %s: %s" % (name, str(error).replace("\n", " | ")), flush=True)
            continue
        except Exception as error:  # a fault of the check itself counts as a failure
            failed += 1
            where = traceback.extract_tb(error.__traceback__)[-1]
            print("FAIL %s: %s: %s (%s:%d)" % (name, type(error).__name__, error,
                                                os.path.basename(where.filename), where.lineno),
                  flush=True)
            continue
        passed += 1
        print("ok %s (%.1f s)" % (name, time.monotonic() - began), flush=True)
    print("kernel: %d passed, %d failed in %.0f s" % (passed, failed, time.monotonic() - started))
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
