// Threads: CreateThread, WaitForSingleObject, GetExitCodeThread and CloseHandle on thread handles, with the
// results and last errors Windows gives; the checks of what only the layer does are left out on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

DWORD WINAPI Square(LPVOID parameter) {  // its write must be seen once the wait has ended
  DWORD* value = static_cast<DWORD*>(parameter);
  *value *= *value;
  return *value + 7;
}

// Touches 48 MiB of stack a page at a time from its far end: more than a default stack holds (8 MiB on
// Linux, 1 MiB on Windows), so a stack smaller than asked for faults.
DWORD WINAPI UseALargeStack(LPVOID) {
  constexpr size_t kUse = 48u << 20;
  volatile unsigned char block[kUse];
  for (size_t i = 0; i < kUse; i += 4096) block[i] = 1;
  return kUse / 4096;
}

std::atomic<bool> g_released{false};  // outlive a failed test: its threads may still run
std::atomic<int> g_finished{0};

DWORD WINAPI RunUntilReleased(LPVOID) {
  while (!g_released) std::this_thread::yield();
  return 1000 + ++g_finished;
}

DWORD ExitCode(HANDLE thread) {
  DWORD exitCode = 0;
  return GetExitCodeThread(thread, &exitCode) ? exitCode : 0xDEADu;
}

TEST(ThreadTest, AThreadsResultAndWritesAreSeenOnceItHasEndedWhateverStackItAsksFor) {
  DWORD value = 12;
  const struct {
    SIZE_T stackSize;  // 1: rounded up to the least a stack can be
    LPTHREAD_START_ROUTINE routine;
    DWORD exitCode;
  } cases[] = {{0, Square, 144 + 7}, {1, Square, 20736 + 7}, {64u << 20, UseALargeStack, 12288}};
  for (const auto& c : cases) {
    DWORD id = 0;
    HANDLE thread = CreateThread(NULL, c.stackSize, c.routine, &value, 0, &id);
    ASSERT_NE(thread, static_cast<HANDLE>(NULL)) << c.stackSize;
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_OBJECT_0));  // and stays ended
    EXPECT_EQ(ExitCode(thread), c.exitCode);
    EXPECT_TRUE(CloseHandle(thread));
  }
  EXPECT_EQ(value, 20736u);

  EXPECT_EQ(CreateThread(NULL, 0, Square, &value, 0x2, NULL), static_cast<HANDLE>(NULL));  // an undefined flag
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateThread(NULL, 0, nullptr, &value, 0, NULL), static_cast<HANDLE>(NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateThread(NULL, SIZE_T{1} << 62, Square, &value, 0, NULL), static_cast<HANDLE>(NULL));
#ifndef _WIN32
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));  // Windows has an error of its own
#endif
}

TEST(ThreadTest, ARunningThreadTimesOutAndRunsOnWhenItsHandleIsClosed) {
  DWORD firstId = 0, secondId = 0;
  HANDLE first = CreateThread(NULL, 0, RunUntilReleased, NULL, 0, &firstId);
  HANDLE second = CreateThread(NULL, 0, RunUntilReleased, NULL, 0, &secondId);
  ASSERT_TRUE(first != NULL && second != NULL);
  EXPECT_NE(firstId, secondId);
  EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ExitCode(first), static_cast<DWORD>(STILL_ACTIVE));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(second, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));  // not long before its time

  EXPECT_TRUE(CloseHandle(second));
  g_released = true;
  EXPECT_EQ(WaitForSingleObject(first, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_GT(ExitCode(first), 1000u);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);  // against hanging only
  while (g_finished < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_EQ(g_finished, 2);  // the second thread too
  EXPECT_TRUE(CloseHandle(first));
}

TEST(ThreadTest, HandlesThatNameNoLiveThreadAreRefused) {
  HANDLE file = CreateFileA(VIEWER_SOURCE_DIR "/CMakeLists.txt", GENERIC_READ, FILE_SHARE_READ, NULL,
                            OPEN_EXISTING, 0, NULL);
  static DWORD values[2] = {2, 3};  // static: a thread of a failed test may still use them
  HANDLE thread = CreateThread(NULL, 0, Square, &values[0], 0, NULL);
  HANDLE closed = CreateThread(NULL, 0, Square, &values[1], 0, NULL);
  ASSERT_TRUE(file != INVALID_HANDLE_VALUE && thread != NULL && closed != NULL);
  EXPECT_TRUE(CloseHandle(closed));  // the thread runs on
  for (HANDLE handle : {static_cast<HANDLE>(NULL), closed, file}) {
    DWORD exitCode = 0;
    EXPECT_FALSE(GetExitCodeThread(handle, &exitCode));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#ifndef _WIN32  // Windows signals a file handle when an I/O request completes; the layer waits for threads only
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#endif
  }
  EXPECT_FALSE(CloseHandle(closed));
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(CloseHandle(thread) && CloseHandle(file));
}

}  // namespace
