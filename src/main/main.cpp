// Entry point of USERLENS.
#include "main/Program.h"

int main() {
  return RunUserlens();
}
