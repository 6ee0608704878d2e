#include "model/FileBytes.h"

#include <windows.h>

#include <stdlib.h>

namespace {

const DWORD kLargestRead = 1 << 24;  // a read of many megabytes at once fails on some network file systems

// Up to size bytes from the file's start into block, in pieces a DWORD counts; fewer when the file ends
// sooner (it shrank since it was measured) or a read fails.
size_t ReadWhole(HANDLE file, char* block, size_t size) {
  size_t done = 0;
  while (done < size) {
    DWORD piece = size - done < kLargestRead ? static_cast<DWORD>(size - done) : kLargestRead;
    DWORD read = 0;
    if (!ReadFile(file, block + done, piece, &read, NULL) || read == 0) break;
    done += read;
  }
  return done;
}

}  // namespace

FileBytes ReadFileBytes(const char* fileName) {
  FileBytes bytes = {};
  if (fileName == NULL) return bytes;
  // Shared with writers, as fopen shares: a file another program holds open still loads.
  HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  // The size is taken once, so a file that grows in between still gives what was measured. Past SIZE_MAX
  // (a 32-bit process) the file cannot be held at all.
  LARGE_INTEGER fileSize;
  const bool sized = GetFileSizeEx(file, &fileSize) != FALSE && fileSize.QuadPart > 0;
  const ULONGLONG size = sized ? static_cast<ULONGLONG>(fileSize.QuadPart) : 0;
  const bool fits = sized && static_cast<ULONGLONG>(static_cast<size_t>(size)) == size;
  char* block = fits ? static_cast<char*>(malloc(static_cast<size_t>(size))) : NULL;
  size_t read = block != NULL ? ReadWhole(file, block, static_cast<size_t>(size)) : 0;
  CloseHandle(file);
  if (read == 0) {
    free(block);
    return bytes;
  }
  bytes.data = block;
  bytes.size = read;
  return bytes;
}

void FreeFileBytes(FileBytes& file) {
  free(const_cast<char*>(file.data));
  file.data = NULL;
  file.size = 0;
}
