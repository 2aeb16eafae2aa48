#include "ui/icon_loader.h"

#include <initializer_list>

#include "app/program_paths.h"

namespace {

constexpr wchar_t kMediaFolder[] = L"\\data\\vorn\\";
constexpr int kIconSize = 64;  // at 96 dots per inch
constexpr int kBaseDpi = 96;

bool Exists(const CString& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The icon keeps its size next to the dialog's texts, which grow with the system's dots per inch:
// the manifest declares the program aware of that scaling, so Windows no longer stretches the
// notice as a bitmap (XP never does).
int ScaledIconSize() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > kBaseDpi ? ::MulDiv(kIconSize, dpi, kBaseDpi) : kIconSize;
}

}  // namespace

HICON LoadIconImage(const CString& fileName, UINT resourceId) {
  const CString oneUp = GetParentDirectory(GetModuleDirectory());
  const CString twoUp = GetParentDirectory(oneUp);
  const int size = ScaledIconSize();
  for (const CString* folder : {&oneUp, &twoUp}) {
    const CString candidate = *folder + kMediaFolder + fileName;
    if (Exists(candidate)) {
      return static_cast<HICON>(
          ::LoadImageW(nullptr, candidate.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
    }
  }
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(LOWORD(resourceId)), IMAGE_ICON, size,
                                         size, 0));
}
