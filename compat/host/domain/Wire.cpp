#include "host/domain/Wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cwchar>

#include "host/HostText.h"

namespace compat::domain {
namespace {

// No answer the helper gives comes near this; a larger length is a broken stream.
constexpr uint32_t kMaxMessageBytes = 64u << 20;

// Sends or reads size bytes whole; false on an error, at the end of the stream, or when the
// deadline passes first.
bool Transfer(int fd, bool sending, void* data, size_t size,
              const std::optional<std::chrono::steady_clock::time_point>& deadline) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    int timeout = -1;
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      timeout = static_cast<int>(std::min<int64_t>(left.count(), INT_MAX));
    }
    pollfd poller{fd, static_cast<short>(sending ? POLLOUT : POLLIN), 0};
    int ready = poll(&poller, 1, timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    // A send takes what the buffer holds now, so that the wait stays in poll and its deadline.
    ssize_t moved =
        sending ? send(fd, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT) : read(fd, bytes, size);
    if (moved < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (moved <= 0) return false;
    bytes += moved;
    size -= static_cast<size_t>(moved);
  }
  return true;
}

// The record's fields: where libnetapi's USER_INFO_3 holds each, and where the program's does.
const std::pair<const char * abi::UserInfo3::*, std::wstring AccountRecord::*> kTexts[] = {
    {&abi::UserInfo3::usri3_name, &AccountRecord::name},
    {&abi::UserInfo3::usri3_home_dir, &AccountRecord::homeDir},
    {&abi::UserInfo3::usri3_comment, &AccountRecord::comment},
    {&abi::UserInfo3::usri3_script_path, &AccountRecord::scriptPath},
    {&abi::UserInfo3::usri3_full_name, &AccountRecord::fullName},
    {&abi::UserInfo3::usri3_usr_comment, &AccountRecord::usrComment},
    {&abi::UserInfo3::usri3_parms, &AccountRecord::parms},
    {&abi::UserInfo3::usri3_workstations, &AccountRecord::workstations},
    {&abi::UserInfo3::usri3_logon_server, &AccountRecord::logonServer},
    {&abi::UserInfo3::usri3_profile, &AccountRecord::profile},
    {&abi::UserInfo3::usri3_home_dir_drive, &AccountRecord::homeDirDrive}};
const std::pair<uint32_t abi::UserInfo3::*, DWORD AccountRecord::*> kNumbers[] = {
    {&abi::UserInfo3::usri3_password_age, &AccountRecord::passwordAge},
    {&abi::UserInfo3::usri3_priv, &AccountRecord::priv},
    {&abi::UserInfo3::usri3_flags, &AccountRecord::flags},
    {&abi::UserInfo3::usri3_auth_flags, &AccountRecord::authFlags},
    {&abi::UserInfo3::usri3_last_logon, &AccountRecord::lastLogon},
    {&abi::UserInfo3::usri3_last_logoff, &AccountRecord::lastLogoff},
    {&abi::UserInfo3::usri3_acct_expires, &AccountRecord::acctExpires},
    {&abi::UserInfo3::usri3_max_storage, &AccountRecord::maxStorage},
    {&abi::UserInfo3::usri3_units_per_week, &AccountRecord::unitsPerWeek},
    {&abi::UserInfo3::usri3_bad_pw_count, &AccountRecord::badPwCount},
    {&abi::UserInfo3::usri3_num_logons, &AccountRecord::numLogons},
    {&abi::UserInfo3::usri3_country_code, &AccountRecord::countryCode},
    {&abi::UserInfo3::usri3_code_page, &AccountRecord::codePage},
    {&abi::UserInfo3::usri3_user_id, &AccountRecord::userId},
    {&abi::UserInfo3::usri3_primary_group_id, &AccountRecord::primaryGroupId},
    {&abi::UserInfo3::usri3_password_expired, &AccountRecord::passwordExpired}};
constexpr size_t kLogonHoursBytes = 21;

}  // namespace

