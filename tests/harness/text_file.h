// Whole-file text helpers for test programs: UTF-8 on disk, UTF-16 in memory.
#pragma once

#include <string>

bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool AppendFileBytes(const std::wstring& path, const std::string& bytes);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

bool ReadUtf8File(const std::wstring& path, std::wstring& text);
bool WriteUtf8File(const std::wstring& path, const std::wstring& text);
bool AppendUtf8File(const std::wstring& path, const std::wstring& text);
