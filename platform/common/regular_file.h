// Opening and reading the files the layer is asked to read (textures, shader sources, models), refusing
// at once whatever is not a regular file. A name in a downloaded model's data may point anywhere: a FIFO
// would block open and read forever, a device such as /dev/zero never ends, a folder has no contents.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace platform {

// Opens the file for reading without waiting (O_NONBLOCK, so a FIFO without a writer opens at once),
// never inherited by child processes and never becoming a controlling terminal; symbolic links are
// followed. Returns the descriptor and stores the file's size in *size (when not null), or returns -1
// with errno set: open's or fstat's error, or EACCES for a folder, FIFO, device or socket.
int OpenRegularFile(const char* path, uint64_t* size);

// Reads the whole regular file into *bytes. False, with *bytes unspecified, when the file cannot be
// opened, is not a regular file, holds more than maxBytes or a read fails. A file that grows while it is
// read is read to its end, within maxBytes.
bool ReadRegularFile(const char* path, size_t maxBytes, std::vector<unsigned char>* bytes);

}  // namespace platform
