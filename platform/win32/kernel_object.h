// Layer-internal: the handle table of kernel objects and the thread's last error, shared by the families
// of kernel objects (file.cpp, thread.cpp). CloseHandle and GetLastError are defined once, in
// kernel_object.cpp. The table knows nothing of what a family's objects are: each handle is registered
// with the family's close function, which CloseHandle calls to let go of what the handle owns.
//
// Handle values are numbers of our own, multiples of 4 as on Windows, looked up in one table:
// - a descriptor cast to a pointer would make descriptor 0 the null handle, and descriptors are reused at
//   once after close, so a stale handle would silently name the next file opened;
// - a pointer to a heap record could not be checked either (a closed handle's memory may hold a new
//   object, or nothing).
// Values start above 0 and are never reused (a pointer-sized counter stepping by 4, which on 64 bits
// would need 2^62 handles to wrap), so null, INVALID_HANDLE_VALUE, a closed handle, a made-up one and a
// handle of the wrong kind all fail with ERROR_INVALID_HANDLE, whatever kind of object each family asks
// for. The table is shared by all threads under one lock, since handles are process-wide on Windows.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>

namespace platform {

// The kinds of object the families register; the table only compares them.
enum class ObjectKind { kFile, kThread };

// What a handle owns; each family fills the fields it uses.
struct KernelObject {
  ObjectKind kind;
  int fd = -1;             // an open descriptor of the object's own
  void* record = nullptr;  // a record the family shares with others (a thread's, with the running thread)
};

// Lets go of what the object owns; CloseHandle calls it under the table's lock.
using CloseObject = void (*)(const KernelObject& object);

struct ObjectEntry {
  KernelObject object;
  CloseObject close;
};

struct ObjectTable {
  std::mutex mutex;
  std::map<ULONG_PTR, ObjectEntry> objects;
  ULONG_PTR nextHandle;
};

// The process's table. Never destroyed: a handle may still be closed by code that runs after static
// destructors.
ObjectTable& Table();

// Adds the object under a new handle, to be closed by close; the caller holds the table's lock.
HANDLE AddObject(ObjectTable& table, const KernelObject& object, CloseObject close);

// The live object of that kind behind the handle, or null (ERROR_INVALID_HANDLE set); the caller holds the
// table's lock. The pointer is valid until the lock is released.
KernelObject* FindObject(ObjectTable& table, HANDLE handle, ObjectKind kind);

// Sets the calling thread's last error, which GetLastError reads.
void SetError(DWORD error);

}  // namespace platform