bool TakeNumber(const std::wstring& text, uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  wchar_t* end = nullptr;
  unsigned long long number = std::wcstoull(text.c_str(), &end, 10);
  if (*end != L'\0' || number > UINT32_MAX) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

// The frame: the size in bytes of what follows, then each text ended by a null (texts come from
// C strings and hold none).
bool SendMessage(int fd, const Message& message,
                 std::optional<std::chrono::steady_clock::time_point> deadline) {
  std::wstring frame;
  for (const std::wstring& text : message) frame.append(text).push_back(L'\0');
  auto bytes = static_cast<uint32_t>(frame.size() * sizeof(wchar_t));
  return Transfer(fd, true, &bytes, sizeof bytes, deadline) &&
         Transfer(fd, true, frame.data(), bytes, deadline);
}

std::optional<Message> ReceiveMessage(
    int fd, std::optional<std::chrono::steady_clock::time_point> deadline) {
  uint32_t bytes = 0;
  if (!Transfer(fd, false, &bytes, sizeof bytes, deadline)) return std::nullopt;
  if (bytes % sizeof(wchar_t) != 0 || bytes > kMaxMessageBytes) return std::nullopt;
  std::wstring frame(bytes / sizeof(wchar_t), L'\0');
  if (!Transfer(fd, false, frame.data(), bytes, deadline)) return std::nullopt;
  if (!frame.empty() && frame.back() != L'\0') return std::nullopt;
  Message message;
  for (size_t at = 0; at < frame.size(); at = frame.find(L'\0', at) + 1) {
    message.emplace_back(frame.c_str() + at);
  }
  return message;
}

void PutName(Message& message, const DomainName& name) {
  message.insert(message.end(),
                 {name.sid.ToText(), name.domain, name.name, std::to_wstring(name.use),
                  name.gid ? std::to_wstring(*name.gid) : std::wstring()});
}

bool TakeName(const Message& message, size_t& at, DomainName& name) {
  if (message.size() - std::min(at, message.size()) < 5) return false;
  std::optional<SidValue> sid = SidValue::FromText(message[at]);
  uint32_t use = 0;
  uint32_t gid = 0;
  if (!sid || !TakeNumber(message[at + 3], use)) return false;
  name.sid = *sid;
  name.domain = message[at + 1];
  name.name = message[at + 2];
  name.use = static_cast<SID_NAME_USE>(use);
  name.gid.reset();
  if (TakeNumber(message[at + 4], gid)) name.gid = gid;
  at += 5;
  return true;
}

void PutRecord(Message& message, const abi::UserInfo3& info) {
  for (auto [theirs, ours] : kTexts) {
    message.push_back(info.*theirs == nullptr ? std::wstring() : WideFromHost(info.*theirs));
  }
  for (auto [theirs, ours] : kNumbers) message.push_back(std::to_wstring(info.*theirs));
  // Each byte of the logon hours above 0xFF, so that none ends the text.
  std::wstring hours;
  for (size_t i = 0; info.usri3_logon_hours != nullptr && i < kLogonHoursBytes; ++i) {
    hours += static_cast<wchar_t>(0x100 + info.usri3_logon_hours[i]);
  }
  message.push_back(hours);
}

bool TakeRecord(const Message& message, size_t& at, AccountRecord& record) {
  if (message.size() - std::min(at, message.size()) < std::size(kTexts) + std::size(kNumbers) + 1) {
    return false;
  }
  for (auto [theirs, ours] : kTexts) record.*ours = message[at++];
  for (auto [theirs, ours] : kNumbers) {
    if (!TakeNumber(message[at++], record.*ours)) return false;
  }
  const std::wstring& hours = message[at];
  at += 1;
  record.logonHours.reset();
  if (hours.size() == kLogonHoursBytes) {
    record.logonHours.emplace();
    for (size_t i = 0; i < kLogonHoursBytes; ++i) {
      (*record.logonHours)[i] = static_cast<BYTE>(hours[i] - 0x100);
    }
  }
  return true;
}

}  // namespace compat::domain

namespace compat {

void MergeDomainRecord(const AccountRecord& domain, AccountRecord& record) {
  AccountRecord merged = domain;
  merged.name = std::move(record.name);
  merged.priv = record.priv;
  for (auto [theirs, ours] : domain::kTexts) {
    if ((merged.*ours).empty()) merged.*ours = std::move(record.*ours);
  }
  record = std::move(merged);
}

}  // namespace compat
