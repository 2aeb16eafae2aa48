"""The log: /log names the file of the run's lines; where that file cannot be written, they go to the
shared log after a line that says why. Runs at once wait for each other and lose no line."""
import os, subprocess
from collections import namedtuple

import pytest

from harness import LOG, STAMP, drive, kit, log_size, machine, preamble, runs_since, win

# args: {path} stands for the file's Windows path, {relative} for it without "C:\"; file: what is
# at that path (a folder, "link": a second name of another file, "other.log": an immutable file,
# as Wine as root writes a read-only one); error: why it cannot be written
LogOption = namedtuple("LogOption", "name args file error", defaults=(None, None))
LOG_OPTIONS = [
    LogOption("relative", "/l 1036 /LOG {relative}", file="x.log"),
    LogOption("no-folder", "/log {path}", file="none/x.log", error=3),
    LogOption("folder", "-Log {path}", file="folder", error=5),
    LogOption("second-name", "/log {path}", file="link", error=1920),
    LogOption("read-only", "/log {path}", file="other.log", error=5),
    LogOption("no-file", "/l 1036 /log"),
    LogOption("an-option-for-a-file", "/log /l 1036"),
]


@pytest.mark.parametrize("case", LOG_OPTIONS, ids=lambda case: case.name)
def test_log_option(case):
    folder = kit(f"log-{case.name}")
    path = folder / str(case.file)
    (folder / "other.log").write_text("")
    if case.file == "folder":
        path.mkdir()
    if case.file == "link":
        os.link(folder / "other.log", path)
    if case.file == "other.log":
        subprocess.run(["chattr", "+i", path], check=True)
    args = case.args.format(path=win(path), relative=win(path)[3:])
    size = log_size()
    try:
        out = drive(*machine("11.0"), ("run", win(folder / "Brantel.exe"), args), ("wait",))
    finally:  # removable again
        subprocess.run(["chattr", "-i", folder / "other.log"], check=True)
    expected = preamble(folder, args) + ["IE8 Already installed"]
    assert out["exit"] == "0"
    if case.file == "x.log":
        assert runs_since(size) == []
        assert runs_since(0, path) == [expected]
    else:
        why = [f"Can't write log: {win(path)}, error: {case.error}"] if case.error else []
        assert runs_since(size) == [why + expected]


def test_runs_at_once_wait_for_the_log_lock_and_lose_no_line():
    folder = kit("at-once")
    size = log_size()
    args = [f"/l {n} {'x' * 3000}" for n in range(6)]  # long lines: long writes that could meet
    drive(*machine("11.0"), ("hold-log", r"C:\users\Public\Documents\Vorn.log"),
          *[("start", win(folder / "Brantel.exe"), a) for a in args], ("release-log", 1500))
    lines = LOG.read_bytes()[size:].decode("utf-8").split("\r\n")
    assert lines.pop() == ""
    assert lines[0] == "HELD"  # no run wrote while another writer held the lock
    assert all(line == "." or STAMP.fullmatch(line) for line in lines[1:])
    messages = [STAMP.fullmatch(line)[1] for line in lines[1:] if line != "."]
    assert len(messages) == 6 * 8
    assert all(f"Args: {win(folder / 'Brantel.exe')} {a} " in messages for a in args)
