#include "common/regular_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

int OpenRegularFile(const char* path, uint64_t* size) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat status;
  int error = 0;
  if (fstat(fd, &status) != 0)
    error = errno;
  else if (!S_ISREG(status.st_mode))
    error = EACCES;
  if (error != 0) {
    close(fd);
    errno = error;
    return -1;
  }
  if (size) *size = static_cast<uint64_t>(status.st_size);
  return fd;
}

bool ReadRegularFile(const char* path, size_t maxBytes, std::vector<unsigned char>* bytes) {
  uint64_t size = 0;
  const int fd = OpenRegularFile(path, &size);
  if (fd < 0) return false;
  bool ok = size <= maxBytes;
  size_t got = 0;
  if (ok) bytes->resize(static_cast<size_t>(size) + 1);  // one byte more: the end shows without growing
  while (ok) {
    if (got == bytes->size()) bytes->resize(got + std::min<size_t>(got, 1 << 20));  // the file grew
    const ssize_t n = read(fd, bytes->data() + got, bytes->size() - got);
    if (n == 0) break;
    if (n > 0) got += static_cast<size_t>(n);
    ok = (n > 0 || errno == EINTR) && got <= maxBytes;
  }
  close(fd);
  if (ok) bytes->resize(got);
  return ok;
}

}  // namespace platform
