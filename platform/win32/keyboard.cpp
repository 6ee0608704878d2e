// Keyboard state: virtual-key codes and the key table. Virtual-key codes come from SDL's key codes
// (layout-dependent, like Windows' letter keys); the key table is this layer's own, since SDL's
// keyboard-state array already includes events that are still queued. Left and right modifier keys both
// report the generic VK_SHIFT, VK_CONTROL and VK_MENU. The message queue (message.cpp) feeds the table.
#include "win32/keyboard.h"

namespace {

struct KeyPair {
  SDL_Keycode sdlKey;
  int virtualKey;
};

constexpr KeyPair kNamedKeys[] = {
    {SDLK_BACKSPACE, VK_BACK},   {SDLK_TAB, VK_TAB},       {SDLK_RETURN, VK_RETURN},
    {SDLK_LSHIFT, VK_SHIFT},     {SDLK_RSHIFT, VK_SHIFT},  {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},    {SDLK_LALT, VK_MENU},     {SDLK_RALT, VK_MENU},
    {SDLK_CAPSLOCK, VK_CAPITAL}, {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},     {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},        {SDLK_LEFT, VK_LEFT},     {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},      {SDLK_DOWN, VK_DOWN},     {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},
};

// Bit 0x80: down. Bit 0x01: toggled by each press that is not a repeat.
BYTE g_keyTable[256];

}  // namespace

namespace platform {

int VirtualKeyFromSdlKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  for (const KeyPair& pair : kNamedKeys) {
    if (pair.sdlKey == key) return pair.virtualKey;
  }
  return 0;
}

SDL_Keycode SdlKeyFromVirtualKey(int virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') return SDLK_a + (virtualKey - 'A');
  if (virtualKey >= '0' && virtualKey <= '9') return SDLK_0 + (virtualKey - '0');
  if (virtualKey >= VK_F1 && virtualKey <= VK_F12) return SDLK_F1 + (virtualKey - VK_F1);
  for (const KeyPair& pair : kNamedKeys) {
    if (pair.virtualKey == virtualKey) return pair.sdlKey;
  }
  return SDLK_UNKNOWN;
}

void UpdateKeyTable(UINT message, WPARAM virtualKey) {
  if (virtualKey > 0xFF) return;
  BYTE& state = g_keyTable[virtualKey];
  if (message == WM_KEYDOWN) {
    if (!(state & 0x80)) state ^= 0x01;
    state |= 0x80;
  } else if (message == WM_KEYUP) {
    state &= static_cast<BYTE>(~0x80);
  }
}

}  // namespace platform

// While the key is down the result is negative with the low byte's bit 0x80 set too (0xFF80), so tests of
// 0x8000 and of 0x80 both work; bit 0 is the toggle. Codes outside 0..255 give 0.
SHORT WINAPI GetKeyState(int nVirtKey) {
  if (nVirtKey < 0 || nVirtKey > 0xFF) return 0;
  const BYTE state = g_keyTable[nVirtKey];
  return static_cast<SHORT>(((state & 0x80) ? 0xFF80 : 0) | (state & 0x01));
}
