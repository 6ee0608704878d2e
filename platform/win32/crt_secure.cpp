// The C runtime's bounds-checked copy, over glibc.
#include <errno.h>
#include <string.h>
#include <windows.h>

errno_t memcpy_s(void* dest, rsize_t destsz, const void* src, rsize_t count) {
  if (count == 0) return 0;
  if (dest == nullptr) return EINVAL;
  if (src == nullptr || count > destsz) {
    memset(dest, 0, destsz);
    return src == nullptr ? EINVAL : ERANGE;
  }
  memcpy(dest, src, count);
  return 0;
}
