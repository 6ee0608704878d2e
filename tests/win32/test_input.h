// Input and queue helpers shared by the Win32 layer's tests and the application shell's tests.
#pragma once

#include <windows.h>

// Presses or releases one key as real input.
inline UINT SendKey(WORD virtualKey, bool release) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
  return SendInput(1, &input, sizeof(INPUT));
}

// Takes every waiting message, WM_QUIT included, without dispatching it; returns how many there were.
inline int DrainQueue() {
  MSG msg;
  int taken = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ++taken;
  return taken;
}
