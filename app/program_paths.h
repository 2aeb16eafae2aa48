// Paths derived from the program file's own location.
#pragma once

#include "framework/cstring.h"

// The program file's full path as the platform reports it into a buffer of maxChars characters
// (cut to fit), or the empty text when it cannot be read.
CString ReadProgramFilePath(size_t maxChars);

// The text before the path's last backslash; the empty text when it has none.
CString GetParentDirectory(const CString& path);

// The folder of the program file, with no trailing backslash: read with room for 4,096
// characters (GetProgramDirectory) or 1,024 (GetModuleDirectory).
CString GetProgramDirectory();
CString GetModuleDirectory();

// The settings file: the program's full path in upper case, with its final ".EXE" made ".INI"
// (C:\Setup\Brantel.exe reads C:\SETUP\BRANTEL.INI; C:\Kit.exe files\Brantel.exe reads
// C:\KIT.EXE FILES\BRANTEL.INI).
CString GetSettingsFilePath();

// A value of section "IE" of the settings file, cut to 4,095 characters; defaultValue when the
// file, the section or the key is missing (a key present and empty gives the empty text).
CString ReadSetting(const wchar_t* key, const wchar_t* defaultValue);

// The text rule behind GetSettingsFilePath, for any program path.
CString SettingsPathFor(CString programPath);
