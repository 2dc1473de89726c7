"""scripts/check-layers on small source trees: which includes it refuses."""
import pathlib
import subprocess
import sys

import pytest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers"

# (file, the include it holds, the fault expected in the output or None)
CASES = {
    "lower layer": ("monitor/a.cpp", "text/fixed_text.h", None),
    "higher layer": ("text/a.cpp", "monitor/notice.h", "text includes monitor/, which is not below it"),
    "feature header from above": ("sampling/a.cpp", "platform/process_walk.h", None),
    "backend from above": ("sampling/a.cpp", "platform/linux/types.h",
                           "includes platform/linux/, which only platform/ may include"),
    "backend from main": ("main.cpp", "platform/win32/convert.h",
                          "includes platform/win32/, which only platform/ may include"),
    "backend from shared policy": ("platform/process_walk.h", "platform/win32/types.h", None),
    "backend from its own folder": ("platform/linux/system.cpp", "platform/linux/proc_read.h", None),
    "backend from the other system": ("platform/win32/time.cpp", "platform/linux/types.h",
                                      "platform/win32/ includes platform/linux/"),
}


@pytest.mark.parametrize("name", CASES)
def test_check_layers(tmp_path, name):
    file, include, fault = CASES[name]
    source = tmp_path / "src" / file
    source.parent.mkdir(parents=True, exist_ok=True)
    source.write_text(f'#include "{include}"\n')
    done = subprocess.run([sys.executable, str(SCRIPT), str(tmp_path / "src")],
                          capture_output=True, text=True, timeout=60)
    if fault is None:
        assert (done.returncode, done.stdout) == (0, "")
    else:
        assert done.returncode == 1
        assert done.stdout == f"{source}:1: {fault}\n"
