// Files for reading, over open, fstat, read and close.
//
// A file handle owns an open descriptor. Handles live in the layer's one handle table (kernel_object.h,
// where their numbering is described), with thread handles; CloseHandle is defined there.
//
// Where Linux differs, and what the layer does about it:
// - Share modes are not enforced. On Windows a handle opened with FILE_SHARE_READ keeps other writers
//   out. Here another process may write to or truncate the file while it is open: ReadFile reads what the
//   file holds when it reads, and finds the end sooner in a file truncated meanwhile.
// - Only regular files open (common/regular_file.h). A folder opens on Linux; CreateFileA refuses it with
//   ERROR_ACCESS_DENIED, as Windows does without FILE_FLAG_BACKUP_SEMANTICS, and refuses FIFOs, devices
//   and sockets (also behind symbolic links) the same way: a model's data may name any path, a FIFO may
//   never deliver its data or its end, and a device such as /dev/zero never ends. Opening never waits: a
//   FIFO without a writer is opened non-blocking, seen for what it is and refused at once.
// - Windows names a missing folder in the path ERROR_PATH_NOT_FOUND; open reports ENOENT for a missing
//   folder and a missing file alike, so both give ERROR_FILE_NOT_FOUND here. ENOTDIR (a file used as a
//   folder) gives ERROR_PATH_NOT_FOUND.
// - Names go to open as they are, '/' separated.
// - Handles are never inherited by child processes (O_CLOEXEC), which is Windows' default; a
//   SECURITY_ATTRIBUTES asking for inheritance is ignored.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include "common/regular_file.h"
#include "win32/kernel_object.h"

#include <mutex>

namespace {

using platform::AddObject;
using platform::FindObject;
using platform::KernelObject;
using platform::ObjectKind;
using platform::ObjectTable;
using platform::SetError;
using platform::Table;

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// What CloseHandle does for a file handle.
void CloseDescriptor(const KernelObject& object) { close(object.fd); }

// fstat of an open descriptor; false with the last error set when it fails.
bool StatOpenFile(int fd, struct stat& status) {
  if (fstat(fd, &status) != 0) {
    SetError(ErrorFromErrno(errno));
    return false;
  }
  return true;
}

}  // namespace

// Only GENERIC_READ of an existing file (ERROR_NOT_SUPPORTED otherwise). The share mode and the flags and
// attributes are accepted and ignored (attributes only matter when a file is created; the flags are hints
// or ask for behaviour not implemented here); so is a template file, as on Windows when opening.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  UNREFERENCED_PARAMETER(dwShareMode);
  UNREFERENCED_PARAMETER(lpSecurityAttributes);
  UNREFERENCED_PARAMETER(dwFlagsAndAttributes);
  UNREFERENCED_PARAMETER(hTemplateFile);
  if (lpFileName == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (dwDesiredAccess != static_cast<DWORD>(GENERIC_READ) || dwCreationDisposition != OPEN_EXISTING) {
    SetError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  const int fd = platform::OpenRegularFile(lpFileName, nullptr);
  if (fd < 0) {
    SetError(ErrorFromErrno(errno));  // EACCES, ERROR_ACCESS_DENIED, for what is not a regular file
    return INVALID_HANDLE_VALUE;
  }
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return AddObject(table, KernelObject{ObjectKind::kFile, fd}, CloseDescriptor);
}

// The size fstat reports: the file's length (only regular files open).
BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject* file = FindObject(table, hFile, ObjectKind::kFile);
  if (file == nullptr) return FALSE;
  if (lpFileSize == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat status;
  if (!StatOpenFile(file->fd, status)) return FALSE;
  lpFileSize->QuadPart = static_cast<LONGLONG>(status.st_size);
  return TRUE;
}

namespace {

// A descriptor of the file's own, for one read outside the table's lock: it shares the file's position,
// and a handle closed meanwhile does not close it under the read. -1 with the last error set on failure.
int DuplicateForReading(HANDLE hFile) {
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject* file = FindObject(table, hFile, ObjectKind::kFile);
  if (file == nullptr) return -1;
  const int fd = fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) SetError(ErrorFromErrno(errno));
  return fd;
}

}  // namespace

// Synchronous reads from the file's position, which they advance, as Windows reads a handle opened
// without FILE_FLAG_OVERLAPPED: the bytes asked for, or fewer where the file ends (none at its end, which
// is no failure). *lpNumberOfBytesRead is set to 0 first and then to what was read. An OVERLAPPED record
// is not implemented (ERROR_NOT_SUPPORTED); a null count with none fails with ERROR_INVALID_PARAMETER, as
// does a null buffer.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  const int fd = DuplicateForReading(hFile);
  if (fd < 0) return FALSE;
  DWORD error = ERROR_SUCCESS;
  if (lpOverlapped != nullptr) error = ERROR_NOT_SUPPORTED;
  else if (lpNumberOfBytesRead == nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead != 0))
    error = ERROR_INVALID_PARAMETER;
  char* buffer = static_cast<char*>(lpBuffer);
  DWORD done = 0;
  while (error == ERROR_SUCCESS && done < nNumberOfBytesToRead) {
    const ssize_t got = read(fd, buffer + done, nNumberOfBytesToRead - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = ErrorFromErrno(errno);
    if (got <= 0) break;
    done += static_cast<DWORD>(got);
  }
  close(fd);
  if (error != ERROR_SUCCESS) {
    SetError(error);
    return FALSE;
  }
  *lpNumberOfBytesRead = done;
  return TRUE;
}
