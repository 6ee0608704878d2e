// Modules and the program's entry point.
#pragma once

#include <windef.h>

// The handle of a loaded module. Only a null name is known here: it gives the executable's own handle,
// which is also the hInstance WinMain receives. Any other name gives null (no such module loaded).
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);

// The program's entry point. On Linux, platform/entry/main.cpp calls it as Windows' start-up code would.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);
