// Windows, the message queue and the key state GetKeyState reports, on the X display. The SDL side of a
// window is used only where no Win32 call reaches: the close button, the pointer, keys without a focus.
#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "test_input.h"
#include "win32/window.h"

namespace {

std::vector<UINT> g_received;  // what the recording procedure was given, in order
CREATESTRUCTW g_create;        // as WM_CREATE brought it
LRESULT g_createAnswer = 0;

LRESULT CALLBACK Record(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_received.push_back(message);
  if (message != WM_CREATE) return DefWindowProcW(hWnd, message, wParam, lParam);
  g_create = *reinterpret_cast<const CREATESTRUCTW*>(lParam);
  return g_createAnswer;
}

// Takes the next message that passes the filters into *taken; returns its kind, or 0 when none waits.
UINT Take(HWND hWnd = nullptr, UINT first = 0, UINT last = 0, MSG* taken = nullptr) {
  MSG msg{};
  if (!PeekMessageW(&msg, hWnd, first, last, PM_REMOVE)) return 0;
  if (taken != nullptr) *taken = msg;
  return msg.message;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Record;
    windowClass.lpszClassName = L"Recording";
    RegisterClassExW(&windowClass);  // the first test of the process registers it
    DrainQueue();
  }
  void TearDown() override {
    SendKey('W', true);
    DrainQueue();
    for (HWND hWnd : windows_) DestroyWindow(hWnd);
  }
  HWND Create(const wchar_t* title, bool shown = false, LPVOID parameter = nullptr) {
    g_received.clear();
    HWND hWnd = CreateWindowExW(0, L"Recording", title, WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                nullptr, parameter);
    windows_.push_back(hWnd);
    if (shown) ShowWindow(hWnd, SW_SHOW);
    DrainQueue();  // what the X server reported about the new window
    return hWnd;
  }
  std::vector<HWND> windows_;
};

