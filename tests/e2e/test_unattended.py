"""Runs that nobody answers: where nobody can see the notice (no display, a window station nobody
sees) Brantel exits with the reason, and a notice that others end is no answer either (1223); there
/quiet and /passive install unasked. /? lists the options in a box, or where nobody would see it
shows nothing, and exits with 0 before any probe."""
from collections import namedtuple

import pytest

from harness import drive, kit, log_size, machine, runs_since, win

HELP_WORDS = ["/l <id>", "/quiet", "/passive", "/log <file>", "/?", "params:", "quietparams:", "link:", "3010:",
              "-1:", "1459:"]
# last: the run's last log line (with no arguments, before ", error: <the exit code>"); exit_code:
# None for any Windows error but 0 and -1; run: run-hidden-station, in a window station created
# without WSF_VISIBLE; action: what the driver does to the notice
Unanswered = namedtuple("Unanswered", "name last args exit_code run action env",
                        defaults=("", None, "run", None, None))
UNANSWERED = [
    Unanswered("quit", "Dialog ended without an answer", exit_code=1223, action="quit"),
    Unanswered("end-of-session", "Dialog ended without an answer", exit_code=1223, action="endsession"),
    Unanswered("hidden-station", "Can't show dialog", exit_code=1459, run="run-hidden-station"),
    Unanswered("hidden-station-quiet", "Process returned code: 3010", args="/quiet", exit_code=3010,
               run="run-hidden-station"),
    Unanswered("hidden-station-help", "Can't show help, error: 1459", args="-?", exit_code=0, run="run-hidden-station"),
    Unanswered("help", "Showing help", args="/?", exit_code=0, action="box"),
    Unanswered("help-passive", "Help not shown (/passive)", args="-HELP -passive", exit_code=0),
    Unanswered("help-quiet", "Help not shown (/quiet)", args="/h /s", exit_code=0),
    # no display last: it leaves Wine's desktop without one
    Unanswered("no-display-passive", "Process returned code: 3010", args="/passive", exit_code=3010,
               env={"DISPLAY": None}),
    Unanswered("no-display", "Can't show dialog", env={"DISPLAY": None}),
]


@pytest.mark.parametrize("case", UNANSWERED, ids=lambda case: case.name)
def test_runs_that_nobody_answers(case):
    folder = kit(f"unanswered-{case.name}", codes={"ie_setup_2057.exe": 3010})
    size = log_size()
    notice = [("notice", case.action)] if case.action else []
    out = drive(*machine(), (case.run, win(folder / "Brantel.exe"), case.args), *notice, ("wait",), env=case.env)
    exit_code = int(out["exit"])
    [lines] = runs_since(size)
    if case.args:
        assert exit_code == case.exit_code
        assert lines[-2] != "Running Dialog"
        assert lines[-1] == case.last
    else:  # the notice was to be shown
        assert exit_code not in (0, -1)
        assert exit_code == (case.exit_code or exit_code)
        assert lines[-2:] == ["Running Dialog", f"{case.last}, error: {exit_code}"]
    help_asked = "help" in case.last.lower()
    assert help_asked == (lines[:-1] == [f"Args: {win(folder / 'Brantel.exe')} {case.args} "])  # no probe
    assert (case.action == "box") == all(word in out.get("message-box", "") for word in HELP_WORDS)
