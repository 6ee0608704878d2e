// Without a display: classes register, windows cannot be created and leave nothing behind, message boxes
// write to standard error and answer IDOK. And the C runtime's bounds-checked calls the program makes.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

int g_messages = 0;

LRESULT CALLBACK Count(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ++g_messages;
  return DefWindowProcW(hWnd, message, wParam, lParam);
}

TEST(HeadlessTest, ClassesRegisterOnceAndWindowsFailCleanly) {
  WNDCLASSEXW valid{};
  valid.cbSize = sizeof(valid);
  valid.lpfnWndProc = Count;
  valid.lpszClassName = L"Headless";
  WNDCLASSEXW wrongSize = valid, noProcedure = valid, sameName = valid;
  wrongSize.cbSize -= 8;
  noProcedure.lpfnWndProc = nullptr;
  wrongSize.lpszClassName = noProcedure.lpszClassName = L"Other";
  sameName.lpszClassName = L"HEADLESS";  // class names ignore case
  EXPECT_NE(RegisterClassExW(&valid), 0);
  for (const WNDCLASSEXW* refused : {&wrongSize, &noProcedure, &sameName, static_cast<WNDCLASSEXW*>(nullptr)}) {
    EXPECT_EQ(RegisterClassExW(refused), 0);
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(CreateWindowExW(0, L"Headless", L"", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
  }
  EXPECT_EQ(g_messages, 0);
  EXPECT_EQ(FindWindowW(L"Headless", nullptr), nullptr);
  PostQuitMessage(3);  // the queue still works
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(HeadlessTest, MessageBoxWritesCaptionAndTextToStandardErrorAndAnswersOk) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxW(nullptr, L"hlsl読み込み失敗", L"エラー", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "エラー: hlsl読み込み失敗\nError: \n");
}

// memcpy_s copies only into a destination large enough and clears it otherwise, never writing past it.
TEST(CrtSecureTest, MemcpyCopiesWithinTheDestinationOnly) {
  const struct {
    bool toBuffer;
    const char* source;
    size_t count;
    errno_t result;
    const char* left;  // the four destination bytes afterwards
  } cases[] = {{true, "abcd", 4, 0, "abcd"},           {true, "abcde", 5, ERANGE, "\0\0\0\0"},
               {true, nullptr, 2, EINVAL, "\0\0\0\0"}, {false, "ab", 2, EINVAL, "xxxx"},
               {false, nullptr, 0, 0, "xxxx"}};
  for (const auto& c : cases) {
    char buffer[8] = {'x', 'x', 'x', 'x', 'G', 'G', 'G', 'G'};
    EXPECT_EQ(memcpy_s(c.toBuffer ? buffer : nullptr, c.toBuffer ? 4 : 0, c.source, c.count), c.result) << c.count;
    EXPECT_EQ(memcmp(buffer, c.left, 4), 0) << c.count;
    EXPECT_EQ(memcmp(buffer + 4, "GGGG", 4), 0);
  }
}

}  // namespace
