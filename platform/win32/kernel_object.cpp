// The handle table shared by files and threads, CloseHandle for all of them, and the thread's last error.
// How handles are numbered and why: kernel_object.h.
#include "win32/kernel_object.h"

#include <unistd.h>

namespace platform {

namespace {

constexpr ULONG_PTR kFirstHandle = 0x40;
constexpr ULONG_PTR kHandleStep = 4;

thread_local DWORD t_lastError = ERROR_SUCCESS;

}  // namespace

ObjectTable& Table() {
  static ObjectTable* table = new ObjectTable{{}, {}, kFirstHandle};
  return *table;
}

HANDLE AddObject(ObjectTable& table, const KernelObject& object) {
  const ULONG_PTR value = table.nextHandle;
  table.nextHandle += kHandleStep;
  table.objects.emplace(value, object);
  return reinterpret_cast<HANDLE>(value);
}

KernelObject* FindObject(ObjectTable& table, HANDLE handle, ObjectKind kind) {
  auto found = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  if (found == table.objects.end() || found->second.kind != kind) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &found->second;
}

void SetError(DWORD error) { t_lastError = error; }

}  // namespace platform

// INVALID_HANDLE_VALUE is also the current process's pseudo handle on Windows, which CloseHandle accepts
// and leaves alone: TRUE, nothing closed. A thread's handle closes at once; the thread runs on.
BOOL WINAPI CloseHandle(HANDLE hObject) {
  using namespace platform;
  if (hObject == INVALID_HANDLE_VALUE) return TRUE;
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.objects.find(reinterpret_cast<ULONG_PTR>(hObject));
  if (found == table.objects.end()) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const KernelObject& object = found->second;
  if (object.fd != -1) close(object.fd);
  if (object.thread != nullptr) ReleaseThreadHandle(object.thread);
  table.objects.erase(found);
  return TRUE;
}

DWORD WINAPI GetLastError(VOID) { return platform::t_lastError; }
