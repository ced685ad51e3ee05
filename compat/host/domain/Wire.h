// The messages between the program and its domain helper: a list of texts, framed by lengths.
// Both ends are the same program on the same machine, so lengths are in host byte order.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DomainLink.h"
#include "LibraryAbi.h"

namespace compat::domain {

using Message = std::vector<std::string>;

std::string EncodeMessage(const Message& message);
// Nothing when BYTES is not one whole message.
std::optional<Message> DecodeMessage(std::string_view bytes);

// Sends the whole of BYTES; false when the other end is gone.
bool SendAll(int fd, std::string_view bytes);
// Reads one message; nothing at end of file, on an error or when DEADLINE passes first.
std::optional<Message> ReceiveMessage(
    int fd, std::optional<std::chrono::steady_clock::time_point> deadline);

// A DomainUser as a message and back; a message that is not one decodes as "not known".
Message EncodeUser(const DomainUser& user);
DomainUser DecodeUser(const Message& message);

// SIDs in winbind's binary form and as text.
bool ParseSid(std::string_view text, abi::WbcDomainSid& sid);
std::string FormatSid(const abi::WbcDomainSid& sid);

// Splits DOMAIN\NAME and NAME@DOMAIN; a bare NAME has an empty domain.
struct QualifiedName {
  std::string domain, name;
};
QualifiedName SplitAccountName(std::string_view text);

// The first target of the lowest priority in a DNS answer to an SRV question; "" when there is
// none or the answer is malformed.
std::string FirstSrvTarget(const unsigned char* answer, int length);

}  // namespace compat::domain
