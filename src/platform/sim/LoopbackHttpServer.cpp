#include "platform/sim/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <array>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillon {

namespace {

// How often the serving thread looks whether it should stop.
constexpr int pollMilliseconds = 20;
// No request line of a test or a script comes near this.
constexpr std::size_t maximumRequestBytes = 16 * 1024;

std::string_view reasonPhrase(int status) {
  switch (status) {
  case 200:
    return "OK";
  case 302:
    return "Found";
  case 404:
    return "Not Found";
  default:
    return "Status";
  }
}

bool sendAll(int connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool waitReadable(int descriptor) {
  pollfd entry{descriptor, POLLIN, 0};
  return ::poll(&entry, 1, pollMilliseconds) > 0;
}

// The path of "GET /path HTTP/1.1", or nothing for a request not read whole.
std::optional<std::string> readRequestPath(int connection, const std::atomic<bool>& stopping) {
  std::string request;
  std::array<char, 1024> buffer{};
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (stopping.load() || request.size() > maximumRequestBytes) {
      return std::nullopt;
    }
    if (!waitReadable(connection)) {
      continue;
    }
    const ssize_t received = ::recv(connection, buffer.data(), buffer.size(), 0);
    if (received <= 0) {
      return std::nullopt;
    }
    request.append(buffer.data(), static_cast<std::size_t>(received));
  }
  const auto firstSpace = request.find(' ');
  const auto secondSpace = request.find(' ', firstSpace + 1);
  if (firstSpace == std::string::npos || secondSpace == std::string::npos) {
    return std::nullopt;
  }
  std::string path = request.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  return path.substr(0, path.find('?'));
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) {
    return;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) {
    thread_.join();
  }
  if (listener_ >= 0) {
    ::close(listener_);
  }
}

void LoopbackHttpServer::serve() {
  while (!stopping()) {
    if (!waitReadable(listener_)) {
      continue;
    }
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      continue;
    }
    answer(connection);
    ::close(connection);
  }
}

void LoopbackHttpServer::answer(int connection) {
  const auto path = readRequestPath(connection, stopping_);
  if (!path) {
    return;
  }
  const Reply reply = handler_(*path);
  switch (reply.kind) {
  case Reply::Kind::Stall: {
    // Holds the connection until the client gives up.
    std::array<char, 256> buffer{};
    while (!stopping()) {
      if (waitReadable(connection) && ::recv(connection, buffer.data(), buffer.size(), 0) <= 0) {
        return;
      }
    }
    return;
  }
  case Reply::Kind::EndlessBody: {
    sendAll(connection, "HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n\r\n");
    const std::string chunk(64 * 1024, 'x');
    while (!stopping() && sendAll(connection, chunk)) {
    }
    return;
  }
  case Reply::Kind::RedirectLoop:
    sendAll(connection,
            "HTTP/1.0 302 Found\r\nLocation: " + *path + "\r\nContent-Length: 0\r\n\r\n");
    return;
  case Reply::Kind::Normal:
    sendAll(connection, "HTTP/1.0 " + std::to_string(reply.status) + " " +
                            std::string(reasonPhrase(reply.status)) + "\r\nContent-Length: " +
                            std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body);
    return;
  }
}

LoopbackHttpServer::Handler LoopbackHttpServer::serveFolder(std::filesystem::path root) {
  return [root = std::move(root)](const std::string& path) -> Reply {
    const std::filesystem::path relative = std::filesystem::path(path).relative_path();
    for (const auto& part : relative) {
      if (part == "..") {
        return {404, "", Reply::Kind::Normal};
      }
    }
    std::ifstream file(root / relative, std::ios::binary);
    std::error_code error;
    if (relative.empty() || !file || !std::filesystem::is_regular_file(root / relative, error)) {
      return {404, "", Reply::Kind::Normal};
    }
    return {200, std::string(std::istreambuf_iterator<char>(file), {}), Reply::Kind::Normal};
  };
}

} // namespace quillon
