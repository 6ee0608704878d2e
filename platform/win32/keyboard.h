// Layer-internal: virtual-key codes for SDL keys, and the key table GetKeyState reads.
#pragma once

#include <SDL.h>
#include <windows.h>

namespace platform {

// The virtual-key code of an SDL key, or 0 for keys without one here.
int VirtualKeyFromSdlKey(SDL_Keycode key);
// The SDL key of a virtual-key code, or SDLK_UNKNOWN.
SDL_Keycode SdlKeyFromVirtualKey(int virtualKey);

// Records a keyboard message as it is taken from the queue, as Windows updates the thread's key state.
void UpdateKeyTable(UINT message, WPARAM virtualKey);

}  // namespace platform
