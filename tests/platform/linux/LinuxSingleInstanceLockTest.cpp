#include "platform/linux/SingleInstanceLock.h"
#include "platform/shared/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace quillon {
namespace {

TEST(SingleInstanceLockTest, NamesForOneServerMeetInOneFileAndOthersStayApart) {
  EXPECT_EQ(displayFileStem(":0"), "display-0");
  EXPECT_EQ(displayFileStem(":0.1"), "display-0");
  EXPECT_EQ(displayFileStem("unix:0"), "display-0");
  EXPECT_EQ(displayFileStem("localhost:0.0"), "display-0");
  EXPECT_EQ(displayFileStem(":10"), "display-10");
  EXPECT_EQ(displayFileStem("remote.example:1.0"), "display-remote_example-1");
  // The environment decides the name; it never leaves the folder.
  EXPECT_EQ(SingleInstanceLock::fileNameFor("../../etc/x:0"), "display-______etc_x-0.lock");
  EXPECT_EQ(displayFileStem(""), "display-");
}

TEST(SingleInstanceLockTest, OneHolderPerDisplayUntilItEnds) {
  const TemporaryDirectory folder;
  auto first = SingleInstanceLock::acquire(folder.path() / "runtime", ":7");
  ASSERT_TRUE(first.lock) << first.error;

  const auto second = SingleInstanceLock::acquire(folder.path() / "runtime", ":7.0");
  EXPECT_FALSE(second.lock);
  EXPECT_TRUE(second.heldByAnother);
  EXPECT_EQ(second.holder, static_cast<long>(getpid()));
  EXPECT_TRUE(second.error.empty());

  EXPECT_TRUE(SingleInstanceLock::acquire(folder.path() / "runtime", ":8").lock)
      << "another display is another desktop";

  first.lock.reset();
  EXPECT_TRUE(SingleInstanceLock::acquire(folder.path() / "runtime", ":7").lock)
      << "the file left behind is no lock";
}

TEST(SingleInstanceLockTest, AnUnusableFolderIsAnErrorNotAnotherInstance) {
  const TemporaryDirectory folder;
  std::ofstream(folder.path() / "file") << "not a folder";
  const auto attempt = SingleInstanceLock::acquire(folder.path() / "file" / "runtime", ":0");
  EXPECT_FALSE(attempt.lock);
  EXPECT_FALSE(attempt.heldByAnother);
  EXPECT_NE(attempt.error.find("cannot create"), std::string::npos) << attempt.error;
}

TEST(SingleInstanceLockTest, AStaleFileWithGarbageDoesNotBlock) {
  const TemporaryDirectory folder;
  std::ofstream(folder.path() / SingleInstanceLock::fileNameFor(":3")) << "not a pid at all";
  const auto attempt = SingleInstanceLock::acquire(folder.path(), ":3");
  EXPECT_TRUE(attempt.lock) << attempt.error;
}

} // namespace
} // namespace quillon
