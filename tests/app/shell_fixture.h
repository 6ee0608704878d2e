// A fixture that starts the shell as WinMain does up to the main loop (record, then InitWindow) and leaves
// no window, held key or message behind.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <new>

#include "app/Application.h"
#include "app/Window.h"
#include "stand_ins.h"

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_standIns = StandIns();
    g_app = new (std::nothrow) Application();
    ASSERT_NE(g_app, nullptr);
    ASSERT_EQ(InitWindow(GetModuleHandleW(nullptr)), S_OK);
    DrainQueue();
  }

  void TearDown() override {
    for (WORD key :
         {WORD('W'), WORD('S'), WORD('A'), WORD('D'), WORD('Q'), WORD('E'), WORD('Z'), WORD('X'), WORD(VK_ESCAPE)}) {
      SendKey(key, true);
    }
    DrainQueue();  // the key table follows the releases while the window still takes input
    DestroyWindow(g_app->hWnd);
    DrainQueue();
    delete g_app;
    g_app = nullptr;
  }

  // Presses the keys and lets the loop's first passes take the key messages.
  static void HoldKeys(std::initializer_list<WORD> keys) {
    for (WORD key : keys) ASSERT_EQ(SendKey(key, false), 1u);
  }

  // Runs the main loop until it has drawn the given number of frames.
  static void RunFrames(int frames) {
    g_standIns.onFrame = [frames](Application&, int frame) {
      if (frame == frames) PostQuitMessage(0);
    };
    MessageLoop();
  }
};
