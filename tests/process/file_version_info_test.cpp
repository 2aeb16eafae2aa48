#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "process/file_version_info.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

using Translation = CFileVersionInfo::Translation;

// The reader's members, which the program itself never reads but the fixed block and InternalName.
class VersionInfo : public CFileVersionInfo {
 public:
  bool Create(const std::wstring& fileName) {
    return CFileVersionInfo::Create(ToCString(fileName));
  }
  const VS_FIXEDFILEINFO& Fixed() const { return m_fixedInfo; }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const CString* text :
         {&m_strCompanyName, &m_strFileDescription, &m_strFileVersion, &m_strInternalName,
          &m_strLegalCopyright, &m_strOriginalFileName, &m_strProductName, &m_strProductVersion,
          &m_strComments, &m_strLegalTrademarks, &m_strPrivateBuild, &m_strSpecialBuild}) {
      texts.push_back(ToStd(*text));
    }
    return texts;
  }
  bool Empty() const {
    static const VS_FIXEDFILEINFO kZero = {};
    return std::memcmp(&m_fixedInfo, &kZero, sizeof(kZero)) == 0 &&
           Texts() == std::vector<std::wstring>(12);
  }
};

// A version file of the build (tests/process/versions), by the name of its resource script.
std::wstring VersionFile(const std::wstring& script) {
  return BuildDirectory() + L"\\version_" + script + L".exe";
}

// The string table a read chose: every table in the version files carries its key as InternalName.
std::wstring ChosenTable(const std::wstring& script) {
  VersionInfo info;
  REQUIRE(info.Create(VersionFile(script)));
  return ToStd(info.GetInternalName());
}

Translation Entry(LANGID language, WORD codePage) { return MAKELONG(language, codePage); }

constexpr WORD kUnicode = 0x04B0;
constexpr WORD kWestern = 0x04E4;

}  // namespace

TEST_CASE("the fixed block and the twelve texts of a version resource are read") {
  VersionInfo info;
  CHECK(info.Empty());
  REQUIRE(info.Create(VersionFile(L"full")));
  CHECK(info.Fixed().dwSignature == 0xFEEF04BD);
  CHECK(info.Fixed().dwFileVersionMS == 0x00010002);
  CHECK(info.Fixed().dwFileVersionLS == 0x00030004);
  CHECK(info.Fixed().dwProductVersionMS == 0x00050006);
  CHECK(info.Fixed().dwProductVersionLS == 0x00070008);
  CHECK(info.Fixed().dwFileFlags == 0x2);
  CHECK(info.Fixed().dwFileOS == 0x40004);
  CHECK(info.Texts() == std::vector<std::wstring>{L"Company text", L"Description text",
                                                  L"1, 2, 3, 4", L"FOO", L"Copyright text",
                                                  L"original.exe", L"Product text", L"5, 6, 7, 8",
                                                  L"Comments text", L"Trademarks text",
                                                  L"Private text", L"Special text"});
  CHECK(info.GetInternalName() == L"FOO");
}

TEST_CASE("a file without version data gives false and leaves nothing of an earlier read") {
  Sandbox box(L"version-none");
  box.WriteBytes(L"notes.exe", "plain text, not a program");
  const std::wstring files[] = {BuildDirectory() + L"\\recorder.exe", box.File(L"notes.exe"),
                                box.File(L"missing.exe"), L""};
  for (const std::wstring& file : files) {
    CAPTURE(file);
    VersionInfo info;
    REQUIRE(info.Create(VersionFile(L"full")));
    REQUIRE_FALSE(info.Empty());
    CHECK_FALSE(info.Create(file));
    CHECK(info.Empty());
    CHECK(info.GetInternalName().empty());
  }
}

