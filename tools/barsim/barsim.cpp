#include "barsim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace talveno::sim {
namespace {

constexpr std::string_view crLf = "\r\n";
constexpr int jumpFirstLine = 1000;  // the write that jumps starts with this line
constexpr unsigned char requestByte = 0x38;
constexpr unsigned char eraseByte = 0x33;

// splitmix64: a small, well-mixed hash, the same on every platform, so that
// reading k is the same whatever the number of lines asked for.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// A number in [0, 1) drawn from (stream, index).
double unitNoise(std::uint64_t stream, std::uint64_t index) {
    return static_cast<double>(mix(mix(stream) ^ index) >> 11) * 0x1.0p-53;
}

// Reading k (from 1): one every 5 minutes from 08:00 of the first day.
// Daylight from 06:00 to 20:00 follows a sine, each day has its own
// cloudiness, and each reading a few per cent of noise.
int parReading(int k) {
    constexpr double minutesPerReading = 5.0;
    constexpr double firstMinute = 8 * 60;
    const double minute = firstMinute + (k - 1) * minutesPerReading;
    const auto day = static_cast<std::uint64_t>(minute / 1440.0);
    const double hour = std::fmod(minute, 1440.0) / 60.0;
    if (hour <= 6.0 || hour >= 20.0) {
        return 0;
    }
    const double sun = std::pow(std::sin(std::numbers::pi * (hour - 6.0) / 14.0), 1.3);
    const double clearness = 0.65 + 0.35 * unitNoise(1, day);
    const double noise = 0.92 + 0.16 * unitNoise(2, static_cast<std::uint64_t>(k));
    const double value = 2300.0 * sun * clearness * noise;
    return std::clamp(static_cast<int>(std::lround(value)), 0, 2500);
}

bool isAmong(int line, std::initializer_list<int> lines) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string readingLine(int k, const BarOptions& options) {
    std::string text = std::to_string(parReading(k));
    if (options.emptyReadings && isAmong(k, {5, 503, 997})) {
        return std::string(crLf);
    }
    std::string fault;
    if (options.nulBytes && isAmong(k, {2, 500, 1000})) {
        fault += '\0';
    }
    if (options.highBytes && isAmong(k, {3, 501, 999})) {
        fault += "\xB5\xE9\xFF\x80";
    }
    if (options.loneCrLf && isAmong(k, {4, 502, 998})) {
        fault += "\r0\n";
    }
    text.insert(1, fault);
    return text + std::string(crLf);
}

// Where line `line` (from 1) begins, or npos when the stream has no such line.
std::size_t lineStart(std::string_view stream, int line) {
    std::size_t position = 0;
    for (int i = 1; i < line; ++i) {
        const std::size_t separator = stream.find(crLf, position);
        if (separator == std::string_view::npos) {
            return std::string_view::npos;
        }
        position = separator + crLf.size();
    }
    return position < stream.size() ? position : std::string_view::npos;
}

void cutInto(std::vector<std::string>& writes, std::string_view bytes, std::size_t chunkSize) {
    for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
        writes.emplace_back(bytes.substr(at, chunkSize));
    }
}

void validate(const BarOptions& options) {
    if (options.lines < 0 || options.extraLines < 0) {
        throw std::invalid_argument("line counts must not be negative");
    }
    if (options.baud < 0) {
        throw std::invalid_argument("baud must not be negative");
    }
    if (options.chunkSize == 0) {
        throw std::invalid_argument("chunkSize must be at least 1");
    }
    if (options.hangUpAfter < -1) {
        throw std::invalid_argument("hangUpAfter must be -1 or a byte count");
    }
}

[[noreturn]] void throwSystemError(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void closeIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::string hexByte(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte));
    return text;
}

std::size_t memoryBytes(const std::vector<std::string>& writes) {
    std::size_t bytes = 0;
    for (const std::string& write : writes) {
        bytes += write.size();
    }
    return bytes;
}

// The time a line at `baud` takes for `bytes` bytes of 10 bits.
std::chrono::steady_clock::duration lineTime(std::size_t bytes, int baud) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) * 10.0 / baud));
}

}  // namespace

std::string readingStream(const BarOptions& options) {
    if (options.stream) {
        return *options.stream;
    }
    int total = options.lines + options.extraLines;
    if (options.jumpPast1000) {
        total = std::max(total, jumpFirstLine + 1);
    }
    std::string stream;
    stream.reserve(static_cast<std::size_t>(std::max(total, 0)) * 7);
    for (int k = 1; k <= total; ++k) {
        stream += readingLine(k, options);
    }
    return stream;
}

