// Layer-internal: the handle table of kernel objects (files, threads) and the thread's last error, shared
// by file.cpp and thread.cpp. CloseHandle and GetLastError are defined once, in
// kernel_object.cpp.
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

enum class ObjectKind { kFile, kThread };

struct ThreadRecord;  // thread.cpp

// What a handle owns. CloseHandle closes fd when it is not -1 and lets go of thread when it is not null.
struct KernelObject {
  ObjectKind kind;
  int fd = -1;                     // a file: its own open descriptor
  ThreadRecord* thread = nullptr;  // a thread: the record it shares with the running thread
};

struct ObjectTable {
  std::mutex mutex;
  std::map<ULONG_PTR, KernelObject> objects;
  ULONG_PTR nextHandle;
};

// The process's table. Never destroyed: a handle may still be closed by code that runs after static
// destructors.
ObjectTable& Table();

// Adds the object under a new handle; the caller holds the table's lock.
HANDLE AddObject(ObjectTable& table, const KernelObject& object);

// The live object of that kind behind the handle, or null (ERROR_INVALID_HANDLE set); the caller holds the
// table's lock. The pointer is valid until the lock is released.
KernelObject* FindObject(ObjectTable& table, HANDLE handle, ObjectKind kind);

// Sets the calling thread's last error, which GetLastError reads.
void SetError(DWORD error);

// Lets go of the handle's share of a thread record (thread.cpp); called by CloseHandle under the table's
// lock.
void ReleaseThreadHandle(ThreadRecord* thread);

}  // namespace platform
