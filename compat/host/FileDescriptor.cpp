#include "host/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace compat {

FileDescriptor OpenRegularFile(const char* path) {
  FileDescriptor file(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (file.valid() && (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))) {
    file.Reset();
    errno = EINVAL;
  }
  return file;
}

std::optional<std::string> ReadRegularFile(const char* path, size_t cbLimit) {
  FileDescriptor file = OpenRegularFile(path);
  if (!file.valid()) return std::nullopt;
  std::string text;
  char chunk[4096];
  for (;;) {
    ssize_t n = read(file.get(), chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0 || text.size() + static_cast<size_t>(n) > cbLimit) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace compat