std::vector<std::string> answerWrites(const BarOptions& options) {
    if (options.chunkSize == 0) {
        throw std::invalid_argument("chunkSize must be at least 1");
    }
    const std::string stream = readingStream(options);
    const std::string_view bytes = stream;
    std::vector<std::string> writes;
    const std::size_t jumpFrom =
        options.jumpPast1000 ? lineStart(bytes, jumpFirstLine) : std::string_view::npos;
    const std::size_t nextLine = jumpFrom == std::string_view::npos
                                     ? std::string_view::npos
                                     : lineStart(bytes, jumpFirstLine + 1);
    if (nextLine == std::string_view::npos) {
        cutInto(writes, bytes, options.chunkSize);
        return writes;
    }
    const std::size_t jumpTo = nextLine + 1;  // the first byte of line 1001 included
    cutInto(writes, bytes.substr(0, jumpFrom), options.chunkSize);
    writes.emplace_back(bytes.substr(jumpFrom, jumpTo - jumpFrom));
    cutInto(writes, bytes.substr(jumpTo), options.chunkSize);
    return writes;
}

SimulatedBar::SimulatedBar(BarOptions options) : options_(std::move(options)) {
    validate(options_);
    memory_ = answerWrites(options_);
    try {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0) {
            throwSystemError("posix_openpt");
        }
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throwSystemError("grantpt/unlockpt");
        }
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) {
            throwSystemError("ptsname_r");
        }
        devicePath_ = name;
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) {
            throwSystemError("open " + devicePath_);
        }
        struct termios line {};
        if (::tcgetattr(slave_, &line) != 0) {
            throwSystemError("tcgetattr");
        }
        ::cfmakeraw(&line);
        ::cfsetispeed(&line, B9600);
        ::cfsetospeed(&line, B9600);
        line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | CRTSCTS);
        line.c_cflag |= CS8 | CLOCAL | CREAD;
        line.c_iflag &= ~(IXON | IXOFF | IXANY);
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
        if (::tcsetattr(slave_, TCSANOW, &line) != 0) {
            throwSystemError("tcsetattr");
        }
        const int flags = ::fcntl(master_, F_GETFL);
        if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
            throwSystemError("fcntl O_NONBLOCK");
        }
        int wake[2];
        if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            throwSystemError("pipe2");
        }
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
    } catch (...) {
        closeIfOpen(master_);
        closeIfOpen(slave_);
        closeIfOpen(wakeRead_);
        closeIfOpen(wakeWrite_);
        throw;
    }
}

SimulatedBar::~SimulatedBar() {
    stop();
    {
        std::lock_guard lock(mutex_);
        closeTerminal();
    }
    closeIfOpen(wakeRead_);
    closeIfOpen(wakeWrite_);
    if (!linkPath_.empty()) {
        ::unlink(linkPath_.c_str());
    }
}

const std::string& SimulatedBar::devicePath() const {
    return devicePath_;
}

void SimulatedBar::linkTo(const std::string& path) {
    if (!linkPath_.empty()) {
        ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (::symlink(devicePath_.c_str(), path.c_str()) != 0) {
        throwSystemError("symlink " + path);
    }
    linkPath_ = path;
}

void SimulatedBar::start() {
    if (thread_.joinable()) {
        throw std::logic_error("the simulated bar is already serving");
    }
    if (hungUp()) {
        throw std::logic_error("the simulated bar has been unplugged");
    }
    thread_ = std::thread(&SimulatedBar::serve, this);
}

void SimulatedBar::stop() {
    if (!thread_.joinable()) {
        return;
    }
    const char wake = 1;
    while (::write(wakeWrite_, &wake, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    char drain[16];
    while (::read(wakeRead_, drain, sizeof drain) > 0) {
    }
}

std::string SimulatedBar::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool SimulatedBar::waitForReceived(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= n; });
}

bool SimulatedBar::waitUntilSent(std::chrono::milliseconds timeout) const {
    return waitUntilSent(1, timeout);
}

bool SimulatedBar::waitUntilSent(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout,
                      [&] { return hungUp_ || (received_.size() >= n && !pending_); });
    return received_.size() >= n && !pending_;
}

std::size_t SimulatedBar::sentCount() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

struct termios SimulatedBar::lineSettings() const {
    std::lock_guard lock(mutex_);
    if (master_ < 0) {
        throw std::runtime_error("the simulated bar has been unplugged");
    }
    struct termios line {};
    if (::tcgetattr(master_, &line) != 0) {
        throwSystemError("tcgetattr");
    }
    return line;
}

void SimulatedBar::hangUp() {
    stop();
    {
        std::lock_guard lock(mutex_);
        if (hungUp_) {
            return;
        }
        closeTerminal();
        changed_.notify_all();
    }
    if (logger_) {
        logger_("desconectado");
    }
}

bool SimulatedBar::hungUp() const {
    std::lock_guard lock(mutex_);
    return hungUp_;
}

bool SimulatedBar::waitUntilHungUp(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return hungUp_; });
}

void SimulatedBar::setLogger(std::function<void(const std::string&)> logger) {
    logger_ = std::move(logger);
}

void SimulatedBar::closeTerminal() {
    if (master_ < 0) {
        return;
    }
    // The master first: its close hangs up the slave side, whoever holds it.
    closeIfOpen(master_);
    closeIfOpen(slave_);
    hungUp_ = true;
}

