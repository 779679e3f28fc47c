#include "childprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace talveno::testing {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// A descriptor closed when this goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Opens a pseudo-terminal pair; the slave's descriptor goes to slave.
void openTerminal(Fd& master, Fd& slave) {
    master.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master.get() < 0 || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        throwErrno("posix_openpt");
    }
    const char* name = ::ptsname(master.get());
    if (name == nullptr) {
        throwErrno("ptsname");
    }
    slave.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave.get() < 0) {
        throwErrno("open pseudo-terminal");
    }
}

// Reads what is waiting on fd into text; false at the end of the stream
// (a terminal whose slave side is closed reports EIO instead).
bool drain(int fd, std::string& text) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                     std::chrono::milliseconds limit, StandardError standardError) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        throwErrno("pipe2");
    }
    Fd outRead(outPipe[0]);
    Fd outWrite(outPipe[1]);
    Fd errRead;
    Fd errWrite;
    if (standardError == StandardError::Terminal) {
        openTerminal(errRead, errWrite);
    } else {
        int errPipe[2];
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            throwErrno("pipe2");
        }
        errRead.reset(errPipe[0]);
        errWrite.reset(errPipe[1]);
    }
    Fd devNull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (devNull.get() < 0) {
        throwErrno("open /dev/null");
    }

    const pid_t pid = ::fork();
    if (pid < 0) {
        throwErrno("fork");
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        if (::dup2(devNull.get(), STDIN_FILENO) < 0 || ::dup2(outWrite.get(), STDOUT_FILENO) < 0 ||
            ::dup2(errWrite.get(), STDERR_FILENO) < 0) {
            ::_exit(127);
        }
        ::close_range(3, ~0U, 0);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    outWrite.reset();
    errWrite.reset();

    ChildResult result;
    const Clock::time_point deadline = Clock::now() + limit;
    bool outOpen = true;
    bool errOpen = true;
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        pollfd fds[2] = {{outOpen ? outRead.get() : -1, POLLIN, 0},
                         {errOpen ? errRead.get() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            throwErrno("poll");
        }
        if (fds[0].revents != 0) {
            outOpen = drain(outRead.get(), result.out);
        }
        if (fds[1].revents != 0) {
            errOpen = drain(errRead.get(), result.err);
        }
    }
    if (result.timedOut) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace talveno::testing
