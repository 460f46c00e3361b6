// The descriptor owner: what it closes, when, and what it leaves alone.
#include "platform/system/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <type_traits>
#include <utility>

namespace {

using libsystem::UniqueFd;

static_assert(!std::is_copy_constructible_v<UniqueFd> && !std::is_copy_assignable_v<UniqueFd>);
static_assert(std::is_nothrow_move_constructible_v<UniqueFd> &&
              std::is_nothrow_move_assignable_v<UniqueFd>);

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

int openNull() {
  int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  return fd;
}

TEST(UniqueFdTest, ClosesWhatItHoldsOnceWhenItGoes) {
  const int fd = openNull();
  {
    UniqueFd owner(fd);
    EXPECT_TRUE(owner.valid());
    EXPECT_EQ(owner.get(), fd);
  }
  EXPECT_FALSE(isOpen(fd));

  UniqueFd empty;
  EXPECT_FALSE(empty.valid());
  EXPECT_FALSE(static_cast<bool>(empty));
  EXPECT_EQ(empty.get(), -1);
  EXPECT_EQ(UniqueFd(-5).get(), -1);  // a failed open's result is simply empty
}

TEST(UniqueFdTest, MovesHandOwnershipOverAndCloseTheReplacedDescriptor) {
  const int first = openNull();
  const int second = openNull();
  UniqueFd a(first);
  UniqueFd b(std::move(a));
  EXPECT_FALSE(a.valid());  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
  EXPECT_EQ(b.get(), first);

  UniqueFd c(second);
  c = std::move(b);
  EXPECT_FALSE(isOpen(second));
  EXPECT_TRUE(isOpen(first));
  EXPECT_EQ(c.get(), first);

  auto& same = c;
  c = std::move(same);
  EXPECT_TRUE(isOpen(first));
  EXPECT_EQ(c.get(), first);
}

TEST(UniqueFdTest, ReleaseAndResetChangeWhatIsHeld) {
  const int first = openNull();
  const int second = openNull();
  UniqueFd owner(first);
  owner.reset(owner.get());  // taking what it already holds must not close it
  EXPECT_TRUE(isOpen(first));

  owner.reset(second);
  EXPECT_FALSE(isOpen(first));
  EXPECT_EQ(owner.get(), second);

  const int released = owner.release();
  EXPECT_EQ(released, second);
  EXPECT_FALSE(owner.valid());
  EXPECT_TRUE(isOpen(second));
  owner.reset();
  EXPECT_TRUE(isOpen(second));
  ::close(released);
}

TEST(UniqueFdTest, CloseReportsTheOutcomeAndLeavesTheOwnerEmpty) {
  const int fd = openNull();
  UniqueFd owner(fd);
  EXPECT_TRUE(owner.close());
  EXPECT_FALSE(owner.valid());
  EXPECT_FALSE(isOpen(fd));
  EXPECT_FALSE(owner.close());  // nothing left to close: never the number it once held
}

TEST(UniqueFdTest, ClosingInCleanupKeepsTheErrnoThatLedToIt) {
  UniqueFd owner(openNull());
  errno = ENOSPC;
  owner.reset();
  EXPECT_EQ(errno, ENOSPC);
  {
    UniqueFd other(openNull());
    errno = EMFILE;
  }
  EXPECT_EQ(errno, EMFILE);
}

}  // namespace
