// Writes a lastlog file for the host tests: make_lastlog FILE UID=TIME...
// Each record lands at the offset of its uid, as login writes it; the rest stays a hole.
#include <fcntl.h>
#include <unistd.h>
#include <utmp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_lastlog FILE UID=TIME...\n");
    return 2;
  }
  int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    unsigned long uid = 0;
    long time = 0;
    if (std::sscanf(argv[i], "%lu=%ld", &uid, &time) != 2) {
      std::fprintf(stderr, "not UID=TIME: %s\n", argv[i]);
      status = 2;
      break;
    }
    struct lastlog record {};
    record.ll_time = static_cast<decltype(record.ll_time)>(time);
    std::strncpy(record.ll_line, "pts/0", sizeof(record.ll_line) - 1);
    std::strncpy(record.ll_host, "192.0.2.10", sizeof(record.ll_host) - 1);
    off_t offset = static_cast<off_t>(uid) * static_cast<off_t>(sizeof(record));
    if (pwrite(fd, &record, sizeof(record), offset) != static_cast<ssize_t>(sizeof(record))) {
      std::perror("pwrite");
      status = 1;
      break;
    }
  }
  close(fd);
  return status;
}
