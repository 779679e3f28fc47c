// The bar simulator: plays the measuring bar on a pseudo-terminal, so that
// the program, its tools and its tests can download from a "bar" with no
// cable and no hardware.
//
// Principles of operation
//   The simulator owns the master side of a pseudo-terminal pair; the program
//   under test opens the slave side, devicePath(), as its serial device. The
//   bar answers two one-byte commands and ignores everything else:
//     0x38 ("8")  it sends its memory: readingStream(options) as the writes
//                 of answerWrites(options), paced as on a line at `baud`;
//     0x33 ("3")  it erases its memory. An erased bar answers a later 0x38
//                 with nothing at all (an empty memory has no lines); an
//                 answer already being sent is finished first.
//   Commands are handled in arrival order; a 0x38 that arrives while an
//   answer is being sent is answered once that answer has gone. Every byte
//   received is logged, in order (received()).
//
//   The simulator keeps a slave descriptor of its own open (O_NOCTTY), so
//   the program may close and reopen the device as often as it likes, and it
//   puts the line in raw mode at 9600 8N1 with no flow control before
//   anything is sent, so a program that never touches termios still reads
//   the bar's bytes untouched.
//
//   The unplug (hangUp(), hangUpAfter): the simulator closes the master and
//   its own slave descriptor, and the kernel hangs up the slave side. What a
//   descriptor the program holds on it then sees (Linux, checked by the
//   tests in tests/sim):
//     read      returns 0, end of file, at once and for ever; bytes that
//               were still waiting unread are lost. A read that races with
//               the hang-up fails with EIO instead, so a reader must take
//               both as the end;
//     poll      reports POLLIN | POLLERR | POLLHUP;
//     write, tcgetattr, FIONREAD and other ioctls fail with EIO;
//     open of devicePath() fails: the device node is gone.
//   That is what a USB serial adapter pulled out gives too. hangUpAfter
//   unplugs only once the program has read the bytes sent before it (the
//   bar waits up to 10 s for that), so a reader gets exactly hangUpAfter
//   bytes and then the end; hangUp() unplugs at once.
//
//   Nothing here is shared with the program under test but the terminal.
//   All members may be called from any one thread; the bar serves on a
//   thread of its own between start() and stop().
#pragma once

#include <termios.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace talveno::sim {

struct BarOptions {
    int lines = 1000;            // stored readings sent in answer to 0x38
    int extraLines = 0;          // further lines sent after them
    int baud = 9600;             // pacing as on a line at this rate, 10 bits a byte; 0 = unpaced
    std::size_t chunkSize = 16;  // bytes per write to the terminal
    // Faults, each changing the stream the bar sends. The faulty lines are
    // counted from 1 over the whole stream (stored and extra lines); only
    // the ones that exist are changed. In a faulty reading the fault's bytes
    // stand right after its first digit.
    bool nulBytes = false;       // lines 2, 500, 1000: one NUL byte
    bool highBytes = false;      // lines 3, 501, 999: the bytes B5 E9 FF 80
    bool loneCrLf = false;       // lines 4, 502, 998: CR, the digit 0, LF (never a CR LF pair)
    bool emptyReadings = false;  // lines 5, 503, 997: empty
    // One write carries the line count from 999 to 1001: it runs from the
    // first byte of line 1000 to the first byte of line 1001 included. The
    // stream gets extra lines up to 1001 lines if it has fewer.
    bool jumpPast1000 = false;
    // After this many bytes sent (counted over every answer) and read by
    // the program, the device vanishes (the unplug); 0 unplugs it as soon
    // as start() is called, -1 never.
    long hangUpAfter = -1;
    bool neverAnswer = false;  // ignores every command (still logs them)
    // Exact bytes to send for 0x38 instead of generated readings; lines,
    // extraLines and the reading faults are then ignored; jumpPast1000
    // applies when the stream has at least 1001 lines.
    std::optional<std::string> stream;
};

// The bytes a bar with these options sends in answer to 0x38: readings
// separated and ended by CR LF. Deterministic: the same options always give
// the same bytes. Default readings are whole PAR values 0..2500
// (µmol m⁻² s⁻¹) in plain ASCII digits, following days and nights with a
// little noise.
std::string readingStream(const BarOptions& options);

