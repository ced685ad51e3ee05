// Expected output kept as files under tests/data, byte for byte as the program prints it.
#pragma once

#include <string>

// The expected file's bytes; empty when there is no such file.
std::string ReadExpected(const std::string& name);

// Compares with the expected file; USERLENS_UPDATE_EXPECTED=1 writes the file instead, for a
// person to review the change with git diff.
void ExpectFile(const std::string& name, const std::string& actual);
