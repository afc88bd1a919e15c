#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace quillon {

// A small HTTP/1.0 server on 127.0.0.1 at a port of the system's choosing,
// answering one connection at a time from a thread of its own: the web
// sites the simulated desktop and the tests fetch icons from. It can also
// misbehave as hostile servers do.
class LoopbackHttpServer {
public:
  struct Reply {
    enum class Kind {
      Normal,
      // Reads the request and never answers.
      Stall,
      // Announces and sends an endless body.
      EndlessBody,
      // Redirects to the same path again.
      RedirectLoop,
    };
    int status = 200;
    std::string body;
    Kind kind = Kind::Normal;
  };
  using Handler = std::function<Reply(const std::string& path)>;

  explicit LoopbackHttpServer(Handler handler);
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;
  ~LoopbackHttpServer();

  // 0 when the server could not start listening.
  std::uint16_t port() const { return port_; }
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

  // Serves the files of a folder: 404 for what is not there, and for any
  // path that climbs out of the folder.
  static Handler serveFolder(std::filesystem::path root);

private:
  void serve();
  void answer(int connection);
  bool stopping() const { return stopping_.load(); }

  Handler handler_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

} // namespace quillon
