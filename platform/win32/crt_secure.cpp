// The C runtime's bounds-checked copies, over glibc.
#include <errno.h>
#include <string.h>
#include <windows.h>

errno_t strcpy_s(char* dest, rsize_t destsz, const char* src) {
  if (dest == nullptr || destsz == 0 || destsz > RSIZE_MAX) return EINVAL;
  if (src == nullptr) {
    dest[0] = '\0';
    return EINVAL;
  }
  const size_t length = strnlen(src, destsz);
  if (length == destsz) {
    dest[0] = '\0';
    return ERANGE;
  }
  memcpy(dest, src, length + 1);
  return 0;
}

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
