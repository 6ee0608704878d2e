#include "model/FileBytes.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

// The size from the end position; ftell's long limits a file to 2 GB where long has 32 bits.
bool MeasureFile(FILE* file, size_t& size) {
  if (fseek(file, 0, SEEK_END) != 0) return false;
  long end = ftell(file);
  if (end < 0 || fseek(file, 0, SEEK_SET) != 0) return false;
  size = static_cast<size_t>(end);
  return true;
}

// The whole file read into a block of its size, for files that cannot be mapped.
FileBytes ReadIntoMemory(const char* fileName) {
  FileBytes bytes = {NULL, 0, false};
  FILE* file = NULL;
  if (fopen_s(&file, fileName, "rb") != 0 || file == NULL) return bytes;
  size_t size = 0;
  if (MeasureFile(file, size) && size > 0) {
    char* block = static_cast<char*>(malloc(size));
    if (block != NULL) {
      bytes.data = block;
      bytes.size = fread(block, 1, size, file);
    }
  }
  fclose(file);
  if (bytes.size == 0) FreeFileBytes(bytes);
  return bytes;
}

// A read-only view of the file's first size bytes, or null when the file cannot be mapped. The mapping
// handle is closed at once: the view keeps the mapping alive until it is unmapped.
const char* MapFile(HANDLE file, ULONGLONG size) {
  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, static_cast<DWORD>(size >> 32),
                                      static_cast<DWORD>(size & 0xFFFFFFFFu), NULL);
  if (mapping == NULL) return NULL;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
  CloseHandle(mapping);
  return static_cast<const char*>(view);
}

}  // namespace

FileBytes ReadFileBytes(const char* fileName) {
  FileBytes bytes = {NULL, 0, false};
  if (fileName == NULL) return bytes;
  // Shared with writers, as fopen shares: a file another program holds open still loads.
  HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  // The size is taken once and mapped exactly, so a file that grows in between still gives what was
  // measured. Past SIZE_MAX (a 32-bit process) the file cannot be held at all.
  LARGE_INTEGER fileSize;
  const bool sized = GetFileSizeEx(file, &fileSize) != FALSE && fileSize.QuadPart > 0;
  const ULONGLONG size = sized ? static_cast<ULONGLONG>(fileSize.QuadPart) : 0;
  const bool fits = sized && static_cast<ULONGLONG>(static_cast<size_t>(size)) == size;
  const char* view = fits ? MapFile(file, size) : NULL;
  CloseHandle(file);
  if (view != NULL) {
    bytes.data = view;
    bytes.size = static_cast<size_t>(size);
    bytes.mapped = true;
  } else if (fits) {
    bytes = ReadIntoMemory(fileName);
  }
  return bytes;
}

void FreeFileBytes(FileBytes& file) {
  if (file.mapped) {
    UnmapViewOfFile(file.data);
  } else {
    free(const_cast<char*>(file.data));
  }
  file.data = NULL;
  file.size = 0;
  file.mapped = false;
}
