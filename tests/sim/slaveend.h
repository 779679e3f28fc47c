// The program's side of the simulated bar's terminal, in plain POSIX: what a
// serial program does with the device (open, raw mode, write a command,
// read with poll and a deadline), with no Qt in the way.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace talveno::sim::test {

inline constexpr std::chrono::milliseconds patience{10000};  // bound on every wait

class SlaveEnd {
  public:
    enum class Line { Raw, AsOpened };
    // Opens path read-write, non-blocking, without making it a controlling
    // terminal; Line::Raw puts it in raw mode 9600 8N1 as a serial program
    // would. Throws std::system_error.
    explicit SlaveEnd(const std::string& path, Line line = Line::Raw);
    ~SlaveEnd();
    SlaveEnd(const SlaveEnd&) = delete;
    SlaveEnd& operator=(const SlaveEnd&) = delete;

    int fd() const { return fd_; }
    // 0 when every byte was written, else the errno of the failing write.
    int write(std::string_view bytes);

    struct Read {
        std::string bytes;
        bool endOfFile = false;  // read returned 0
        int error = 0;           // errno of a failing read
        bool timedOut = false;
    };
    // Reads until `count` bytes have come, end of file, an error or the time-out.
    Read readUntil(std::size_t count, std::chrono::milliseconds timeout = patience);
    // Reads until end of file, an error or the time-out.
    Read readToEnd(std::chrono::milliseconds timeout = patience);
    // Bytes waiting unread, including those still on their way through the
    // terminal.
    std::size_t waiting() const;

  private:
    int fd_ = -1;
};

}  // namespace talveno::sim::test
