// The resources of the built Brantel.exe, read as data, and the text lookup over the same tables
// (linked into this test program too).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "res/resource.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"
#include "tests/ui/test_strings.h"
#include "ui/localized_strings.h"

namespace {

struct Language {
  LANGID id;
  const wchar_t* okLabel;
  bool hasTexts;
};

const Language kLanguages[] = {
    {7, L"OK", true},
    {1026, L"\u041e\u041a", true},
    {1029, L"OK", true},
    {1030, L"OK", true},
    {1032, L"\u039f\u039a", true},
    {1034, L"OK", true},
    {1035, L"OK", true},
    {1036, L"OK", true},
    {1037, L"OK", true},
    {1038, L"Rendben", true},
    {1040, L"OK", true},
    {1041, L"OK", true},
    {1043, L"OK", true},
    {1045, L"OK", true},
    {1046, L"OK", true},
    {1048, L"OK", true},
    {1049, L"\u041e\u041a", true},
    {1050, L"OK", true},
    {1053, L"OK", true},
    {1055, L"TAMAM\u2310", false},
    {1060, L"V REDU", true},
    {1065, L"\u0645\u0648\u0631\u062f \u062a\u0627\u0626\u06cc\u062f", false},
    {1066, L"OK", false},
    {2052, L"\u786e\u5b9a", true},
    {2057, L"OK", true},
    {2070, L"OK", true},
    {2074, L"U redu", true},
    {14337, L"OK", true},
};

const std::wstring kEnglish136 =
    L"To continue with the installation the Personal Computer must be equipped with Internet "
    L"Explorer\u00ae v8.0 or higher.";
const std::wstring kEnglish137 =
    L"Click on the button '%s' to proceed with the installation of Internet Explorer \u00ae v8.0 "
    L"in English.";
const std::wstring kEnglish138 =
    L"If you wish to install a higher version of Internet Explorer\u00ae or if you wish to install "
    L"it in a different language, you can carry out the download by clicking on the link below. "
    L"The Personal Computer must have an internet connection in order to carry out the download.";
const std::wstring kEnglish139 = L"The installation currently in progress will be interrupted.";

class ProgramResources {
 public:
  ProgramResources()
      : module_(::LoadLibraryExW((BuildDirectory() + L"\\Brantel.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE)) {
    REQUIRE(module_);
  }
  HMODULE get() const { return module_.get(); }

  std::string Bytes(LPCWSTR type, LPCWSTR name, LANGID language) const {
    HRSRC found = ::FindResourceExW(module_.get(), type, name, language);
    REQUIRE(found != nullptr);
    const void* data = ::LockResource(::LoadResource(module_.get(), found));
    REQUIRE(data != nullptr);
    return std::string(static_cast<const char*>(data), ::SizeofResource(module_.get(), found));
  }

 private:
  ScopedModule module_;
};

std::wstring Text(HMODULE module, UINT id, LANGID language) {
  wchar_t buffer[kLocalizedStringUnits] = {};
  const int count = LoadStringForLanguage(module, id, buffer, language);
  return std::wstring(buffer, count > 0 ? static_cast<size_t>(count) : 0);
}

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Reads a dialog template in its binary form.
class TemplateReader {
 public:
  explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
  WORD Word() { return Read<WORD>(); }
  DWORD Dword() { return Read<DWORD>(); }
  short Short() { return Read<short>(); }
  BYTE Byte() { return Read<BYTE>(); }
  std::wstring String() {
    std::wstring text;
    for (WORD unit = Word(); unit != 0; unit = Word()) text.push_back(unit);
    return text;
  }
  // A name or an ordinal: ordinals come back as "#<number>".
  std::wstring NameOrOrdinal() {
    const WORD first = Read<WORD>(false);
    if (first == 0xFFFF) {
      Word();
      return L"#" + std::to_wstring(Word());
    }
    return String();
  }
  void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }
  bool AtEnd() const { return at_ >= bytes_.size(); }

 private:
  template <typename T>
  T Read(bool advance = true) {
    REQUIRE(at_ + sizeof(T) <= bytes_.size());
    T value;
    std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    if (advance) at_ += sizeof(T);
    return value;
  }
  const std::string& bytes_;
  size_t at_ = 0;
};

}  // namespace

TEST_CASE("every language holds its label and its texts as stored") {
  ProgramResources program;
  for (const Language& language : kLanguages) {
    CAPTURE(language.id);
    // The block is stored under exactly this language.
    CHECK(::FindResourceExW(program.get(), RT_STRING, MAKEINTRESOURCEW(9), language.id) != nullptr);
    CHECK(Text(program.get(), IDS_OK, language.id) == language.okLabel);
    for (UINT id = 128; id <= 134; ++id) CHECK(Text(program.get(), id, language.id).empty());

    const std::wstring requirement = Text(program.get(), IDS_IE8_REQUIRED, language.id);
    const std::wstring click = Text(program.get(), IDS_CLICK_BUTTON, language.id);
    const std::wstring download = Text(program.get(), IDS_DOWNLOAD_HINT, language.id);
    const std::wstring interrupted = Text(program.get(), IDS_SETUP_INTERRUPTED, language.id);
    if (!language.hasTexts) {
      CHECK(requirement.empty());
      CHECK(click.empty());
      CHECK(download.empty());
      CHECK(interrupted.empty());
      continue;
    }
    CHECK_FALSE(interrupted.empty());
    // The one placeholder receives the OK label; nothing else may look like a format.
    CHECK(Count(click, L"%s") == 1);
    CHECK(Count(click, L"%") == 1);
    for (const std::wstring* text : {&requirement, &download, &interrupted}) {
      CHECK(Count(*text, L"%") == 0);
    }
    CHECK(Count(Text(program.get(), IDS_OK, language.id), L"%") == 0);
    // The registered trade mark stays where the English has it.
    for (const std::wstring* text : {&requirement, &click, &download}) {
      CHECK(Count(*text, L"Internet Explorer") >= 1);
      CHECK(Count(*text, L"\u00ae") == 1);
    }
  }
  CHECK(Text(program.get(), IDS_IE8_REQUIRED, 2057) == kEnglish136);
  CHECK(Text(program.get(), IDS_CLICK_BUTTON, 2057) == kEnglish137);
  CHECK(Text(program.get(), IDS_DOWNLOAD_HINT, 2057) == kEnglish138);
  CHECK(Text(program.get(), IDS_SETUP_INTERRUPTED, 2057) == kEnglish139);
}

TEST_CASE("the notice dialog template") {
  ProgramResources program;
  const std::string bytes =
      program.Bytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_NOTICE_DIALOG), MAKELANGID(LANG_ITALIAN, 1));
  TemplateReader reader(bytes);
  CHECK(reader.Word() == 1);
  CHECK(reader.Word() == 0xFFFF);
  CHECK(reader.Dword() == 0);                // help id
  CHECK(reader.Dword() == WS_EX_APPWINDOW);  // extended style
  CHECK(reader.Dword() == 0x90C000C0);       // no system menu, so no close box
  const WORD controls = reader.Word();
  CHECK(controls == 5);
  CHECK(reader.Short() == 0);
  CHECK(reader.Short() == 0);
  CHECK(reader.Short() == 314);
  CHECK(reader.Short() == 149);
  CHECK(reader.NameOrOrdinal() == L"");  // menu
  CHECK(reader.NameOrOrdinal() == L"");  // class
  CHECK(reader.String() == L"");         // caption
  CHECK(reader.Word() == 8);
  CHECK(reader.Word() == 400);
  CHECK(reader.Byte() == 0);
  CHECK(reader.Byte() == 0);
  CHECK(reader.String() == L"Verdana");

  struct Control {
    DWORD id;
    const wchar_t* windowClass;
    std::wstring text;
    DWORD style;
    short x, y, cx, cy;
  };
  const Control expected[] = {
      {IDOK, L"#128", L"OK", 0x50010001, 259, 129, 50, 16},
      {IDC_LINK, L"#130", L"zz" + std::wstring(49, L'x') + L"zz", 0x50020000, 51, 115, 258, 12},
      {IDC_REQUIREMENT_TEXT, L"#130", L"Static", 0x50020000, 51, 5, 258, 45},
      {IDC_ICON_VIEW, L"#130", L"", 0x50000003, 5, 5, 20, 20},
      {IDC_DOWNLOAD_TEXT, L"#130", L"Static", 0x50020000, 51, 62, 258, 50},
  };
  for (const Control& control : expected) {
    CAPTURE(control.id);
    reader.AlignDword();
    CHECK(reader.Dword() == 0);  // help id
    CHECK(reader.Dword() == 0);  // extended style
    CHECK(reader.Dword() == control.style);
    CHECK(reader.Short() == control.x);
    CHECK(reader.Short() == control.y);
    CHECK(reader.Short() == control.cx);
    CHECK(reader.Short() == control.cy);
    CHECK(reader.Dword() == control.id);
    CHECK(reader.NameOrOrdinal() == control.windowClass);  // 0x80 button, 0x82 static
    CHECK(reader.NameOrOrdinal() == control.text);
    CHECK(reader.Word() == 0);  // no creation data
  }
  CHECK(reader.AtEnd());
}

