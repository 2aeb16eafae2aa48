"""Brantel.exe under Wine, started as an installer starts it by tests/harness/driver.exe."""
import os, pathlib, re, shutil, subprocess, time, pytest
from PIL import Image

PREFIX = pathlib.Path(os.environ["WINEPREFIX"])
BUILD = pathlib.Path(os.environ["BRANTEL_BUILD"])
WINE = os.environ.get("BRANTEL_WINE", "wine")
SOURCE = pathlib.Path(__file__).resolve().parents[2]
SHOTS = os.environ["BRANTEL_SCREENSHOTS"]
C = PREFIX / "drive_c"
BOX = C / "brantel-tests"
LOG = C / "users/Public/Documents/Vorn.log"
BROWSER = r"HKLM\SOFTWARE\Microsoft\Internet Explorer"
MAKER = r"HKLM\SOFTWARE\orvanix"
DEFAULT, QUIET_DEFAULT = "/passive /update-no /norestart", "/quiet /update-no /norestart"
QUIET, UNATTENDED = (re.compile(rf"(?:^| )[/-](?:quiet|q|s|silent{more})(?= |$)", re.I) for more in ("", "|passive"))
THEMES = r"HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager"
STAMP = re.compile(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d --> (.*)\.")


def win(path):
    return "C:\\" + str(path.relative_to(C)).replace("/", "\\")


def kit(name, ini=None, codes=None, sleep=0):  # Brantel.exe and stand-in installers
    folder = BOX / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy(BUILD / "Brantel.exe", folder)
    codes = codes or {"ie_setup_2057.exe": 0, "ie_setup_1040.exe": 0}
    for exe, code in ((exe, code) for exe, code in codes.items() if code is not None):
        shutil.copy(BUILD / "recorder.exe", folder / exe)
        (folder / f"{exe}.exitcode").write_text(str(code))
        (folder / f"{exe}.sleep").write_text(str(sleep))
    if ini is not None:
        (folder / "BRANTEL.INI").write_text(ini)
    return folder


def drive(*steps, env=None):  # what the driver reported of the steps; a None in env unsets
    script = BOX / "steps.txt"
    script.write_text("\n".join("\t".join(map(str, s)) for s in steps), encoding="utf-8")
    environment = {k: v for k, v in {**os.environ, **(env or {})}.items() if v is not None}
    subprocess.run([WINE, str(BUILD / "driver.exe"), win(script)], cwd=PREFIX, env=environment,
                   check=True, timeout=120, stdin=subprocess.DEVNULL)
    out = pathlib.Path(str(script) + ".out")
    lines = out.read_text(encoding="utf-8").splitlines() if out.exists() else []
    crash = [int(line[5:]) % 2**32 for line in lines if re.fullmatch(r"exit\t-10737\d{5}", line)]
    assert not crash, f"the program under test crashed: exception {crash[0]:#x}"  # 0xC000....
    return {key: re.sub(r"\\(.)", lambda m: "\n" if m[1] == "n" else m[1], value)
            for key, _, value in (line.partition("\t") for line in lines)}


# Looks: system colours (button face, its text, text, links), theme and dots per inch. Wine's
# default, a dark scheme (no theme, as in XP's and 7's high contrast) and the default at 144 and 192 dpi.
def scheme(look):
    dark = look == "dark"
    return [("colours", "000000 FFFFFF FFFFFF 00FFFF" if dark else "F5F5F5 000000 000000 E0E0E0"),
            ("reg-sz", THEMES, "ThemeActive", "0" if dark else "1"),
            ("reg-dword", r"HKCU\Control Panel\Desktop", "LogPixels", {"144dpi": 144, "192dpi": 192}.get(look, 96))]


def machine(browser="7.0.6000.16386", **embedded):  # the registry: browser, maker's products
    steps = [("reg-del", MAKER), ("reg-del", BROWSER), ("reg-sz", r"HKCR\http\shell\open\command",
                                                    "", r'"C:\windows\system32\winebrowser.exe" "%1"')]
    if browser is not None:
        steps.append(("reg-sz", BROWSER, "Version", browser))
    for product, value in embedded.items():
        kind = "reg-dword" if isinstance(value, int) else "reg-sz"
        steps.append((kind, f"{MAKER}\\{product}", "Xp_Embedded", value))
    return steps


def lines_since(size, log=LOG):
    lines = log.read_bytes()[size:].decode("utf-8").split("\r\n")
    assert lines.pop() == ""
    return lines


def runs_since(size, log=LOG):  # the runs appended after `size` bytes: each one's lines after its header
    runs = []
    for run in "\n".join([""] + lines_since(size, log) + [""]).split("\n.\n.\n")[1:]:
        stamped = [STAMP.fullmatch(line) for line in run.split("\n") if line]
        assert all(stamped), "a line without its stamp or final full stop"
        assert [m[1] for m in stamped[:3]] == ["*" * 63, "SW: Brantel.exe", "*" * 63]
        runs.append([m[1] for m in stamped[3:]])
    return runs


def log_size():  # where the next run's lines will start
    return LOG.stat().st_size if LOG.exists() else 0


def brantel(folder, args="", action="ok", setup=(), env=None, after=()):
    size = log_size()
    steps = [*setup, ("run", win(folder / "Brantel.exe"), args), *([("notice", action)] if action else [])]
    out = drive(*steps, *after, ("wait",), env=env)
    out["runs"] = runs_since(size)
    return out


def preamble(folder, args, langs, params=DEFAULT):
    found = [f"Found lang(/l): {lang}" for lang in langs]
    return [f"Args: {win(folder / 'Brantel.exe')} {args + ' ' if args else ''}", *found,
            f"lang: {langs[-1] if langs else '2057'}", f"IEParameters: {params}"]


def installer(folder, name, code, params=DEFAULT):
    return [f"Running process: {win(folder / name)}, Wdir: {win(folder)}, Args: {params}",
            f"Process returned code: {code}"]


def recorded(folder, name):
    record = folder / f"{name}.record"
    return record.read_bytes().count(b"run\r\n") if record.exists() else 0


PRESENT = ["IE8 Already installed"]
NOTICE_OK = ["IE8 Not installed", "Not Embedded", "OS language. 1033", "Running Dialog",
             'Clicked "Ok", running Iesetup(2057)']
UNASKED = NOTICE_OK[:3] + ["Dialog not shown ({ui}), running Iesetup(2057)"]

# name, registry, arguments, settings file, installer codes, exit code, lines after the preamble
# ("{exe:code}" stands for the two lines of an installer run), system language
DECISIONS = [
    ("present", machine("11.0.9600.16384", Haldry="1"), "/l 1036", None, {}, 0, PRESENT),
    ("present-8-blank", machine(" 8.0") + [("reg-deny-write", BROWSER)], "", None, {}, 0, PRESENT),
    ("no-dot", machine("8"), "", None, {"ie_setup_2057.exe": 3010}, 3010,
     NOTICE_OK + ["{ie_setup_2057.exe:3010}"]),
    ("dword-version", machine(None) + [("reg-dword", BROWSER, "Version", 9)], "", None, {}, 0,
     NOTICE_OK + ["{ie_setup_2057.exe:0}"]),
    ("not-devices", machine(Haldry="-1", Osmundra=1), "", None, {}, 0, NOTICE_OK + ["{ie_setup_2057.exe:0}"]),
    ("embedded-empty", machine(Osmundra=""), "", "[IE]\r\nparams=\r\n",
     {"ie_setup_2057.exe": "0xFFFFFFFF"}, -1, ["IE8 Not installed", "Embedded system", "{ie_setup_2057.exe:-1}"]),
    ("installer-missing", machine(Haldry="x"), "", None, {"ie_setup_2057.exe": None}, 2, ["IE8 Not installed",
     "Embedded system", "Running process: {kit}\\ie_setup_2057.exe, Wdir: {kit}, Args: " + DEFAULT, "Can't run process, error: 2"]),
    ("languages", machine("11.0"), "/L 1036 /l 1049 /l 0x7 -SILENT /l", None, {}, 0, PRESENT),
    ("format-text", machine("11.0"), "%s%n%d " + "x" * 5000, None, {}, 0, PRESENT),
    ("Kit.exe files/" + "/".join(["deep folder"] * 15), machine(Tirnavel="1"), f"/l {'1' * 3000} /l 1040",
     f"[IE]\r\nparams={'p' * 4095}\r\n", {"ie_setup_2057.exe": 3010}, 3010,  # lines of 4,000 characters
     ["IE8 Not installed", "Embedded system", "{ie_setup_2057.exe:3010}"]),
    ("it_IT", machine(), "", None, {"ie_setup_1040.exe": 1602}, 1602, ["IE8 Not installed", "Not Embedded",
     "OS language. 1040", "1040 Os running Ie Setup", "{ie_setup_1040.exe:1602}"], "it_IT.UTF-8"),
    ("it_CH", machine(), "", None, {"ie_setup_1040.exe": 0}, 0, ["IE8 Not installed", "Not Embedded",
     "OS language. 2064", "1040 Os running Ie Setup", "{ie_setup_1040.exe:0}"], "it_CH.UTF-8"),
    # unattended: OK's way unasked, no window; /quiet (any name and case, / or -, over /passive): quietparams
    ("quiet", machine(), "-Quiet /passive /l 1036", "[IE]\r\nparams=/p\r\nquietparams=/q /x\r\n",
     {"ie_setup_2057.exe": 3010}, 3010, [*UNASKED, "{ie_setup_2057.exe:3010}"]),
    ("passive", machine(), "/PASSIVE", None, {"ie_setup_2057.exe": None}, 2, [*UNASKED,
     "Running process: {kit}\\ie_setup_2057.exe, Wdir: {kit}, Args: " + DEFAULT, "Can't run process, error: 2"]),
    ("quiet-embedded", machine(Haldry="1"), "/q", None, {"ie_setup_2057.exe": 1603}, 1603,
     ["IE8 Not installed", "Embedded system", "{ie_setup_2057.exe:1603}"]),
    ("quiet-it_IT", machine(), "/S", "[IE]\r\nquietparams=\r\n", {"ie_setup_1040.exe": 740}, 740, ["IE8 Not installed",
     "Not Embedded", "OS language. 1040", "1040 Os running Ie Setup", "{ie_setup_1040.exe:740}"], "it_IT.UTF-8"),
]


@pytest.mark.parametrize("name,setup,args,ini,codes,code,lines,locale",
                         [d + (None,) * (8 - len(d)) for d in DECISIONS], ids=[d[0].split("/")[0] for d in DECISIONS])
def test_decision(name, setup, args, ini, codes, code, lines, locale):
    folder, quiet, action = kit(name, ini, {"ie_setup_2057.exe": 0, "ie_setup_1040.exe": 0, **codes}), \
        QUIET.search(args), None if UNATTENDED.search(args) else "ok"
    out = brantel(folder, args, action, setup, env=locale and {"LC_ALL": locale})
    assert action or out["windows"] == "0"  # none of its own shown
    params = (re.findall(rf"(?m)^{'quiet' * bool(quiet)}params=(.*)\r", ini or "") + [QUIET_DEFAULT if quiet else DEFAULT])[0]
    expected = preamble(folder, args, re.findall(r"(?<=/l )\S+", args), params)
    for line in (line.replace("{ui}", "/quiet" if quiet else "/passive") for line in lines):
        exe, _, exit_code = line.strip("{}").partition(":")
        expected += installer(folder, exe, exit_code, params) if line[0] == "{" else \
            [line.replace("{kit}", win(folder))]
    assert (out["exit"], out["runs"]) == (str(code), [expected])
    assert sum(recorded(folder, exe) for exe in ["ie_setup_2057.exe", "ie_setup_1040.exe"]) == \
        sum("Process returned" in line for line in expected)


# The texts of the resource scripts: language id to {text id name: text}.
LANGUAGES = {int(p.name.split("_")[1]): {k: v.replace('""', '"') for k, v in re.findall(
    r'(IDS_\w+)\s+"((?:[^"]|"")*)"', p.read_text(encoding="utf-8"))}
    for p in (SOURCE / "res/strings").glob("*.rc")}
# id asked for, table whose texts it shows (OK label, other texts)
FALLBACKS = [(1033, 2057, 2057, None), (1031, 7, 7, None), (1055, 1055, 2057, None),
             (0, None, None, None)] + [(2057, 2057, 2057, look) for look in ("dark", "144dpi", "192dpi", "moved")] \
    + [(1037, 1037, 1037, "moved")]


def expected_texts(ok_lang, lang):
    texts = {**LANGUAGES[2057], **LANGUAGES[lang]}
    ok = LANGUAGES[ok_lang]["IDS_OK"]
    click = texts["IDS_CLICK_BUTTON"].replace("s%", "%s").replace("%s", ok, 1)
    return ok, f"{texts['IDS_IE8_REQUIRED']}\n\n{click}", \
        f"{texts['IDS_DOWNLOAD_HINT']} {texts['IDS_SETUP_INTERRUPTED']}"


def ink(shot, x, y, w, h):  # the most common colour in a box of the shot but its background
    return sorted(Image.open(shot).convert("RGB").crop((x, y, x + w, y + h)).getcolors(1 << 16))[-2][1]


@pytest.fixture
def look(request):  # set before the driver starts (it measures the texts at the notice's scale),
    drive(*scheme(request.param))  # and the default again whatever happens
    yield request.param
    drive(*scheme(None))


@pytest.mark.parametrize("lang,ok_lang,text_lang,look",
                         [(lang, lang, lang, None) for lang in sorted(LANGUAGES) if
                          len(LANGUAGES[lang]) == 6] + FALLBACKS, indirect=["look"])
def test_notice_texts(lang, ok_lang, text_lang, look):
    folder, shot = kit(f"lang-{lang}", sleep=0), f"{SHOTS}/notice-{lang}{f'-{look}' if look else ''}.png"
    moved = [("dpi", 144)] * (look == "moved")  # to a monitor at 144 dpi, as Windows tells it
    out = brantel(folder, f"/l {lang}", None, machine(), after=[*moved, ("texts",), ("shot", shot), ("notice", "ok")])
    assert (out["exit"], out["text0"], out["fits1001"], out["fits1004"]) == ("0", "Internet Explorer", "1", "1")
    place, work = (list(map(int, out[key].split())) for key in ("place", "work"))  # centred on it
    assert all(abs(place[i] + place[i + 2] - work[i] - work[i + 2]) <= 2 for i in (0, 1))
    # Each control where the template puts it, in dialog units of the 314 by 149 client area (the
    # link and the icon size themselves to their contents): x, y, width, height.
    client = {i: list(map(int, out[f"client{i}"].split())) for i in (0, 1, 1000, 1001, 1003, 1004)}
    assert look or {i: [int(v * (314, 149)[k % 2] / client[0][2 + k % 2] + 0.5) for k, v in enumerate(box)][
        :4 if i in (1, 1001, 1004) else 2] for i, box in client.items() if i} == {
        1: [259, 129, 50, 16], 1000: [51, 115], 1001: [51, 5, 258, 45], 1003: [5, 5], 1004: [51, 62, 258, 50]}
    assert ok_lang is None or (out["text1"], out["text1001"], out["text1004"]) == expected_texts(ok_lang, text_lang)
    # The icon keeps its size next to the texts (64 pixels at 96 dots per inch, 96 at 144, 128 at 192).
    # The link reads on its background (a WCAG 2 contrast of 4.5 or more): in its own colour on the
    # default scheme, where that reads (8.6), in the scheme's link colour on the dark one (yellow: 19.6).
    assert int(out["style1003"].split()[4]) == {"144dpi": 96, "192dpi": 128, "moved": 96}.get(look, 64)
    x, _, width, height = map(int, out["style1000"].split()[2:])  # moved: the suggested size centred,
    assert not moved or out["suggested"] == f"0 0 {place[2] - place[0]} {place[3] - place[1]}" and \
        abs(height - 1.5 * int(out["link-before"])) <= 1 and 0 <= x <= place[2] - place[0] - width
    link = (255, 255, 0) if look == "dark" else (0, 0, 238)
    assert ink(shot, *map(int, out["style1000"].split()[2:])) == link
    # Hebrew and Arabic texts read right to left from the right edge, the link's address left to
    # right, by Windows' rules: a mirrored control (WS_EX_LAYOUTRTL) reverses the reading flag
    # (WS_EX_RTLREADING) and the right alignment (SS_RIGHT). Others: left to right, from the left.
    rtl = text_lang in (1037, 14337)
    for text in ("1000", "1001", "1004"):
        style, extended = (int(word, 16) for word in out["style" + text].split()[:2])
        mirrored = bool(extended & 0x400000)
        assert (mirrored != bool(extended & 0x2000), mirrored != (style & 0x1F == 2)) == \
            (rtl and text != "1000", rtl)
    assert not rtl or "®" not in out["text1001"].replace("®\u200e", "")  # marked left to right
    assert out["text1000"] == "http://www.microsoft.com/windows/internet-explorer/"
    assert WINE.endswith("64") or text_lang is None or (action := out["read1000"].split("|")[-1]) == \
        LANGUAGES[text_lang]["IDS_LINK_ACTION"] and (action == "Jump") == (text_lang == 2057) and \
        ("\u0590" <= action[0] <= "\u08ff") == rtl  # a screen reader's action: English's for English


@pytest.mark.parametrize("action", ["ok", "enter", "escape", "altf4", "close", *(pytest.param(
    reader, marks=pytest.mark.skipif(WINE.endswith("64"), reason="oleacc")) for reader in ("reader", "late-reader"))])
def test_leaving_with_ok(action):
    # OK and Enter run the installer with all the notice owns hidden, answering messages sent to it
    # and a screen reader at once: one that kept the link's object is refused (disconnected), one
    # that first asks for it now gets the system's proxy of the window, not our link (role 30);
    # Escape, Alt+F4 and the close request leave it open.
    folder = kit(f"leave-{action}", codes={"ie_setup_2057.exe": 1602}, sleep=2500 + 3000 * ("reader" in action))
    out = brantel(folder, "", action, machine())
    assert (out["exit"], out.get(f"open-after-{action}", "1"), out["visible-while-installing"],
            out["answers-while-installing"]) == ("1602", "1", "0", "1")
    assert "reader" not in action or re.fullmatch({"reader": r"-\d+\|0", "late-reader": r"0\|(?!30\|)\d+"}[action] + r"\|1\|1",
                                                  out["reader-while-installing"])
    assert out["runs"] == [preamble(folder, "", []) + NOTICE_OK + installer(folder, "ie_setup_2057.exe", 1602)]


# Two "setup.exe" run (in any case: Windows compares file names without it); Brantel.exe is started
# by the driver, by the second one or by a program of another name: which one the link ends (exit
# 1602, cancelled), the other one keeps running. When the shell cannot open the link (no program for its
# protocol), the command for web pages does (its value in the registry: the default, or only
# another), else the notice says why; the link still ends it.
# The keyboard takes it as the mouse does: Tab from OK to the link, then Enter or Space; and so does
# a screen reader, reading it from another process first: a link (role 30) named by its address,
# focusable and linked (0x500000), focused through its object (4), with a named default action
# (not on the x86-64 build: Wine's 64-bit oleacc carries no object across processes; the units do).
@pytest.mark.parametrize("parent,ended,page,action,name", [(*row, "setup.exe")[:5] for row in [
    (None, 0, None, "link"), ("setup", 1, None, "link"), ("setup", 1, None, "link", "Setup.exe"),
    ("kit.exe", 0, None, "link", "SETUP.EXE"), (None, 0, "", "link"), (None, 0, "default", "link"),
    (None, 0, "other", "link"), (None, 0, None, "tab-enter"), (None, 0, None, "tab-space"),
    (None, 0, None, "accessible")]])
def test_link_ends_the_callers_setup(parent, ended, page, action, name):
    if action == "accessible" and WINE.endswith("64"): pytest.skip("oleacc")
    folder, names = kit(f"link-{parent}-{name}-{page}-{action}", codes={"page.exe": 0}), [name, name, "kit.exe"]
    starters = [kit(f"setup-{i}", codes={exe: 7}, sleep=30000) for i, exe in enumerate(names)]
    if starter := {"setup": 1, "kit.exe": 2}.get(parent):
        (starters[starter] / f"{names[starter]}.run").write_text(f'"{win(folder / "Brantel.exe")}"')
    steps = machine() + [("start", win(starters[i] / name), "") for i in range(2)] + \
        [("start", win(starters[2] / "kit.exe"), "")] * (parent == "kit.exe")
    if page is None:  # the shell opens it: page.exe is the address's program
        steps.append(("reg-sz", r"HKCR\http\shell\open\command", "", f'"{win(folder / "page.exe")}" "%1"'))
    else:
        steps += [("reg-del", r"HKCR\http"), ("reg-sz", r"HKCR\.htm", "", "brantel.page"),
                  ("reg-del", r"HKCR\brantel.page")]
    if page:
        steps.append(("reg-sz", r"HKCR\brantel.page\shell\open\command",
                      "" if page == "default" else page, f'"{win(folder / "page.exe")}" "%1"'))
    steps.append(("attach", "Brantel.exe") if parent else ("run", win(folder / "Brantel.exe"), ""))
    size, out = log_size(), drive(*steps, ("notice", action), ("wait",))
    assert [out["exit"], out["bystander0"], out["bystander1"]] == \
        ["-1"] + ["1602" if ended == i else "running" for i in range(2)]
    link = "|http://www.microsoft.com/windows/internet-explorer/|Jump"
    assert action != "accessible" or (out["read1000"], out["read1000-focused"]) == \
        (f"30|{0x500000}{link}", f"30|{0x500004}{link}")
    assert out.get("message-box") == (None if page in (None, "default") else "Unable to open hyperlink:\n\n"
                                      "There is no application associated\nwith the given filename extension.")
    deadline, opened = time.monotonic() + 10, page in (None, "default")  # the page opens on its own
    while opened and not recorded(folder, "page.exe") and time.monotonic() < deadline:
        time.sleep(0.1)
    assert recorded(folder, "page.exe") == opened
    # elevated (under Wine every program is): started by the desktop's shell, as its user, never by Brantel
    assert not opened or "parent=explorer.exe" in (folder / "page.exe.record").read_text(encoding="utf-8").splitlines()
    assert runs_since(size)[0][-1] == "Clicked link. Opened url, closing setup and application..."


# The example installer (examples/nsis/setup.nsi), built by makensis around its kit (for x86-64 on
# the x86-64 build): silent, it installs (3010: asks for a restart) or stops with the browser
# installer's code; shown, the link ends it with 1602 (cancelled). It passes on the user's language (C: 1033).
NSIS = [
    ("present", machine("11.0"), 0, "it_IT.UTF-8", 1040, "IE8 Already installed"),
    ("restart", machine(Haldry="1"), 3010, None, 1033, "Process returned code: 3010"),
    ("failed", machine(Haldry="1"), 1603, None, 1033, "Process returned code: 1603"),
    ("link", machine(), -1, None, 1033, "Clicked link. Opened url, closing setup and application..."),
    ("unattended", machine(), 0, None, 1033, "Process returned code: 0"),  # silent: Brantel quiet too
    ("unattended-failed", machine(), 1603, None, 1033, "Process returned code: 1603")]


@pytest.mark.parametrize("name,setup,code,locale,lang,last", NSIS, ids=[row[0] for row in NSIS])
def test_nsis_example_runs_brantel_first(name, setup, code, locale, lang, last):
    folder = kit(f"nsis-{name}", codes={"ie_setup_2057.exe": code, "ie_setup_1040.exe": 0})
    subprocess.run(["makensis", "-V2", *(["-XTarget amd64-unicode"] if WINE.endswith("64") else []),
                    f"-DPREREQ={folder}", f"-DOUTFILE={folder}/setup.exe",
                    str(SOURCE / "examples/nsis/setup.nsi")], check=True)
    exe, app, size = win(folder / "setup.exe"), win(folder / "app"), log_size()
    steps = [("start", exe, f"/D={app}"), ("attach", "Brantel.exe"), ("notice", "link")] \
        if code == -1 else [("run", exe, f"/S /D={app}")]
    out = drive(*setup, *steps, ("wait",), env=locale and {"LC_ALL": locale})
    [run] = runs_since(size)
    assert (out["exit"], out.get("bystander0")) == (str(code), "1602" if code == -1 else None)
    assert (folder / "app/example.txt").exists() == (code in (0, 3010))
    assert run[1:3] == [f"Found lang(/l): {lang}", f"lang: {lang}"] and run[-1] == last
    assert run[0].endswith(f"/l {lang} " + "/quiet " * (code != -1)) and out["windows"] == "0"


# The Inno Setup example (examples/inno/setup.iss), built by the compiler of the npm package
# innosetup (32-bit, as the installers it builds): silent (/VERYSILENT), Brantel runs quietly and
# the setup installs, ends with 3010 where a restart is needed (/RESTARTEXITCODE) or fails (1: it
# could not initialise); shown, the link ends its loader (setup.exe) with 1602, and the wizard
# (setup.tmp, below it) says why it stops.
INNO = [  # name, registry, the browser installer's code, the setup's exit code, last log line
    ("present", machine("11.0"), 0, 0, "IE8 Already installed"),
    ("unattended", machine(), 0, 0, "Process returned code: 0"),
    ("restart", machine(Haldry="1"), 3010, 3010, "Process returned code: 3010"),
    ("failed", machine(Haldry="1"), 1603, 1, "Process returned code: 1603"),
    ("link", machine(), -1, 1, "Clicked link. Opened url, closing setup and application...")]


@pytest.mark.skipif(WINE.endswith("64"), reason="the compiler and its installers are 32-bit")
@pytest.mark.parametrize("name,setup,installer_code,code,last", INNO, ids=[row[0] for row in INNO])
def test_inno_example_runs_brantel_first(name, setup, installer_code, code, last):
    folder = kit(f"inno-{name}", codes={"ie_setup_2057.exe": installer_code, "ie_setup_1040.exe": 0})
    script = "Z:" + str(SOURCE / "examples/inno/setup.iss").replace("/", "\\")
    subprocess.run([WINE, str(SOURCE / "node_modules/innosetup/bin/ISCC.exe"), "/Q", f"/DPREREQ={win(folder)}",
                    f"/O{win(folder / 'out')}", script], check=True, cwd=PREFIX, stdin=subprocess.DEVNULL)
    exe, app, size = win(folder / "out/setup.exe"), win(folder / "app"), log_size()
    silent = f"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /RESTARTEXITCODE=3010 /DIR={app}"
    steps = [("start", exe, f"/DIR={app}"), ("attach", "Brantel.exe"), ("notice", "link"), ("wait",),
             ("attach", "setup.tmp"), ("notice", "box")] if name == "link" else [("run", exe, silent)]
    out = drive(*setup, *steps, ("wait",))
    [run] = runs_since(size)
    assert (out["exit"], out.get("bystander0")) == (str(code), "1602" if name == "link" else None)
    assert (folder / "app/example.txt").exists() == (code in (0, 3010))
    assert run[0].endswith("/l 1033 " + "/quiet " * (name != "link")) and run[-1] == last
    assert out.get("message-box") == ("Please install Internet Explorer 8 or later and run this setup again."
                                      if name == "link" else None)


# no display, a window station nobody sees (1459), a notice others end (quit, end of session: 1223): never an
# answer. There /quiet and /passive install, /? exits with 0; else its box lists options, keys and codes.
@pytest.mark.parametrize("run,env,action,args,code,last", [  # no display last: it leaves Wine's
    *[("run", {}, action, "", 1223, "Dialog ended without an answer") for action in ("quit", "endsession")],
    ("run-hidden-station", {}, None, "", 1459, "Can't show dialog"),  # desktop without one
    ("run-hidden-station", {}, None, "/quiet", 3010, "Process returned code: 3010"),
    ("run-hidden-station", {}, None, "-?", 0, "Can't show help, error: 1459"), ("run", {}, "box", "/?", 0,
    "Showing help"), *[("run", {}, None, args, 0, f"Help not shown ({ui})") for args, ui in
                       [("-HELP -passive", "/passive"), ("/h /s", "/quiet")]],
    ("run", {"DISPLAY": None}, None, "/passive", 3010, "Process returned code: 3010"),
    ("run", {"DISPLAY": None}, None, "", None, "Can't show dialog")])
def test_runs_that_nobody_answers(run, env, action, args, code, last):
    folder, size = kit(f"{run}-{action}{len(args)}", codes={"ie_setup_2057.exe": 3010}), log_size()
    out = drive(*machine(), (run, win(folder / "Brantel.exe"), args),
                *([("notice", action)] if action else []), ("wait",), env=env)
    got, lines = int(out["exit"]), runs_since(size)[0]
    assert got == code and lines[-2] != "Running Dialog" and lines[-1] == last if args else \
        got not in (0, -1) and got == (code or got) and lines[-2:] == ["Running Dialog", f"{last}, error: {got}"]
    assert ("help" in last.lower()) == (lines[:-1] == [f"Args: {win(folder / 'Brantel.exe')} {args} "])  # no probe
    assert recorded(folder, "ie_setup_2057.exe") == (got == 3010) and (action == "box") == all(
        word in out.get("message-box", "") for word in ["/l <id>", "/quiet", "/passive", "/log <file>", "/?",
                                                        "params:", "quietparams:", "link:", "3010:", "-1:", "1459:"])


# /log <file>: every line there; where it cannot be written (no folder, a folder, a second name, read-only:
# immutable, as Wine as root writes any), all in the shared log after a line that says so; or no file.
@pytest.mark.parametrize("name,args,error", [
    ("x.log", "/l 1036 /LOG {relative}", None), ("none/x.log", "/log {path}", 3), ("folder", "-Log {path}", 5),
    ("link", "/log {path}", 1920), ("other.log", "/log {path}", 5), *[(None, args, None) for args in
                                                                      ("/l 1036 /log", "/log /l 1036")]])
def test_log_option(name, args, error):
    path = (folder := kit(f"log-{name}-{args[-1]}")) / str(name)
    (folder / "other.log").write_text("")
    path.mkdir() if name == "folder" else os.link(folder / "other.log", path) if name == "link" else \
        name == "other.log" and subprocess.run(["chattr", "+i", path], check=True)
    args, size = args.format(path=win(path), relative=win(path)[3:]), log_size()
    try:
        out = drive(*machine("11.0"), ("run", win(folder / "Brantel.exe"), args), ("wait",))
    finally:  # removable again
        subprocess.run(["chattr", "-i", folder / "other.log"], check=True)
    expected = preamble(folder, args, re.findall(r"(?<=/l )\S+", args)) + PRESENT
    assert out["exit"] == "0" and runs_since(size) == ([] if name == "x.log" else [
        [f"Can't write log: {win(path)}, error: {error}"] * bool(error) + expected])
    assert name != "x.log" or runs_since(0, path) == [expected]


def test_runs_at_once_wait_for_the_log_lock_and_lose_no_line():
    folder, size = kit("at-once"), log_size()
    args = [f"/l {n} {'x' * 3000}" for n in range(6)]  # long lines: long writes that could meet
    drive(*machine("11.0"), ("hold-log", r"C:\users\Public\Documents\Vorn.log"),
          *[("start", win(folder / "Brantel.exe"), a) for a in args], ("release-log", 1500))
    lines = lines_since(size)
    assert lines[0] == "HELD"  # no run wrote while another writer held the lock
    assert all(line == "." or STAMP.fullmatch(line) for line in lines[1:])
    messages = [STAMP.fullmatch(line)[1] for line in lines[1:] if line != "."]
    assert len(messages) == 6 * 8 and all(f"Args: {win(folder / 'Brantel.exe')} {a} " in messages for a in args)
