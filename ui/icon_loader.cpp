#include "ui/icon_loader.h"

#include "app/program_paths.h"

namespace {

constexpr wchar_t kMediaFolder[] = L"\\data\\vorn\\";
constexpr int kIconSize = 64;

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HICON LoadIconFile(const std::wstring& path) {
  return static_cast<HICON>(
      ::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, kIconSize, kIconSize, LR_LOADFROMFILE));
}

}  // namespace

HICON LoadIconImage(const std::wstring& fileName, UINT resourceId) {
  const std::wstring oneUp = GetParentDirectory(GetModuleDirectory());
  const std::wstring twoUp = GetParentDirectory(oneUp);
  for (const std::wstring& folder : {oneUp, twoUp}) {
    const std::wstring candidate = folder + kMediaFolder + fileName;
    if (Exists(candidate)) return LoadIconFile(candidate);
  }
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(LOWORD(resourceId)), IMAGE_ICON,
                                         kIconSize, kIconSize, 0));
}
