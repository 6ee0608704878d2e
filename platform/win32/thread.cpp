// Threads, over POSIX threads: CreateThread, WaitForSingleObject on a thread handle, GetExitCodeThread.
//
// Objects and handles. A thread and its handle share a record: the function to run and its argument, and
// whether the thread has ended and with what value, under a mutex of its own, with a condition variable
// that is signalled when the thread ends. The handle lives in the layer's one handle table
// (kernel_object.h) with file handles, so CloseHandle, a stale handle and a handle of the wrong
// kind behave the same for every kind. The record is counted: one reference for the thread, one for the
// handle and one for each WaitForSingleObject in progress; it is freed when the last of them lets go, that
// is, once the thread has ended and its handle is closed.
//
// Where Linux differs, and what the layer does about it:
// - A pthread must be joined or detached, or its stack and exit state stay until the process ends; a
//   Windows thread needs neither, its handle is only a reference, and the thread may end before or after
//   the handle is closed. The layer detaches every thread when it creates it and keeps the end state in the
//   record instead. WaitForSingleObject waits on the record, not with pthread_join, so any number of
//   threads may wait for the same thread, and a wait after the end returns WAIT_OBJECT_0 at once, again
//   and again, as on Windows. Closing the handle leaves the thread running.
// - A thread handle is waitable only through WaitForSingleObject, the layer's only wait. And
//   WaitForSingleObject knows only threads: a file handle, which Windows signals when an I/O request on it
//   completes, fails here with ERROR_INVALID_HANDLE, as does anything else that names no thread.
// - Thread ids: Windows numbers threads and processes from one pool of DWORDs. Here the id is the kernel's
//   thread id (gettid: what ps -L, /proc, gdb and perf show), which fits a DWORD. Like a Windows id it is
//   unique among the threads running in the system and may be given to a new thread once this one has
//   ended. The new thread learns it when it starts, so CreateThread waits for that when lpThreadId asks
//   for the id, and does not wait otherwise.
// - Creation flags: only 0. CREATE_SUSPENDED would need ResumeThread, which the layer does not have, and
//   STACK_SIZE_PARAM_IS_A_RESERVATION is not implemented; both, and any other flag, fail with
//   ERROR_INVALID_PARAMETER.
// - A null start routine fails with ERROR_INVALID_PARAMETER; Windows starts a thread that faults at once.
// - The stack size: on Windows dwStackSize is what the new stack commits at first, and the stack reserves
//   at least the program's default (from its executable header) whatever is asked for. A pthread stack is
//   one block with no such split: here a size other than 0 is the size of the whole stack, rounded up to
//   whole pages and to at least PTHREAD_STACK_MIN, and glibc keeps the thread's static TLS in that block
//   too. A thread given a size must therefore not need more than that size, which on Windows it might
//   get away with. A size of 0 takes pthreads' default (the process's stack limit, 8 MiB usually), where
//   Windows takes the size in the executable's header.
// - A thread ends when its function returns: the layer has no ExitThread or TerminateThread. When WinMain
//   returns, the process ends with its other threads, as on Windows, where the C runtime's exit ends the
//   process.
// - Security attributes are accepted and ignored: a thread handle is never inherited, and the thread gets
//   the process's access.
// - Timeouts run on the monotonic clock (steady_clock), so changes of the wall clock do not shorten or
//   stretch them; Windows' waits are not tied to the wall clock either. They are not rounded to Windows'
//   timer tick (15.6 ms by default): a wait ends about when asked for.
// - A function that returns STILL_ACTIVE (259) looks still running to GetExitCodeThread, as on Windows;
//   WaitForSingleObject(h, 0) tells the two apart.
// - Each new thread's last error starts at ERROR_SUCCESS (it is thread-local), as on Windows.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <windows.h>

#include "win32/kernel_object.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>

namespace platform {

struct ThreadRecord {
  ThreadRecord(LPTHREAD_START_ROUTINE routine, LPVOID parameter) : routine(routine), parameter(parameter) {}

  const LPTHREAD_START_ROUTINE routine;
  const LPVOID parameter;

  std::mutex mutex;
  std::condition_variable changed;  // notified when the id is known and when the thread has ended
  bool idKnown = false;
  DWORD id = 0;
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;

