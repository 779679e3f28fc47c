// The terminal under ComPort at the level of its file descriptor: setting up
// the line as the port settings ask, holding the device for this program
// alone, and learning the system's error numbers, which Qt SerialPort does
// not pass on.
//
// Every function returns 0 on success or the system's error number (errno);
// none throws. EINVAL stands for a setting the system has no way to give (1.5
// stop bits, DSR output flow, DTR handshake, a rate of 0) or one the device
// did not take: Linux applies what it can of a line set-up and reports
// success, so the set-up is read back and compared.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "portsettings.h"

namespace talveno::link {

// text followed by " (win error code: N)", N being systemError.
std::string portMessage(std::string_view text, int systemError);

// Sets up the open terminal fd: raw 8-bit line, no waiting reads (VMIN and
// VTIME 0), receiver on, modem status ignored (CLOCAL), then rate, format,
// flow control and the DTR and RTS lines. A device without modem lines (a
// pseudo-terminal, most virtual ports) is set up without them. On failure the
// line may be partly set up; the caller closes the device.
int setUpLine(int fd, const PortSettings& settings);

// Sets a rate that has no B constant (14400, 56000, 128000, 256000, a typed
// rate) on the open terminal fd, both directions. Linux only.
int setCustomRate(int fd, int rate);

// Takes this program's hold on the open device fd: a second holder is refused
// with EBUSY whatever name it opened the device by (a symbolic link, /dev/...),
// and also when it runs as root, which the terminal's own exclusive mode
// (TIOCEXCL) does not stop. Released when fd is closed.
int holdDevice(int fd);

// Why the device at path could not be opened for reading and writing, asked
// of the system again after Qt SerialPort refused it: the error of open()
// itself (ENOENT absent, EACCES no permission, EBUSY held exclusively by
// another program), ENOTTY for a file that is no terminal, and EBUSY when the
// device opens and is a terminal, for then what refused it was another
// program's hold (its lock file in /run/lock, or holdDevice()).
int openFailureCode(const QString& path);

// Waits until the bytes written to the open terminal fd have left it (its
// output queue is empty), or until timeoutMs has passed: 0 when they have
// gone, ETIMEDOUT when time ran out (flow control holding the line, say), or
// the system's error. A closing port discards what is still queued, so a
// command byte is only sent once this has returned 0.
int waitUntilSent(int fd, qint64 timeoutMs);

// Why an operation on the open device fd failed: the system's answer to a
// harmless request on fd (EIO from a device that has vanished, such as an
// unplugged USB adapter or a pseudo-terminal whose other side has closed), or
// fallback when the device still answers.
int deviceFailureCode(int fd, int fallback);

}  // namespace talveno::link
