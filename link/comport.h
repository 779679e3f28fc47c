// ComPort1: the main window's serial port, over Qt SerialPort.
//
// Principles of operation
//   The port lives on the user-interface thread. Bytes that arrive are
//   announced by rxChar(count), count being the bytes waiting (never 0);
//   Qt delivers it from the event loop, so it also arrives while a modal
//   dialog of the program is open. Bytes that arrive after count was taken
//   come with a later rxChar.
//
//   Every failure throws PortError, whose message is the port's text
//   followed by " (win error code: N)", N being the system's error number
//   (errno here): "Unable to open com port", "SetCommState function failed",
//   "WriteFile function failed", "ReadFile function failed", ...
//
//   A device that fails while open (a read error, a USB adapter pulled out)
//   is reported once through failed(message); from then on no rxChar is
//   emitted, the bytes already read stay with the caller and the port stays
//   nominally open until close().
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
    void showSetupDialog() override;
    void open() override;
    void write(std::string_view bytes) override;
    std::string read(int count) override;
    void close() override;

    bool isOpen() const;

signals:
    void rxChar(int count);
    void failed(const QString& message);

private:
    // ... implementation's own members
    PortSettings settings_;
    QPointer<QWidget> dialogParent_;
    std::unique_ptr<QSerialPort> serial_;
};

}  // namespace talveno::link
