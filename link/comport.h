// ComPort1: the main window's serial port, over Qt SerialPort.
//
// Principles of operation
//   The port lives on the user-interface thread. Bytes that arrive are
//   announced by rxChar(count), count being the bytes waiting when the
//   announcement is handled (never 0). Announcements are posted to the event
//   loop, so they also arrive while a modal dialog of the program is open,
//   and a handler never runs inside another one or inside a port operation.
//   Bytes that arrive after count was taken come with a later rxChar: once a
//   handler has read, the port announces what is still waiting; a handler
//   that reads nothing is not called again until more bytes arrive.
//
//   The device is opened for this program alone. Qt SerialPort's lock file
//   (in /run/lock) and the terminal's exclusive mode keep out a second opener
//   of the same name; this port also holds an advisory lock on the device
//   itself, which keeps out another ComPort that names it differently (a
//   symbolic link) and one running as root, whom exclusive mode lets through.
//
//   Every failure throws PortError, whose message is the port's text
//   followed by " (win error code: N)", N being the system's error number
//   (errno; Qt SerialPort does not give it, so the port asks the system again
//   right after the failure: see linesetup.h).
//
//   A device that fails while open (a read error, a USB adapter pulled out)
//   is reported once through failed("ReadFile function failed (win error
//   code: N)"), N being EIO for a device that has vanished, however many
//   errors the system raises. Bytes that arrived before the failure are
//   still announced first. From then on no rxChar is emitted, the port stops
//   watching the device and stays nominally open until close().
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "portsettings.h"
#include "workflow.h"

class QSerialPort;

namespace talveno::link {

class PortError : public talveno::Error {
  public:
    using talveno::Error::Error;
};

class ComPort : public QObject, public talveno::Port {
    Q_OBJECT
  public:
    explicit ComPort(QObject* parent = nullptr);
    ~ComPort() override;

    const PortSettings& settings() const { return settings_; }
    // Takes effect at the next open.
    void setSettings(const PortSettings& settings) { settings_ = settings; }
    // The window the settings dialog opens over.
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }

    // talveno::Port

    // Runs the Setup dialog over the dialog parent, showing the current
    // settings; OK makes its choices the settings, Cancel or the close box
    // changes nothing. It never touches an open port. Throws
    // PortError("Registry error (...)") when the machine's list of serial
    // ports cannot be read; the settings are then unchanged.
    void showSetupDialog() override;

    // Opens the device devicePath(settings().port) for reading and writing,
    // for this program alone, sets up the line (rate, format, flow control,
    // DTR and RTS as the settings say, reads that never wait) and starts
    // watching it. Does nothing when the port is already open. Throws
    // PortError("Unable to open com port (...)") when the device cannot be
    // opened (ENOENT absent, EACCES no permission, EBUSY held by another
    // program, ENOTTY not a terminal), and PortError("SetCommState function
    // failed (...)") when the line cannot be set up as asked (EINVAL for a
    // setting the device does not take, e.g. 1.5 stop bits); the device is
    // then closed again and the port stays closed.
    void open() override;

    // Sends every byte and returns once they have left the device's output
    // queue (so closing right after loses none of them), waiting at most 1000 ms plus 100 ms a byte, without running the event
    // loop. Throws PortError("WriteFile function failed (...)") when the port
    // is not open (EBADF), when the device has failed (its number, EIO once
    // it has vanished), and when the time runs out (ETIMEDOUT, e.g. output
    // held back by flow control); bytes not yet sent are then dropped, not
    // sent later.
    void write(std::string_view bytes) override;

    // Up to count of the bytes already waiting, in arrival order; never
    // waits. Throws PortError("ReadFile function failed (...)") when the port
    // is not open (EBADF) or after the device failed (the number failed()
    // gave); failed() is not emitted again.
    std::string read(int count) override;

    // Stops watching, discards the input still waiting and closes the device.
    // Bytes already written are not discarded: on a pseudo-terminal "gone"
    // only means the other side has them queued, and a command such as the
    // erase byte must reach the bar even when the window closes at once. Harmless when the port is not open. Throws
    // PortError("PurgeComm function failed (...)") when what is waiting cannot
    // be discarded; the device is closed all the same.
    void close() override;

    // From a successful open until close(), also after the device failed.
    bool isOpen() const;

  signals:
    void rxChar(int count);
    void failed(const QString& message);

  private:
    enum class State {
        Closed,
        Open,
        Failing,  // the failure is known; bytes received before it are still announced
        Failed,   // reported by failed(); no longer watched
    };

    void scheduleAnnounce();
    void announce();
    void noteDeviceError();
    void finishFailure();

    PortSettings settings_;
    QPointer<QWidget> dialogParent_;
    std::unique_ptr<QSerialPort> serial_;
    State state_ = State::Closed;
    int failureCode_ = 0;
    bool announcePending_ = false;
    bool announcing_ = false;
    bool announceAfterHandler_ = false;  // bytes came while a handler ran
    bool failAfterHandler_ = false;      // the failure came while a handler ran
    qint64 bytesRead_ = 0;               // by read(), since open
};

}  // namespace talveno::link
