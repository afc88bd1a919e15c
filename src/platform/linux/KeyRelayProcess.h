#pragma once

#include "platform/linux/KeyRelayProtocol.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillon {

// The keyboard relay as the product sees it: a child process started from
// the product's own executable in a session of its own (so the terminal's
// Ctrl+C and Ctrl+Z never reach it), and the socket to it, read on the
// default main context. Going away closes the socket, which the relay takes
// as its cue to let go of everything; the product waits for it to finish.
class KeyRelayProcess {
public:
  // Every message the relay sent, a batch at a time; `ended` once the relay
  // has gone.
  using Receiver = std::function<void(const std::vector<RelayMessage>& messages)>;
  using EndHandler = std::function<void()>;

  static constexpr const char* relayArgument = "--keyboard-relay";

  // Null, with the reason in `error`, when no relay could be started.
  static std::unique_ptr<KeyRelayProcess> start(const std::filesystem::path& executable,
                                                Receiver receiver, EndHandler ended,
                                                std::string& error);
  KeyRelayProcess(const KeyRelayProcess&) = delete;
  KeyRelayProcess& operator=(const KeyRelayProcess&) = delete;
  ~KeyRelayProcess();

  // Blocking: the relay reads promptly, and a message dropped would be a
  // key lost. Safe from a signal handler.
  bool send(const RelayMessage& message) const;
  pid_t processIdentifier() const { return process_; }
  int socket() const { return socket_; }

private:
  KeyRelayProcess(pid_t process, int socket, Receiver receiver, EndHandler ended);
  struct Watch;

  pid_t process_;
  int socket_;
  Receiver receiver_;
  EndHandler ended_;
  unsigned watch_ = 0;
};

} // namespace quillon
