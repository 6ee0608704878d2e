// The key table behind GetKeyState, and keyboard input from SendInput and from SDL.
#include <SDL.h>

#include "test_window.h"
#include "win32/window.h"

namespace {

class KeyboardTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_ = CreateShownWindow(L"keyboard");
    ASSERT_NE(window_, nullptr);
    DrainQueue();
  }

  void TearDown() override {
    SendKey('W', true);
    DrainQueue();
    WindowTest::TearDown();
  }

  // Takes the next message, which must be a key message for the test window.
  MSG TakeKeyMessage() {
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window_);
    return msg;
  }

  HWND window_ = nullptr;
};

TEST_F(KeyboardTest, KeyStateChangesAsTheKeyMessagesAreTaken) {
  const SHORT toggle = GetKeyState('W') & 1;
  ASSERT_EQ(SendKey('W', false), 1u);
  EXPECT_EQ(GetKeyState('W'), toggle);  // still queued

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(GetKeyState('W'), toggle);  // looked at, not taken

  msg = TakeKeyMessage();
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('W'));
  const SHORT down = GetKeyState('W');
  EXPECT_LT(down, 0);  // high bit: down
  EXPECT_TRUE(down & 0x8000);
  EXPECT_TRUE(down & 0x80);
  EXPECT_EQ(down & 1, toggle ^ 1);  // each press flips the toggle
  EXPECT_EQ(GetKeyState('S'), 0);

  SendKey('W', true);
  msg = TakeKeyMessage();
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<DWORD>(msg.lParam) & 0xC0000000u, 0xC0000000u);  // previous state down, released
  EXPECT_EQ(GetKeyState('W'), toggle ^ 1);                               // up, toggle kept

  SendKey('W', false);
  TakeKeyMessage();
  EXPECT_EQ(static_cast<USHORT>(GetKeyState('W')), 0xFF80 | toggle);  // down, toggle back
}

TEST_F(KeyboardTest, PostedKeyMessagesLeaveTheKeyStateAlone) {
  PostMessageW(window_, WM_KEYDOWN, 'E', 1);
  MSG msg = TakeKeyMessage();
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('E'));
  EXPECT_FALSE(GetKeyState('E') & 0x80);
  EXPECT_TRUE(TranslateMessage(&msg));
}

TEST_F(KeyboardTest, VirtualKeyCodesSurviveTheTripThroughSdl) {
  const WORD keys[] = {'A',      'Q',     'Z',      '0',       '9',      VK_ESCAPE,  VK_LEFT, VK_UP,
                       VK_RIGHT, VK_DOWN, VK_SPACE, VK_RETURN, VK_SHIFT, VK_CONTROL, VK_F1,   VK_F12};
  for (WORD key : keys) {
    SCOPED_TRACE(key);
    ASSERT_EQ(SendKey(key, false), 1u);
    ASSERT_EQ(SendKey(key, true), 1u);
    MSG msg = TakeKeyMessage();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, key);
    msg = TakeKeyMessage();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(msg.wParam, key);
    EXPECT_FALSE(GetKeyState(key) & 0x80);
  }
}

// Keys sent to a window by xdotool arrive with no SDL keyboard focus when no window manager runs.
TEST_F(KeyboardTest, KeysWithoutAFocusWindowGoToTheShownWindow) {
  SDL_Event key{};
  key.key.type = SDL_KEYDOWN;
  key.key.windowID = 0;
  key.key.state = SDL_PRESSED;
  key.key.keysym.sym = SDLK_w;
  key.key.repeat = 1;
  ASSERT_EQ(SDL_PushEvent(&key), 1);
  MSG msg = TakeKeyMessage();
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('W'));
  EXPECT_EQ(static_cast<DWORD>(msg.lParam) & 0x40000000u, 0x40000000u);  // auto-repeat: was down
}

TEST_F(KeyboardTest, BadArgumentsAreRefused) {
  EXPECT_EQ(GetKeyState(-1), 0);
  EXPECT_EQ(GetKeyState(256), 0);
  EXPECT_EQ(GetKeyState(0x10057), 0);
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = 'W';
  EXPECT_EQ(SendInput(1, &input, sizeof(INPUT) - 1), 0u);
  EXPECT_EQ(SendInput(1, nullptr, sizeof(INPUT)), 0u);
  input.ki.wVk = 0xFF;  // no key of that code here
  EXPECT_EQ(SendInput(1, &input, sizeof(INPUT)), 0u);
  MSG msg{};
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
}

}  // namespace