// The writes the bar makes to the terminal for one answer to 0x38, in
// order; their concatenation is readingStream(options). Each is chunkSize
// bytes (the last may be shorter) except where jumpPast1000 asks otherwise.
// Throws std::invalid_argument when chunkSize is 0.
std::vector<std::string> answerWrites(const BarOptions& options);

class SimulatedBar {
  public:
    // Opens a pseudo-terminal pair, puts the line in raw mode 9600 8N1 and
    // fills the memory. Throws std::invalid_argument for negative counts, a
    // negative baud or a chunkSize of 0, and std::runtime_error when the
    // terminal cannot be set up (nothing is left open then).
    explicit SimulatedBar(BarOptions options = {});
    ~SimulatedBar();  // stops serving, closes the terminal, removes the link
    SimulatedBar(const SimulatedBar&) = delete;
    SimulatedBar& operator=(const SimulatedBar&) = delete;

    const std::string& devicePath() const;  // e.g. /dev/pts/7
    // Makes a symbolic link at path to the device, removed by the destructor
    // (a link made before is removed first). Throws std::runtime_error when
    // the link cannot be made (an existing file at path is left alone).
    void linkTo(const std::string& path);
    // Serves on a thread of its own until stop(). Throws std::logic_error
    // when already serving or unplugged.
    void start();
    // Stops serving; an answer in progress is abandoned where it stands.
    // The terminal stays open. Harmless when not serving.
    void stop();

    std::string received() const;  // every byte the program wrote, in order
    // Waits (bounded) until at least n bytes have been received; false on time-out.
    bool waitForReceived(std::size_t n, std::chrono::milliseconds timeout) const;
    // Waits (bounded) until at least one byte has been received and the
    // answers to everything received have been sent completely. A command
    // still in the terminal, not yet read by the bar, is not seen: a caller
    // that knows how many bytes it wrote should use the overload below.
    // False on time-out, and at once when the bar was unplugged with bytes
    // still to send.
    bool waitUntilSent(std::chrono::milliseconds timeout) const;
    // The same, once at least n bytes have been received.
    bool waitUntilSent(std::size_t n, std::chrono::milliseconds timeout) const;
    // Bytes written to the terminal so far, over every answer.
    std::size_t sentCount() const;

    // The terminal's line settings as the bar's side sees them (tcgetattr on
    // the master: on Linux these are the slave's settings, as the program
    // set them: speed, stop bits, flow control, raw mode). A Linux
    // pseudo-terminal always keeps CS8 and no parity, whatever the program
    // asks for, so those two cannot show a program's mistake. Throws
    // std::runtime_error after the unplug.
    struct termios lineSettings() const;

    // The unplug, now: stops serving and closes the terminal (see Principles
    // of operation); bytes the program has not read yet are lost. Harmless
    // when already unplugged.
    void hangUp();
    bool hungUp() const;
    // Waits (bounded) until the bar has been unplugged; false on time-out.
    bool waitUntilHungUp(std::chrono::milliseconds timeout) const;

    // Receives a short readable line for each event (a byte received, an
    // answer finished, the erase, the unplug). Called on the serving thread,
    // and by hangUp() on the caller's; set it before start().
    void setLogger(std::function<void(const std::string&)> logger);

  private:
    void serve();
    bool unreadBytesWaiting() const;  // sent by the bar, not yet read by the program
    void closeTerminal();             // with mutex_ held

    BarOptions options_;
    std::vector<std::string> memory_;  // the writes a 0x38 makes; emptied by 0x33
    std::string devicePath_;
    std::string linkPath_;
    int master_ = -1;
    int slave_ = -1;  // our own slave descriptor: keeps the device openable
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::thread thread_;
    std::function<void(const std::string&)> logger_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string received_;
    std::size_t sent_ = 0;
    bool pending_ = false;  // answer bytes queued and not yet written
    bool hungUp_ = false;
};

}  // namespace talveno::sim