TEST_CASE("the icon is one 64 x 64 image of 32 bits per pixel") {
  ProgramResources program;
  const std::string group =
      program.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP_ICON), MAKELANGID(LANG_ITALIAN, 1));
  REQUIRE(group.size() == 6 + 14);
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, sizeof(count));
  CHECK(count == 1);
  CHECK(static_cast<BYTE>(group[6]) == 64);
  CHECK(static_cast<BYTE>(group[7]) == 64);
  WORD bits = 0;
  std::memcpy(&bits, group.data() + 6 + 6, sizeof(bits));
  CHECK(bits == 32);
  WORD imageId = 0;
  std::memcpy(&imageId, group.data() + 6 + 12, sizeof(imageId));
  const std::string image =
      program.Bytes(RT_ICON, MAKEINTRESOURCEW(imageId), MAKELANGID(LANG_ITALIAN, 1));
  BITMAPINFOHEADER header;
  REQUIRE(image.size() >= sizeof(header));
  std::memcpy(&header, image.data(), sizeof(header));
  CHECK(header.biWidth == 64);
  CHECK(header.biHeight == 128);  // colour and mask
  CHECK(header.biBitCount == 32);
}

TEST_CASE("the version resource and the manifest") {
  const std::wstring exe = BuildDirectory() + L"\\Brantel.exe";
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  REQUIRE(size > 0);
  std::vector<BYTE> data(size);
  REQUIRE(::GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  REQUIRE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  CHECK(fixed->dwFileVersionMS == MAKELONG(0, 46));
  CHECK(fixed->dwFileVersionLS == MAKELONG(4, 0));
  CHECK(fixed->dwProductVersionMS == MAKELONG(0, 46));
  CHECK(fixed->dwProductVersionLS == MAKELONG(4, 0));
  WORD* translation = nullptr;
  REQUIRE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length));
  REQUIRE(length == 4);
  CHECK(translation[0] == 0x0410);
  CHECK(translation[1] == 0x04E4);
  auto value = [&](const wchar_t* key) {
    wchar_t* text = nullptr;
    UINT units = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041004E4\\") + key;
    if (!::VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &units)) {
      return std::wstring(L"<missing>");
    }
    return std::wstring(text);
  };
  CHECK(value(L"FileDescription") == L"Brantel.exe");
  CHECK(value(L"InternalName") == L"Brantel.exe");
  CHECK(value(L"OriginalFilename") == L"Brantel.exe");
  CHECK(value(L"ProductName") == L"Brantel.exe");
  CHECK(value(L"FileVersion") == L"46, 0, 0, 4");
  CHECK(value(L"ProductVersion") == L"46, 0, 0, 4");

  ProgramResources program;
  const std::string manifest =
      program.Bytes(RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  CHECK(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") !=
        std::string::npos);
  CHECK(manifest.find("level=\"asInvoker\"") != std::string::npos);
  CHECK(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a") != std::string::npos);
  // Nothing but the common controls: the program links no runtime or framework assembly.
  CHECK(Count(FromUtf8(manifest), L"<dependentAssembly>") == 1);
}

TEST_CASE("lookup falls back to English, then to the empty text") {
  // This test program carries the same tables as Brantel.exe.
  SUBCASE("a language without a block gets English, label included") {
    CHECK(GetOkText(1033) == L"OK");
    CHECK(GetRequirementText(1033) == kEnglish136);
    CHECK(GetClickButtonText(1033) == kEnglish137);
    CHECK(GetDownloadText(1033) == kEnglish138);
    CHECK(GetInterruptionText(1033) == kEnglish139);
  }
  SUBCASE("Turkish has its label and the English texts") {
    CHECK(GetOkText(1055) == L"TAMAM\u2310");
    CHECK(GetRequirementText(1055) == kEnglish136);
    CHECK(GetClickButtonText(1055) == kEnglish137);
    CHECK(GetDownloadText(1055) == kEnglish138);
    CHECK(GetInterruptionText(1055) == kEnglish139);
  }
  SUBCASE("a language with its own texts") {
    CHECK(GetOkText(1038) == L"Rendben");
    CHECK(GetRequirementText(1036) != kEnglish136);
    CHECK(GetRequirementText(1036).find(L"Internet Explorer\u00ae") != std::wstring::npos);
  }
  SUBCASE("ids 128 to 134 are empty even after the English retry") {
    for (UINT id = 128; id <= 134; ++id) CHECK(GetLocalizedString(id, 1040).empty());
  }
  SUBCASE("a regional German id, as this platform matches it") {
    // Wine falls back from 1031 to the neutral German block stored under 7.
    CHECK(GetRequirementText(1031) == GetRequirementText(7));
    CHECK(GetRequirementText(1031) != kEnglish136);
  }
  SUBCASE("language 0 and a language id with bits above 16 are used as 16 bits") {
    CHECK(GetOkText(0x10000 + 1038) == L"Rendben");
    CHECK_FALSE(GetRequirementText(0).empty());
  }
}

TEST_CASE("ids out of range and texts longer than the buffer") {
  wchar_t buffer[kLocalizedStringUnits];
  std::fill(buffer, buffer + kLocalizedStringUnits, L'#');
  ::SetLastError(0);
  CHECK(LoadStringForLanguage(1048560, buffer, 2057) == 0);
  CHECK(::GetLastError() == ERROR_RESOURCE_NAME_NOT_FOUND);
  CHECK(LoadStringForLanguage(0xFFFFFFFF, buffer, 2057) == 0);
  CHECK(LoadStringForLanguage(1048559, buffer, 2057) == 0);  // block 65,535: none stored
  CHECK(LoadStringForLanguage(IDS_IE8_REQUIRED, buffer, 1055) == 0);
  CHECK(buffer[0] == L'#');  // untouched when nothing is found

  // Stored with 5,000 units; comes back as its first 4,095 and a terminator.
  CHECK(LoadStringForLanguage(IDS_TEST_LONG_TEXT, buffer, 2057) == 4095);
  CHECK(buffer[4095] == L'\0');
  CHECK(std::wstring(buffer, 4) == L"0123");
  CHECK(buffer[4094] == L"0123456789"[4094 % 10]);
  CHECK(GetLocalizedString(IDS_TEST_LONG_TEXT, 1040).size() == 4095);
}

TEST_CASE("the placeholder repair turns every s% into %s") {
  CHECK(RepairPlaceholder(L"Click 's%' now") == L"Click '%s' now");
  CHECK(RepairPlaceholder(L"s%s%") == L"%s%s");
  CHECK(RepairPlaceholder(L"100%s") == L"100%s");
  CHECK(RepairPlaceholder(L"") == L"");
}
