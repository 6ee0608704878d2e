// Stand-ins for InitDevice and RenderFrame, which belong to the graphics and rendering code: the shell's
// tests count the calls and act at a chosen frame.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "app/Application.h"
#include "tests/win32/test_input.h"

struct StandIns {
  HRESULT initDeviceResult = S_OK;
  int initDeviceCalls = 0;
  int framesRendered = 0;
  std::function<void(Application& app, int frame)> onFrame;  // called after each frame is counted
};

extern StandIns g_standIns;

// Runs WinMain as the entry point does and checks that it returned 0 after the given number of InitDevice
// calls and frames, and freed the record.
inline void ExpectWinMainRun(int initDeviceCalls, int framesRendered) {
  char commandLine[] = "ignored arguments";
  EXPECT_EQ(WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOWDEFAULT), 0);
  EXPECT_EQ(g_standIns.initDeviceCalls, initDeviceCalls);
  EXPECT_EQ(g_standIns.framesRendered, framesRendered);
  EXPECT_EQ(g_app, nullptr);
}
