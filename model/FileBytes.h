// Whole files in memory in one piece, so that each loader pass runs over memory: the file mapped
// read-only where it can be, read into a block of our own where it cannot.
#pragma once

#include <stddef.h>

struct FileBytes {
  const char* data;  // null when the file is empty or could not be read
  size_t size;
  bool mapped;  // data is a view of the file (unmapped when freed), not a block of our own (freed)
};

// The whole file's bytes, from a read-only view of it (CreateFileMappingA, MapViewOfFile) or, where the
// file cannot be mapped (some file systems), read into memory in binary mode. A file that cannot be
// opened, sized or read into memory reads as an empty one, as does a file larger than the address space:
// the loaders then go on as for an empty model or library. The file is shared with readers and writers, as
// fopen shares it.
//
// A view reads the file in place for as long as it is mapped. A file truncated by another process while
// mapped faults on access to the pages past its new end (SIGBUS on Linux, where nothing prevents the
// truncation; on Windows a view faults the same way, with an in-page error, when its pages cannot be read,
// e.g. a network file changed under it). Changes to the bytes themselves show through.
FileBytes ReadFileBytes(const char* fileName);

// Unmaps or frees the bytes and leaves the FileBytes empty.
void FreeFileBytes(FileBytes& file);
