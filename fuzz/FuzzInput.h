// Reads the values of one fuzz case from libFuzzer's bytes. Every read succeeds: past the end it
// gives zeros and empty texts, so each byte string is a valid case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  uint32_t Word() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
    return value;
  }

  // 8-bit text: a length byte, then that many bytes.
  std::string Bytes() {
    size_t length = Byte();
    std::string text;
    while (length-- > 0 && !Empty()) text += static_cast<char>(Byte());
    return text;
  }

  std::string RestAsBytes() {
    std::string text(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
    pos_ = size_;
    return text;
  }

  // One wide character: a byte below 0x80 is itself; 0x80 to 0xFE start a code point of up to
  // 21 bits taken from two more bytes (surrogates included); 0xFF gives a value that is no code
  // point at all, as a wchar_t of Linux can hold.
  wchar_t WideChar() {
    uint8_t lead = Byte();
    if (lead < 0x80) return static_cast<wchar_t>(lead);
    if (lead == 0xFF) return static_cast<wchar_t>(0x110000u + Word() % (0xFFFFFFFFu - 0x110000u));
    uint32_t codePoint =
        (static_cast<uint32_t>(lead & 0x1F) << 16) | (static_cast<uint32_t>(Byte()) << 8) | Byte();
    return static_cast<wchar_t>(codePoint % 0x110000);
  }

  // Wide text: a length byte, then that many characters.
  std::wstring Wide() {
    size_t length = Byte();
    std::wstring text;
    while (length-- > 0 && !Empty()) text += WideChar();
    return text;
  }

  std::wstring RestAsWide() {
    std::wstring text;
    while (!Empty()) text += WideChar();
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A broken property: print what differs and let libFuzzer record the input.
#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (false)
