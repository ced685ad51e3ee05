// The floor under `userlens /listusers` on a host whose nsswitch.conf names files alone: a
// program that reads group, then passwd and shadow side by side, once each through fixed buffers,
// and writes the same lines, and nothing else (it trusts the files to be well formed and to list
// their users in the same order, which the benchmark's files do). With "block" it also makes and
// fills the memory of the record block that Windows' account call hands out for the same
// accounts (a level-2 record of 152 bytes and the texts that are not shared, about 300 bytes an
// account): the least any implementation of that call pays. Built and run by bench/run.sh only.
//
//   floor [block]
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

class Lines {
 public:
  explicit Lines(const char* path) : fd_(open(path, O_RDONLY)), buffer_(1 << 17) {}
  ~Lines() {
    if (fd_ >= 0) close(fd_);
  }
  bool Next(std::string_view& line) {
    for (;;) {
      auto* newline = static_cast<char*>(std::memchr(buffer_.data() + start_, '\n', end_ - start_));
      if (newline != nullptr) {
        line = std::string_view(buffer_.data() + start_, newline - buffer_.data() - start_);
        start_ = newline - buffer_.data() + 1;
        return true;
      }
      std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
      ssize_t n = fd_ < 0 ? 0 : read(fd_, buffer_.data() + end_, buffer_.size() - end_);
      if (n <= 0) return false;
      end_ += static_cast<size_t>(n);
    }
  }

 private:
  int fd_;
  std::vector<char> buffer_;
  size_t start_ = 0;
  size_t end_ = 0;
};

std::string_view Field(std::string_view line, int index) {
  for (int i = 0; i < index; ++i) line.remove_prefix(std::min(line.size(), line.find(':') + 1));
  return line.substr(0, line.find(':'));
}

}  // namespace

int main(int argc, char** argv) {
  bool block = argc > 1 && std::strcmp(argv[1], "block") == 0;
  std::vector<std::string> admins;
  Lines group("/etc/group");
  for (std::string_view line; group.Next(line);) {
    std::string_view name = Field(line, 0);
    if (name != "sudo" && name != "wheel" && name != "admin") continue;
    std::string_view members = Field(line, 3);
    while (!members.empty()) {
      size_t comma = members.find(',');
      admins.emplace_back(members.substr(0, comma));
      members = comma == std::string_view::npos ? std::string_view() : members.substr(comma + 1);
    }
  }
  std::sort(admins.begin(), admins.end());
  constexpr size_t kStep = 256 << 10;
  constexpr size_t kPerAccount = 300;
  size_t cbMemory = size_t{1} << 32;
  unsigned char* memory = nullptr;
  if (block) {
    void* mapping = mmap(nullptr, cbMemory, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED) return 1;
    memory = static_cast<unsigned char*>(mapping);
  }
  size_t used = 0;
  size_t populated = 0;
  bool failed = false;
  std::string out = "Users on this computer:\r\nIs Admin? | Username\r\n------------------\r\n";
  Lines passwd("/etc/passwd");
  Lines shadow("/etc/shadow");
  std::string_view line;
  std::string_view shadowLine;
  while (passwd.Next(line) && shadow.Next(shadowLine)) {
    std::string_view name = Field(line, 0);
    if (block) {
      if (used + kPerAccount > populated) {
        madvise(memory + populated, kStep, MADV_POPULATE_WRITE);
        populated += kStep;
      }
      std::memset(memory + used, 1, kPerAccount);
      used += kPerAccount;
    }
    bool admin = Field(line, 2) == "0" || std::binary_search(admins.begin(), admins.end(), name);
    out += admin ? "   Yes    | " : "          | ";
    out += name;
    if (Field(shadowLine, 1).substr(0, 1) == "!") out += " (Disabled)";
    out += "\r\n";
    if (out.size() > (1 << 16)) {
      failed |= write(1, out.data(), out.size()) < 0;
      out.clear();
    }
  }
  failed |= !out.empty() && write(1, out.data(), out.size()) < 0;
  if (memory != nullptr) munmap(memory, cbMemory);
  return failed ? 1 : 0;
}
