// The account files read directly, as NSS's files module reads them, for the databases that
// nsswitch.conf gives to files alone: one pass through a large buffer instead of a lookup
// through NSS per question. Comment and blank lines are passed over; a line whose numbers do not
// read is no entry; inclusion rules of the compat format are no entries either.
//
// A lookup looks at the key of each raw line first (its name, its id, or whether its member list
// can hold a name) and parses only the lines that may answer: most lines of a large file are
// passed over at the speed of a search for the next new line.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "host/AccountDirectory.h"
#include "host/FileDescriptor.h"

namespace compat {

// The lines of a regular file, read through one buffer that starts small and grows for a large
// file; a view stays valid until the next line.
class LineReader {
 public:
  // The buffer's first size, and so the size of the first read: enough for the account files of
  // most hosts.
  static constexpr size_t kFirstBuffer = 16 * 1024;

  explicit LineReader(const char* path);
  bool valid() const { return file_.valid(); }
  // False at the end of the file, or when it fails to read: then error() says why and the line
  // that was being read is dropped.
  bool Next(std::string_view& line);
  // errno of the open or the read that failed; 0 while none did.
  int error() const { return error_; }

 private:
  FileDescriptor file_;
  int error_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t start_ = 0;
  size_t end_ = 0;
  bool atEnd_ = false;
  bool nulls_ = false;  // a null byte was read: each line ends at its first
};

// The entry of one line; false when the line is none.
bool ParsePasswdLine(std::string_view line, UserEntry& user);
bool ParseGroupLine(std::string_view line, GroupEntry& group);
bool ParseShadowLine(std::string_view line, std::string& name, ShadowEntry& shadow);

// The keys of a raw line, looked at before it is parsed: its first field (the name), and the
// number of its third field (uid or gid) as the entry would hold it; false when it holds none.
std::string_view NameOfLine(std::string_view line);
bool IdOfLine(std::string_view line, uint32_t& id);
// Whether a group line's member list may hold the name (its text appears there at all).
bool MembersMayHold(std::string_view line, std::string_view name);

// Picks the raw lines worth parsing; none picks every line.
using LinePick = std::function<bool(std::string_view line)>;

// Every entry of a file in its order (of the picked lines), until visit answers false. Yes at the
// end (a missing file or one that is no regular file holds no entry), No when visit stopped
// early, Failed when the file cannot be opened otherwise or fails on the way (errno).
Found ScanUsers(const char* path, const std::function<bool(const UserEntry&)>& visit,
                const LinePick& pick = nullptr);
Found ScanGroups(const char* path, const std::function<bool(const GroupEntry&)>& visit,
                 const LinePick& pick = nullptr);
Found ScanShadow(const char* path,
                 const std::function<bool(const std::string&, const ShadowEntry&)>& visit,
                 const LinePick& pick = nullptr);

// Shadow read from its file, entry by entry.
class ShadowFileStream : public ShadowStream {
 public:
  explicit ShadowFileStream(const char* path) : lines_(path) {}
  Found Next(std::string& name, ShadowEntry& entry) override;

 private:
  LineReader lines_;
};

}  // namespace compat
