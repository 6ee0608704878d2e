// Modules and the program's entry point.
#pragma once

#include <windef.h>

// The handle of a loaded module. Only a null name is known here: it gives the executable's own handle,
// which is also the hInstance WinMain receives. Any other name gives null (no such module loaded).
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);

// The program's entry point. On Linux, platform/entry/main.cpp calls it as Windows' start-up code would.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

// Files: what it takes to read a whole file. On Windows the functions come from fileapi.h, handleapi.h and
// errhandlingapi.h and the constants and OVERLAPPED from winnt.h and minwinbase.h, all through
// <windows.h>. Implemented in platform/win32/file.cpp, where the differences from Windows are described
// (the handle table, CloseHandle and GetLastError in kernel_object.cpp); in short:
// - A handle names one file or thread until CloseHandle. Handle values are never reused, so a closed or
//   made-up handle, or one of the wrong kind, fails with ERROR_INVALID_HANDLE.
// - Only reading is implemented: GENERIC_READ with OPEN_EXISTING, synchronous reads. Anything else fails
//   (ERROR_NOT_SUPPORTED, or what Windows says for that request).
// - Share modes are not enforced: another process may still write to or truncate an open file.
// - A failed call returns FALSE or INVALID_HANDLE_VALUE and sets the thread's last error, which
//   GetLastError reads. The thread calls below set it the same way; no other call of the layer sets it.
#define GENERIC_READ (0x80000000L)
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

// Accepted and ignored: handles are never inherited by child processes, and files get the default access
// of their owner.
typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// The record of an asynchronous or positioned read; only its type is needed here (ReadFile takes none).
typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    };
    PVOID Pointer;
  };
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// Opens an existing file for reading. INVALID_HANDLE_VALUE on failure: ERROR_FILE_NOT_FOUND for a
// missing file, ERROR_ACCESS_DENIED for a folder or a file that may not be read.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// The file's size in bytes, now.
BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);

// Reads up to nNumberOfBytesToRead bytes from the file's position, which it advances; fewer where the file
// ends, none at its end (TRUE both times). *lpNumberOfBytesRead receives the count; lpOverlapped must be
// null.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped);

// Closes a file or thread handle; a thread whose handle is closed runs on. INVALID_HANDLE_VALUE, which is
// also the current process's pseudo handle, is left alone with TRUE.
BOOL WINAPI CloseHandle(HANDLE hObject);

// The calling thread's last error, as the calls above left it.
DWORD WINAPI GetLastError(VOID);

// Threads: what it takes to run one function on a thread of its own and wait for it. On Windows these come
// from processthreadsapi.h and synchapi.h through <windows.h>. Implemented in platform/win32/thread.cpp
// over POSIX threads, where the differences from Windows are described. A thread handle lives in the same
// table as file handles: CloseHandle closes it (the thread runs on, as on Windows) and WaitForSingleObject
// waits for the thread to end. Threads end only by returning from their function.
typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define STILL_ACTIVE 259L

// Starts lpStartAddress(lpParameter) on a new thread. Null on failure: ERROR_NOT_ENOUGH_MEMORY when no
// thread can be made, ERROR_INVALID_PARAMETER for creation flags other than 0 (CREATE_SUSPENDED is not
// implemented) or a null start routine. A stack size of 0 takes the default; any other is the whole stack's
// size, rounded up to whole pages and to at least PTHREAD_STACK_MIN. The thread's id goes to lpThreadId
// when it is not null. The security attributes are ignored.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                           LPDWORD lpThreadId);

// Waits until the thread of hHandle has ended (WAIT_OBJECT_0, at once and every time after it has ended)
// or dwMilliseconds have passed (WAIT_TIMEOUT); 0 only looks, INFINITE waits as long as it takes.
// WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that names no thread: only threads can be waited
// for here, while Windows also waits for files and other objects.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// The value the thread's function returned, or STILL_ACTIVE while it runs. ERROR_INVALID_HANDLE for a
// handle that names no thread.
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
