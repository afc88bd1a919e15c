#include "platform/linux/KeyRelayProtocol.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

namespace quillon {
namespace {

class KeyRelayProtocolTest : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sockets_), 0); }
  void TearDown() override {
    for (const int socket : sockets_) {
      if (socket >= 0) {
        close(socket);
      }
    }
  }
  int sockets_[2] = {-1, -1};
};

TEST_F(KeyRelayProtocolTest, MessagesArriveWholeAndInOrderAndMalformedRecordsAreDropped) {
  RelayMessage first;
  first.type = RelayMessageType::KeyDown;
  first.sequence = 7;
  first.keycode = 38;
  first.modifiers = flag::Shift;
  RelayMessage second;
  second.type = RelayMessageType::Verdict;
  second.flag = 1;
  ASSERT_TRUE(sendRelayMessage(sockets_[0], first, true));
  // A short record, an oversized one and one of no known type, as a
  // confused peer might send.
  const char shortRecord[3] = {1, 2, 3};
  ASSERT_EQ(send(sockets_[0], shortRecord, sizeof shortRecord, 0), 3);
  unsigned char longRecord[sizeof(RelayMessage) + 8] = {};
  longRecord[0] = 1;
  ASSERT_EQ(send(sockets_[0], longRecord, sizeof longRecord, 0),
            static_cast<ssize_t>(sizeof longRecord));
  RelayMessage unknown;
  unknown.type = static_cast<RelayMessageType>(200);
  ASSERT_TRUE(sendRelayMessage(sockets_[0], unknown, true));
  ASSERT_TRUE(sendRelayMessage(sockets_[0], second, true));

  const auto received = receiveRelayMessages(sockets_[1]);
  ASSERT_TRUE(received);
  ASSERT_EQ(received->size(), 2u);
  EXPECT_EQ((*received)[0].type, RelayMessageType::KeyDown);
  EXPECT_EQ((*received)[0].sequence, 7u);
  EXPECT_EQ((*received)[0].keycode, 38u);
  EXPECT_EQ((*received)[0].modifiers, flag::Shift);
  EXPECT_EQ((*received)[1].type, RelayMessageType::Verdict);
  EXPECT_EQ((*received)[1].flag, 1);

  // Nothing waiting: an empty batch, not an end.
  const auto none = receiveRelayMessages(sockets_[1]);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST_F(KeyRelayProtocolTest, APeerThatClosedItsEndIsAnEndAndSendingToItFails) {
  close(sockets_[0]);
  sockets_[0] = -1;
  EXPECT_FALSE(receiveRelayMessages(sockets_[1]));
  RelayMessage message;
  message.type = RelayMessageType::Enable;
  // No SIGPIPE either: the test process would die of it.
  EXPECT_FALSE(sendRelayMessage(sockets_[1], message, false));
}

} // namespace
} // namespace quillon
