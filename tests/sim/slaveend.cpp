#include "slaveend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace talveno::sim::test {

SlaveEnd::SlaveEnd(const std::string& path, Line line) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "open " + path);
    }
    if (line == Line::Raw) {
        struct termios settings {};
        if (::tcgetattr(fd_, &settings) != 0) {
            const int error = errno;
            ::close(fd_);
            throw std::system_error(error, std::generic_category(), "tcgetattr");
        }
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, B9600);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
}

SlaveEnd::~SlaveEnd() {
    ::close(fd_);
}

int SlaveEnd::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                pollfd out{fd_, POLLOUT, 0};
                ::poll(&out, 1, static_cast<int>(patience.count()));
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

SlaveEnd::Read SlaveEnd::readUntil(std::size_t count, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    Read result;
    while (result.bytes.size() < count) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            result.timedOut = true;
            break;
        }
        pollfd in{fd_, POLLIN, 0};
        if (::poll(&in, 1, static_cast<int>(left)) == 0) {
            continue;  // the deadline check above ends it
        }
        char buffer[4096];
        const std::size_t want = std::min(sizeof buffer, count - result.bytes.size());
        const ssize_t n = ::read(fd_, buffer, want);
        if (n > 0) {
            result.bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            result.endOfFile = true;
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            result.error = errno;
            break;
        }
    }
    return result;
}

SlaveEnd::Read SlaveEnd::readToEnd(std::chrono::milliseconds timeout) {
    return readUntil(std::string::npos, timeout);
}

std::size_t SlaveEnd::waiting() const {
    pollfd in{fd_, POLLIN, 0};
    ::poll(&in, 1, 0);  // moves bytes in flight into the line discipline
    int count = 0;
    ::ioctl(fd_, FIONREAD, &count);
    return static_cast<std::size_t>(count);
}

}  // namespace talveno::sim::test
