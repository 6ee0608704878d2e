// Layer-internal access to the SDL windows behind HWNDs: for the swap chain's GL context and for the
// message queue, which routes SDL's events to the windows they belong to.
#pragma once

#include <SDL.h>
#include <windows.h>

namespace platform {

// The SDL window created by CreateWindowExW for hWnd; null for null, destroyed or foreign handles.
SDL_Window* SdlWindowFromHwnd(HWND hWnd);

// The live window behind an SDL window id, or null.
HWND HwndFromSdlWindowId(Uint32 windowId);

// The window keyboard input goes to: the one with SDL's keyboard focus, else the one shown last (without a
// window manager nothing takes the focus). Null when no window is live.
HWND KeyboardWindow();

// Initialises SDL's video (and event) subsystem on first need; false when there is no display.
bool EnsureSdlVideo();

}  // namespace platform
