"""The chaining examples, built around a kit and run as a user or a deployment tool runs them:
examples/nsis/setup.nsi (by makensis; for x86-64 on the x86-64 build) and examples/inno/setup.iss
(by the compiler of the npm package innosetup, 32-bit as the installers it builds). Silent, Brantel
runs quietly and the setup installs, asks for a restart (3010) or fails; shown, the link ends
setup.exe with 1602."""
import subprocess
from collections import namedtuple

import pytest

from harness import LINK_LINE, PREFIX, SOURCE, WINE, X86_64, drive, kit, log_size, machine, runs_since, win

# installer_code: the browser installer's, -1 where the user takes the notice's link instead;
# exit_code: what the driver waited for last reports (setup.exe's; after the link, Brantel's for
# NSIS, the wizard's for Inno Setup); last: the run's last log line; locale: LC_ALL, whose language
# is the user's, lang (C: 1033)
Example = namedtuple("Example", "name registry installer_code exit_code last locale lang", defaults=(None, 1033))
RETURNED = "Process returned code: {}"
NSIS = [
    Example("present", machine("11.0"), installer_code=0, exit_code=0, last="IE8 Already installed",
            locale="it_IT.UTF-8", lang=1040),
    Example("restart", machine(Haldry="1"), installer_code=3010, exit_code=3010, last=RETURNED.format(3010)),
    Example("failed", machine(Haldry="1"), installer_code=1603, exit_code=1603, last=RETURNED.format(1603)),
    Example("unattended", machine(), installer_code=0, exit_code=0, last=RETURNED.format(0)),
    Example("link", machine(), installer_code=-1, exit_code=-1, last=LINK_LINE),
]
INNO = [  # where it stops, Inno Setup's own exit code: 1, "Setup failed to initialize"
    Example("restart", machine(Haldry="1"), installer_code=3010, exit_code=3010, last=RETURNED.format(3010)),
    Example("failed", machine(Haldry="1"), installer_code=1603, exit_code=1, last=RETURNED.format(1603)),
    Example("unattended", machine(), installer_code=0, exit_code=0, last=RETURNED.format(0)),
    Example("link", machine(), installer_code=-1, exit_code=1, last=LINK_LINE),
]
INNO_LINK_BOX = "Please install Internet Explorer 8 or later and run this setup again."


def example_kit(case, kind):
    return kit(f"{kind}-{case.name}", codes={"ie_setup_2057.exe": case.installer_code, "ie_setup_1040.exe": 0})


def run(case, folder, steps):  # the steps' report, checked
    size = log_size()
    out = drive(*case.registry, *steps, ("wait",), env={"LC_ALL": case.locale} if case.locale else None)
    [run] = runs_since(size)
    assert out["exit"] == str(case.exit_code)
    assert out.get("bystander0") == ("1602" if case.installer_code == -1 else None)  # setup.exe
    assert (folder / "app/example.txt").exists() == (case.installer_code in (0, 3010))
    assert run[0].endswith(f"/l {case.lang} " + ("/quiet " if case.installer_code != -1 else ""))
    assert run[-1] == case.last
    return out


@pytest.mark.parametrize("case", NSIS, ids=lambda case: case.name)
def test_nsis_example_runs_brantel_first(case):
    folder = example_kit(case, "nsis")
    target = ["-XTarget amd64-unicode"] if X86_64 else []
    subprocess.run(["makensis", "-V2", *target, f"-DPREREQ={folder}", f"-DOUTFILE={folder}/setup.exe",
                    SOURCE / "examples/nsis/setup.nsi"], check=True)
    exe, app = win(folder / "setup.exe"), win(folder / "app")
    if case.installer_code == -1:
        steps = [("start", exe, f"/D={app}"), ("attach", "Brantel.exe"), ("notice", "link")]
    else:
        steps = [("run", exe, f"/S /D={app}")]
    out = run(case, folder, steps)
    assert out["windows"] == "0"  # none of the setup's own: silent
    assert "message-box" not in out


@pytest.mark.skipif(X86_64, reason="the compiler and the installers it builds are 32-bit")
@pytest.mark.parametrize("case", INNO, ids=lambda case: case.name)
def test_inno_example_runs_brantel_first(case):
    script = "Z:" + str(SOURCE / "examples/inno/setup.iss").replace("/", "\\")
    folder = example_kit(case, "inno")
    subprocess.run([WINE, SOURCE / "node_modules/innosetup/bin/ISCC.exe", "/Q", f"/DPREREQ={win(folder)}",
                    f"/O{win(folder)}", script], check=True, cwd=PREFIX, stdin=subprocess.DEVNULL)
    exe, app = win(folder / "setup.exe"), win(folder / "app")
    if case.installer_code == -1:  # the wizard (setup.tmp, below setup.exe) says why it stops
        steps = [("start", exe, f"/DIR={app}"), ("attach", "Brantel.exe"), ("notice", "link"), ("wait",),
                 ("attach", "setup.tmp"), ("notice", "box")]
    else:
        steps = [("run", exe, f"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /RESTARTEXITCODE=3010 /DIR={app}")]
    out = run(case, folder, steps)
    assert out.get("message-box") == (INNO_LINK_BOX if case.installer_code == -1 else None)
