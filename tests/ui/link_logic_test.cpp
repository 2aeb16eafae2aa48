// The link's logic that needs no window: the fallback command line, the error texts, the fitted
// rectangle, the colour precedence, the notice text assembly and the registry default reader.
#include <windows.h>

#include <climits>
#include <string>

#include "tests/harness/doctest_config.h"
#include "ui/hyperlink.h"
#include "ui/link_navigation.h"
#include "ui/notice_texts.h"

TEST_CASE("the fallback command line from a registered command template") {
  const CString url = L"http://example.invalid/windows/internet-explorer/";
  CString line;
  SUBCASE("quoted placeholder with options after it") {
    REQUIRE(BuildFallbackCommand(L"\"C:\\Browser\\browser.exe\" \"%1\" -nohome", url, line));
    CHECK(line == L"\"C:\\Browser\\browser.exe\"  " + url);
  }
  SUBCASE("bare placeholder") {
    REQUIRE(BuildFallbackCommand(L"C:\\Browser\\browser.exe %1 -nohome", url, line));
    CHECK(line == L"C:\\Browser\\browser.exe  " + url);
  }
  SUBCASE("quoted placeholder wins over an earlier bare one") {
    REQUIRE(BuildFallbackCommand(L"b.exe %1 \"%1\"", url, line));
    CHECK(line == L"b.exe %1  " + url);
  }
  SUBCASE("no placeholder") {
    REQUIRE(BuildFallbackCommand(L"C:\\Browser\\browser.exe", url, line));
    CHECK(line == L"C:\\Browser\\browser.exe " + url);
  }
  SUBCASE("a command line that would not fit the 520-character buffer is not built") {
    line = L"unchanged";
    const CString program(520 - 2 - url.size(), L'p');  // 519 characters: fits
    REQUIRE(BuildFallbackCommand(program, url, line));
    CHECK(line.size() == 519);
    line = L"unchanged";
    CHECK_FALSE(BuildFallbackCommand(program + L"p", url, line));
    CHECK(line == L"unchanged");
  }
}

