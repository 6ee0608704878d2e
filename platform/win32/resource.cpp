// The system's icons and cursors. Handles only identify them: SDL windows show the window manager's icon
// and SDL's default arrow cursor whatever the class names.
#include <windows.h>

namespace {

constexpr ULONG_PTR kFirstSystemResource = 32512;  // IDI_APPLICATION, IDC_ARROW
constexpr ULONG_PTR kLastSystemResource = 32650;   // IDC_HAND and the other system cursors

// One handle per system resource id, stable for the life of the process.
HICON__ g_systemResources[kLastSystemResource - kFirstSystemResource + 1];

// The executable has no resources of its own, so only the system's (null instance, numeric id) exist.
HICON SystemResource(HINSTANCE hInstance, LPCWSTR name) {
  const ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
  if (hInstance != nullptr || id < kFirstSystemResource || id > kLastSystemResource) return nullptr;
  return &g_systemResources[id - kFirstSystemResource];
}

}  // namespace

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) { return SystemResource(hInstance, lpIconName); }

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  return SystemResource(hInstance, lpCursorName);
}