TEST_CASE("version data without a table to read gives true, the fixed block and no texts") {
  VersionInfo info;
  SUBCASE("no string table") {
    REQUIRE(info.Create(VersionFile(L"full")));
    CHECK(info.Create(VersionFile(L"no_strings")));
    CHECK(info.Fixed().dwFileVersionMS == 0x00030001);
  }
  // These files hold a string table, but without a translation there is no rule to choose it by.
  SUBCASE("no translation list") {
    CHECK(info.Create(VersionFile(L"no_translation")));
    CHECK(info.Fixed().dwFileVersionMS == 0x00020007);
  }
  SUBCASE("an empty translation list") {
    CHECK(info.Create(VersionFile(L"empty_translation")));
    CHECK(info.Fixed().dwFileVersionMS == 0x00010006);
  }
  CHECK(info.Fixed().dwSignature == 0xFEEF04BD);
  CHECK(info.Texts() == std::vector<std::wstring>(12));
}

TEST_CASE("a read leaves neither a handle nor the version library behind") {
  // This test program's own libraries load version.dll; the helper's load nothing that would.
  const std::wstring reader = BuildDirectory() + L"\\version_reader.exe";
  CHECK(RunAndWait(reader, L"\"" + VersionFile(L"full") + L"\"") == 0);
  CHECK(RunAndWait(reader, L"\"" + VersionFile(L"no_translation") + L"\"") == 2);

  VersionInfo info;
  REQUIRE(info.Create(VersionFile(L"full")));  // once-only allocations happen here
  const DWORD before = CountOpenHandles();
  for (int i = 0; i < 10; ++i) {
    CHECK(info.Create(VersionFile(L"full")));
    CHECK(info.Create(VersionFile(L"no_translation")));
    CHECK_FALSE(info.Create(BuildDirectory() + L"\\recorder.exe"));
  }
  CHECK(CountOpenHandles() == before);
}

TEST_CASE("the translation rules, in order") {
  struct Case {
    const char* rule;
    CArray<Translation> list;
    LANGID user;
    Translation expected;
  };
  const Case cases[] = {
      {"1: the user's language, not the first entry",
       {Entry(0x0809, kUnicode), Entry(0x0409, kUnicode)},
       0x0409,
       Entry(0x0409, kUnicode)},
      {"2: the same low byte",
       {Entry(0x040A, kWestern), Entry(0x0409, kWestern)},
       0x0C0A,
       Entry(0x040A, kWestern)},
      {"2 compares the low 8 bits, not the 10-bit primary language",
       {Entry(0x0409, kUnicode), Entry(0x0110, kUnicode)},
       0x0410,
       Entry(0x0110, kUnicode)},
      {"2 before 3",
       {Entry(0x0000, kUnicode), Entry(0x0807, kUnicode)},
       0x0407,
       Entry(0x0807, kUnicode)},
      {"3: language 0",
       {Entry(0x0407, kUnicode), Entry(0x0000, kUnicode)},
       0x0410,
       Entry(0x0000, kUnicode)},
      {"3 before 4",
       {Entry(0x0400, kUnicode), Entry(0x0000, kUnicode)},
       0x0410,
       Entry(0x0000, kUnicode)},
      {"4: low byte 0",
       {Entry(0x0409, kUnicode), Entry(0x0400, kUnicode)},
       0x0410,
       Entry(0x0400, kUnicode)},
      {"4 before 5",
       {Entry(0x0009, kUnicode), Entry(0x0800, kUnicode)},
       0x0410,
       Entry(0x0800, kUnicode)},
      {"5: English, neutral sub-language",
       {Entry(0x0809, kUnicode), Entry(0x0009, kUnicode)},
       0x0410,
       Entry(0x0009, kUnicode)},
      {"6: any English, the first listed",
       {Entry(0x0407, kUnicode), Entry(0x0809, kUnicode), Entry(0x0409, kUnicode)},
       0x0410,
       Entry(0x0809, kUnicode)},
      {"6: a single English entry", {Entry(0x0409, kUnicode)}, 0x0410, Entry(0x0409, kUnicode)},
      {"7: the first entry",
       {Entry(0x0410, kWestern), Entry(0x0407, kUnicode)},
       0x040C,
       Entry(0x0410, kWestern)},
  };
  for (const Case& test : cases) {
    CAPTURE(test.rule);
    Translation chosen = 0xDEADBEEF;
    CHECK(CFileVersionInfo::ChooseTranslation(test.list, test.user, chosen));
    CHECK(chosen == test.expected);
  }

  Translation untouched = 0xDEADBEEF;
  CHECK_FALSE(CFileVersionInfo::ChooseTranslation({}, 0x0409, untouched));
  CHECK(untouched == 0xDEADBEEF);
  // Without alsoLowByte only the exact language is looked for.
  CHECK_FALSE(
      CFileVersionInfo::FindTranslation({Entry(0x0809, kUnicode)}, 0x0409, false, untouched));
  CHECK(untouched == 0xDEADBEEF);
}

