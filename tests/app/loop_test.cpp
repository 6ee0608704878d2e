// The window and the main loop: what ends the loop, and that frames are drawn only in passes that find
// the queue empty.
#include "shell_fixture.h"

namespace {

const wchar_t kWindowText[] = L"ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度";

using LoopTest = ShellTest;

TEST_F(LoopTest, WindowHasTheTitleAsClassAndTextAndASmallerClientArea) {
  EXPECT_EQ(FindWindowW(kWindowText, kWindowText), g_app->hWnd);
  RECT client{};
  ASSERT_TRUE(GetClientRect(g_app->hWnd, &client));
  EXPECT_LT(client.right, 640);
  EXPECT_LT(client.bottom, 480);
  EXPECT_GT(client.right, 560);
  EXPECT_GT(client.bottom, 400);
}

TEST_F(LoopTest, EscapeEndsTheLoopWithoutDestroyingTheWindow) {
  g_standIns.onFrame = [](Application&, int frame) {
    if (frame == 5) SendKey(VK_ESCAPE, false);
  };
  MessageLoop();
  EXPECT_EQ(g_standIns.framesRendered, 5);  // the Escape pass and the WM_QUIT pass draw nothing
  EXPECT_TRUE(IsWindow(g_app->hWnd));
}

TEST_F(LoopTest, ClosingTheWindowDestroysItAndEndsTheLoop) {
  g_standIns.onFrame = [](Application& app, int frame) {
    if (frame == 3) PostMessageW(app.hWnd, WM_CLOSE, 0, 0);
  };
  MessageLoop();
  EXPECT_EQ(g_standIns.framesRendered, 3);
  EXPECT_FALSE(IsWindow(g_app->hWnd));
}

TEST_F(LoopTest, NoFrameIsDrawnWhileMessagesAreWaiting) {
  HoldKeys({'W'});
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));  // W is now held
  ASSERT_TRUE(GetKeyState('W') & 0x80);

  for (int i = 0; i < 200; ++i) PostMessageW(g_app->hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(i, i));
  PostMessageW(g_app->hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
  MessageLoop();

  EXPECT_EQ(g_standIns.framesRendered, 0);
  EXPECT_EQ(g_app->cameraPosition.z, -0.1f);
}

// WinMain's own runs: the stand-in device set-up succeeds or fails.
class WinMainTest : public ::testing::Test {
 protected:
  void SetUp() override { g_standIns = StandIns(); }
  // Escape leaves the window to the end of the process; a test ends it itself.
  void TearDown() override {
    SendKey(VK_ESCAPE, true);
    DestroyWindow(FindWindowW(kWindowText, kWindowText));
    DrainQueue();
  }
};

TEST_F(WinMainTest, RunsTheLoopUntilEscapeAndReturnsZero) {
  g_standIns.onFrame = [](Application&, int frame) {
    if (frame == 3) SendKey(VK_ESCAPE, false);
  };
  ExpectWinMainRun(1, 3);
  EXPECT_NE(FindWindowW(kWindowText, kWindowText), nullptr);
}

TEST_F(WinMainTest, DeviceFailureSkipsTheLoopAndReturnsZero) {
  g_standIns.initDeviceResult = E_FAIL;
  ExpectWinMainRun(1, 0);
}

}  // namespace
