#include "host/HostFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "host/NssRetry.h"

namespace compat {
namespace {

// The most the buffer grows to: past that, a larger buffer saves no time.
constexpr size_t kLargestBuffer = 128 * 1024;
// The longest line read, as long as the largest buffer an NSS call is given.
constexpr size_t kLongestLine = kNssLargestBuffer;

// The next field of a line, up to its colon; a field past the end of the line is empty.
std::string_view Field(std::string_view& rest) {
  size_t colon = rest.find(':');
  std::string_view field = rest.substr(0, colon);
  rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  return field;
}

bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// A number as the files module reads one: decimal, after blanks and a plus sign at most, of 32
// bits, with nothing after it in the field.
bool Number(std::string_view field, unsigned long& value) {
  size_t i = 0;
  while (i < field.size() && IsBlank(field[i])) ++i;
  if (i < field.size() && field[i] == '+') ++i;
  if (i == field.size()) return false;
  uint64_t number = 0;
  for (; i < field.size(); ++i) {
    char c = field[i];
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
    if (number > 0xFFFFFFFFu) return false;
  }
  value = static_cast<unsigned long>(number);
  return true;
}

// A shadow number that may be left out (-1, "not set"), as the files module reads it: it must not
// stand at the end of the line, it may be left empty, and a colon or the end of the line must
// follow it (only the end for the last one).
bool ShadowNumber(std::string_view& rest, int64_t& value, bool last = false) {
  if (rest.empty()) return false;
  size_t end = 0;
  while (end < rest.size() && IsBlank(rest[end])) ++end;
  if (end < rest.size() && rest[end] == '+') ++end;
  size_t digits = end;
  uint64_t number = 0;
  for (; end < rest.size() && rest[end] >= '0' && rest[end] <= '9'; ++end) {
    number = number * 10 + static_cast<uint64_t>(rest[end] - '0');
    if (number > 0xFFFFFFFFu) return false;
  }
  if (end == digits) {
    end = 0;
    value = -1;
  } else {
    value = static_cast<int>(static_cast<unsigned int>(number));
  }
  if (end < rest.size() && rest[end] == ':' && !last) {
    ++end;
  } else if (end != rest.size()) {
    return false;
  }
  rest.remove_prefix(end);
  return true;
}

// The part of a line the files module reads: after leading blanks; none for a comment.
bool Content(std::string_view& line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  return !line.empty() && line.front() != '#';
}

// A file that is missing or no regular file holds no entry, as glibc's files module answers for
// it; one that cannot be opened otherwise, or fails on the way, is a failure.
bool IsNoFile(const LineReader& lines) {
  return lines.error() == ENOENT || lines.error() == EINVAL;
}

template <typename Parse, typename Visit>
Found Scan(const char* path, const LinePick& pick, Parse parse, Visit visit) {
  LineReader lines(path);
  if (!lines.valid() && IsNoFile(lines)) return Found::Yes;
  std::string_view line;
  while (lines.Next(line)) {
    if (!Content(line) || (pick && !pick(line))) continue;
    if (parse(line) && !visit()) return Found::No;
  }
  errno = lines.error();
  return errno == 0 ? Found::Yes : Found::Failed;
}

// Every entry of the picked lines of a file, parsed into one entry that is visited.
template <typename Entry>
Found ScanEntries(const char* path, const LinePick& pick, bool (*parse)(std::string_view, Entry&),
                  const std::function<bool(const Entry&)>& visit) {
  Entry entry;
  return Scan(
      path, pick, [&](std::string_view line) { return parse(line, entry); },
      [&] { return visit(entry); });
}

}  // namespace

LineReader::LineReader(const char* path)
    : file_(OpenRegularFile(path)), error_(file_.valid() ? 0 : errno) {}

bool LineReader::Next(std::string_view& line) {
  for (;;) {
    std::string_view unread(buffer_.get() + start_, end_ - start_);
    size_t newline = unread.find('\n');
    if (newline != std::string_view::npos || (atEnd_ && !unread.empty())) {
      line = unread.substr(0, newline);
      start_ += newline != std::string_view::npos ? newline + 1 : unread.size();
      // NSS's files module reads a line as a C string: a null byte ends it.
      if (nulls_) line = line.substr(0, line.find('\0'));
      return true;
    }
    if (atEnd_) return false;
    // Keep the part of a line read so far at the front, and read behind it into a buffer that
    // doubles while the file goes on, and whenever a line does not fit.
    size_t kept = end_ - start_;
    if (error_ != 0 || kept >= kLongestLine) {
      // No file, or a line longer than any NSS call is given room for.
      if (error_ == 0) error_ = ENOMEM;
      start_ = end_ = 0;
      return false;
    }
    if (capacity_ == 0 || kept > capacity_ / 2 || capacity_ < kLargestBuffer) {
      size_t grown = capacity_ == 0 ? kFirstBuffer : capacity_ * 2;
      std::unique_ptr<char[]> larger(new char[grown]);  // not zeroed: only what is read is used
      std::copy_n(buffer_.get() + start_, kept, larger.get());
      buffer_ = std::move(larger);
      capacity_ = grown;
    } else {
      std::copy_n(buffer_.get() + start_, kept, buffer_.get());
    }
    start_ = 0;
    end_ = kept;
    ssize_t n = read(file_.get(), buffer_.get() + end_, capacity_ - end_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      start_ = end_ = 0;
      return false;
    }
    if (n == 0) {
      atEnd_ = true;
    } else {
      nulls_ = nulls_ || std::memchr(buffer_.get() + end_, 0, static_cast<size_t>(n)) != nullptr;
      end_ += static_cast<size_t>(n);
    }
  }
}

std::string_view NameOfLine(std::string_view line) {
  return line.substr(0, line.find(':'));
}

bool IdOfLine(std::string_view line, uint32_t& id) {
  Field(line);
  Field(line);
  unsigned long number = 0;
  if (!Number(Field(line), number)) return false;
  id = static_cast<uint32_t>(number);
  return true;
}

bool MembersMayHold(std::string_view line, std::string_view name) {
  for (int field = 0; field < 3; ++field) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    line.remove_prefix(colon + 1);
  }
  return line.find(name) != std::string_view::npos;
}