TEST_CASE("the string table prefix has the language, then the code page, in upper-case hex") {
  CHECK(CFileVersionInfo::StringTablePrefix(Entry(0x040C, kWestern)) ==
        L"\\StringFileInfo\\040C04E4\\");
  CHECK(CFileVersionInfo::StringTablePrefix(Entry(0x0000, 0xFFFF)) ==
        L"\\StringFileInfo\\0000FFFF\\");
}

// The translation chosen in real files, for the user's language of each CTest entry.

TEST_CASE("an English (United States) user reads the table of the same language") {
  REQUIRE(::GetUserDefaultLangID() == 0x0409);
  CHECK(ChosenTable(L"en_gb_en_us") == L"040904B0");
  CHECK(ChosenTable(L"es_en") == L"040904E4");
  CHECK(ChosenTable(L"neutral") == L"040904B0");
  CHECK(ChosenTable(L"it") == L"041004E4");  // the first entry: no rule finds English
}

TEST_SUITE("user-language-it_IT") {
  TEST_CASE("an Italian user reads Italian, then the neutral table, then the first English one") {
    REQUIRE(::GetUserDefaultLangID() == 0x0410);
    CHECK(ChosenTable(L"it") == L"041004E4");
    CHECK(ChosenTable(L"neutral") == L"000004B0");
    CHECK(ChosenTable(L"en_us") == L"040904B0");
    CHECK(ChosenTable(L"en_gb_en_us") == L"080904B0");
  }
}

TEST_SUITE("user-language-es_ES") {
  TEST_CASE("a Spanish (modern sort) user reads the Spanish table of another sub-language") {
    REQUIRE(::GetUserDefaultLangID() == 0x0C0A);
    CHECK(ChosenTable(L"es_en") == L"040A04E4");
    CHECK(ChosenTable(L"neutral") == L"000004B0");
  }
}

TEST_SUITE("user-language-de_DE") {
  TEST_CASE("a German user reads German, and the first entry when no rule applies") {
    REQUIRE(::GetUserDefaultLangID() == 0x0407);
    CHECK(ChosenTable(L"neutral") == L"040704B0");
    CHECK(ChosenTable(L"it") == L"041004E4");
  }
}

// Run with Wine's override "version=n,b", which makes Wine look for version.dll in a program's
// own folder first, as Windows does for a library that is not a KnownDLL.
TEST_SUITE("planted-library") {
  TEST_CASE("version.dll is never taken from the program's own folder") {
    Sandbox box(L"version-planted");
    const std::wstring reader = box.InstallBuilt(L"version_reader.exe", L"version_reader.exe");
    const std::wstring planted = box.InstallBuilt(L"module_marker.dll", L"version.dll");
    const std::wstring target = box.InstallBuilt(L"version_full.exe", L"target.exe");
    std::string loads;

    CHECK(RunAndWait(reader, L"\"" + target + L"\"") == 0);
    CHECK_FALSE(ReadFileBytes(planted + L".loaded", loads));

    // A load by name, as system libraries make at run time, after the start-up's narrowing of
    // the search path: the system folder only.
    CHECK(RunAndWait(reader, L"--hardened-by-name") == 0);
    CHECK_FALSE(ReadFileBytes(planted + L".loaded", loads));

    // The same folder does hand the planted copy to a load by name: the check above can fail.
    CHECK(RunAndWait(reader, L"--by-name") == 0);
    CHECK(ReadFileBytes(planted + L".loaded", loads));
  }
}
