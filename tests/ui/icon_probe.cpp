// Loads the notice icon as the program does, from wherever this copy of the probe stands, and
// exits with what it got: 0 for no icon, 1 for an icon that is not 64 x 64, otherwise
// 0x01000000 | the centre pixel's 0x00RRGGBB.
//   icon_probe          the icon LoadIconImage finds
//   icon_probe resource the program's icon resource, loaded directly
#include <windows.h>

#include <cstring>
#include <vector>

#include "res/resource.h"
#include "ui/icon_loader.h"

namespace {

DWORD Describe(HICON icon) {
  if (icon == nullptr) return 0;
  ICONINFO info = {};
  if (!::GetIconInfo(icon, &info)) return 1;
  BITMAP bitmap = {};
  ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
  DWORD result = 1;
  if (bitmap.bmWidth == 64 && bitmap.bmHeight == 64) {
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 64;
    format.bmiHeader.biHeight = -64;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(64 * 64);
    HDC screen = ::GetDC(nullptr);
    if (::GetDIBits(screen, info.hbmColor, 0, 64, pixels.data(), &format, DIB_RGB_COLORS) == 64) {
      result = 0x01000000 | (pixels[32 * 64 + 32] & 0x00FFFFFF);
    }
    ::ReleaseDC(nullptr, screen);
  }
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  HICON icon =
      argc > 1 && std::strcmp(argv[1], "resource") == 0
          ? static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                            MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON, 64, 64, 0))
          : LoadIconImage(L"Internet_64_A.ico", IDI_APP_ICON);
  const DWORD result = Describe(icon);
  if (icon != nullptr) ::DestroyIcon(icon);
  return static_cast<int>(result);
}
