// The messages between the program and its domain helper: lists of texts, framed by lengths.
// Both ends are the same program on the same machine, so lengths and characters go in the
// host's own layout. Numbers travel as decimal texts.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host/domain/DomainLink.h"
#include "host/domain/LibraryAbi.h"

namespace compat::domain {

using Message = std::vector<std::wstring>;

// One message; false on an error, or when the deadline passes before all of it is sent (a helper
// stuck in a library reads nothing, and a large message fills the socket's buffer).
bool SendMessage(int fd, const Message& message,
                 std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);
// One message; nothing at the end of the stream, on an error, or when the deadline passes first.
std::optional<Message> ReceiveMessage(
    int fd, std::optional<std::chrono::steady_clock::time_point> deadline);

// A decimal number of 32 bits, and nothing else.
bool TakeNumber(const std::wstring& text, uint32_t& value);

// A name as five texts, libnetapi's record as its texts, numbers and logon hours. Take* reads
// from at on and is false when the message holds no whole one there.
void PutName(Message& message, const DomainName& name);
bool TakeName(const Message& message, size_t& at, DomainName& name);
void PutRecord(Message& message, const abi::UserInfo3& info);
bool TakeRecord(const Message& message, size_t& at, AccountRecord& record);

// The target of the lowest priority in a DNS answer to an SRV question, among the records read
// whole before the answer ends or turns malformed; empty when there is none.
std::string FirstSrvTarget(const unsigned char* answer, int length);

// The helper's life: answers each request on fd until the program closes its end.
[[noreturn]] void ServeDomainRequests(int fd, const DomainOptions& options, bool winbind, bool sss);

}  // namespace compat::domain
