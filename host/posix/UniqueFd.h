#pragma once
// The one owner of a file descriptor: closed when the owner goes, moved but
// never copied.

#include <unistd.h>

#include <utility>

namespace host::posix {

class UniqueFd final {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Hands the descriptor over; this owner is empty afterwards.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor held, if any, and takes fd.
    void Reset(int fd = -1) {
        if (const int old = std::exchange(fd_, fd); old >= 0) ::close(old);
    }
    // Closes now, for the caller that must know whether the close failed
    // (a write can report its error only here): ::close's result, 0 when
    // nothing was held.
    int Close() { return fd_ < 0 ? 0 : ::close(Release()); }

private:
    int fd_ = -1;
};

} // namespace host::posix
