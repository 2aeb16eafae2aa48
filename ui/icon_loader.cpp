#include "ui/icon_loader.h"

#include <initializer_list>

#include "app/program_paths.h"

namespace {

constexpr wchar_t kMediaFolder[] = L"\\data\\vorn\\";
constexpr int kIconSize = 64;

bool Exists(const CString& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HICON LoadIconFile(const CString& path) {
  return static_cast<HICON>(
      ::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, kIconSize, kIconSize, LR_LOADFROMFILE));
}

}  // namespace

HICON LoadIconImage(const CString& fileName, UINT resourceId) {
  const CString oneUp = GetParentDirectory(GetModuleDirectory());
  const CString twoUp = GetParentDirectory(oneUp);
  for (const CString* folder : {&oneUp, &twoUp}) {
    const CString candidate = *folder + kMediaFolder + fileName;
    if (Exists(candidate)) return LoadIconFile(candidate);
  }
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(LOWORD(resourceId)), IMAGE_ICON,
                                         kIconSize, kIconSize, 0));
}
