#include "platform/linux/KeyRelayProtocol.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace quillon {

namespace {

bool isKnownType(RelayMessageType type) {
  return type >= RelayMessageType::KeyDown && type <= RelayMessageType::Disable;
}

} // namespace

bool sendRelayMessage(int socket, const RelayMessage& message, bool mayBlock) {
  const int flags = MSG_NOSIGNAL | (mayBlock ? 0 : MSG_DONTWAIT);
  for (;;) {
    const ssize_t sent = ::send(socket, &message, sizeof message, flags);
    if (sent == static_cast<ssize_t>(sizeof message)) {
      return true;
    }
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    return false;
  }
}

std::optional<std::vector<RelayMessage>> receiveRelayMessages(int socket) {
  std::vector<RelayMessage> messages;
  for (;;) {
    RelayMessage message;
    // One byte more than a record, so an oversized one shows as such.
    unsigned char buffer[sizeof(RelayMessage) + 1];
    const ssize_t received = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (received == 0) {
      return std::nullopt;
    }
    if (received < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return messages;
      }
      return std::nullopt;
    }
    if (received != static_cast<ssize_t>(sizeof message)) {
      continue;
    }
    std::memcpy(&message, buffer, sizeof message);
    if (isKnownType(message.type)) {
      messages.push_back(message);
    }
  }
}

} // namespace quillon
