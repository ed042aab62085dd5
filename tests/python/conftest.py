# SPDX-License-Identifier: LGPL-2.1-or-later
"""The tests run inside the simulated lab (run_in_lab.sh); labsupport holds
what they share with the metrics and Ansible tests."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from labsupport import lab  # noqa: E402,F401
