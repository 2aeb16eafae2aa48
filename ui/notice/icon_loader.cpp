#include "ui/notice/icon_loader.h"

#include <initializer_list>

#include "app/program_paths.h"
#include "framework/gdi.h"
#include "framework/system_library.h"

namespace {

constexpr wchar_t kMediaFolder[] = L"\\data\\vorn\\";
constexpr int kIconSize = 64;  // at 96 dots per inch
// The largest image of the program's icon that Windows XP can read: the larger one is stored
// PNG-compressed, which only Windows Vista and later read.
constexpr int kLargestClassicImage = 96;

bool Exists(const CString& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An icon of the size from the module's resource, or from a file when module is null. Where the
// common controls have it (Windows Vista on), the image is the one made for that size or a larger
// one scaled down, never a smaller one scaled up; elsewhere the platform's nearest image, and for a
// size past the images XP can read, the largest it can.
HICON Load(HINSTANCE module, const wchar_t* name, int size) {
  using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  const auto scaleDown = GetLibraryFunction<LoadIconWithScaleDownFn>(
      ::GetModuleHandleW(L"comctl32.dll"), "LoadIconWithScaleDown");
  HICON icon = nullptr;
  if (scaleDown != nullptr && SUCCEEDED(scaleDown(module, name, size, size, &icon))) return icon;
  const UINT flags = module == nullptr ? LR_LOADFROMFILE : 0;
  icon = static_cast<HICON>(::LoadImageW(module, name, IMAGE_ICON, size, size, flags));
  if (icon != nullptr || size <= kLargestClassicImage) return icon;
  return static_cast<HICON>(
      ::LoadImageW(module, name, IMAGE_ICON, kLargestClassicImage, kLargestClassicImage, flags));
}

int IconSizeForDpi(int dpi) {
  return dpi > kDefaultDpi ? ::MulDiv(kIconSize, dpi, kDefaultDpi) : kIconSize;
}

}  // namespace

HICON LoadIconImage(const CString& fileName, UINT resourceId, int dpi) {
  const CString oneUp = GetParentDirectory(GetModuleDirectory());
  const CString twoUp = GetParentDirectory(oneUp);
  const int size = IconSizeForDpi(dpi);
  for (const CString* folder : {&oneUp, &twoUp}) {
    const CString candidate = *folder + kMediaFolder + fileName;
    if (Exists(candidate)) return Load(nullptr, candidate.c_str(), size);
  }
  return Load(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(LOWORD(resourceId)), size);
}
