#include "process/file_version_info.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "framework/system_library.h"

namespace {

// Not a KnownDLL: loaded by full path from the system folder, never imported.
constexpr wchar_t kVersionLibrary[] = L"version.dll";

constexpr wchar_t kRootBlock[] = L"\\";
constexpr wchar_t kTranslationBlock[] = L"\\VarFileInfo\\Translation";
constexpr wchar_t kStringTableBlock[] = L"\\StringFileInfo\\";

constexpr LANGID kNeutralLanguage = 0;
constexpr LANGID kEnglishNeutral = 9;  // English, neutral sub-language
constexpr LANGID kLowByteMask = 0xFF;
constexpr size_t kTranslationBytes = 4;

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed block is copied as 52 bytes");

using GetFileVersionInfoSizeWFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoWFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueWFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

// The three functions of version.dll, for the length of one read.
class VersionLibrary {
 public:
  VersionLibrary()
      : module_(LoadSystemLibrary(kVersionLibrary)),
        getSize_(GetLibraryFunction<GetFileVersionInfoSizeWFn>(module_, "GetFileVersionInfoSizeW")),
        getInfo_(GetLibraryFunction<GetFileVersionInfoWFn>(module_, "GetFileVersionInfoW")),
        query_(GetLibraryFunction<VerQueryValueWFn>(module_, "VerQueryValueW")) {}

  bool Loaded() const { return getSize_ != nullptr && getInfo_ != nullptr && query_ != nullptr; }

  DWORD GetSize(const CString& fileName, DWORD& handle) const {
    return getSize_(fileName.c_str(), &handle);
  }
  bool GetInfo(const CString& fileName, DWORD handle, BYTE* data, DWORD size) const {
    return getInfo_(fileName.c_str(), handle, size, data) != 0;
  }
  // VerQueryValueW may convert a value into the spare room that GetFileVersionInfoSizeW adds
  // after the data, so the buffer is handed over as writable.
  bool Query(BYTE* data, const wchar_t* subBlock, const BYTE*& value, UINT& length) const {
    void* pointer = nullptr;
    length = 0;
    if (!query_(data, subBlock, &pointer, &length) || pointer == nullptr) return false;
    value = static_cast<const BYTE*>(pointer);
    return true;
  }

 private:
  ScopedModule module_;
  GetFileVersionInfoSizeWFn getSize_;
  GetFileVersionInfoWFn getInfo_;
  VerQueryValueWFn query_;
};

// The version data of one file. Every value is checked against the data's bounds, because the
// platform hands back pointers and lengths taken from the file as they stand.
class VersionData {
 public:
  explicit VersionData(const VersionLibrary& library) : library_(library) {}

  // False also when a buffer of the size the file claims cannot be had.
  bool Read(const CString& fileName) {
    DWORD handle = 0;
    const DWORD size = library_.GetSize(fileName, handle);
    if (size == 0) return false;
    data_.reset(new (std::nothrow) BYTE[size]());
    if (!data_) return false;
    size_ = size;
    return library_.GetInfo(fileName, handle, data_.get(), size);
  }

  // The value at subBlock and the number of its bytes that lie inside the data.
  bool Query(const wchar_t* subBlock, const BYTE*& value, size_t& bytesInside,
             UINT& reportedLength) {
    if (!data_ || !library_.Query(data_.get(), subBlock, value, reportedLength)) return false;
    // Compared as addresses: a pointer from elsewhere is not part of the buffer's array.
    const uintptr_t begin = reinterpret_cast<uintptr_t>(data_.get());
    const uintptr_t end = begin + size_;
    const uintptr_t at = reinterpret_cast<uintptr_t>(value);
    if (at < begin || at > end) return false;
    bytesInside = end - at;
    return true;
  }

  bool QueryFixedInfo(VS_FIXEDFILEINFO& fixedInfo) {
    const BYTE* value = nullptr;
    size_t inside = 0;
    UINT length = 0;
    if (!Query(kRootBlock, value, inside, length)) return false;
    if (length != sizeof(VS_FIXEDFILEINFO) || inside < sizeof(VS_FIXEDFILEINFO)) return false;
    std::memcpy(&fixedInfo, value, sizeof(VS_FIXEDFILEINFO));
    return true;
  }

  // The translation list's length is in bytes; entries that run past the data are dropped.
  CArray<CFileVersionInfo::Translation> QueryTranslations() {
    CArray<CFileVersionInfo::Translation> translations;
    const BYTE* value = nullptr;
    size_t inside = 0;
    UINT length = 0;
    if (!Query(kTranslationBlock, value, inside, length)) return translations;
    const size_t bytes = length < inside ? length : inside;
    for (size_t at = 0; at + kTranslationBytes <= bytes; at += kTranslationBytes) {
      CFileVersionInfo::Translation entry = 0;  // little-endian, as the target is
      std::memcpy(&entry, value + at, kTranslationBytes);
      translations.push_back(entry);
    }
    return translations;
  }

