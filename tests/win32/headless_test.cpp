// Without a display: windows cannot be created and leave nothing behind; message boxes write to standard
// error and answer IDOK.
#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

int g_messagesReceived = 0;

LRESULT CALLBACK CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ++g_messagesReceived;
  return DefWindowProcW(hWnd, message, wParam, lParam);
}

TEST(HeadlessTest, CreatingAWindowFailsCleanly) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = CountingProc;
  windowClass.lpszClassName = L"Headless";
  ASSERT_NE(RegisterClassExW(&windowClass), 0);  // classes need no display

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(
        CreateWindowExW(0, L"Headless", L"x", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr),
        nullptr);
  }
  EXPECT_EQ(g_messagesReceived, 0);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(FindWindowW(L"Headless", nullptr), nullptr);

  // The queue still works for thread messages and the quit message.
  PostQuitMessage(3);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(HeadlessTest, MessageBoxWritesItsTextToStandardErrorAndAnswersOk) {
  ::testing::internal::CaptureStderr();
  const int result = MessageBoxW(nullptr, L"シェーダーが見つかりません", L"エラー", MB_OK | MB_ICONERROR);
  const std::string written = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(written,
            "\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC: "  // エラー
            "\xE3\x82\xB7\xE3\x82\xA7\xE3\x83\xBC\xE3\x83\x80\xE3\x83\xBC\xE3\x81\x8C"
            "\xE8\xA6\x8B\xE3\x81\xA4\xE3\x81\x8B\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\n");

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: \n");
}

}  // namespace
