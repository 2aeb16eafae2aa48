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
NSIS = [
    Example("present", machine("11.0"), 0, 0, "IE8 Already installed", "it_IT.UTF-8", 1040),
    Example("restart", machine(Haldry="1"), 3010, 3010, "Process returned code: 3010"),
    Example("failed", machine(Haldry="1"), 1603, 1603, "Process returned code: 1603"),
    Example("unattended", machine(), 0, 0, "Process returned code: 0"),
    Example("link", machine(), -1, -1, LINK_LINE),
]
INNO = [  # where it stops, Inno Setup's own exit code: 1, "Setup failed to initialize"
    Example("restart", machine(Haldry="1"), 3010, 3010, "Process returned code: 3010"),
    Example("failed", machine(Haldry="1"), 1603, 1, "Process returned code: 1603"),
    Example("unattended", machine(), 0, 0, "Process returned code: 0"),
    Example("link", machine(), -1, 1, LINK_LINE),
]
INNO_LINK_BOX = "Please install Internet Explorer 8 or later and run this setup again."


def run_example(case, kind, build, silent, link_steps):
    folder = kit(f"{kind}-{case.name}", codes={"ie_setup_2057.exe": case.installer_code, "ie_setup_1040.exe": 0})
    subprocess.run(build(folder), check=True, cwd=PREFIX, stdin=subprocess.DEVNULL)
    size = log_size()
    steps = link_steps(folder) if case.installer_code == -1 else [("run", win(folder / "setup.exe"), silent(folder))]
    out = drive(*case.registry, *steps, ("wait",), env={"LC_ALL": case.locale} if case.locale else None)
    [run] = runs_since(size)
    assert out["exit"] == str(case.exit_code)
    assert out.get("bystander0") == ("1602" if case.installer_code == -1 else None)  # setup.exe
    assert (folder / "app/example.txt").exists() == (case.installer_code in (0, 3010))
    assert run[0].endswith(f"/l {case.lang} " + ("/quiet " if case.installer_code != -1 else ""))
    assert run[1:3] == [f"Found lang(/l): {case.lang}", f"lang: {case.lang}"]
    assert run[-1] == case.last
    return out


@pytest.mark.parametrize("case", NSIS, ids=lambda case: case.name)
def test_nsis_example_runs_brantel_first(case):
    build = lambda folder: ["makensis", "-V2", *(["-XTarget amd64-unicode"] if X86_64 else []),
                            f"-DPREREQ={folder}", f"-DOUTFILE={folder}/setup.exe", str(SOURCE / "examples/nsis/setup.nsi")]
    silent = lambda folder: f"/S /D={win(folder / 'app')}"
    link = lambda folder: [("start", win(folder / "setup.exe"), f"/D={win(folder / 'app')}"),
                           ("attach", "Brantel.exe"), ("notice", "link")]
    out = run_example(case, "nsis", build, silent, link)
    assert out["windows"] == "0"  # none of the setup's own: silent
    assert "message-box" not in out


@pytest.mark.skipif(X86_64, reason="the compiler and the installers it builds are 32-bit")
@pytest.mark.parametrize("case", INNO, ids=lambda case: case.name)
def test_inno_example_runs_brantel_first(case):
    script = "Z:" + str(SOURCE / "examples/inno/setup.iss").replace("/", "\\")
    build = lambda folder: [WINE, str(SOURCE / "node_modules/innosetup/bin/ISCC.exe"), "/Q",
                            f"/DPREREQ={win(folder)}", f"/O{win(folder)}", script]
    silent = lambda folder: f"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /RESTARTEXITCODE=3010 /DIR={win(folder / 'app')}"
    # the wizard (setup.tmp, below setup.exe) says why it stops
    link = lambda folder: [("start", win(folder / "setup.exe"), f"/DIR={win(folder / 'app')}"), ("attach", "Brantel.exe"),
                           ("notice", "link"), ("wait",), ("attach", "setup.tmp"), ("notice", "box")]
    out = run_example(case, "inno", build, silent, link)
    assert out.get("message-box") == (INNO_LINK_BOX if case.installer_code == -1 else None)
