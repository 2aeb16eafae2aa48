"""The notice in every language and on every look: its texts, where it and its controls are, the
link's colour and the reading order; photographed into the screenshots folder."""
import os
import re
from collections import namedtuple

import pytest
from PIL import Image

from harness import LINK, SOURCE, X86_64, brantel, drive, kit, machine

THEMES = r"HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager"
# The texts of the resource scripts: language id to {text id: text}.
LANGUAGES = {int(path.name.split("_")[1]): {
    key: text.replace('""', '"') for key, text in re.findall(r'(IDS_\w+)\s+"((?:[^"]|"")*)"', path.read_text("utf-8"))}
    for path in (SOURCE / "res/strings").glob("*.rc")}
# lang: the /l asked for; ok_lang, text_lang: the tables of the OK label and of the other texts
# shown (None: the platform's choice, unchecked); look: the scheme, or moved to a monitor at 144 dpi
Notice = namedtuple("Notice", "lang ok_lang text_lang look", defaults=(None,))
NOTICES = [Notice(lang, lang, lang) for lang in sorted(LANGUAGES) if len(LANGUAGES[lang]) == 6] + [
    Notice(1033, 2057, 2057),  # no table of its own: English
    Notice(1031, 7, 7),  # a regional id: its language's
    Notice(1055, 1055, 2057),  # an OK label of its own with the English texts
    Notice(0, None, None),
    *[Notice(2057, 2057, 2057, look) for look in ("dark", "144dpi", "192dpi", "moved")],
    Notice(1037, 1037, 1037, "moved"),
]


def scheme(look):
    # the session's colours (button face, its text, text, links), theme and dots per inch: Wine's
    # default, a dark scheme (no theme, as in XP's and 7's high contrast), or the default at a scale
    dark = look == "dark"
    return [("colours", "000000 FFFFFF FFFFFF 00FFFF" if dark else "F5F5F5 000000 000000 E0E0E0"),
            ("reg-sz", THEMES, "ThemeActive", "0" if dark else "1"),
            ("reg-dword", r"HKCU\Control Panel\Desktop", "LogPixels", {"144dpi": 144, "192dpi": 192}.get(look, 96))]


@pytest.fixture
def look(case):  # set before the driver measures the texts, and the default again whatever happens
    drive(*scheme(case.look))
    yield case.look
    drive(*scheme(None))


def expected_texts(ok_lang, lang):  # OK's label, the upper text (with OK's label in it), the lower
    texts = {**LANGUAGES[2057], **LANGUAGES[lang]}
    ok = LANGUAGES[ok_lang]["IDS_OK"]
    click = texts["IDS_CLICK_BUTTON"].replace("s%", "%s").replace("%s", ok, 1)
    lower = f"{texts['IDS_DOWNLOAD_HINT']} {texts['IDS_SETUP_INTERRUPTED']}"
    return ok, f"{texts['IDS_IE8_REQUIRED']}\n\n{click}", lower


def numbers(text):
    return [int(word) for word in text.split()]


def ink(shot, box):  # the most common colour in the box of the shot, but its background
    x, y, width, height = box
    return sorted(Image.open(shot).convert("RGB").crop((x, y, x + width, y + height)).getcolors(1 << 16))[-2][1]


@pytest.mark.parametrize("case", NOTICES, ids=lambda case: f"{case.lang}-{case.look}")
def test_notice_texts(case, look):
    shot = f"{os.environ['BRANTEL_SCREENSHOTS']}/notice-{case.lang}{f'-{look}' if look else ''}.png"
    moved = [("dpi", 144)] if look == "moved" else []  # as Windows tells it
    out = brantel(kit(f"lang-{case.lang}"), f"/l {case.lang}", None, machine(),
                  after=[*moved, ("texts",), ("shot", shot), ("notice", "ok")])
    assert out["exit"] == "0"
    assert out["text0"] == "Internet Explorer"
    assert out["text1000"] == LINK
    assert (out["fits1001"], out["fits1004"]) == ("1", "1")
    if case.ok_lang:
        assert (out["text1"], out["text1001"], out["text1004"]) == expected_texts(case.ok_lang, case.text_lang)
    place, work = numbers(out["place"]), numbers(out["work"])  # centred on the work area
    assert abs(place[0] + place[2] - work[0] - work[2]) <= 2
    assert abs(place[1] + place[3] - work[1] - work[3]) <= 2
    # each control where the template puts it, in dialog units of the 314 by 149 client area: x, y,
    # width and height (the link's and the icon's x and y: they size themselves)
    size = numbers(out["client0"])[2:]
    units = {id: [int(value * (314, 149)[i % 2] / size[i % 2] + 0.5) for i, value in
                  enumerate(numbers(out[f"client{id}"]))] for id in (1, 1000, 1001, 1003, 1004)}
    if not look:
        assert units[1] == [259, 129, 50, 16]  # OK
        assert units[1000][:2] == [51, 115]  # the link
        assert units[1001] == [51, 5, 258, 45]  # the upper text
        assert units[1003][:2] == [5, 5]  # the icon
        assert units[1004] == [51, 62, 258, 50]  # the lower text
    # x, y, width and height in the window, after the styles
    icon, link = (numbers(out[f"style{id}"].split(maxsplit=2)[2]) for id in (1003, 1000))
    assert icon[2] == {"144dpi": 96, "192dpi": 128, "moved": 96}.get(look, 64)  # drawn for the scale
    if moved:  # the size Windows suggests, centred; the link's fonts one and a half times as high
        assert out["suggested"] == f"0 0 {place[2] - place[0]} {place[3] - place[1]}"
        assert abs(link[3] - 1.5 * int(out["link-before"])) <= 1
        assert 0 <= link[0] <= place[2] - place[0] - link[2]
    # The link reads on its background (a WCAG 2 contrast of 4.5 or more): in its own colour on the
    # default scheme (8.6), in the scheme's link colour on the dark one (yellow: 19.6).
    assert ink(shot, link) == ((255, 255, 0) if look == "dark" else (0, 0, 238))
    # Hebrew and Arabic read right to left from the right edge, the link's address left to right,
    # by Windows' rules: a mirrored control (WS_EX_LAYOUTRTL) reverses the reading flag
    # (WS_EX_RTLREADING) and the right alignment (SS_RIGHT). Others: left to right, from the left.
    rtl = case.text_lang in (1037, 14337)
    for id in (1000, 1001, 1004):
        style, extended = (int(word, 16) for word in out[f"style{id}"].split()[:2])
        mirrored = bool(extended & 0x400000)
        assert (mirrored != bool(extended & 0x2000)) == (rtl and id != 1000)  # reads right to left
        assert (mirrored != (style & 0x1F == 2)) == rtl  # aligned at the right edge
    assert not rtl or "®" not in out["text1001"].replace("®\u200e", "")  # marked left to right
    # a screen reader's name of the link's action: the notice's language's (not on the x86-64
    # build, whose accessibility library carries no object across processes)
    action = out["read1000"].split("|")[-1]
    if case.text_lang and not X86_64:
        assert action == LANGUAGES[case.text_lang]["IDS_LINK_ACTION"]
        assert (action == "Jump") == (case.text_lang == 2057)
        assert ("\u0590" <= action[0] <= "\u08ff") == rtl
