// Where the notice icon comes from, with copies of a probe program placed in prepared folders.
#include <windows.h>

#include <cstring>
#include <string>

#include "app/program_paths.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

// A one-image icon file of one colour, 64 x 64, 32 bits per pixel.
std::string SolidIcon(DWORD rgb) {
  constexpr int kSize = 64;
  std::string pixels;
  for (int i = 0; i < kSize * kSize; ++i) {
    const char bgra[4] = {static_cast<char>(rgb & 0xFF), static_cast<char>((rgb >> 8) & 0xFF),
                          static_cast<char>((rgb >> 16) & 0xFF), static_cast<char>(0xFF)};
    pixels.append(bgra, 4);
  }
  const std::string mask(kSize * kSize / 8, '\0');
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = kSize;
  header.biHeight = kSize * 2;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biSizeImage = static_cast<DWORD>(pixels.size() + mask.size());
  const DWORD imageSize = static_cast<DWORD>(sizeof(header) + pixels.size() + mask.size());
  std::string file;
  auto put = [&file](const void* data, size_t size) {
    file.append(static_cast<const char*>(data), size);
  };
  const WORD directory[3] = {0, 1, 1};
  put(directory, sizeof(directory));
  const BYTE entry[4] = {kSize, kSize, 0, 0};
  put(entry, sizeof(entry));
  const WORD planesAndBits[2] = {1, 32};
  put(planesAndBits, sizeof(planesAndBits));
  const DWORD sizeAndOffset[2] = {imageSize, 6 + 16};
  put(sizeAndOffset, sizeof(sizeAndOffset));
  put(&header, sizeof(header));
  file += pixels;
  file += mask;
  return file;
}

constexpr DWORD kRed = 0xFF0000;
constexpr DWORD kGreen = 0x00FF00;
constexpr DWORD kBlue = 0x0000FF;
constexpr DWORD Loaded(DWORD rgb) { return 0x01000000 | rgb; }

// <sandbox>\media\kit\icon_probe.exe: "kit" is the program's folder, "media" one level up and
// the sandbox two levels up.
struct Media {
  Sandbox box{L"icon"};
  std::wstring twoUp = box.Path();
  std::wstring oneUp = twoUp + L"\\media";
  std::wstring own = oneUp + L"\\kit";
  std::wstring probe = own + L"\\icon_probe.exe";

  Media() {
    REQUIRE(::CreateDirectoryW(oneUp.c_str(), nullptr));
    REQUIRE(::CreateDirectoryW(own.c_str(), nullptr));
    REQUIRE(::CopyFileW((BuildDirectory() + L"\\icon_probe.exe").c_str(), probe.c_str(), FALSE));
  }
  std::wstring IconPath(const std::wstring& level) const {
    const std::wstring folder = level + L"\\data\\vorn";
    ::CreateDirectoryW((level + L"\\data").c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\Internet_64_A.ico";
  }
  void PutIcon(const std::wstring& level, DWORD rgb) const {
    REQUIRE(WriteFileBytes(IconPath(level), SolidIcon(rgb)));
  }
  DWORD Run(const wchar_t* args = L"") const { return RunAndWait(probe, args); }
};

}  // namespace

TEST_CASE("the icon one level above the program wins over the one two levels above") {
  Media media;
  media.PutIcon(media.oneUp, kRed);
  media.PutIcon(media.twoUp, kGreen);
  CHECK(media.Run() == Loaded(kRed));
}

TEST_CASE("two levels above is the second place looked in") {
  Media media;
  media.PutIcon(media.twoUp, kGreen);
  CHECK(media.Run() == Loaded(kGreen));
}

TEST_CASE("without a media icon the resource icon is used") {
  Media media;
  media.PutIcon(media.own, kBlue);  // inside the program's own folder: never looked in
  const DWORD resource = media.Run(L"resource");
  REQUIRE((resource & 0x01000000) != 0);
  CHECK(media.Run() == resource);
  CHECK(resource != Loaded(kBlue));
}

TEST_CASE("a candidate that exists but is no icon gives no icon at all") {
  Media media;
  media.PutIcon(media.twoUp, kGreen);
  SUBCASE("damaged file") {
    REQUIRE(WriteFileBytes(media.IconPath(media.oneUp), "not an icon"));
    CHECK(media.Run() == 0);
  }
  SUBCASE("a folder of that name") {
    REQUIRE(::CreateDirectoryW(media.IconPath(media.oneUp).c_str(), nullptr));
    CHECK(media.Run() == 0);
  }
}

TEST_CASE("parent folders of paths") {
  CHECK(GetParentDirectory(L"D:\\kit\\ie") == L"D:\\kit");
  CHECK(GetParentDirectory(L"D:\\kit") == L"D:");
  CHECK(GetParentDirectory(L"D:") == L"");
  CHECK(GetParentDirectory(L"") == L"");
  CHECK(GetParentDirectory(L"\\\\server\\share\\kit") == L"\\\\server\\share");
}
