// The C runtime's bounds-checked functions that glibc lacks, with the Microsoft CRT's checks and results.
// On Windows they come from <stdio.h> and <string.h>; <windows.h> includes this header on Linux so that
// the program sees the same set. A failed check returns the error code as the CRT does once its
// invalid-parameter handler returns; nothing here ends the process.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef int errno_t;
typedef size_t rsize_t;

#ifndef RSIZE_MAX
#define RSIZE_MAX (SIZE_MAX >> 1)
#endif

// Copies src with its terminator. EINVAL for a null dest or a size of 0 or past RSIZE_MAX (dest untouched),
// or a null src (dest[0] = 0); ERANGE when src does not fit with its terminator (dest[0] = 0).
errno_t strcpy_s(char* dest, rsize_t destsz, const char* src);

// Copies count bytes. Nothing to copy is success, whatever the pointers. EINVAL for a null dest (untouched)
// or a null src (dest zero-filled); ERANGE when count exceeds destsz (dest zero-filled).
errno_t memcpy_s(void* dest, rsize_t destsz, const void* src, rsize_t count);
