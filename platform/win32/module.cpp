// Modules: the executable is the only one known.
#include <windows.h>

namespace {

HINSTANCE__ g_executable;

}  // namespace

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) { return lpModuleName == nullptr ? &g_executable : nullptr; }
