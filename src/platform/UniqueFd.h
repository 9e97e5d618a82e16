#pragma once
// One open file descriptor with one owner: closed when the owner goes, unless
// it was closed (with its error seen) or released first.

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept
        : m_fd(other.release())
    {
    }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

    /** Gives the descriptor up without closing it. */
    int release() { return std::exchange(m_fd, -1); }

    /** Closes the descriptor held (if any) and takes `fd`. */
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

    /** Closes the descriptor now; 0, or the errno of the close (a late write error shows here). */
    int close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(std::exchange(m_fd, -1));
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
};

} // namespace platform
