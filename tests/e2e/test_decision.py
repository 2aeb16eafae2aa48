"""The decision in its fixed order, on machines set up row by row: the browser's version, the
maker's devices, the system's language, else the notice (OK), or unasked with /quiet or /passive."""
from collections import namedtuple

import pytest

from harness import BROWSER, PARAMS, QUIET_PARAMS, brantel, installer_run, kit, machine, preamble

PRESENT = ["IE8 Already installed"]
NOTICE_OK = ["IE8 Not installed", "Not Embedded", "OS language. 1033", "Running Dialog",
             'Clicked "Ok", running Iesetup(2057)']
EMBEDDED = ["IE8 Not installed", "Embedded system"]
ITALIAN = ["IE8 Not installed", "Not Embedded", "OS language. 1040", "1040 Os running Ie Setup"]
QUIET_UNASKED = [*NOTICE_OK[:3], "Dialog not shown (/quiet), running Iesetup(2057)"]
PASSIVE_UNASKED = [*NOTICE_OK[:3], "Dialog not shown (/passive), running Iesetup(2057)"]
# registry: machine(...); lines: the run's lines after its preamble, where (installer, its exit code
# or the line that says why it did not start) stands for its run; ini: the settings file; codes: the
# stand-ins' exit codes (None: missing); params: what the browser installer gets; locale: LC_ALL,
# whose language is the system's
Decision = namedtuple("Decision", "name registry lines args ini codes exit_code params locale",
                      defaults=("", None, {}, 0, PARAMS, None))
DECISIONS = [
    # the browser first, also on a device; a major version read past a blank, from a key not writable
    Decision("present", machine("11.0.9600.16384", Haldry="1"), PRESENT, args="/l 1036"),
    Decision("present-8-blank", machine(" 8.0") + [("reg-deny-write", BROWSER)], PRESENT),
    # a version without a dot has no major version; one that is no text has none
    Decision("no-dot", machine("8"), NOTICE_OK + [("ie_setup_2057.exe", 3010)],
             codes={"ie_setup_2057.exe": 3010}, exit_code=3010),
    Decision("dword-version", machine(None) + [("reg-dword", BROWSER, "Version", 9)],
             NOTICE_OK + [("ie_setup_2057.exe", 0)]),
    # "-1" and a DWORD mark no device; an empty text marks one, as an empty params key gives no
    # arguments; the installer's -1 is passed on
    Decision("not-devices", machine(Haldry="-1", Osmundra=1), NOTICE_OK + [("ie_setup_2057.exe", 0)]),
    Decision("embedded-empty", machine(Osmundra=""), EMBEDDED + [("ie_setup_2057.exe", -1)],
             ini="[IE]\r\nparams=\r\n", codes={"ie_setup_2057.exe": "0xFFFFFFFF"}, exit_code=-1, params=""),
    # /L is not /l, the last /l wins, a final /l has no value; -SILENT is /quiet; arguments are
    # never a format
    Decision("languages", machine("11.0"), PRESENT, args="/L 1036 /l 1049 /l 0x7 -SILENT /l", params=QUIET_PARAMS),
    Decision("format-text", machine("11.0"), PRESENT, args="%s%n%d " + "x" * 5000),
    # a folder with blanks and ".exe" in its name; lines of 4,000 characters
    Decision("Kit.exe files/" + "/".join(["deep folder"] * 15), machine(Tirnavel="1"),
             EMBEDDED + [("ie_setup_2057.exe", 3010)], args=f"/l {'1' * 3000} /l 1040",
             ini=f"[IE]\r\nparams={'p' * 4095}\r\n", codes={"ie_setup_2057.exe": 3010}, exit_code=3010,
             params="p" * 4095),
    Decision("it_IT", machine(), ITALIAN + [("ie_setup_1040.exe", 1602)], codes={"ie_setup_1040.exe": 1602},
             exit_code=1602, locale="it_IT.UTF-8"),
    Decision("it_CH", machine(), [*ITALIAN[:2], "OS language. 2064", ITALIAN[3], ("ie_setup_1040.exe", 0)],
             locale="it_CH.UTF-8"),
    # /quiet in any name, case, with / or -, wins over /passive and takes quietparams
    Decision("quiet", machine(), QUIET_UNASKED + [("ie_setup_2057.exe", 3010)], args="-Quiet /passive /l 1036",
             ini="[IE]\r\nparams=/p\r\nquietparams=/q /x\r\n", codes={"ie_setup_2057.exe": 3010}, exit_code=3010,
             params="/q /x"),
    Decision("passive", machine(), PASSIVE_UNASKED + [("ie_setup_2057.exe", "Can't run process, error: 2")],
             args="/PASSIVE", codes={"ie_setup_2057.exe": None}, exit_code=2),
    Decision("quiet-embedded", machine(Haldry="1"), EMBEDDED + [("ie_setup_2057.exe", 1603)], args="/q",
             codes={"ie_setup_2057.exe": 1603}, exit_code=1603, params=QUIET_PARAMS),
    Decision("quiet-it_IT", machine(), ITALIAN + [("ie_setup_1040.exe", 740)], args="/S",
             ini="[IE]\r\nquietparams=\r\n", codes={"ie_setup_1040.exe": 740}, exit_code=740, params="",
             locale="it_IT.UTF-8"),
]


@pytest.mark.parametrize("case", DECISIONS, ids=lambda case: case.name.split("/")[0])
def test_decision(case):
    folder = kit(case.name, codes={"ie_setup_2057.exe": 0, "ie_setup_1040.exe": 0, **case.codes}, ini=case.ini)
    shown = "Running Dialog" in case.lines
    out = brantel(folder, case.args, "ok" if shown else None, case.registry,
                  env={"LC_ALL": case.locale} if case.locale else None)
    expected = preamble(folder, case.args, case.params)
    for line in case.lines:
        expected += installer_run(folder, *line, case.params) if isinstance(line, tuple) else [line]
    assert out["exit"] == str(case.exit_code)
    assert out["runs"] == [expected]
    assert shown or out["windows"] == "0"  # none of its own, unasked
