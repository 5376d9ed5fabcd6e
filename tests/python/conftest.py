# The package under test is the one on PYTHONPATH: <build>/python for a build tree (scripts/test.sh),
# or an installed one.
import os
import itertools

import pytest

_names = itertools.count()


@pytest.fixture
def unique_name():
    """A shared-buffer name no other test or run uses."""
    return lambda: f"vyrutility-test-{os.getpid()}-{next(_names)}"
