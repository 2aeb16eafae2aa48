#include <windows.h>

#include <string>

#include "app/reg_value_reader.h"
#include "app/system_probes.h"
#include "framework/unique_handle.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

const std::wstring kTestKey = L"SOFTWARE\\BrantelReaderTest";
const std::wstring kOtherKey = L"SOFTWARE\\BrantelReaderTest\\Other";
// Everyone may do anything but write values or create subkeys.
constexpr const wchar_t* kDenyWrite = L"D:(D;;0x6;;;WD)(A;;KA;;;WD)";

}  // namespace

TEST_CASE("ReadText returns short strings as stored and the default for anything else") {
  Machine machine;
  machine.SetString(kTestKey, L"sz", L"8.0.6001.18702");
  machine.SetString(kTestKey, L"expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
  machine.SetString(kTestKey, L"empty", L"");
  machine.SetString(kTestKey, L"max", std::wstring(126, L'm'));
  machine.SetString(kTestKey, L"over", std::wstring(127, L'o'));
  machine.SetDword(kTestKey, L"number", 8);
  machine.SetBinary(kTestKey, L"multi", REG_MULTI_SZ, std::string("a\0\0\0\0\0", 6));
  machine.SetBinary(kTestKey, L"unterminated", REG_SZ, std::string("a\0b\0c\0", 6));
  machine.SetBinary(kTestKey, L"oddsize", REG_SZ, std::string("a\0b\0c", 5));
  machine.SetBinary(kTestKey, L"innernul", REG_SZ, std::string("a\0\0\0c\0\0\0", 8));

  CRegValueReader reader(HKEY_LOCAL_MACHINE);
  REQUIRE(reader.SelectKey(ToCString(kTestKey), false));
  CHECK(reader.ReadText(L"sz", L"-1") == L"8.0.6001.18702");
  CHECK(reader.ReadText(L"expand", L"-1") == L"%SystemRoot%\\x");
  CHECK(reader.ReadText(L"empty", L"-1") == L"");
  CHECK(reader.ReadText(L"max", L"-1") == std::wstring(126, L'm'));
  CHECK(reader.ReadText(L"over", L"-1") == L"-1");
  CHECK(reader.LastStatus() == ERROR_MORE_DATA);
  CHECK(reader.ReadText(L"number", L"-1") == L"-1");
  CHECK(reader.ReadText(L"multi", L"-1") == L"-1");
  CHECK(reader.ReadText(L"missing", L"-1") == L"-1");
  CHECK(reader.ReadText(L"unterminated", L"-1") == L"abc");
  CHECK(reader.ReadText(L"oddsize", L"-1") == L"ab");
  CHECK(reader.ReadText(L"innernul", L"-1") == L"a");
  CHECK(reader.GetValueType(L"number") == REG_DWORD);
  CHECK(reader.GetValueType(L"missing") == 0);
}

TEST_CASE("SelectKey keeps the previous key when a new one cannot be opened") {
  Machine machine;
  machine.SetString(kTestKey, L"v", L"outer");
  machine.SetString(kOtherKey, L"v", L"inner");
  CRegValueReader reader(HKEY_LOCAL_MACHINE);
  REQUIRE(reader.SelectKey(ToCString(kTestKey), false));
  CHECK_FALSE(reader.SelectKey(L"SOFTWARE\\BrantelReaderTest\\Missing", false));
  CHECK(reader.LastStatus() == ERROR_FILE_NOT_FOUND);
  CHECK(reader.ReadText(L"v", L"-1") == L"outer");
  REQUIRE(reader.SelectKey(ToCString(kOtherKey), false));
  CHECK(reader.ReadText(L"v", L"-1") == L"inner");
  // The empty path selects nothing: values are then read from the root key itself.
  CHECK(reader.SelectKey(L"", false));
  CHECK(reader.ReadText(L"v", L"-1") == L"-1");
}

TEST_CASE("a key that denies writing is still read") {
  Machine machine;
  machine.SetString(kTestKey, L"v", L"readable");
  KeySecurity denyWrite(kTestKey, kDenyWrite);
  // The platform enforces the descriptor: full access is refused.
  ScopedRegKey full;
  REQUIRE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_ALL_ACCESS,
                          full.receive()) == ERROR_ACCESS_DENIED);

  CRegValueReader reader(HKEY_LOCAL_MACHINE);
  REQUIRE(reader.SelectKey(ToCString(kTestKey), false));
  CHECK(reader.ReadText(L"v", L"-1") == L"readable");
}

