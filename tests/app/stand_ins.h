// Stand-ins for InitDevice and RenderFrame, which belong to the graphics and rendering code: the shell's
// tests count the calls and act at a chosen frame.
#pragma once

#include <windows.h>

#include <functional>

#include "app/Application.h"

struct StandIns {
  HRESULT initDeviceResult = S_OK;
  int initDeviceCalls = 0;
  int framesRendered = 0;
  std::function<void(Application& app, int frame)> onFrame;  // called after each frame is counted
};

extern StandIns g_standIns;

// Presses or releases one key as real input.
inline UINT SendKey(WORD virtualKey, bool release) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
  return SendInput(1, &input, sizeof(INPUT));
}

// Takes every waiting message, WM_QUIT included, without dispatching it.
inline void DrainQueue() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}
