# SPDX-License-Identifier: LGPL-2.1-or-later
"""The Ansible collection as a user gets it: the tarball ansible-galaxy builds
offline from integrations/ansible installs, ansible-doc renders every module
of the installed copy, and the sanity tests of ansible-test that need no
download pass on it."""
import os
import shutil
import subprocess
import tarfile

import pytest

from labsupport import SOURCE_DIR

COLLECTION = os.path.join(SOURCE_DIR, "integrations", "ansible")
MODULES = sorted(name[:-3] for name in os.listdir(os.path.join(COLLECTION, "plugins", "modules"))
                 if name.endswith(".py") and not name.startswith("_"))
# ansible-test's sanity tests that run without fetching anything; the others
# (pep8, pylint, yamllint, import, validate-modules, runtime-metadata,
# ansible-doc) install their requirements into virtual environments with pip.
OFFLINE_SANITY = [
    "action-plugin-docs", "compile", "empty-init", "future-import-boilerplate", "ignores",
    "line-endings", "metaclass-boilerplate", "no-assert", "no-basestring", "no-dict-iteritems",
    "no-dict-iterkeys", "no-dict-itervalues", "no-get-exception", "no-illegal-filenames",
    "no-main-display", "no-smart-quotes", "no-unicode-literals", "replace-urlopen", "shebang",
    "shellcheck", "symlinks", "use-argspec-type-path", "use-compat-six"]


def run(command, tmp_path, **env):
    done = subprocess.run(command, capture_output=True, text=True,
                          env=dict(os.environ, HOME=str(tmp_path / "home"), ANSIBLE_NOCOLOR="1",
                                   **env))
    assert done.returncode == 0, " ".join(command) + "\n" + done.stdout + done.stderr
    return done.stdout


@pytest.fixture(scope="module")
def tarball(tmp_path_factory):
    if shutil.which("ansible-galaxy") is None:
        pytest.skip("ansible-galaxy is missing (scripts/setup.sh test installs ansible-core)")
    out = tmp_path_factory.mktemp("collection")
    run(["ansible-galaxy", "collection", "build", COLLECTION, "--output-path", str(out)], out)
    return out / "qvlab-qvzel-1.0.0.tar.gz"


def test_the_tarball_installs_and_every_module_renders(tarball, tmp_path):
    with tarfile.open(tarball) as archive:
        names = set(archive.getnames())
    assert {"MANIFEST.json", "FILES.json", "README.md", "meta/runtime.yml"} <= names
    assert {"plugins/modules/%s.py" % module for module in MODULES} <= names
    assert not [name for name in names if "__pycache__" in name or name.startswith("tests/")]

    installed = tmp_path / "collections"
    run(["ansible-galaxy", "collection", "install", "--offline", str(tarball), "-p",
         str(installed)], tmp_path)
    env = {"ANSIBLE_COLLECTIONS_PATH": str(installed)}
    listed = run(["ansible-doc", "-l", "qvlab.qvzel"], tmp_path, **env).split()
    assert sorted(name for name in listed if name.startswith("qvlab.")) == \
        ["qvlab.qvzel." + module for module in MODULES]
    for module in MODULES:
        text = run(["ansible-doc", "qvlab.qvzel." + module], tmp_path, **env)
        path = os.path.join(str(installed), "ansible_collections", "qvlab", "qvzel", "plugins",
                            "modules", module + ".py")
        assert path in text, text  # rendered from the installed copy
        for heading in ("ADDED IN: version 1.0.0", "REQUIREMENTS", "ATTRIBUTES", "AUTHOR",
                        "check_mode"):
            assert heading in text, (module, heading)


def test_offline_sanity_tests_pass(tmp_path):
    if shutil.which("ansible-test") is None:
        pytest.skip("ansible-test is missing (scripts/setup.sh test installs ansible-core)")
    # ansible-test wants the collection at ansible_collections/NAMESPACE/NAME.
    copy = tmp_path / "ansible_collections" / "qvlab" / "qvzel"
    shutil.copytree(COLLECTION, str(copy))
    command = ["ansible-test", "sanity", "--python", "3.11"]
    for test in OFFLINE_SANITY:
        command += ["--test", test]
    done = subprocess.run(command, capture_output=True, text=True, cwd=str(copy),
                          env=dict(os.environ, HOME=str(tmp_path / "home")))
    assert done.returncode == 0, done.stdout + done.stderr
    assert done.stdout.count("Running sanity test") == len(OFFLINE_SANITY), done.stdout