TEST_CASE("the browser probe reads the major version before the first dot") {
  struct Case {
    const wchar_t* version;
    bool installed;
  };
  const Case cases[] = {
      {L"8.0.6001.18702", true},
      {L"7.0.6000.16386", false},
      {L"11.0.9600.16384", true},
      {L"9.11.9600.17843", true},
      {L"8", false},
      {L" 8.0", true},
      {L"", false},
      {L".8", false},
      {L"-9.0", false},
      {L"abc.1", false},
      {L"08.0", true},
  };
  for (const Case& c : cases) {
    CAPTURE(std::wstring(c.version));
    Machine machine;
    machine.SetBrowserVersion(c.version);
    CHECK(IsIE8Installed() == c.installed);
  }

  Machine machine;
  SUBCASE("a number-typed version is not read") {
    machine.SetDword(Machine::kBrowserKey, L"Version", 11);
    CHECK_FALSE(IsIE8Installed());
  }
  SUBCASE("a missing version means not installed") {
    machine.DeleteValue(Machine::kBrowserKey, L"Version");
    CHECK_FALSE(IsIE8Installed());
  }
  SUBCASE("a version too long to read means not installed") {
    machine.SetBrowserVersion(L"11.0" + std::wstring(123, L'0'));
    CHECK_FALSE(IsIE8Installed());
  }
  SUBCASE("a caller that may not write the key still sees the browser") {
    machine.SetBrowserVersion(L"11.0.9600.16384");
    KeySecurity denyWrite(Machine::kBrowserKey, kDenyWrite);
    CHECK(IsIE8Installed());
  }
}

TEST_CASE("the device probe counts any readable text but \"-1\"") {
  Machine machine;
  SUBCASE("no product key") { CHECK_FALSE(IsEmbeddedDevice()); }
  SUBCASE("first key missing, second holds 1") {
    machine.SetEmbedded(L"Tirnavel", L"1");
    CHECK(IsEmbeddedDevice());
  }
  SUBCASE("only the third key") {
    machine.SetEmbedded(L"Osmundra", L"yes");
    CHECK(IsEmbeddedDevice());
  }
  SUBCASE("all three hold -1") {
    machine.SetEmbedded(L"Haldry", L"-1");
    machine.SetEmbedded(L"Tirnavel", L"-1");
    machine.SetEmbedded(L"Osmundra", L"-1");
    CHECK_FALSE(IsEmbeddedDevice());
  }
  SUBCASE("0 and the empty text count") {
    machine.SetEmbedded(L"Haldry", L"0");
    CHECK(IsEmbeddedDevice());
    machine.SetEmbedded(L"Haldry", L"");
    CHECK(IsEmbeddedDevice());
  }
  SUBCASE("a number, a 200-character text and a key without the value do not count") {
    machine.SetDword(Machine::ProductKey(L"Haldry"), L"Xp_Embedded", 1);
    machine.SetEmbedded(L"Tirnavel", std::wstring(200, L'1'));
    machine.SetString(Machine::ProductKey(L"Osmundra"), L"Other", L"1");
    CHECK_FALSE(IsEmbeddedDevice());
  }
  SUBCASE("a key that denies writing still counts") {
    machine.SetEmbedded(L"Haldry", L"1");
    KeySecurity denyWrite(Machine::ProductKey(L"Haldry"), kDenyWrite);
    CHECK(IsEmbeddedDevice());
  }
}
