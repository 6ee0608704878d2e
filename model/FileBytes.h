// Whole files in memory in one piece, so that each loader pass runs over memory.
#pragma once

#include <stddef.h>

struct FileBytes {
  const char* data;  // a block of our own; null when the file is empty or could not be read
  size_t size;
};

// The whole file's bytes, read into a block of the size measured when it was opened (CreateFileA,
// GetFileSizeEx, ReadFile). A file that cannot be opened, sized or read into memory reads as an empty
// one, as does a file larger than the address space: the loaders then go on as for an empty model or
// library. The file is shared with readers and writers, as fopen shares it.
//
// The loaders never see the file itself, only the block: a file that another process changes or truncates
// while it is read gives the bytes read up to then (a short read is where the file ends), and nothing that
// happens to the file afterwards reaches the loaders.
FileBytes ReadFileBytes(const char* fileName);

// Frees the bytes and leaves the FileBytes empty.
void FreeFileBytes(FileBytes& file);
