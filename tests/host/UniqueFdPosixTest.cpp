#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "host/posix/UniqueFd.h"

namespace {

using host::posix::UniqueFd;

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

UniqueFd OpenNull() { return UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)); }

TEST(UniqueFdTest, OneOwnerClosesEachDescriptorOnce) {
    UniqueFd first = OpenNull();
    const int fd = first.Get();
    ASSERT_TRUE(IsOpen(fd));
    UniqueFd second = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), fd);
    first = std::move(second); // back again; nothing closed on the way
    EXPECT_TRUE(IsOpen(fd));

    UniqueFd other = OpenNull();
    const int otherFd = other.Get();
    first = std::move(other); // the old descriptor goes, the new one stays
    EXPECT_FALSE(IsOpen(fd));
    EXPECT_TRUE(IsOpen(otherFd));

    const int released = first.Release();
    EXPECT_FALSE(first);
    EXPECT_TRUE(IsOpen(released));
    first.Reset(released);
    first.Reset();
    EXPECT_FALSE(IsOpen(released));
}

TEST(UniqueFdTest, CloseReportsItsResult) {
    UniqueFd fd = OpenNull();
    EXPECT_EQ(fd.Close(), 0);
    EXPECT_FALSE(fd);
    EXPECT_EQ(fd.Close(), 0); // nothing held, nothing to fail

    UniqueFd stale = OpenNull();
    ::close(stale.Get()); // closed behind the owner's back
    errno = 0;
    EXPECT_EQ(stale.Close(), -1);
    EXPECT_EQ(errno, EBADF);
}

} // namespace
