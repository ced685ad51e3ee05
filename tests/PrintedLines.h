// Printed text as lines: the program ends every line with CR LF, on every platform.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// Joins lines with CR LF after each, as the program writes them.
std::string Lines(std::initializer_list<std::string> lines);
// Splits printed text at CR LF.
std::vector<std::string> SplitLines(const std::string& text);
