#include "preview/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace ostrivel {
namespace {

bool IsOpenDescriptor(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

// Two fresh descriptors (the ends of a pipe); each test hands them to UniqueFd objects.
struct Pipe {
  int read_end = -1;
  int write_end = -1;
  Pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) == 0) {
      read_end = ends[0];
      write_end = ends[1];
    }
  }
};

TEST(UniqueFdTest, DestructorClosesTheDescriptor) {
  Pipe pipe;
  ::close(pipe.write_end);
  { UniqueFd fd(pipe.read_end); }
  EXPECT_FALSE(IsOpenDescriptor(pipe.read_end));
}

TEST(UniqueFdTest, MoveHandsTheDescriptorOnAndLeavesMinusOne) {
  Pipe pipe;
  ::close(pipe.write_end);
  UniqueFd first(pipe.read_end);
  UniqueFd second(std::move(first));
  EXPECT_EQ(first.Get(), -1);
  EXPECT_FALSE(first);
  EXPECT_EQ(second.Get(), pipe.read_end);
  EXPECT_TRUE(IsOpenDescriptor(pipe.read_end));
}

TEST(UniqueFdTest, MoveAssignmentClosesTheDescriptorItHeld) {
  Pipe pipe;
  UniqueFd target(pipe.read_end);
  UniqueFd source(pipe.write_end);
  target = std::move(source);
  EXPECT_FALSE(IsOpenDescriptor(pipe.read_end));
  EXPECT_EQ(target.Get(), pipe.write_end);
  EXPECT_EQ(source.Get(), -1);
  EXPECT_TRUE(IsOpenDescriptor(pipe.write_end));
}

TEST(UniqueFdTest, ReleaseGivesUpOwnershipWithoutClosing) {
  Pipe pipe;
  ::close(pipe.write_end);
  int released = -1;
  {
    UniqueFd fd(pipe.read_end);
    released = fd.Release();
    EXPECT_EQ(fd.Get(), -1);
  }
  EXPECT_EQ(released, pipe.read_end);
  EXPECT_TRUE(IsOpenDescriptor(released));
  ::close(released);
}

}  // namespace
}  // namespace ostrivel
