// The banner line that the program keeps only in scrambled form.
#include "Console/Console.h"

std::string UnscrambleText(std::string_view stored) {
  std::string text(stored.size(), '\0');
  for (size_t i = 0; i < stored.size(); ++i) {
    unsigned position = static_cast<unsigned>(i + 1);
    text[i] = static_cast<char>((static_cast<unsigned char>(stored[i]) - 10u - position) & 0xFFu);
  }
  return text;
}
