// The version resource of a program file: its fixed block and twelve standard texts, taken from
// the string table whose language best fits the current user.
#pragma once

#include <windows.h>

#include "framework/carray.h"
#include "framework/cstring.h"

class CFileVersionInfo {
 public:
  // One entry of "\VarFileInfo\Translation": the language identifier in the low 16 bits, the
  // code page in the high 16 bits.
  using Translation = DWORD;

  CFileVersionInfo();
  virtual ~CFileVersionInfo();

  // Zeroes the fixed block and empties the twelve texts.
  virtual void Reset();

  // Reads the version resource of fileName into the members, after a Reset. True when the version
  // data could be read, whether or not any text was found; false otherwise, with the object left
  // empty. A file without a translation list (or with an empty one) gives true and no texts.
  // Nothing outside the version data is ever read, whatever the resource holds.
  bool Create(const CString& fileName);

  CString GetInternalName() const;

  // Scans translations from the first for the language; with alsoLowByte, when no entry has that
  // exact language, scans again for the first whose language has the same low 8 bits (the low
  // byte, not the 10-bit primary language). Leaves found alone when nothing matches.
  static bool FindTranslation(const CArray<Translation>& translations, LANGID language,
                              bool alsoLowByte, Translation& found);

  // The entry read for userLanguage, by the first rule that finds one: the same language, the
  // same low byte, language 0, low byte 0, language 9 (English), low byte 9, else the first entry.
  // False, with chosen left alone, only for an empty list.
  static bool ChooseTranslation(const CArray<Translation>& translations, LANGID userLanguage,
                                Translation& chosen);

  // "\StringFileInfo\LLLLCCCC\": language then code page as upper-case hexadecimal digits.
  static CString StringTablePrefix(Translation translation);

 protected:
  VS_FIXEDFILEINFO m_fixedInfo;
  CString m_strCompanyName;
  CString m_strFileDescription;
  CString m_strFileVersion;
  CString m_strInternalName;
  CString m_strLegalCopyright;
  CString m_strOriginalFileName;
  CString m_strProductName;
  CString m_strProductVersion;
  CString m_strComments;
  CString m_strLegalTrademarks;
  CString m_strPrivateBuild;
  CString m_strSpecialBuild;
};