  // The thread's, the handle's and one per wait in progress.
  std::atomic<int> references{2};
};

namespace {

void Release(ThreadRecord* record) {
  if (record->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete record;
}

// The live thread behind the handle with a reference taken for the caller, who must Release it; or null
// with ERROR_INVALID_HANDLE set.
ThreadRecord* AcquireThread(HANDLE handle) {
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject* object = FindObject(table, handle, ObjectKind::kThread);
  if (object == nullptr) return nullptr;
  ThreadRecord* record = static_cast<ThreadRecord*>(object->record);
  record->references.fetch_add(1, std::memory_order_relaxed);
  return record;
}

// Lets go of the handle's share of the record; the thread runs on.
void CloseThreadHandle(const KernelObject& object) { Release(static_cast<ThreadRecord*>(object.record)); }

void* ThreadMain(void* argument) {
  ThreadRecord* record = static_cast<ThreadRecord*>(argument);
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->id = static_cast<DWORD>(syscall(SYS_gettid));
    record->idKnown = true;
  }
  record->changed.notify_all();
  const DWORD exitCode = record->routine(record->parameter);
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->exitCode = exitCode;
    record->ended = true;
  }
  record->changed.notify_all();
  Release(record);
  return nullptr;
}

// The size to give pthreads for a stack size asked of CreateThread (not 0): whole pages, at least
// PTHREAD_STACK_MIN. False when rounding up would overflow.
bool StackSizeFor(SIZE_T asked, size_t& size) {
  const long pageSize = sysconf(_SC_PAGESIZE);
  const size_t page = pageSize > 0 ? static_cast<size_t>(pageSize) : 4096;
  const size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
  size_t wanted = asked < minimum ? minimum : asked;
  if (wanted > std::numeric_limits<size_t>::max() - (page - 1)) return false;
  size = (wanted + page - 1) / page * page;
  return true;
}

}  // namespace

}  // namespace platform

// The thread is detached from the start; its handle and the thread end independently (see the top of the
// file). ERROR_NOT_ENOUGH_MEMORY also covers a stack size pthreads cannot give and any other reason
// pthread_create has to refuse (the limit on threads, address space).
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                           LPDWORD lpThreadId) {
  using namespace platform;
  UNREFERENCED_PARAMETER(lpThreadAttributes);
  if (lpStartAddress == nullptr || dwCreationFlags != 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bool ready = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
  if (ready && dwStackSize != 0) {
    size_t stackSize = 0;
    ready = StackSizeFor(dwStackSize, stackSize) && pthread_attr_setstacksize(&attributes, stackSize) == 0;
  }
  ThreadRecord* record = ready ? new (std::nothrow) ThreadRecord(lpStartAddress, lpParameter) : nullptr;
  pthread_t thread;
  const bool started = record != nullptr && pthread_create(&thread, &attributes, ThreadMain, record) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) {
    delete record;
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The thread holds its own reference from here on; the handle's is the record's second one.
  if (lpThreadId != nullptr) {
    std::unique_lock<std::mutex> lock(record->mutex);
    record->changed.wait(lock, [record] { return record->idKnown; });
    *lpThreadId = record->id;
  }
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject object{ObjectKind::kThread};
  object.record = record;
  return AddObject(table, object, CloseThreadHandle);
}

// Thread handles only (see the top of the file). The handle may be closed by another thread during the
// wait, which Windows leaves undefined; here the wait goes on to its end.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  using namespace platform;
  ThreadRecord* record = AcquireThread(hHandle);
  if (record == nullptr) return WAIT_FAILED;
  bool ended;
  {
    std::unique_lock<std::mutex> lock(record->mutex);
    const auto hasEnded = [record] { return record->ended; };
    if (dwMilliseconds == INFINITE) {
      record->changed.wait(lock, hasEnded);
      ended = true;
    } else {
      ended = record->changed.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), hasEnded);
    }
  }
  Release(record);
  return ended ? WAIT_OBJECT_0 : static_cast<DWORD>(WAIT_TIMEOUT);
}

// ERROR_INVALID_PARAMETER for a null lpExitCode, as GetFileSizeEx gives for a null size.
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  using namespace platform;
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject* object = FindObject(table, hThread, ObjectKind::kThread);
  if (object == nullptr) return FALSE;
  if (lpExitCode == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ThreadRecord* record = static_cast<ThreadRecord*>(object->record);
  std::lock_guard<std::mutex> recordLock(record->mutex);
  *lpExitCode = record->exitCode;
  return TRUE;
}
