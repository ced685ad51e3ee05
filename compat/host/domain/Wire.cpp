#include "Wire.h"

#include <arpa/nameser.h>
#include <poll.h>
#include <resolv.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace compat::domain {

namespace {

void PutLength(std::string& out, size_t length) {
  const auto value = static_cast<uint32_t>(length);
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

bool TakeLength(std::string_view& in, uint32_t& value) {
  if (in.size() < sizeof value) return false;
  std::memcpy(&value, in.data(), sizeof value);
  in.remove_prefix(sizeof value);
  return true;
}

// Reads exactly SIZE bytes; false on end of file, an error or the deadline.
bool ReceiveExactly(int fd, char* data, size_t size,
                    const std::optional<std::chrono::steady_clock::time_point>& deadline) {
  while (size > 0) {
    int timeout = -1;
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      timeout = static_cast<int>(std::min<int64_t>(left.count(), INT_MAX));
    }
    pollfd poller{fd, POLLIN, 0};
    const int ready = poll(&poller, 1, timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t got = recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

std::string EncodeMessage(const Message& message) {
  std::string body;
  PutLength(body, message.size());
  for (const std::string& field : message) {
    PutLength(body, field.size());
    body += field;
  }
  std::string out;
  PutLength(out, body.size());
  return out + body;
}

std::optional<Message> DecodeMessage(std::string_view bytes) {
  uint32_t total = 0, count = 0;
  if (!TakeLength(bytes, total) || total != bytes.size() || !TakeLength(bytes, count)) {
    return std::nullopt;
  }
  Message message;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = 0;
    if (!TakeLength(bytes, length) || length > bytes.size()) return std::nullopt;
    message.emplace_back(bytes.substr(0, length));
    bytes.remove_prefix(length);
  }
  if (!bytes.empty()) return std::nullopt;
  return message;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::optional<Message> ReceiveMessage(
    int fd, std::optional<std::chrono::steady_clock::time_point> deadline) {
  uint32_t total = 0;
  if (!ReceiveExactly(fd, reinterpret_cast<char*>(&total), sizeof total, deadline)) {
    return std::nullopt;
  }
  std::string bytes(sizeof total + total, '\0');
  std::memcpy(bytes.data(), &total, sizeof total);
  if (!ReceiveExactly(fd, bytes.data() + sizeof total, total, deadline)) return std::nullopt;
  return DecodeMessage(bytes);
}

namespace {

std::string DomainUser::*const kUserTexts[] = {
    &DomainUser::server,       &DomainUser::name,        &DomainUser::fullName,
    &DomainUser::comment,      &DomainUser::userComment, &DomainUser::homeDir,
    &DomainUser::homeDirDrive, &DomainUser::scriptPath,  &DomainUser::profile,
    &DomainUser::workstations, &DomainUser::logonServer, &DomainUser::parms};
uint32_t DomainUser::*const kUserNumbers[] = {
    &DomainUser::netStatus,      &DomainUser::passwordAge,    &DomainUser::priv,
    &DomainUser::flags,          &DomainUser::authFlags,      &DomainUser::lastLogon,
    &DomainUser::lastLogoff,     &DomainUser::acctExpires,    &DomainUser::maxStorage,
    &DomainUser::unitsPerWeek,   &DomainUser::badPwCount,     &DomainUser::numLogons,
    &DomainUser::countryCode,    &DomainUser::codePage,       &DomainUser::userId,
    &DomainUser::primaryGroupId, &DomainUser::passwordExpired};

void PutNames(Message& message, const std::optional<std::vector<std::string>>& names) {
  message.push_back(names ? std::to_string(names->size()) : "-");
  if (names) message.insert(message.end(), names->begin(), names->end());
}

bool TakeNames(const Message& message, size_t& at, std::optional<std::vector<std::string>>& names) {
  if (at >= message.size()) return false;
  const std::string& count = message[at++];
  if (count == "-") return true;
  const size_t n = std::strtoul(count.c_str(), nullptr, 10);
  if (n > message.size() - at) return false;
  names.emplace(message.begin() + static_cast<ptrdiff_t>(at),
                message.begin() + static_cast<ptrdiff_t>(at + n));
  at += n;
  return true;
}

}  // namespace

Message EncodeUser(const DomainUser& user) {
  Message message{std::to_string(static_cast<int>(user.status))};
  for (auto field : kUserTexts) message.push_back(user.*field);
  for (auto field : kUserNumbers) message.push_back(std::to_string(user.*field));
  message.emplace_back(user.logonHours.begin(), user.logonHours.end());
  PutNames(message, user.groups);
  PutNames(message, user.localGroups);
  return message;
}

DomainUser DecodeUser(const Message& message) {
  DomainUser user;
  const size_t fixed = 1 + std::size(kUserTexts) + std::size(kUserNumbers) + 1;
  if (message.size() < fixed) return {};
  const int status = std::atoi(message[0].c_str());
  if (status < 0 || status > static_cast<int>(DomainUser::Status::NotKnown)) return {};
  user.status = static_cast<DomainUser::Status>(status);
  size_t at = 1;
  for (auto field : kUserTexts) user.*field = message[at++];
  for (auto field : kUserNumbers) {
    user.*field = static_cast<uint32_t>(std::strtoul(message[at++].c_str(), nullptr, 10));
  }
  user.logonHours.assign(message[at].begin(), message[at].end());
  ++at;
  if (!TakeNames(message, at, user.groups) || !TakeNames(message, at, user.localGroups) ||
      at != message.size()) {
    return {};
  }
  return user;
}

bool ParseSid(std::string_view text, abi::WbcDomainSid& sid) {
  sid = {};
  if (text.substr(0, 2) != "S-" && text.substr(0, 2) != "s-") return false;
  text.remove_prefix(2);
  // Revision, authority, then the sub-authorities, each a decimal number.
  uint64_t numbers[2 + abi::kWbcMaxSubAuths] = {};
  size_t count = 0;
  while (true) {
    if (count == std::size(numbers) || text.empty()) return false;
    uint64_t value = 0;
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      value = value * 10 + static_cast<uint64_t>(text[digits] - '0');
      if (value > 0xFFFFFFFFFFFFULL) return false;
      ++digits;
    }
    if (digits == 0) return false;
    numbers[count++] = value;
    text.remove_prefix(digits);
    if (text.empty()) break;
    if (text[0] != '-') return false;
    text.remove_prefix(1);
  }
  if (count < 2 || numbers[0] != 1) return false;
  sid.sid_rev_num = 1;
  sid.num_auths = static_cast<uint8_t>(count - 2);
  for (int i = 0; i < 6; ++i) sid.id_auth[i] = static_cast<uint8_t>(numbers[1] >> (8 * (5 - i)));
  for (size_t i = 2; i < count; ++i) {
    if (numbers[i] > 0xFFFFFFFFULL) return false;
    sid.sub_auths[i - 2] = static_cast<uint32_t>(numbers[i]);
  }
  return true;
}

std::string FormatSid(const abi::WbcDomainSid& sid) {
  uint64_t authority = 0;
  for (uint8_t byte : sid.id_auth) authority = (authority << 8) | byte;
  std::string text = "S-" + std::to_string(sid.sid_rev_num) + "-" + std::to_string(authority);
  const int count = std::min<int>(sid.num_auths, abi::kWbcMaxSubAuths);
  for (int i = 0; i < count; ++i) text += "-" + std::to_string(sid.sub_auths[i]);
  return text;
}

QualifiedName SplitAccountName(std::string_view text) {
  if (const size_t slash = text.find('\\'); slash != std::string_view::npos) {
    return {std::string(text.substr(0, slash)), std::string(text.substr(slash + 1))};
  }
  if (const size_t at = text.rfind('@'); at != std::string_view::npos) {
    return {std::string(text.substr(at + 1)), std::string(text.substr(0, at))};
  }
  return {"", std::string(text)};
}

std::string FirstSrvTarget(const unsigned char* answer, int length) {
  if (length < HFIXEDSZ) return "";
  const unsigned char* end = answer + length;
  const int questions = (answer[4] << 8) | answer[5];
  const int answers = (answer[6] << 8) | answer[7];
  const unsigned char* at = answer + HFIXEDSZ;
  for (int i = 0; i < questions; ++i) {
    const int skip = dn_skipname(at, end);
    if (skip < 0 || end - at < skip + QFIXEDSZ) return "";
    at += skip + QFIXEDSZ;
  }
  std::string best;
  int bestPriority = 0x10000;
  for (int i = 0; i < answers; ++i) {
    const int skip = dn_skipname(at, end);
    if (skip < 0 || end - at < skip + RRFIXEDSZ) return "";
    at += skip;
    const int type = (at[0] << 8) | at[1];
    const int dataLength = (at[8] << 8) | at[9];
    at += RRFIXEDSZ;
    if (end - at < dataLength) return "";
    if (type == ns_t_srv && dataLength > 6) {
      const int priority = (at[0] << 8) | at[1];
      char target[NS_MAXDNAME];
      if (priority < bestPriority && dn_expand(answer, end, at + 6, target, sizeof target) > 0) {
        best = target;
        bestPriority = priority;
      }
    }
    at += dataLength;
  }
  return best;
}

}  // namespace compat::domain
