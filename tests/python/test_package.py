"""The package as a module: its version, and its list."""
import subprocess
import sys

import vyrutility


def run_module(*arguments):
    return subprocess.run([sys.executable, "-m", "vyrutility", *arguments], capture_output=True, text=True,
                          check=False)


def test_version_names_the_package_and_its_library():
    done = run_module("--version")
    assert done.returncode == 0 and done.stderr == ""
    assert done.stdout.startswith(f"vyrutility {vyrutility.__version__} (VyrFrame {vyrutility.__version__}, ")
    assert "libVyrFrame.so" in done.stdout


def test_list_has_a_line_for_every_conversion_and_bad_arguments_exit_2():
    done = run_module("--list")
    assert done.returncode == 0
    assert len(done.stdout.splitlines()) == len(vyrutility.conversions())
    assert run_module("--nothing").returncode == 2
