// Threads: CreateThread, WaitForSingleObject, GetExitCodeThread and CloseHandle on thread handles, and the
// last errors they leave. Only calls and results Windows gives the same way, so that the program can run
// unchanged there; the two checks of what only the layer does are marked and left out on Windows.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace {

const HANDLE kNoHandle = static_cast<HANDLE>(NULL);

// Input and output of Compute, read by the test only after the thread has ended: the wait must make the
// thread's writes visible without any other synchronisation.
struct Computation {
  DWORD input;
  DWORD square;
};

DWORD WINAPI Compute(LPVOID parameter) {
  Computation* computation = static_cast<Computation*>(parameter);
  computation->square = computation->input * computation->input;
  return computation->input * 3 + 7;
}

// A thread that waits until the test releases it, then returns its result.
struct Blocked {
  std::atomic<bool>* released;
  DWORD result;
};

DWORD WINAPI ReturnOnceReleased(LPVOID parameter) {
  const Blocked* blocked = static_cast<const Blocked*>(parameter);
  while (!blocked->released->load(std::memory_order_acquire)) std::this_thread::yield();
  return blocked->result;
}

DWORD WINAPI ReturnItsParameter(LPVOID parameter) {
  return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(parameter));
}

// Much more stack than a thread gets by default (on Linux the process's stack limit, usually 8 MiB, or
// 2 MiB without one; 1 MiB on Windows), touched a page at a time from its far end, so that a stack smaller
// than asked for faults instead of passing.
constexpr size_t kLargeStackUse = 48u << 20;
constexpr SIZE_T kLargeStackSize = 64u << 20;

DWORD WINAPI UseALargeStack(LPVOID) {
  volatile unsigned char block[kLargeStackUse];
  for (size_t i = 0; i < kLargeStackUse; i += 4096) block[i] = static_cast<unsigned char>(i >> 12);
  DWORD sum = 0;
  for (size_t i = 0; i < kLargeStackUse; i += 4096) sum += block[i];
  return sum;
}

class ThreadTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!written_.empty()) remove(written_.c_str());
  }

  // A small file of the test's own, opened for reading.
  HANDLE OpenAFile() {
    written_ = ::testing::TempDir() + "thread_test_file.txt";
    std::ofstream out(written_, std::ios::binary | std::ios::trunc);
    out << "not a thread";
    out.close();
    EXPECT_FALSE(out.fail()) << written_;
    return CreateFileA(written_.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
  }

  std::string written_;
};

