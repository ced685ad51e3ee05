// A file descriptor that is closed when its owner goes away, and the one way the stand-in opens
// the host's files: without waiting, and only when they are regular files, so that a FIFO or a
// device in a file's place is taken as no file instead of stopping the program.
#pragma once

#include <unistd.h>

#include <optional>
#include <string>
#include <utility>

namespace compat {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// A regular file opened for reading; invalid for anything else (errno tells why).
FileDescriptor OpenRegularFile(const char* path);
// The whole of a regular file, at most cbLimit bytes; none when it is not one or cannot be read.
std::optional<std::string> ReadRegularFile(const char* path, size_t cbLimit = 1 << 20);

}  // namespace compat
