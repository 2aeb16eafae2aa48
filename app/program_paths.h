// Paths derived from the program file's own location.
#pragma once

#include <string>

// The program file's full path as the platform reports it into a buffer of maxChars characters
// (cut to fit), or the empty text when it cannot be read.
std::wstring ReadProgramFilePath(size_t maxChars);

// The folder of the program file, with no trailing backslash.
std::wstring GetProgramDirectory();

// The settings file: the program's full path in upper case, with every ".EXE" made ".INI"
// (C:\Setup\Brantel.exe reads C:\SETUP\BRANTEL.INI).
std::wstring GetSettingsFilePath();

// The text rule behind GetSettingsFilePath, for any program path.
std::wstring SettingsPathFor(std::wstring programPath);
