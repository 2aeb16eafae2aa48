// A program that uses user32 and nothing of version.dll; exits 0.
#include <windows.h>

int wmain() {
  wchar_t text[] = L"brantel";
  ::CharUpperW(text);
  return text[0] == L'B' ? 0 : 1;
}