bool SimulatedBar::unreadBytesWaiting() const {
    // poll on a terminal with no input ready first moves the bytes still in
    // flight from the master into the line discipline, where FIONREAD counts
    // them. When poll finds input ready it moves nothing, and the program
    // may read that input before FIONREAD looks, so POLLIN alone already
    // means "not yet read"; FIONREAD covers a program whose VMIN keeps poll
    // quiet.
    pollfd slave{slave_, POLLIN, 0};
    if (::poll(&slave, 1, 0) == 1 && (slave.revents & POLLIN)) {
        return true;
    }
    int waiting = 0;
    return ::ioctl(slave_, FIONREAD, &waiting) == 0 && waiting > 0;
}

void SimulatedBar::serve() {
    using Clock = std::chrono::steady_clock;
    // How long an unplug that is due waits for the program to read what was
    // sent before it; a program that never reads loses those bytes.
    constexpr auto drainLimit = std::chrono::seconds(10);
    constexpr int drainPollMs = 5;

    std::deque<std::string> writes;  // the answers still to send, write by write
    std::size_t writtenOfFront = 0;
    Clock::time_point nextWriteAt = Clock::now();
    std::optional<Clock::time_point> unplugBy;
    const bool paced = options_.baud > 0;
    const std::size_t sendLimit = options_.hangUpAfter < 0
                                      ? std::numeric_limits<std::size_t>::max()
                                      : static_cast<std::size_t>(options_.hangUpAfter);
    std::vector<std::string> log;
    const auto emitLog = [&] {
        if (logger_) {
            for (const std::string& line : log) {
                logger_(line);
            }
        }
        log.clear();
    };

    for (;;) {
        emitLog();
        const Clock::time_point now = Clock::now();
        int timeoutMs = -1;
        bool mayWrite = false;
        if (sent_ >= sendLimit) {  // only this thread changes sent_
            if (!unplugBy) {
                unplugBy = now + drainLimit;
            }
            if (now >= *unplugBy || !unreadBytesWaiting()) {
                std::lock_guard lock(mutex_);
                closeTerminal();
                log.push_back("desconectado tras " + std::to_string(sent_) + " bytes enviados");
                changed_.notify_all();
                break;
            }
            timeoutMs = drainPollMs;
        } else if (!writes.empty()) {
            mayWrite = !paced || writtenOfFront > 0 || now >= nextWriteAt;
            if (!mayWrite) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextWriteAt - now);
                timeoutMs = static_cast<int>(std::max<std::int64_t>(wait.count(), 1));
            }
        }

        pollfd fds[2] = {{wakeRead_, POLLIN, 0},
                         {master_, static_cast<short>(POLLIN | (mayWrite ? POLLOUT : 0)), 0}};
        if (::poll(fds, 2, timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            log.push_back(std::string("poll: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }

        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                // Cannot happen while our own slave descriptor is open; give
                // up rather than spin on a terminal that keeps failing.
                log.push_back(std::string("error de lectura: ") + std::strerror(errno));
                break;
            }
            std::lock_guard lock(mutex_);
            for (ssize_t i = 0; i < n; ++i) {
                const auto byte = static_cast<unsigned char>(buffer[i]);
                received_ += static_cast<char>(byte);
                std::string entry = "recibido " + hexByte(byte);
                if (options_.neverAnswer) {
                    entry += ": sin respuesta";
                } else if (byte == requestByte) {
                    if (memory_.empty()) {
                        entry += ": memoria vacía, nada que enviar";
                    } else {
                        entry += ": envío de " + std::to_string(memoryBytes(memory_)) + " bytes";
                        if (writes.empty()) {
                            nextWriteAt = std::max(nextWriteAt, Clock::now());
                        }
                        writes.insert(writes.end(), memory_.begin(), memory_.end());
                    }
                } else if (byte == eraseByte) {
                    memory_.clear();
                    entry += ": memoria borrada";
                } else {
                    entry += ": ignorado";
                }
                log.push_back(std::move(entry));
            }
            pending_ = !writes.empty();
            changed_.notify_all();
        }

        if ((fds[1].revents & POLLOUT) && mayWrite) {
            const std::string& front = writes.front();
            const std::size_t length = std::min(front.size() - writtenOfFront, sendLimit - sent_);
            const ssize_t n = ::write(master_, front.data() + writtenOfFront, length);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                log.push_back(std::string("error de escritura: ") + std::strerror(errno));
                break;
            }
            if (n > 0) {
                writtenOfFront += static_cast<std::size_t>(n);
                if (paced) {
                    nextWriteAt += lineTime(static_cast<std::size_t>(n), options_.baud);
                }
                if (writtenOfFront == front.size()) {
                    writes.pop_front();
                    writtenOfFront = 0;
                }
                std::lock_guard lock(mutex_);
                sent_ += static_cast<std::size_t>(n);
                if (writes.empty()) {
                    log.push_back("respuesta enviada; " + std::to_string(sent_) +
                                  " bytes enviados en total");
                }
                pending_ = !writes.empty();
                changed_.notify_all();
            }
        }
    }
    emitLog();
}

}  // namespace talveno::sim
