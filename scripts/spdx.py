#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Checks, or adds, the SPDX licence line at the top of every source file.

The licence follows the file's place in the tree: the kernel modules are
GPL-2.0-only, the Ansible collection GPL-3.0-or-later, everything else
(library, tool, companions, Python package, tests, scripts) LGPL-2.1-or-later.

  spdx.py --check   lists the files without the right line; exit 1 if any
  spdx.py --fix     adds the line where it is missing
"""
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SLASH = {".c", ".h", ".cpp", ".hpp", ".cc"}
HASH = {".py", ".sh", ".cmake"}
HASH_NAMES = {"CMakeLists.txt", "Makefile", "Kbuild"}


def licence_of(path):
    parts = path.parts
    if parts[0] == "kernel":
        return "GPL-2.0-only"
    if parts[:2] == ("integrations", "ansible"):
        return "GPL-3.0-or-later"
    return "LGPL-2.1-or-later"


def comment_of(path):
    if path.suffix in SLASH:
        # The kernel's own rule: C headers take the block-comment form.
        if path.parts[0] == "kernel" and path.suffix == ".h":
            return "/* SPDX-License-Identifier: %s */"
        return "// SPDX-License-Identifier: %s"
    if path.suffix in HASH or path.name in HASH_NAMES:
        return "# SPDX-License-Identifier: %s"
    return None


def tree_files():
    # A git checkout lists its own files; a copy of the tree is walked,
    # leaving out build trees.
    try:
        listed = subprocess.run(
            ["git", "ls-files", "--cached", "--others", "--exclude-standard"],
            cwd=ROOT, check=True, capture_output=True, text=True).stdout
        return listed.splitlines()
    except (OSError, subprocess.CalledProcessError):
        return [str(p.relative_to(ROOT)) for p in ROOT.rglob("*")
                if ".git" not in p.parts]


def source_files():
    for name in tree_files():
        path = pathlib.PurePosixPath(name)
        if path.parts[0] in ("debian", "build") or not (ROOT / name).is_file():
            continue
        form = comment_of(path)
        if form:
            yield path, form % licence_of(path)


def head_lines(text):
    # The line goes after a shebang, and within the first three lines.
    return text.splitlines()[:3]


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "--check"
    if mode not in ("--check", "--fix"):
        print(__doc__, file=sys.stderr)
        return 2
    wrong = []
    for path, line in source_files():
        file = ROOT / path
        text = file.read_text(encoding="utf-8", errors="surrogateescape")
        if line in head_lines(text):
            continue
        if "SPDX-License-Identifier" in "\n".join(head_lines(text)):
            wrong.append("%s: an SPDX line other than '%s'" % (path, line))
            continue
        if mode == "--check":
            wrong.append("%s: no SPDX line" % path)
            continue
        if text.startswith("#!"):
            first, _, rest = text.partition("\n")
            text = first + "\n" + line + "\n" + rest
        else:
            text = line + "\n" + text
        file.write_text(text, encoding="utf-8", errors="surrogateescape")
    for problem in wrong:
        print(problem)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
