"""Fixtures of the tests that run inside the simulated lab."""
import os
import sys

import pytest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import labsupport  # noqa: E402


@pytest.fixture(scope="session")
def lab() -> labsupport.LabDescription:
    if not labsupport.inside_lab():
        pytest.skip("needs the simulated lab: run through ctest (tests/python/run_in_lab.sh)")
    return labsupport.lab_description()