  // A text value read up to its terminator; the reported length is not relied on. A text whose
  // terminator would lie past the data ends where the data ends.
  bool QueryText(const CString& subBlock, CString& text) {
    const BYTE* value = nullptr;
    size_t inside = 0;
    UINT length = 0;
    if (!Query(subBlock.c_str(), value, inside, length)) return false;
    CString read;
    for (size_t at = 0; at + sizeof(wchar_t) <= inside; at += sizeof(wchar_t)) {
      wchar_t unit = 0;
      std::memcpy(&unit, value + at, sizeof(wchar_t));
      if (unit == L'\0') break;
      read += unit;
    }
    text = std::move(read);
    return true;
  }

 private:
  const VersionLibrary& library_;
  std::unique_ptr<BYTE[]> data_;
  size_t size_ = 0;
};

LANGID LanguageOf(CFileVersionInfo::Translation translation) { return LOWORD(translation); }

void AppendHex4(CString& text, WORD value) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
}

}  // namespace

CFileVersionInfo::CFileVersionInfo() { CFileVersionInfo::Reset(); }

CFileVersionInfo::~CFileVersionInfo() = default;

void CFileVersionInfo::Reset() {
  std::memset(&m_fixedInfo, 0, sizeof(m_fixedInfo));
  m_strCompanyName.clear();
  m_strFileDescription.clear();
  m_strFileVersion.clear();
  m_strInternalName.clear();
  m_strLegalCopyright.clear();
  m_strOriginalFileName.clear();
  m_strProductName.clear();
  m_strProductVersion.clear();
  m_strComments.clear();
  m_strLegalTrademarks.clear();
  m_strPrivateBuild.clear();
  m_strSpecialBuild.clear();
}

bool CFileVersionInfo::Create(const CString& fileName) {
  // A virtual call, so that a derived class's own state is cleared as well.
  Reset();

  // Read in this order; note "OriginalFileName" with a capital N.
  struct TextKey {
    const wchar_t* key;
    CString CFileVersionInfo::*member;
  };
  static const TextKey kTextKeys[] = {
      {L"CompanyName", &CFileVersionInfo::m_strCompanyName},
      {L"FileDescription", &CFileVersionInfo::m_strFileDescription},
      {L"FileVersion", &CFileVersionInfo::m_strFileVersion},
      {L"InternalName", &CFileVersionInfo::m_strInternalName},
      {L"LegalCopyright", &CFileVersionInfo::m_strLegalCopyright},
      {L"OriginalFileName", &CFileVersionInfo::m_strOriginalFileName},
      {L"ProductName", &CFileVersionInfo::m_strProductName},
      {L"ProductVersion", &CFileVersionInfo::m_strProductVersion},
      {L"Comments", &CFileVersionInfo::m_strComments},
      {L"LegalTrademarks", &CFileVersionInfo::m_strLegalTrademarks},
      {L"PrivateBuild", &CFileVersionInfo::m_strPrivateBuild},
      {L"SpecialBuild", &CFileVersionInfo::m_strSpecialBuild},
  };

  const VersionLibrary library;
  if (!library.Loaded()) return false;
  // The data buffer lives in this scope only and is released on every path out of it.
  VersionData data(library);
  if (!data.Read(fileName)) return false;

  // A root block of any other size than the structure's is not one; the block stays zero.
  data.QueryFixedInfo(m_fixedInfo);

  Translation chosen = 0;
  if (!ChooseTranslation(data.QueryTranslations(), ::GetUserDefaultLangID(), chosen)) {
    return true;  // no translation list, or an empty one: no string table to choose
  }
  const CString prefix = StringTablePrefix(chosen);
  for (const TextKey& text : kTextKeys) data.QueryText(prefix + text.key, this->*text.member);
  return true;
}

CString CFileVersionInfo::GetInternalName() const { return m_strInternalName; }

bool CFileVersionInfo::FindTranslation(const CArray<Translation>& translations, LANGID language,
                                       bool alsoLowByte, Translation& found) {
  for (const Translation entry : translations) {
    if (LanguageOf(entry) == language) {
      found = entry;
      return true;
    }
  }
  if (!alsoLowByte) return false;
  for (const Translation entry : translations) {
    if ((LanguageOf(entry) & kLowByteMask) == (language & kLowByteMask)) {
      found = entry;
      return true;
    }
  }
  return false;
}

bool CFileVersionInfo::ChooseTranslation(const CArray<Translation>& translations,
                                         LANGID userLanguage, Translation& chosen) {
  // Each search tries the exact language over the whole list before any low-byte match.
  if (FindTranslation(translations, userLanguage, true, chosen) ||
      FindTranslation(translations, kNeutralLanguage, true, chosen) ||
      FindTranslation(translations, kEnglishNeutral, true, chosen)) {
    return true;
  }
  if (translations.empty()) return false;
  chosen = translations[0];
  return true;
}

CString CFileVersionInfo::StringTablePrefix(Translation translation) {
  CString prefix = kStringTableBlock;
  AppendHex4(prefix, LanguageOf(translation));
  AppendHex4(prefix, HIWORD(translation));
  return prefix + L"\\";
}