TEST_F(WindowTest, CreationSendsWmCreateFirstAndAnAnswerOfMinusOneUndoesIt) {
  EXPECT_EQ(CreateWindowExW(0, L"Unknown", L"", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr), nullptr);
  int parameter = 0;
  HWND hWnd = Create(L"title", false, &parameter);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_EQ(g_received, std::vector<UINT>{WM_CREATE});
  EXPECT_EQ(g_create.lpCreateParams, &parameter);
  EXPECT_EQ(g_create.cx, 640);
  EXPECT_EQ(g_create.cy, 480);
  EXPECT_EQ(g_create.style, static_cast<LONG>(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(FindWindowW(L"recording", L"title"), hWnd);  // class names ignore case, titles do not
  EXPECT_EQ(FindWindowW(L"Recording", L"Title"), nullptr);
  // 640 x 480 outside: 8-pixel sizing borders and a 23-pixel caption around the client area.
  RECT client{-1, -1, -1, -1};
  ASSERT_TRUE(GetClientRect(hWnd, &client));
  EXPECT_EQ(std::vector<LONG>({client.left, client.top, client.right, client.bottom}),
            std::vector<LONG>({0, 0, 624, 441}));
  EXPECT_FALSE(GetClientRect(nullptr, &client));

  g_createAnswer = -1;
  EXPECT_EQ(Create(L"refused"), nullptr);
  g_createAnswer = 0;
  EXPECT_EQ(g_received, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(FindWindowW(nullptr, L"refused"), nullptr);
}

TEST_F(WindowTest, HiddenUntilShownAndGoneWithItsMessagesOnceClosed) {
  HWND doomed = Create(L"doomed");
  HWND other = Create(L"other");
  // ShowWindow answers whether the window was visible before.
  EXPECT_FALSE(ShowWindow(doomed, SW_SHOW));
  EXPECT_TRUE(ShowWindow(doomed, SW_HIDE));
  EXPECT_FALSE(ShowWindow(doomed, SW_SHOW));
  EXPECT_TRUE(SDL_GetWindowFlags(platform::SdlWindowFromHwnd(doomed)) & SDL_WINDOW_RESIZABLE);
  PostMessageW(doomed, WM_CLOSE, 0, 0);
  PostMessageW(other, WM_USER, 0, 0);
  PostMessageW(doomed, WM_USER, 0, 0);
  MSG close{};
  ASSERT_EQ(Take(nullptr, 0, 0, &close), static_cast<UINT>(WM_CLOSE));
  EXPECT_FALSE(TranslateMessage(&close));  // only key messages translate
  g_received.clear();
  DispatchMessageW(&close);
  EXPECT_EQ(g_received, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(doomed) || DestroyWindow(doomed) || ShowWindow(doomed, SW_SHOW) ||
               PostMessageW(doomed, WM_USER, 0, 0));
  g_received.clear();
  EXPECT_EQ(DispatchMessageW(&close), 0);  // the stale message reaches nobody
  EXPECT_TRUE(g_received.empty());
  EXPECT_EQ(Take(nullptr, 0, 0, &close), static_cast<UINT>(WM_USER));
  EXPECT_EQ(close.hwnd, other);
  EXPECT_EQ(Take(), 0u);
  EXPECT_NE(Create(L"next"), doomed);  // handles are never reused
}

TEST_F(WindowTest, PostedMessagesComeInOrderThroughTheFiltersAndTheQuitMessageLast) {
  HWND first = Create(L"first");
  HWND second = Create(L"second");
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessageW(first, WM_USER + 1, 11, 12));
  ASSERT_TRUE(PostMessageW(second, WM_USER + 2, 0, 0));
  ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 3, 0, 0));  // a thread message
  ASSERT_TRUE(PostMessageW(first, WM_USER + 4, 0, 0));
  MSG msg{};
  EXPECT_EQ(Take(second), static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(Take(nullptr, WM_USER + 3, WM_USER + 10, &msg), static_cast<UINT>(WM_USER + 3));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(Take(nullptr, 0, 0, &msg), static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(msg.hwnd, first);
  EXPECT_EQ(msg.wParam, 11u);
  EXPECT_EQ(msg.lParam, 12);
  EXPECT_EQ(Take(second), 0u);
  EXPECT_EQ(Take(first), static_cast<UINT>(WM_USER + 4));
  EXPECT_EQ(Take(first), 0u);  // WM_QUIT belongs to no window
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(Take(nullptr, 0, 0, &msg), static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(Take(), 0u);
  EXPECT_FALSE(PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE));
}

// The window manager's close button, the pointer, and keys with no focus window (no window manager), as SDL
// reports them; keys go to the window shown last.
TEST_F(WindowTest, SdlEventsBecomeMessagesForTheirWindows) {
  HWND hWnd = Create(L"events", true);
  SDL_Event motion{}, close{}, key{};
  motion.motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = SDL_GetWindowID(platform::SdlWindowFromHwnd(hWnd));
  motion.motion.state = SDL_BUTTON_LMASK;
  motion.motion.x = 123;
  motion.motion.y = 45;
  close.window.type = SDL_WINDOWEVENT;
  close.window.windowID = motion.motion.windowID;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  key.key.type = SDL_KEYDOWN;
  key.key.repeat = 1;
  key.key.keysym.sym = SDLK_w;
  ASSERT_EQ(SDL_PushEvent(&motion) + SDL_PushEvent(&close) + SDL_PushEvent(&key), 3);
  MSG msg{};
  ASSERT_EQ(Take(hWnd, WM_MOUSEMOVE, WM_MOUSEMOVE, &msg), static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(msg.lParam, MAKELPARAM(123, 45));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(Take(hWnd, WM_CLOSE, WM_CLOSE), static_cast<UINT>(WM_CLOSE));
  EXPECT_TRUE(IsWindow(hWnd));  // closing is the window procedure's decision
  ASSERT_EQ(Take(hWnd, 0, 0, &msg), static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('W'));
  EXPECT_EQ(static_cast<DWORD>(msg.lParam) & 0x40000000u, 0x40000000u);  // a repeat: was down
}

// Input changes the key state as its messages are taken, which is when the main loop looks; posted key
// messages leave it alone.
TEST_F(WindowTest, KeyStateFollowsTheKeyMessagesTaken) {
  HWND hWnd = Create(L"keys", true);
  const SHORT toggle = GetKeyState('W') & 1;
  ASSERT_EQ(SendKey('W', false), 1u);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(GetKeyState('W'), toggle);  // queued, looked at, not taken
  ASSERT_EQ(Take(hWnd, 0, 0, &msg), static_cast<UINT>(WM_KEYDOWN));
  EXPECT_TRUE(TranslateMessage(&msg));
  EXPECT_EQ(static_cast<USHORT>(GetKeyState('W')), 0xFF80 | (toggle ^ 1));  // down: 0x8000 and 0x80 both set
  SendKey('W', true);
  ASSERT_EQ(Take(nullptr, 0, 0, &msg), static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<DWORD>(msg.lParam) & 0xC0000000u, 0xC0000000u);  // was down, released
  EXPECT_EQ(GetKeyState('W'), toggle ^ 1);                               // the toggle stays
  SendKey('W', false);
  Take();
  EXPECT_EQ(static_cast<USHORT>(GetKeyState('W')), 0xFF80 | toggle);
  PostMessageW(hWnd, WM_KEYDOWN, 'E', 1);
  EXPECT_EQ(Take(), static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(GetKeyState('E'), 0);

  const WORD keys[] = {'A', 'Z', '0', '9', VK_F1, VK_F12, VK_ESCAPE, VK_SPACE, VK_RETURN, VK_SHIFT, VK_LEFT, VK_DOWN};
  for (WORD key : keys) {  // virtual-key codes survive the trip through SDL
    ASSERT_EQ(SendKey(key, false) + SendKey(key, true), 2u);
    EXPECT_EQ(Take(nullptr, 0, 0, &msg), static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, key);
    EXPECT_EQ(Take(nullptr, 0, 0, &msg), static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(msg.wParam, key);
  }
  for (int code : {-1, 256, 0x10057}) EXPECT_EQ(GetKeyState(code), 0);
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = 0xFF;  // no key of that code
  EXPECT_EQ(SendInput(1, &input, sizeof(INPUT)), 0u);
  input.ki.wVk = 'W';
  EXPECT_EQ(SendInput(1, &input, sizeof(INPUT) - 1) + SendInput(1, nullptr, sizeof(INPUT)), 0u);
  EXPECT_EQ(Take(), 0u);
}

}  // namespace
