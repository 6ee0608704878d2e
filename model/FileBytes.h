// Whole files read into memory in one block, so that each loader pass runs over memory.
#pragma once

#include <stddef.h>

struct FileBytes {
  char* data;  // null when the file is empty or could not be read
  size_t size;
};

// Reads the whole file in binary mode. A file that cannot be opened, sized or read into memory reads as an
// empty one: the loaders then go on as for an empty model or library.
FileBytes ReadFileBytes(const char* fileName);
void FreeFileBytes(FileBytes& file);