bool ParsePasswdLine(std::string_view line, UserEntry& user) {
  if (!Content(line)) return false;
  std::string_view name = Field(line);
  std::string_view password = Field(line);
  unsigned long uid = 0;
  unsigned long gid = 0;
  if (IsInclusionRule(name) || !Number(Field(line), uid) || !Number(Field(line), gid)) {
    return false;
  }
  user.name.assign(name);
  user.passwordField = ClassifyPasswordField(password);
  user.uid = static_cast<uint32_t>(uid);
  user.gid = static_cast<uint32_t>(gid);
  user.gecos.assign(Field(line));
  user.home.assign(Field(line));
  user.shell.assign(line);  // the rest of the line, colons and all
  return true;
}

bool ParseGroupLine(std::string_view line, GroupEntry& group) {
  if (!Content(line)) return false;
  std::string_view name = Field(line);
  Field(line);  // the password
  unsigned long gid = 0;
  if (IsInclusionRule(name) || !Number(Field(line), gid)) return false;
  group.name.assign(name);
  group.gid = static_cast<uint32_t>(gid);
  group.members.clear();
  // Members are separated by commas; blanks before a member are not part of it.
  while (!line.empty()) {
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    size_t comma = line.find(',');
    if (comma != 0 && !line.empty()) group.members.emplace_back(line.substr(0, comma));
    line = comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
  }
  return true;
}

// Name, password, last change, minimum and maximum age; then either nothing more (the old form)
// or warning, inactive and expire days, and the flag, which may be left out.
bool ParseShadowLine(std::string_view line, std::string& name, ShadowEntry& shadow) {
  if (!Content(line)) return false;
  std::string_view user = Field(line);
  std::string_view password = Field(line);
  int64_t unused = 0;
  if (IsInclusionRule(user) || !ShadowNumber(line, shadow.lastChange) ||
      !ShadowNumber(line, unused) || !ShadowNumber(line, shadow.maxDays)) {
    return false;
  }
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  shadow.inactiveDays = shadow.expireDay = -1;
  if (!line.empty() && (!ShadowNumber(line, unused) || !ShadowNumber(line, shadow.inactiveDays) ||
                        !ShadowNumber(line, shadow.expireDay) ||
                        (!line.empty() && !ShadowNumber(line, unused, true)))) {
    return false;
  }
  name.assign(user);
  shadow.passwordField = ClassifyPasswordField(password);
  return true;
}

Found ScanUsers(const char* path, const std::function<bool(const UserEntry&)>& visit,
                const LinePick& pick) {
  return ScanEntries(path, pick, ParsePasswdLine, visit);
}

Found ScanGroups(const char* path, const std::function<bool(const GroupEntry&)>& visit,
                 const LinePick& pick) {
  return ScanEntries(path, pick, ParseGroupLine, visit);
}

Found ScanShadow(const char* path,
                 const std::function<bool(const std::string&, const ShadowEntry&)>& visit,
                 const LinePick& pick) {
  std::string name;
  ShadowEntry shadow;
  return Scan(
      path, pick, [&](std::string_view line) { return ParseShadowLine(line, name, shadow); },
      [&] { return visit(name, shadow); });
}

Found ShadowFileStream::Next(std::string& name, ShadowEntry& entry) {
  std::string_view line;
  while (lines_.Next(line)) {
    if (ParseShadowLine(line, name, entry)) return Found::Yes;
  }
  return lines_.error() == 0 || IsNoFile(lines_) ? Found::No : Found::Failed;
}

}  // namespace compat
