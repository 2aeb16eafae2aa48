"""The notice's link, taken with the mouse, the keyboard or a screen reader: it opens the page as
the desktop's user, ends the setup.exe that started Brantel (else the first one running) with
1602, and Brantel exits with -1."""
import time
from collections import namedtuple

import pytest

from harness import LINK, LINK_LINE, X86_64, drive, kit, log_size, machine, record, runs_since, win

NO_PROGRAM = "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension."
# caller: what started Brantel (the second setup.exe, kit.exe; None: the driver); ended: which of
# the two running setup.exe the link ends; page: the ".htm" class's open command, by its value's
# name ("": none; None: the shell opens the address itself, with page.exe); action: how the link
# is taken; setup: the two installers' file name (Windows compares names in any case)
Link = namedtuple("Link", "name caller ended page action setup", defaults=(None, 0, None, "link", "setup.exe"))
LINKS = [
    Link("first-running"),
    Link("caller", caller="setup", ended=1),
    Link("caller-not-setup", caller="kit.exe", setup="SETUP.EXE"),
    # no program for http: the ".htm" command opens it where its default value names one, else
    # the notice says why; the link ends the installer all the same
    Link("no-command", page=""),
    Link("htm-command", page="default"),
    Link("htm-other-value", page="other"),
    Link("tab-enter", action="tab-enter"),
    Link("tab-space", action="tab-space"),
    # read from another process first: a link (role 30) named by its address, focusable and linked
    # (0x500000), focused through its object (4), with a named default action
    pytest.param(Link("accessible", action="accessible"), marks=pytest.mark.skipif(X86_64, reason="oleacc")),
]


@pytest.mark.parametrize("case", LINKS, ids=lambda case: case.name)
def test_link_ends_the_callers_setup(case):
    folder = kit(f"link-{case.name}", codes={"page.exe": 0})
    page = f'"{win(folder / "page.exe")}" "%1"'
    names = [case.setup, case.setup, "kit.exe"]
    starters = [kit(f"setup-{i}", codes={exe: 7}, sleep=30000) for i, exe in enumerate(names)]
    steps = machine() + [("start", win(starters[i] / names[i]), "") for i in range(2)]
    if case.caller:
        starter = {"setup": 1, "kit.exe": 2}[case.caller]
        (starters[starter] / f"{names[starter]}.run").write_text(f'"{win(folder / "Brantel.exe")}"')
    if case.caller == "kit.exe":
        steps.append(("start", win(starters[2] / "kit.exe"), ""))
    if case.page is None:
        steps.append(("reg-sz", r"HKCR\http\shell\open\command", "", page))
    else:
        steps += [("reg-del", r"HKCR\http"), ("reg-sz", r"HKCR\.htm", "", "brantel.page"),
                  ("reg-del", r"HKCR\brantel.page")]
    if case.page:
        value = "" if case.page == "default" else case.page
        steps.append(("reg-sz", r"HKCR\brantel.page\shell\open\command", value, page))
    steps.append(("attach", "Brantel.exe") if case.caller else ("run", win(folder / "Brantel.exe"), ""))
    size = log_size()
    out = drive(*steps, ("notice", case.action), ("wait",))
    assert out["exit"] == "-1"
    assert [out["bystander0"], out["bystander1"]] == ["1602" if case.ended == i else "running" for i in range(2)]
    if case.action == "accessible":
        assert out["read1000"] == f"30|{0x500000}|{LINK}|Jump"
        assert out["read1000-focused"] == f"30|{0x500004}|{LINK}|Jump"
    opened = case.page in (None, "default")
    assert out.get("message-box") == (None if opened else NO_PROGRAM)
    deadline = time.monotonic() + 10  # the page opens on its own
    while opened and "run" not in record(folder, "page.exe") and time.monotonic() < deadline:
        time.sleep(0.1)
    assert record(folder, "page.exe").count("run") == opened
    # elevated (under Wine every program is): by the desktop's shell, as its user, never by Brantel
    assert not opened or "parent=explorer.exe" in record(folder, "page.exe")
    assert runs_since(size)[0][-1] == LINK_LINE