TEST_CASE("every error text") {
  const std::wstring head = L"Unable to open hyperlink:\n\n";
  CHECK(OpenErrorMessage(0) == head + L"The operating system is out\nof memory or resources.");
  CHECK(OpenErrorMessage(2) == head + L"The specified file was not found.");
  CHECK(OpenErrorMessage(3) == head + L"The specified path was not found.");
  CHECK(OpenErrorMessage(5) ==
        head + L"The operating system denied\naccess to the specified file.");
  CHECK(OpenErrorMessage(8) == head + L"There was not enough memory to complete the operation.");
  CHECK(OpenErrorMessage(11) ==
        head + L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
  CHECK(OpenErrorMessage(26) == head + L"A sharing violation occurred. ");
  CHECK(OpenErrorMessage(27) == head + L"The filename association is\nincomplete or invalid.");
  CHECK(OpenErrorMessage(28) ==
        head + L"The DDE transaction could not\nbe completed because the request timed out.");
  CHECK(OpenErrorMessage(29) == head + L"The DDE transaction failed.");
  CHECK(OpenErrorMessage(30) == head +
                                    L"The DDE transaction could not\nbe completed because other "
                                    L"DDE transactions\nwere being processed.");
  CHECK(OpenErrorMessage(31) ==
        head + L"There is no application associated\nwith the given filename extension.");
  CHECK(OpenErrorMessage(32) == head + L"The specified dynamic-link library was not found.");
  for (const int code : {1, 4, 6, 7, 9, 10, 12, 25, 33, -1, INT_MAX, INT_MIN}) {
    CAPTURE(code);
    CHECK(OpenErrorMessage(code) ==
          head + L"Unknown Error (" + std::to_wstring(code) + L") occurred.");
  }
}

TEST_CASE("the link's rectangle fits its text by the alignment style") {
  // A window at (100, 50) of 200 x 20 with a one-pixel border all round; the text is 151 x 13.
  const RECT window = {100, 50, 300, 70};
  const RECT client = {101, 51, 299, 69};
  const SIZE text = {151, 13};  // needs 153 x 15 with the border
  auto fit = [&](DWORD style) { return FitLinkRect(window, client, text, style); };

  const RECT left = fit(SS_LEFT);
  CHECK(left.left == 100);
  CHECK(left.top == 50);
  CHECK(left.right == 253);
  CHECK(left.bottom == 65);

  const RECT right = fit(SS_RIGHT);
  CHECK(right.right == 300);
  CHECK(right.left == 147);

  // 47 too wide: each side moves in by 23, so the control ends one pixel wider than needed.
  const RECT centred = fit(SS_CENTER);
  CHECK(centred.left == 123);
  CHECK(centred.right == 277);
  // Style 3 has the centre bit: it counts as centred.
  CHECK(fit(3).left == 123);

  // 5 too high, centred vertically: top and bottom move in by 2.
  const RECT image = fit(SS_LEFT | SS_CENTERIMAGE);
  CHECK(image.top == 52);
  CHECK(image.bottom == 68);

  // Too narrow by an odd amount: each side moves out by the truncated half, one pixel short.
  const RECT narrow =
      FitLinkRect(RECT{0, 0, 100, 20}, RECT{1, 1, 99, 19}, SIZE{201, 13}, SS_CENTER);
  CHECK(narrow.left == -51);
  CHECK(narrow.right == 151);
}

TEST_CASE("hover beats visited, visited beats unvisited") {
  const COLORREF link = RGB(0, 0, 238), visited = RGB(85, 26, 139), hover = RGB(255, 0, 0);
  CHECK(LinkTextColour(false, false, link, visited, hover) == link);
  CHECK(LinkTextColour(false, true, link, visited, hover) == visited);
  CHECK(LinkTextColour(true, false, link, visited, hover) == hover);
  CHECK(LinkTextColour(true, true, link, visited, hover) == hover);
}

TEST_CASE("the click-button text gets the OK label without being used as a format") {
  CHECK(FillPlaceholder(L"Click '%s' now.", L"TAMAM\u2310") == L"Click 'TAMAM\u2310' now.");
  CHECK(FillPlaceholder(L"'%s' %d %n %s", L"OK") == L"'OK' %d %n %s");
  CHECK(FillPlaceholder(L"no placeholder", L"OK") == L"no placeholder");
}

TEST_CASE("the default value of a class key is read only when it is whole text") {
  const wchar_t* kKey = L"Software\\BrantelLinkTest";
  auto readWith = [&](DWORD type, const std::wstring& value, std::wstring& read) {
    HKEY key = nullptr;
    REQUIRE(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) == ERROR_SUCCESS);
    if (type == REG_NONE) {
      ::RegDeleteValueW(key, nullptr);
    } else {
      ::RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    wchar_t buffer[kValueBufferChars];
    std::fill(buffer, buffer + kValueBufferChars, L'#');
    const LONG status = ReadDefaultValue(key, buffer);  // closes the key
    read = status == ERROR_SUCCESS ? std::wstring(buffer) : std::wstring();
    return status;
  };
  std::wstring read;
  CHECK(readWith(REG_SZ, L"htmlfile", read) == ERROR_SUCCESS);
  CHECK(read == L"htmlfile");
  CHECK(readWith(REG_SZ, std::wstring(259, L'c'), read) == ERROR_SUCCESS);
  CHECK(read == std::wstring(259, L'c'));
  CHECK(readWith(REG_SZ, std::wstring(260, L'c'), read) != ERROR_SUCCESS);
  CHECK(readWith(REG_EXPAND_SZ, L"%1", read) != ERROR_SUCCESS);
  CHECK(readWith(REG_NONE, L"", read) != ERROR_SUCCESS);  // no default value at all
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
}