TEST_F(ThreadTest, TheResultAndWritesOfAThreadAreSeenOnceItHasEnded) {
  Computation computation{12, 0};
  DWORD id = 0;
  HANDLE thread = CreateThread(NULL, 0, Compute, &computation, 0, &id);
  ASSERT_NE(thread, kNoHandle);
  EXPECT_NE(id, 0u);

  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(computation.square, 144u);
  DWORD exitCode = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(exitCode, 43u);

  // An ended thread stays ended, for a poll as for another wait.
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  exitCode = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(exitCode, 43u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST_F(ThreadTest, ARunningThreadTimesOutAPollAndIsStillActiveUntilItReturns) {
  std::atomic<bool> released(false);
  Blocked first{&released, 1111};
  Blocked second{&released, 2222};
  DWORD firstId = 0;
  DWORD secondId = 0;
  HANDLE firstThread = CreateThread(NULL, 0, ReturnOnceReleased, &first, 0, &firstId);
  HANDLE secondThread = CreateThread(NULL, 0, ReturnOnceReleased, &second, 0, &secondId);
  if (firstThread == NULL || secondThread == NULL) {
    released.store(true, std::memory_order_release);
    if (firstThread != NULL) WaitForSingleObject(firstThread, INFINITE);
    if (secondThread != NULL) WaitForSingleObject(secondThread, INFINITE);
    FAIL() << "CreateThread failed with " << GetLastError();
  }
  EXPECT_NE(firstThread, secondThread);
  EXPECT_NE(firstId, secondId);  // ids are unique among running threads

  EXPECT_EQ(WaitForSingleObject(firstThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD exitCode = 0;
  ASSERT_TRUE(GetExitCodeThread(firstThread, &exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
  // A finite wait times out after about its time (not before a good part of it has passed).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(secondThread, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  ASSERT_TRUE(GetExitCodeThread(secondThread, &exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));

  released.store(true, std::memory_order_release);
  // A finite wait ends with the thread.
  EXPECT_EQ(WaitForSingleObject(firstThread, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(secondThread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  ASSERT_TRUE(GetExitCodeThread(firstThread, &exitCode));
  EXPECT_EQ(exitCode, 1111u);
  ASSERT_TRUE(GetExitCodeThread(secondThread, &exitCode));
  EXPECT_EQ(exitCode, 2222u);
  EXPECT_TRUE(CloseHandle(firstThread));
  EXPECT_TRUE(CloseHandle(secondThread));
}

// What the thread below does once released. Static: it must outlive the thread even if the test fails.
struct Finish {
  std::atomic<bool> released{false};
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
};

DWORD WINAPI FinishOnceReleased(LPVOID parameter) {
  Finish* finish = static_cast<Finish*>(parameter);
  while (!finish->released.load(std::memory_order_acquire)) std::this_thread::yield();
  std::lock_guard<std::mutex> lock(finish->mutex);
  finish->done = true;
  finish->changed.notify_all();
  return 0;
}

TEST_F(ThreadTest, AThreadWhoseHandleIsClosedRunsOn) {
  static Finish finish;
  {  // for a repeated run: the thread of the last one has set done and touches nothing after that
    std::lock_guard<std::mutex> lock(finish.mutex);
    finish.released.store(false);
    finish.done = false;
  }
  HANDLE thread = CreateThread(NULL, 0, FinishOnceReleased, &finish, 0, NULL);
  ASSERT_NE(thread, kNoHandle);
  EXPECT_TRUE(CloseHandle(thread));
  // The handle is gone, the thread is not.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  finish.released.store(true, std::memory_order_release);
  std::unique_lock<std::mutex> lock(finish.mutex);
  // A guard against hanging the test run, not a measure: the thread has nothing left to wait for.
  EXPECT_TRUE(finish.changed.wait_for(lock, std::chrono::seconds(60), [] { return finish.done; }));
}

TEST_F(ThreadTest, HandlesThatNameNoThreadAreRefused) {
  DWORD exitCode = 0;
  EXPECT_EQ(WaitForSingleObject(NULL, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(GetExitCodeThread(NULL, &exitCode));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // A closed thread handle.
  HANDLE ended = CreateThread(NULL, 0, ReturnItsParameter, reinterpret_cast<LPVOID>(5), 0, NULL);
  ASSERT_NE(ended, kNoHandle);
  EXPECT_EQ(WaitForSingleObject(ended, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(CloseHandle(ended));
  EXPECT_EQ(WaitForSingleObject(ended, INFINITE), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(GetExitCodeThread(ended, &exitCode));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(ended));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // A file is no thread, and a thread is no file.
  HANDLE file = OpenAFile();
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE thread = CreateThread(NULL, 0, ReturnItsParameter, reinterpret_cast<LPVOID>(6), 0, NULL);
  ASSERT_NE(thread, kNoHandle);
  EXPECT_FALSE(GetExitCodeThread(file, &exitCode));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  LARGE_INTEGER size;
  EXPECT_FALSE(GetFileSizeEx(thread, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#ifndef _WIN32
  // The layer's own rule: only threads can be waited for. Windows signals a file handle when an I/O
  // request on it completes, so there the wait does not fail.
  EXPECT_EQ(WaitForSingleObject(file, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#endif
  // Both still work as what they are.
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 12);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(exitCode, 6u);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(ThreadTest, UndefinedCreationFlagsAreRefused) {
  constexpr DWORD kUndefinedFlag = 0x00000002;
  EXPECT_EQ(WaitForSingleObject(NULL, 0), WAIT_FAILED);  // leaves another last error to be replaced
  HANDLE thread = CreateThread(NULL, 0, ReturnItsParameter, NULL, kUndefinedFlag, NULL);
  EXPECT_EQ(thread, kNoHandle);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  if (thread != NULL) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

TEST_F(ThreadTest, AThreadGetsTheStackSizeItAsksFor) {
  // More than the default stack holds.
  HANDLE large = CreateThread(NULL, kLargeStackSize, UseALargeStack, NULL, 0, NULL);
  ASSERT_NE(large, kNoHandle);
  EXPECT_EQ(WaitForSingleObject(large, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = 0;
  ASSERT_TRUE(GetExitCodeThread(large, &exitCode));
  DWORD expected = 0;
  for (size_t i = 0; i < kLargeStackUse; i += 4096) expected += static_cast<unsigned char>(i >> 12);
  EXPECT_EQ(exitCode, expected);
  EXPECT_TRUE(CloseHandle(large));

  // Less than any stack can be: rounded up.
  HANDLE tiny = CreateThread(NULL, 1, ReturnItsParameter, reinterpret_cast<LPVOID>(7), 0, NULL);
  ASSERT_NE(tiny, kNoHandle);
  EXPECT_EQ(WaitForSingleObject(tiny, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  ASSERT_TRUE(GetExitCodeThread(tiny, &exitCode));
  EXPECT_EQ(exitCode, 7u);
  EXPECT_TRUE(CloseHandle(tiny));

  // More than the address space holds: no thread.
  HANDLE impossible = CreateThread(NULL, static_cast<SIZE_T>(1) << 62, ReturnItsParameter, NULL, 0, NULL);
  EXPECT_EQ(impossible, kNoHandle);
#ifndef _WIN32
  // What the layer says when pthread_create refuses; Windows fails earlier, reserving the stack, with
  // an error of its own.
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
#endif
  if (impossible != NULL) CloseHandle(impossible);
}

}  // namespace
