// The handle table shared by every family of kernel objects, CloseHandle for all of them, and the thread's
// last error. How handles are numbered and why: kernel_object.h.
#include "win32/kernel_object.h"

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

HANDLE AddObject(ObjectTable& table, const KernelObject& object, CloseObject close) {
  const ULONG_PTR value = table.nextHandle;
  table.nextHandle += kHandleStep;
  table.objects.emplace(value, ObjectEntry{object, close});
  return reinterpret_cast<HANDLE>(value);
}

KernelObject* FindObject(ObjectTable& table, HANDLE handle, ObjectKind kind) {
  auto found = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  if (found == table.objects.end() || found->second.object.kind != kind) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &found->second.object;
}

void SetError(DWORD error) { t_lastError = error; }

}  // namespace platform

// INVALID_HANDLE_VALUE is also the current process's pseudo handle on Windows, which CloseHandle accepts
// and leaves alone: TRUE, nothing closed. The handle's family lets go of what it owns.
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
  const ObjectEntry& entry = found->second;
  entry.close(entry.object);
  table.objects.erase(found);
  return TRUE;
}

DWORD WINAPI GetLastError(VOID) { return platform::t_lastError; }
