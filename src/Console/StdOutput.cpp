#include "Console/StdOutput.h"

#include <climits>

namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

StdOutput::StdOutput()
    : handle_(GetStdHandle(STD_OUTPUT_HANDLE)),
      flushEachLine_(handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
                     GetFileType(handle_) == FILE_TYPE_CHAR) {
  buffer_.reserve(kBufferSize);
}

StdOutput::~StdOutput() {
  Flush();
}

bool StdOutput::WriteLine(std::string_view text) {
  bool ok = true;
  if (buffer_.size() + text.size() + 2 > kBufferSize) ok = Flush();
  size_t start = buffer_.size();
  buffer_ += text;
  if (flushEachLine_) {
    // On a console a control character of account or environment text would act instead of
    // showing (CR or BS write over the line, ESC starts a sequence where the console reads
    // them): each but a tab shows as "?". No ANSI code page uses a byte below 0x20, or 0x7F,
    // inside a character.
    for (size_t i = start; i < buffer_.size(); ++i) {
      auto c = static_cast<unsigned char>(buffer_[i]);
      if ((c < 0x20 && c != '\t') || c == 0x7F) buffer_[i] = '?';
    }
  }
  buffer_ += "\r\n";
  if (flushEachLine_ || buffer_.size() >= kBufferSize) ok = Flush() && ok;
  return ok;
}

bool StdOutput::Flush() {
  if (buffer_.empty()) return true;
  bool ok = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
  size_t done = 0;
  while (ok && done < buffer_.size()) {
    DWORD cbChunk = static_cast<DWORD>(std::min<size_t>(buffer_.size() - done, INT_MAX));
    DWORD cbWritten = 0;
    ok = WriteFile(handle_, buffer_.data() + done, cbChunk, &cbWritten, nullptr) != FALSE &&
         cbWritten > 0;
    done += cbWritten;
  }
  // What could not be written is dropped, so the next line is tried afresh.
  buffer_.clear();
  return ok;
}
