#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Splits the instruction counts of a callgrind profile by object.

  callgrind-by-object.py CALLGRIND_OUT [--library NAME] [--json FILE]

Prints, for each object (shared library or executable), the instructions
executed in its own code (self cost) and its share of the total, then the
instructions of the direct calls that the named library (default
libqvzelif.so) makes into other objects (C and C++ runtime, loader, the PCI
bridge library), each call counted with everything it ran: an upper bound of
the work the library causes there. With --json the same figures are also
written as JSON.
"""

import json
import os
import sys


def parse(path):
    """Returns ({object: self Ir}, {(caller object, callee object): inclusive Ir})."""
    names = {"ob": {}, "fn": {}}
    self_cost = {}
    call_cost = {}
    current_ob = None
    call_ob = None
    skip_next_cost = False
    event_index = 0

    def resolve(kind, value):
        value = value.strip()
        if value.startswith("("):
            close = value.index(")")
            key = value[1:close]
            rest = value[close + 1:].strip()
            if rest:
                names[kind][key] = rest
            return names[kind].get(key, key)
        return value

    with open(path, errors="replace") as handle:
        for line in handle:
            line = line.rstrip("\n")
            if not line:
                continue
            if line.startswith("events:"):
                events = line.split()[1:]
                event_index = events.index("Ir") if "Ir" in events else 0
                continue
            head = line[0]
            if head.isdigit() or head in "+-*":
                if skip_next_cost:
                    skip_next_cost = False
                    fields = line.split()
                    cost = int(fields[1 + event_index]) if len(fields) > 1 + event_index else 0
                    key = (current_ob, call_ob)
                    call_cost[key] = call_cost.get(key, 0) + cost
                    # A call without cob= is to the current object.
                    call_ob = current_ob
                    continue
                fields = line.split()
                if len(fields) > 1 + event_index:
                    self_cost[current_ob] = self_cost.get(current_ob, 0) + int(
                        fields[1 + event_index])
                continue
            if line.startswith("ob="):
                current_ob = resolve("ob", line[3:])
                call_ob = current_ob
            elif line.startswith("cob="):
                call_ob = resolve("ob", line[4:])
            elif line.startswith("fn="):
                call_ob = current_ob
                resolve("fn", line[3:])
            elif line.startswith("cfn="):
                resolve("fn", line[4:])
            elif line.startswith("calls="):
                skip_next_cost = True
            elif line.startswith(("fl=", "fi=", "fe=", "cfi=", "cfl=")):
                pass
    return self_cost, call_cost


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    library = "libqvzelif.so"
    json_path = None
    args = argv[2:]
    while args:
        if args[0] == "--library" and len(args) > 1:
            library, args = args[1], args[2:]
        elif args[0] == "--json" and len(args) > 1:
            json_path, args = args[1], args[2:]
        else:
            sys.stderr.write(__doc__)
            return 2
    self_cost, call_cost = parse(argv[1])
    total = sum(self_cost.values())
    if total == 0:
        sys.stderr.write("no instructions in %s (was the toggled function called?)\n" % argv[1])
        return 1
    rows = sorted(self_cost.items(), key=lambda item: -item[1])
    print("%-40s %15s %8s" % ("object (own code)", "instructions", "share"))
    for name, cost in rows:
        print("%-40s %15d %7.2f%%" % (os.path.basename(name or "?"), cost, 100.0 * cost / total))
    print("%-40s %15d" % ("total", total))

    library_objects = [name for name in self_cost if name and library in os.path.basename(name)]
    own = sum(self_cost[name] for name in library_objects)
    caused = {}
    for (caller, callee), cost in call_cost.items():
        if caller in library_objects and callee not in library_objects:
            caused[callee] = caused.get(callee, 0) + cost
    print()
    print("%s: own code %.2f%% of the total" % (library, 100.0 * own / total))
    for name, cost in sorted(caused.items(), key=lambda item: -item[1]):
        print("  its direct calls into %-32s %15d %7.2f%%"
              % (os.path.basename(name or "?"), cost, 100.0 * cost / total))
    if json_path:
        with open(json_path, "w") as handle:
            json.dump({"total": total,
                       "objects": {os.path.basename(k or "?"): v for k, v in self_cost.items()},
                       "library": library, "library_own": own,
                       "library_own_share": own / total,
                       "caused_by_library": {os.path.basename(k or "?"): v
                                             for k, v in caused.items()}},
                      handle, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
