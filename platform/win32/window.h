// Layer-internal access to the SDL window behind an HWND, for the swap chain's GL context.
#pragma once

#include <SDL.h>
#include <windows.h>

namespace platform {

// The SDL window created by CreateWindowExW for hWnd; null for null, destroyed or foreign handles.
SDL_Window* SdlWindowFromHwnd(HWND hWnd);

}  // namespace platform
