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

}  // namespace

FileBytes ReadFileBytes(const char* fileName) {
  FileBytes bytes = {NULL, 0};
  FILE* file = NULL;
  if (fileName == NULL || fopen_s(&file, fileName, "rb") != 0 || file == NULL) return bytes;
  size_t size = 0;
  if (MeasureFile(file, size) && size > 0) {
    bytes.data = static_cast<char*>(malloc(size));
    if (bytes.data != NULL) bytes.size = fread(bytes.data, 1, size, file);
  }
  fclose(file);
  if (bytes.size == 0) FreeFileBytes(bytes);
  return bytes;
}

void FreeFileBytes(FileBytes& file) {
  free(file.data);
  file.data = NULL;
  file.size = 0;
}
