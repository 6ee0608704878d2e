// Files, file mappings and views for reading, over open, fstat, mmap, munmap and close.
//
// Objects and handles. A file handle owns an open descriptor. A mapping handle owns a descriptor of its
// own (a duplicate of the file's, so the file handle can be closed at once, as on Windows) and the
// mapping's size in bytes; that is all a read-only section needs here. A view is an mmap of the mapping's
// descriptor and, once made, needs neither handle: closing both leaves it mapped, as Windows does (a view
// keeps its section and file alive). Handles live in the layer's one handle table (kernel_object.h, where
// their numbering is described), with thread handles; CloseHandle is defined there. Views are kept in a
// table of their own, by base address.
//
// Where Linux differs, and what the layer does about it:
// - Share modes are not enforced. On Windows a handle opened with FILE_SHARE_READ keeps other writers
//   out, and a file with a mapped view cannot be shortened (ERROR_USER_MAPPED_FILE). Here another process
//   may write to or truncate the file: a view shows writes at once (MAP_SHARED, as Windows' views do), and
//   touching a page past a new, shorter end raises SIGBUS. Windows raises EXCEPTION_IN_PAGE_ERROR when a
//   view's pages cannot be read (a network file changed, a removed device), so callers of either must not
//   map files that change under them.
// - An empty file cannot be mapped whole on Windows (ERROR_FILE_INVALID), while mmap would only refuse the
//   zero length later; CreateFileMappingA refuses it as Windows does.
// - A read-only mapping cannot be larger than its file: Windows grows the file only for writable
//   mappings and refuses a larger read-only one with ERROR_NOT_ENOUGH_MEMORY, as the layer does, where
//   mmap would map the pages past the end and fault on them.
// - View offsets must be multiples of Windows' allocation granularity, 64 KiB, not of Linux's page size.
// - Only regular files open (common/regular_file.h). A folder opens on Linux; CreateFileA refuses it with
//   ERROR_ACCESS_DENIED, as Windows does without FILE_FLAG_BACKUP_SEMANTICS, and refuses FIFOs, devices
//   and sockets (also behind symbolic links) the same way: a model's data may name any path, and a FIFO
//   never ends or a device such as /dev/zero never does. Opening never waits: a FIFO without a writer is
//   opened non-blocking, seen for what it is and refused at once.
// - Windows names a missing folder in the path ERROR_PATH_NOT_FOUND; open reports ENOENT for a missing
//   folder and a missing file alike, so both give ERROR_FILE_NOT_FOUND here. ENOTDIR (a file used as a
//   folder) gives ERROR_PATH_NOT_FOUND.
// - Names go to open as they are, '/' separated, like fopen_s's.
// - Handles are never inherited by child processes (O_CLOEXEC), which is Windows' default; a
//   SECURITY_ATTRIBUTES asking for inheritance is ignored.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include "common/regular_file.h"
#include "win32/kernel_object.h"

#include <limits>
#include <map>
#include <mutex>

namespace {

using platform::AddObject;
using platform::FindObject;
using platform::KernelObject;
using platform::ObjectKind;
using platform::ObjectTable;
using platform::SetError;
using platform::Table;

constexpr ULONGLONG kAllocationGranularity = 64 * 1024;

// The views still mapped, under a lock of their own. MapViewOfFile takes it while holding the handle
// table's lock, never the other way round.
struct ViewTable {
  std::mutex mutex;
  std::map<const void*, size_t> views;  // base address -> length in bytes
};

// Never destroyed: a view may still be unmapped by code that runs after static destructors.
ViewTable& Views() {
  static ViewTable* views = new ViewTable;
  return *views;
}

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
    case EOVERFLOW:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENODEV:  // a file system whose files cannot be mapped (sysfs, some FUSE file systems)
      return ERROR_NOT_SUPPORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// What CloseHandle does for a file or mapping handle.
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

// PAGE_READONLY mappings of a file handle, unnamed; ERROR_NOT_SUPPORTED for other protections, named
// mappings and mappings backed by the paging file (INVALID_HANDLE_VALUE for the file), and for files that
// are not regular files (pipes, devices). As on Windows, a new mapping sets the last error to
// ERROR_SUCCESS.
HANDLE WINAPI CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes, DWORD flProtect,
                                 DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName) {
  UNREFERENCED_PARAMETER(lpFileMappingAttributes);
  if (hFile == INVALID_HANDLE_VALUE || lpName != nullptr || flProtect != PAGE_READONLY) {
    SetError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject* file = FindObject(table, hFile, ObjectKind::kFile);
  if (file == nullptr) return nullptr;
  struct stat status;
  if (!StatOpenFile(file->fd, status)) return nullptr;
  if (!S_ISREG(status.st_mode)) {
    SetError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const ULONGLONG fileSize = static_cast<ULONGLONG>(status.st_size);
  const ULONGLONG asked = (static_cast<ULONGLONG>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
  if (asked == 0 && fileSize == 0) {
    SetError(ERROR_FILE_INVALID);
    return nullptr;
  }
  if (asked > fileSize) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const int fd = fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    SetError(ErrorFromErrno(errno));
    return nullptr;
  }
  SetError(ERROR_SUCCESS);
  return AddObject(table, KernelObject{ObjectKind::kMapping, fd, asked == 0 ? fileSize : asked}, CloseDescriptor);
}

// FILE_MAP_READ views only: every mapping here is PAGE_READONLY, and Windows refuses write or execute
// access to such a mapping with ERROR_ACCESS_DENIED (copy-on-write views are not implemented and are
// refused the same way). The pages are mapped shared, so the view reads the file as it is now.
LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                            DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap) {
  ObjectTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  KernelObject* mapping = FindObject(table, hFileMappingObject, ObjectKind::kMapping);
  if (mapping == nullptr) return nullptr;
  if (dwDesiredAccess != FILE_MAP_READ) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const ULONGLONG offset = (static_cast<ULONGLONG>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
  if (offset % kAllocationGranularity != 0) {
    SetError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  if (offset >= mapping->size || dwNumberOfBytesToMap > mapping->size - offset) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const ULONGLONG length = dwNumberOfBytesToMap != 0 ? dwNumberOfBytesToMap : mapping->size - offset;
  if (static_cast<ULONGLONG>(static_cast<size_t>(length)) != length ||
      offset > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max())) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);  // more than the address space holds (32-bit processes)
    return nullptr;
  }
  void* view = mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, mapping->fd,
                    static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    SetError(ErrorFromErrno(errno));
    return nullptr;
  }
  ViewTable& views = Views();
  std::lock_guard<std::mutex> viewsLock(views.mutex);
  views.views.emplace(view, static_cast<size_t>(length));
  return view;
}

// The view that holds the address: the base MapViewOfFile returned, as the documentation asks, or any
// address inside the view, which Windows also takes. ERROR_INVALID_ADDRESS outside every view.
BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress) {
  ViewTable& views = Views();
  std::lock_guard<std::mutex> lock(views.mutex);
  // The last view starting at or below the address, if the address is inside it.
  auto found = views.views.upper_bound(lpBaseAddress);
  bool inView = false;
  if (found != views.views.begin()) {
    --found;
    inView = reinterpret_cast<ULONG_PTR>(lpBaseAddress) - reinterpret_cast<ULONG_PTR>(found->first) < found->second;
  }
  if (!inView) {
    SetError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  munmap(const_cast<void*>(found->first), found->second);
  views.views.erase(found);
  return TRUE;
}
