# SPDX-License-Identifier: LGPL-2.1-or-later
"""The metrics and Ansible tests share the Python tests' lab support."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
from labsupport import lab  # noqa: E402,F401
