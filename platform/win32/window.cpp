// Window classes and windows. A window is an SDL window (SDL_WINDOW_OPENGL, for the swap chain's context)
// plus its window procedure; its HWND is a number of our own that is never reused, so a stale handle is
// simply not a window any more. Messages a window receives synchronously (WM_CREATE, WM_DESTROY,
// WM_NCDESTROY) call its procedure directly, as SendMessageW does.
#include "win32/window.h"

#include <wctype.h>

#include <map>
#include <string>
#include <vector>

#include "common/startup_trace.h"
#include "common/text.h"

namespace {

// The frame Windows 10 draws around a WS_OVERLAPPEDWINDOW at 96 dpi, as AdjustWindowRect reports it:
// an 8-pixel sizing border on each side and a 23-pixel caption above the client area. An outer size of
// 640 x 480 leaves a client area of 624 x 441.
constexpr int kSizingBorder = 8;
constexpr int kCaptionHeight = 23;

struct WindowClass {
  ATOM atom;
  std::wstring name;
  WNDCLASSEXW info;
};

struct Window {
  SDL_Window* sdlWindow;
  WNDPROC windowProc;
  ATOM classAtom;
  std::wstring title;
  bool destroying;
};

std::vector<WindowClass>& Classes() {
  static std::vector<WindowClass> classes;
  return classes;
}

std::map<HWND, Window>& Windows() {
  static std::map<HWND, Window> windows;
  return windows;
}

HWND g_lastShown = nullptr;

// Class names compare without regard to case, as on Windows.
bool SameClassName(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i) {
    if (towupper(a[i]) != towupper(b[i])) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

// A class name may also be an atom (MAKEINTATOM), a value below 0x10000 in the pointer.
const WindowClass* FindClass(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  const bool isAtom = reinterpret_cast<ULONG_PTR>(name) < 0x10000;
  for (const WindowClass& windowClass : Classes()) {
    if (isAtom ? windowClass.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
               : SameClassName(windowClass.name, name)) {
      return &windowClass;
    }
  }
  return nullptr;
}

Window* LiveWindow(HWND hWnd) {
  auto found = Windows().find(hWnd);
  return found == Windows().end() ? nullptr : &found->second;
}

HWND NewWindowHandle() {
  static ULONG_PTR next = 0x10010;
  next += 4;
  return reinterpret_cast<HWND>(next);
}

// The client rectangle inside an outer rectangle, for the frame parts the style asks for.
SDL_Rect ClientRectFor(DWORD style, int x, int y, int width, int height) {
  const int border = (style & WS_THICKFRAME) ? kSizingBorder : 0;
  const int caption = ((style & WS_CAPTION) == WS_CAPTION) ? kCaptionHeight : 0;
  SDL_Rect client;
  client.x = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x + border;
  client.y = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y + border + caption;
  client.w = SDL_max(width - 2 * border, 1);
  client.h = SDL_max(height - 2 * border - caption, 1);
  return client;
}

SDL_Window* CreateSdlWindow(const wchar_t* title, DWORD style, const SDL_Rect& client) {
  // The swap chain renders into its own framebuffer object and blits it into the window's default
  // framebuffer, which therefore needs 8-bit colour and nothing else.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  return SDL_CreateWindow(platform::WideToUtf8(title).c_str(), client.x, client.y, client.w, client.h, flags);
}

}  // namespace

namespace platform {

bool EnsureSdlVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // Only a real display will do: left to itself SDL falls back to its offscreen driver, whose windows
  // nobody sees. SDL_VIDEODRIVER in the environment still chooses freely.
  if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    const char* x11Display = SDL_getenv("DISPLAY");
    const char* waylandDisplay = SDL_getenv("WAYLAND_DISPLAY");
    if (x11Display != nullptr && x11Display[0] != '\0') {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    } else if (waylandDisplay != nullptr && waylandDisplay[0] != '\0') {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
    } else {
      return false;
    }
  }
  // Ctrl+C and kill end the process as they would any program, instead of becoming SDL_QUIT events;
  // closing a window is WM_CLOSE, never a quit of its own.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

SDL_Window* SdlWindowFromHwnd(HWND hWnd) {
  Window* window = LiveWindow(hWnd);
  return window == nullptr ? nullptr : window->sdlWindow;
}

HWND HwndFromSdlWindowId(Uint32 windowId) {
  for (const auto& [hWnd, window] : Windows()) {
    if (SDL_GetWindowID(window.sdlWindow) == windowId) return hWnd;
  }
  return nullptr;
}

HWND KeyboardWindow() {
  SDL_Window* focus = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetKeyboardFocus() : nullptr;
  HWND focused = focus == nullptr ? nullptr : HwndFromSdlWindowId(SDL_GetWindowID(focus));
  if (focused != nullptr) return focused;
  if (LiveWindow(g_lastShown) != nullptr) return g_lastShown;
  return Windows().empty() ? nullptr : Windows().rbegin()->first;
}

}  // namespace platform

