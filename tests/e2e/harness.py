"""What the end-to-end tables share: the Wine prefix, the driver that plays installer and user
(tests/harness/driver.cpp lists its steps), the kits, the machine's registry and the log."""
import os, pathlib, re, shutil, subprocess

PREFIX = pathlib.Path(os.environ["WINEPREFIX"])
BUILD = pathlib.Path(os.environ["BRANTEL_BUILD"])
WINE = os.environ.get("BRANTEL_WINE", "wine")
X86_64 = WINE.endswith("64")  # the x86-64 build, where Wine runs no 32-bit code
SOURCE = pathlib.Path(__file__).resolve().parents[2]
DRIVE_C = PREFIX / "drive_c"
BOX = DRIVE_C / "brantel-tests"
LOG = DRIVE_C / "users/Public/Documents/Vorn.log"
BROWSER = r"HKLM\SOFTWARE\Microsoft\Internet Explorer"
MAKER = r"HKLM\SOFTWARE\orvanix"
PARAMS = "/passive /update-no /norestart"  # the browser installer's arguments by default
QUIET_PARAMS = "/quiet /update-no /norestart"  # and with /quiet
LINK = "http://www.microsoft.com/windows/internet-explorer/"
LINK_LINE = "Clicked link. Opened url, closing setup and application..."
STAMP = re.compile(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d --> (.*)\.")


def win(path):  # a path under the prefix's drive C:, as Windows writes it
    return "C:\\" + str(path.relative_to(DRIVE_C)).replace("/", "\\")


def kit(name, codes=None, ini=None, sleep=0):
    # Brantel.exe beside stand-ins (recorder.exe) that sleep, then exit with their codes (None: no
    # such program), and the settings file
    folder = BOX / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy(BUILD / "Brantel.exe", folder)
    for exe, code in (codes or {"ie_setup_2057.exe": 0, "ie_setup_1040.exe": 0}).items():
        if code is not None:
            shutil.copy(BUILD / "recorder.exe", folder / exe)
            (folder / f"{exe}.exitcode").write_text(str(code))
            (folder / f"{exe}.sleep").write_text(str(sleep))
    if ini is not None:
        (folder / "BRANTEL.INI").write_text(ini)
    return folder


def machine(browser="7.0.6000.16386", **embedded):
    # the registry: the browser's version (None: no value), the maker's products' Xp_Embedded
    # values (a DWORD when an int), the shell's program for http
    steps = [("reg-del", MAKER), ("reg-del", BROWSER),
             ("reg-sz", r"HKCR\http\shell\open\command", "", r'"C:\windows\system32\winebrowser.exe" "%1"')]
    if browser is not None:
        steps.append(("reg-sz", BROWSER, "Version", browser))
    for product, value in embedded.items():
        steps.append(("reg-dword" if isinstance(value, int) else "reg-sz", f"{MAKER}\\{product}", "Xp_Embedded", value))
    return steps


def drive(*steps, env=None):
    # the driver's report of the steps, key to value; env's entries set for it (None: unset)
    script = BOX / "steps.txt"
    script.write_text("\n".join("\t".join(map(str, step)) for step in steps), encoding="utf-8")
    environment = {key: value for key, value in {**os.environ, **(env or {})}.items() if value is not None}
    subprocess.run([WINE, str(BUILD / "driver.exe"), win(script)], cwd=PREFIX, env=environment,
                   check=True, timeout=120, stdin=subprocess.DEVNULL)
    out = pathlib.Path(f"{script}.out")
    lines = out.read_text(encoding="utf-8").splitlines() if out.exists() else []
    crashes = [int(line[5:]) % 2**32 for line in lines if re.fullmatch(r"exit\t-10737\d{5}", line)]
    assert not crashes, f"the program under test crashed: exception {crashes[0]:#x}"  # 0xC000....
    unescaped = lambda value: re.sub(r"\\(.)", lambda m: "\n" if m[1] == "n" else m[1], value)
    return {key: unescaped(value) for key, _, value in (line.partition("\t") for line in lines)}


def log_size(log=LOG):  # where the next run's lines will start
    return log.stat().st_size if log.exists() else 0


def runs_since(size, log=LOG):
    # the runs appended after `size` bytes, each one's lines after its header, without their stamps
    lines = log.read_bytes()[size:].decode("utf-8").split("\r\n")
    assert lines.pop() == ""
    runs = []
    for run in "\n".join([""] + lines + [""]).split("\n.\n.\n")[1:]:
        stamped = [STAMP.fullmatch(line) for line in run.split("\n") if line]
        assert all(stamped), "a line without its stamp or final full stop"
        assert [match[1] for match in stamped[:3]] == ["*" * 63, "SW: Brantel.exe", "*" * 63]
        runs.append([match[1] for match in stamped[3:]])
    return runs


def brantel(folder, args="", action="ok", setup=(), env=None, after=()):
    # the kit's Brantel.exe run as an installer runs it, after the setup steps, its notice answered
    # with the action (None: none), then the steps after: the report, with the run's lines
    size = log_size()
    notice = [("notice", action)] if action else []
    out = drive(*setup, ("run", win(folder / "Brantel.exe"), args), *notice, *after, ("wait",), env=env)
    out["runs"] = runs_since(size)
    return out


def preamble(folder, args="", params=PARAMS):  # every run's first lines
    langs = re.findall(r"(?<=/l )\S+", args)
    return [f"Args: {win(folder / 'Brantel.exe')} {args + ' ' if args else ''}",
            *[f"Found lang(/l): {lang}" for lang in langs],
            f"lang: {langs[-1] if langs else '2057'}",
            f"IEParameters: {params}"]


def installer_run(folder, exe, code, params=PARAMS):
    # a browser installer's two lines: its start, its exit code (an int) or why it did not start
    end = f"Process returned code: {code}" if isinstance(code, int) else code
    return [f"Running process: {win(folder / exe)}, Wdir: {win(folder)}, Args: {params}", end]


def record(folder, exe):  # what the stand-in recorded: "run" for each run
    path = folder / f"{exe}.record"
    return path.read_text(encoding="utf-8").splitlines() if path.exists() else []
