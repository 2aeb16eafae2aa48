"""The notice in every language and on every look: its texts, where it and its controls are, the
link's colour and the reading order; photographed into the screenshots folder."""
import os, re
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
NOTICES = [Notice(lang, ok_lang=lang, text_lang=lang) for lang in sorted(LANGUAGES) if len(LANGUAGES[lang]) == 6] + [
    Notice(1033, ok_lang=2057, text_lang=2057),  # no table of its own: English
    Notice(1031, ok_lang=7, text_lang=7),  # a regional id: its language's
    Notice(1055, ok_lang=1055, text_lang=2057),  # an OK label of its own with the English texts
    Notice(0, ok_lang=None, text_lang=None),
    *[Notice(2057, ok_lang=2057, text_lang=2057, look=look) for look in ("dark", "144dpi", "192dpi", "moved")],
    Notice(1037, ok_lang=1037, text_lang=1037, look="moved"),
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
    # the link, fitted to its text, where the template puts it: at 51, 115 in dialog units of the
    # 314 by 149 client area (mirrored: in the mirrored window's own coordinates)
    size = numbers(out["client0"])[2:]
    x, y = numbers(out["client1000"])[:2]
    assert look or [int(x * 314 / size[0] + 0.5), int(y * 149 / size[1] + 0.5)] == [51, 115]
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
