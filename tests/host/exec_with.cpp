// Starts a program with exactly the name and environment a test gives it, which a shell cannot:
// an empty program name, an empty environment entry.
//
//   exec_with [--argv0 NAME] [--env ENTRY]... PROGRAM [ARGUMENT...]
//
// Without --env the program gets no environment at all.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  const char* argv0 = nullptr;
  std::vector<char*> environment;
  int i = 1;
  for (; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--argv0") == 0) {
      argv0 = argv[i + 1];
    } else if (std::strcmp(argv[i], "--env") == 0) {
      environment.push_back(argv[i + 1]);
    } else {
      break;
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "usage: exec_with [--argv0 NAME] [--env ENTRY]... PROGRAM [ARG...]\n");
    return 2;
  }
  std::vector<char*> arguments(argv + i, argv + argc);
  if (argv0 != nullptr) arguments[0] = const_cast<char*>(argv0);
  arguments.push_back(nullptr);
  environment.push_back(nullptr);
  execve(argv[i], arguments.data(), environment.data());
  std::perror("exec_with");
  return 127;
}
