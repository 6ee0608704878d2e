// The message queue: order, filters, removal, the quit message, dispatch, and SDL's window and mouse
// events turned into window messages.
#include <SDL.h>

#include "test_window.h"
#include "win32/window.h"

namespace {

using ::testing::ElementsAre;

TEST_F(WindowTest, PostedMessagesComeBackInOrderAndPeekingLeavesThem) {
  HWND hWnd = CreateHiddenWindow();
  ASSERT_NE(hWnd, nullptr);
  ASSERT_TRUE(PostMessageW(hWnd, WM_USER + 1, 11, 12));
  ASSERT_TRUE(PostMessageW(hWnd, WM_USER + 2, 21, 22));

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, hWnd);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(msg.wParam, 11u);
  EXPECT_EQ(msg.lParam, 12);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(msg.wParam, 21u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, FiltersByWindowAndByMessageRange) {
  HWND first = CreateHiddenWindow(L"first");
  HWND second = CreateHiddenWindow(L"second");
  ASSERT_NE(second, nullptr);
  PostMessageW(first, WM_USER + 1, 0, 0);
  PostMessageW(second, WM_USER + 2, 0, 0);
  PostMessageW(first, WM_USER + 3, 0, 0);

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, second, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 3, WM_USER + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3));
  EXPECT_FALSE(PeekMessageW(&msg, second, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
}

TEST_F(WindowTest, QuitComesOnlyOnceNothingElseWaits) {
  HWND hWnd = CreateHiddenWindow();
  PostQuitMessage(7);
  PostMessageW(hWnd, WM_USER, 0, 0);
  PostMessageW(nullptr, WM_USER + 1, 0, 0);  // a thread message

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageW(&msg, hWnd, 0, 0, PM_REMOVE));  // WM_QUIT belongs to no window
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, DispatchCallsTheWindowProcedureAndCloseDestroysTheWindow) {
  HWND hWnd = CreateHiddenWindow();
  ASSERT_NE(hWnd, nullptr);
  g_received.clear();
  PostMessageW(hWnd, WM_CLOSE, 0, 0);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&msg) == FALSE);  // only key messages translate
  DispatchMessageW(&msg);
  EXPECT_THAT(ReceivedKinds(),
              ElementsAre(static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_DESTROY), static_cast<UINT>(WM_NCDESTROY)));
  EXPECT_FALSE(IsWindow(hWnd));

  // The gone window's stale message reaches nobody, and nothing more can be posted to it.
  g_received.clear();
  EXPECT_EQ(DispatchMessageW(&msg), 0);
  EXPECT_TRUE(g_received.empty());
  EXPECT_FALSE(PostMessageW(hWnd, WM_USER, 0, 0));
}

TEST_F(WindowTest, DestroyingAWindowDropsItsQueuedMessages) {
  HWND doomed = CreateHiddenWindow(L"doomed");
  HWND other = CreateHiddenWindow(L"other");
  PostMessageW(doomed, WM_USER + 1, 0, 0);
  PostMessageW(other, WM_USER + 2, 0, 0);
  PostMessageW(doomed, WM_USER + 3, 0, 0);
  DestroyWindow(doomed);

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, other);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

// What the window manager's close button and the pointer deliver through SDL.
TEST_F(WindowTest, SdlCloseAndMotionEventsBecomeWindowMessages) {
  HWND hWnd = CreateShownWindow();
  ASSERT_NE(hWnd, nullptr);
  DrainQueue();  // whatever the X server reported about the new window
  const Uint32 windowId = SDL_GetWindowID(platform::SdlWindowFromHwnd(hWnd));

  SDL_Event motion{};
  motion.motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = windowId;
  motion.motion.x = 123;
  motion.motion.y = 45;
  motion.motion.state = SDL_BUTTON_LMASK;
  ASSERT_EQ(SDL_PushEvent(&motion), 1);
  SDL_Event close{};
  close.window.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = windowId;
  ASSERT_EQ(SDL_PushEvent(&close), 1);

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, hWnd);
  EXPECT_EQ(LOWORD(msg.lParam), 123);
  EXPECT_EQ(HIWORD(msg.lParam), 45);
  EXPECT_EQ(msg.wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, hWnd);
  EXPECT_TRUE(IsWindow(hWnd));  // closing is the window procedure's decision
}

}  // namespace
