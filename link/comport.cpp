#include "comport.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "linesetup.h"
#include "setupdialog.h"

namespace talveno::link {

namespace {

constexpr qint64 kWriteTimeoutMs = 1000;
constexpr qint64 kWriteTimeoutPerByteMs = 100;

[[noreturn]] void fail(std::string_view text, int systemError) {
    throw PortError(portMessage(text, systemError));
}

}  // namespace

ComPort::ComPort(QObject* parent) : QObject(parent), serial_(std::make_unique<QSerialPort>()) {
    // Qt SerialPort's notifications only ever post work to the event loop:
    // no handler of ours runs inside Qt SerialPort's own code.
    connect(serial_.get(), &QSerialPort::readyRead, this, &ComPort::scheduleAnnounce);
    connect(serial_.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) {
                    noteDeviceError();
                }
            });
}

ComPort::~ComPort() = default;

void ComPort::showSetupDialog() {
    if (const std::optional<PortSettings> chosen = SetupDialog::ask(dialogParent_, settings_)) {
        settings_ = *chosen;
    }
}

void ComPort::open() {
    if (state_ != State::Closed) {
        return;
    }
    const QString path = devicePath(settings_.port);
    serial_->setPortName(path);
    if (!serial_->open(QIODevice::ReadWrite)) {
        fail("Unable to open com port", openFailureCode(path));
    }
    if (const int error = holdDevice(serial_->handle()); error != 0) {
        serial_->close();
        fail("Unable to open com port", error);
    }
    if (const int error = setUpLine(serial_->handle(), settings_); error != 0) {
        serial_->close();
        fail("SetCommState function failed", error);
    }
    state_ = State::Open;
    failureCode_ = 0;
    bytesRead_ = 0;
    // Anything already waiting is announced as if it had just arrived.
    scheduleAnnounce();
}

void ComPort::write(std::string_view bytes) {
    if (state_ == State::Closed) {
        fail("WriteFile function failed", EBADF);
    }
    if (state_ == State::Failed) {
        fail("WriteFile function failed", failureCode_);
    }
    if (bytes.empty()) {
        return;
    }
    const auto size = static_cast<qint64>(bytes.size());
    const QDeadlineTimer deadline(kWriteTimeoutMs + kWriteTimeoutPerByteMs * size);
    serial_->clearError();
    errno = 0;
    bool sent = serial_->write(bytes.data(), size) == size;
    // waitForBytesWritten() polls the device itself; it runs no event loop.
    while (sent && serial_->bytesToWrite() > 0) {
        const qint64 left = deadline.remainingTime();
        sent = left > 0 &&
               serial_->waitForBytesWritten(static_cast<int>(std::min<qint64>(left, INT_MAX)));
    }
    // What the system has taken must also leave the line before the write
    // counts as done: closing the port right after it discards the rest.
    int drainError = 0;
    if (sent) {
        drainError = waitUntilSent(static_cast<int>(serial_->handle()), std::max<qint64>(deadline.remainingTime(), 0));
        sent = drainError == 0;
    }
    if (!sent) {
        const int code = drainError != 0 ? drainError
                         : serial_->error() == QSerialPort::TimeoutError || deadline.hasExpired()
                             ? ETIMEDOUT
                             : deviceFailureCode(serial_->handle(), errno != 0 ? errno : EIO);
        serial_->clear(QSerialPort::Output);
        fail("WriteFile function failed", code);
    }
}

std::string ComPort::read(int count) {
    if (state_ == State::Closed) {
        fail("ReadFile function failed", EBADF);
    }
    if (state_ == State::Failed) {
        fail("ReadFile function failed", failureCode_);
    }
    if (count <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(std::min<qint64>(count, serial_->bytesAvailable())),
                      '\0');
    const qint64 got = serial_->read(bytes.data(), static_cast<qint64>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<qint64>(got, 0)));
    bytesRead_ += static_cast<qint64>(bytes.size());
    return bytes;
}

void ComPort::close() {
    const State was = std::exchange(state_, State::Closed);
    failAfterHandler_ = false;
    announceAfterHandler_ = false;
    if (!serial_->isOpen()) {
        return;
    }
    // A device already known to have failed cannot be purged; that is no news.
    int purgeError = 0;
    if (!serial_->clear(QSerialPort::Input) && was == State::Open) {
        purgeError = deviceFailureCode(serial_->handle(), EIO);
    }
    serial_->close();
    if (purgeError != 0) {
        fail("PurgeComm function failed", purgeError);
    }
}

bool ComPort::isOpen() const {
    return state_ != State::Closed;
}

void ComPort::scheduleAnnounce() {
    if (announcePending_) {
        return;
    }
    announcePending_ = true;
    QMetaObject::invokeMethod(this, &ComPort::announce, Qt::QueuedConnection);
}

void ComPort::announce() {
    announcePending_ = false;
    if (announcing_) {
        // A handler runs a nested event loop (a modal dialog); what came
        // meanwhile is announced once it has returned.
        announceAfterHandler_ = true;
        return;
    }
    if (state_ != State::Open && state_ != State::Failing) {
        return;
    }
    const qint64 waiting = serial_->bytesAvailable();
    if (waiting <= 0) {
        return;
    }
    const qint64 readBefore = bytesRead_;
    announcing_ = true;
    emit rxChar(static_cast<int>(std::min<qint64>(waiting, INT_MAX)));
    announcing_ = false;

    const bool arrivedMeanwhile = std::exchange(announceAfterHandler_, false);
    if (std::exchange(failAfterHandler_, false)) {
        finishFailure();
        return;
    }
    if (state_ == State::Open && (arrivedMeanwhile || bytesRead_ != readBefore) &&
        serial_->bytesAvailable() > 0) {
        scheduleAnnounce();
    }
}

void ComPort::noteDeviceError() {
    if (state_ != State::Open) {
        return;
    }
    state_ = State::Failing;
    failureCode_ = deviceFailureCode(serial_->handle(), EIO);
    // A vanished device keeps raising errors until it is closed, which cannot
    // happen inside Qt SerialPort's own notification.
    QMetaObject::invokeMethod(this, &ComPort::finishFailure, Qt::QueuedConnection);
}

void ComPort::finishFailure() {
    if (state_ != State::Failing) {
        return;
    }
    if (announcing_) {
        failAfterHandler_ = true;
        return;
    }
    // Bytes that came before the failure are still the caller's.
    announce();
    if (state_ != State::Failing) {
        return;  // closed by the handler
    }
    serial_->clear(QSerialPort::AllDirections);
    serial_->close();
    state_ = State::Failed;
    emit failed(QString::fromStdString(portMessage("ReadFile function failed", failureCode_)));
}

}  // namespace talveno::link
