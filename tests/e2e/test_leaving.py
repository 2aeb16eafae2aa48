"""Leaving the notice: OK and Enter run the browser installer with everything of the notice hidden,
answering meanwhile what others send it; Escape, Alt+F4 and the close request leave it open."""
import re

import pytest

from harness import X86_64, brantel, installer_run, kit, machine, preamble

NOTICE_OK = ["IE8 Not installed", "Not Embedded", "OS language. 1033", "Running Dialog",
             'Clicked "Ok", running Iesetup(2057)']
# A screen reader while the installer runs (not on the x86-64 build, whose accessibility library
# carries no object across processes): one that kept the link's object is refused (disconnected),
# one that first asks now gets the system's proxy, never the link (role 30). The driver reports the
# call's result (and role), and whether it returned within 2 s while the installer still ran.
READERS = {"reader": r"-\d+\|0\|1\|1", "late-reader": r"0\|(?!30\|)\d+\|1\|1"}
ACTIONS = ["ok", "enter", "escape", "altf4", "close",
           *[pytest.param(reader, marks=pytest.mark.skipif(X86_64, reason="oleacc")) for reader in READERS]]


@pytest.mark.parametrize("action", ACTIONS)
def test_leaving_with_ok(action):
    reader = action in READERS
    folder = kit(f"leave-{action}", codes={"ie_setup_2057.exe": 1602}, sleep=5500 if reader else 2500)
    out = brantel(folder, "", action, machine())
    assert out["exit"] == "1602"
    assert out.get(f"open-after-{action}", "1") == "1"  # Escape, Alt+F4 and close: still open
    assert out["visible-while-installing"] == "0"
    assert out["answers-while-installing"] == "1"
    assert not reader or re.fullmatch(READERS[action], out["reader-while-installing"])
    assert out["runs"] == [preamble(folder) + NOTICE_OK + installer_run(folder, "ie_setup_2057.exe", 1602)]