// Fails (0) for a wrong cbSize, a missing procedure or name, or a name already registered.
ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx) {
  platform::TraceStartupStep("window-class");  // the program's first call: process start-up is done
  if (lpwcx == nullptr || lpwcx->cbSize != sizeof(WNDCLASSEXW) || lpwcx->lpfnWndProc == nullptr ||
      lpwcx->lpszClassName == nullptr || reinterpret_cast<ULONG_PTR>(lpwcx->lpszClassName) < 0x10000 ||
      FindClass(lpwcx->lpszClassName) != nullptr) {
    return 0;
  }
  static ATOM nextAtom = 0xC000;
  WindowClass windowClass{nextAtom++, lpwcx->lpszClassName, *lpwcx};
  windowClass.info.lpszClassName = nullptr;  // the caller's string need not outlive the call
  Classes().push_back(windowClass);
  return windowClass.atom;
}

// Null, with nothing left behind, for an unknown class, when there is no display, or when WM_CREATE
// answers -1. Only top-level windows: the parent and menu are not used. The window starts hidden unless
// the style has WS_VISIBLE.
HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  const WindowClass* windowClass = FindClass(lpClassName);
  if (windowClass == nullptr || !platform::EnsureSdlVideo()) return nullptr;
  SDL_Window* sdlWindow = CreateSdlWindow(lpWindowName, dwStyle, ClientRectFor(dwStyle, X, Y, nWidth, nHeight));
  if (sdlWindow == nullptr) return nullptr;

  HWND hWnd = NewWindowHandle();
  Windows()[hWnd] = Window{sdlWindow, windowClass->info.lpfnWndProc, windowClass->atom,
                           lpWindowName == nullptr ? L"" : lpWindowName, false};
  CREATESTRUCTW create{
      lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
      lpWindowName, lpClassName, dwExStyle};
  if (SendMessageW(hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hWnd);
    return nullptr;
  }
  if (dwStyle & WS_VISIBLE) ShowWindow(hWnd, SW_SHOW);
  platform::TraceStartupStep("window");
  return hWnd;
}

// Sends WM_DESTROY and WM_NCDESTROY while the window still exists, then closes the SDL window. The
// messages still queued for it are dropped by the message queue, which takes no message of a window that
// is gone.
BOOL WINAPI DestroyWindow(HWND hWnd) {
  Window* window = LiveWindow(hWnd);
  if (window == nullptr || window->destroying) return FALSE;
  window->destroying = true;
  SendMessageW(hWnd, WM_DESTROY, 0, 0);
  SendMessageW(hWnd, WM_NCDESTROY, 0, 0);
  SDL_DestroyWindow(LiveWindow(hWnd)->sdlWindow);
  Windows().erase(hWnd);
  return TRUE;
}

// Returns whether the window was visible before. SW_HIDE hides it; every other command shows it.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  SDL_Window* sdlWindow = platform::SdlWindowFromHwnd(hWnd);
  if (sdlWindow == nullptr) return FALSE;
  const BOOL wasVisible = (SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
  if (nCmdShow == SW_HIDE) {
    SDL_HideWindow(sdlWindow);
  } else {
    SDL_ShowWindow(sdlWindow);
    g_lastShown = hWnd;
  }
  return wasVisible;
}

// The window's pixels belong to the swap chain, so there is no update region and no WM_PAINT: this only
// reports whether hWnd is a window.
BOOL WINAPI UpdateWindow(HWND hWnd) { return IsWindow(hWnd); }

BOOL WINAPI IsWindow(HWND hWnd) { return LiveWindow(hWnd) != nullptr ? TRUE : FALSE; }

// The client area's size as SDL knows it; it follows the user's resizing.
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  SDL_Window* sdlWindow = platform::SdlWindowFromHwnd(hWnd);
  if (sdlWindow == nullptr || lpRect == nullptr) return FALSE;
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(sdlWindow, &width, &height);
  *lpRect = RECT{0, 0, width, height};
  return TRUE;
}

// WM_CLOSE destroys the window; everything else is answered with 0.
LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  UNREFERENCED_PARAMETER(wParam);
  UNREFERENCED_PARAMETER(lParam);
  if (Msg == WM_CLOSE) DestroyWindow(hWnd);
  return 0;
}

// Calls the window procedure at once; 0 when hWnd is not a window.
LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* window = LiveWindow(hWnd);
  if (window == nullptr) return 0;
  WNDPROC windowProc = window->windowProc;
  return windowProc(hWnd, Msg, wParam, lParam);
}

// The first live window of the class whose title matches exactly; a null class or title matches any.
HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  const WindowClass* windowClass = FindClass(lpClassName);
  if (lpClassName != nullptr && windowClass == nullptr) return nullptr;
  for (const auto& [hWnd, window] : Windows()) {
    if ((windowClass == nullptr || window.classAtom == windowClass->atom) &&
        (lpWindowName == nullptr || window.title == lpWindowName)) {
      return hWnd;
    }
  }
  return nullptr;
}
