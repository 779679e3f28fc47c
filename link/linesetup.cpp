#include "linesetup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <optional>
#include <utility>

namespace talveno::link {

namespace {

std::optional<speed_t> standardSpeed(int rate) {
    static constexpr std::pair<int, speed_t> kSpeeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& [value, speed] : kSpeeds) {
        if (value == rate) {
            return speed;
        }
    }
    return std::nullopt;
}

std::optional<tcflag_t> characterSize(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return std::nullopt;
    }
}

tcflag_t parityFlags(Parity parity) {
    switch (parity) {
        case Parity::None:
            return 0;
        case Parity::Odd:
            return PARENB | PARODD;
        case Parity::Even:
            return PARENB;
        case Parity::Mark:
            return PARENB | CMSPAR | PARODD;
        case Parity::Space:
            return PARENB | CMSPAR;
    }
    return 0;
}

// A terminal without modem lines answers ENOTTY (or EINVAL on older kernels)
// to the modem-line requests; it has no DTR or RTS to hold off.
int setModemLine(int fd, int line, bool on) {
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 || errno == ENOTTY || errno == EINVAL) {
        return 0;
    }
    return errno;
}

constexpr tcflag_t kFormatFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kSoftwareFlowFlags = IXON | IXOFF;

}  // namespace

std::string portMessage(std::string_view text, int systemError) {
    return std::string(text) + " (win error code: " + std::to_string(systemError) + ")";
}

int setUpLine(int fd, const PortSettings& settings) {
    const std::optional<tcflag_t> size = characterSize(settings.dataBits);
    if (!size || settings.baudRate <= 0 || settings.stopBits == StopBits::OneAndHalf ||
        settings.outDsrFlow || settings.controlDtr == LineControl::Handshake) {
        return EINVAL;
    }
    const std::optional<speed_t> speed = standardSpeed(settings.baudRate);
    const bool rtsCts = settings.outCtsFlow || settings.controlRts == LineControl::Handshake;

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return errno;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    tio.c_cflag &= ~kFormatFlags;
    tio.c_cflag |= *size | parityFlags(settings.parity);
    if (settings.stopBits == StopBits::Two) {
        tio.c_cflag |= CSTOPB;
    }
    if (rtsCts) {
        tio.c_cflag |= CRTSCTS;
    }
    tio.c_iflag &= ~kSoftwareFlowFlags;
    tio.c_iflag |= (settings.xonXoffOut ? IXON : 0) | (settings.xonXoffIn ? IXOFF : 0);
    if (speed && (::cfsetispeed(&tio, *speed) != 0 || ::cfsetospeed(&tio, *speed) != 0)) {
        return errno;
    }
    const termios wanted = tio;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return errno;
    }

    termios taken{};
    if (::tcgetattr(fd, &taken) != 0) {
        return errno;
    }
    if ((taken.c_cflag & kFormatFlags) != (wanted.c_cflag & kFormatFlags) ||
        (taken.c_iflag & kSoftwareFlowFlags) != (wanted.c_iflag & kSoftwareFlowFlags) ||
        (speed && ::cfgetospeed(&taken) != *speed)) {
        return EINVAL;
    }
    if (!speed) {
        if (const int error = setCustomRate(fd, settings.baudRate); error != 0) {
            return error;
        }
    }

    if (const int error = setModemLine(fd, TIOCM_DTR, settings.controlDtr == LineControl::Enable);
        error != 0) {
        return error;
    }
    return setModemLine(fd, TIOCM_RTS, settings.controlRts != LineControl::Disable);
}

int holdDevice(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return 0;
    }
    return errno == EWOULDBLOCK ? EBUSY : errno;
}

int openFailureCode(const QString& path) {
    const int fd =
        ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    termios tio{};
    const int code = ::tcgetattr(fd, &tio) == 0 ? EBUSY : errno;
    ::close(fd);
    return code;
}

int waitUntilSent(int fd, qint64 timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
            // A device that cannot tell its queue drains it the only way left.
            return ::tcdrain(fd) == 0 ? 0 : errno;
        }
        if (queued == 0) {
            return 0;
        }
        if (Clock::now() >= deadline) {
            return ETIMEDOUT;
        }
        // A byte takes about a millisecond on a 9600 bit/s line.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

int deviceFailureCode(int fd, int fallback) {
    termios tio{};
    return ::tcgetattr(fd, &tio) == 0 ? fallback : errno;
}

}  // namespace talveno::link
