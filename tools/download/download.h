// One download from the bar without a screen, made by the program's own
// download workflow.
//
// Principles of operation
//   The request goes out through DownloadWorkflow::BitBtn1Click and every
//   received-data notification goes through ComPort1RxChar, so the lines are
//   counted, the list built and the download completed exactly as in the
//   program; the file is written through Button1Click and the bar erased
//   through Button4Click. The command line takes the place of the port
//   settings dialog, so the start sequence (FormActivate) is not run.
//
//   The download ends at the first of these, and then the port is closed
//   and finished(exitCode) is emitted, once:
//   - the list is finished: the 1000th line's CR LF (or a 1001st line) has
//     come. The file is written; with --erase, the erase byte follows, and
//     only then;
//   - the 1000th line has begun but its CR LF has not come, and the bar has
//     been silent for kLastLineSettle (or the time-out, if shorter): the line
//     is taken as it stands and the file written as above;
//   - the bar has been silent for the time-out before its 1000th line began:
//     kExitBarSilent; the output file is not written, and the lines that came
//     go to the --partial file if there is one;
//   - the port fails: it cannot be opened or written, a read fails, or the
//     device vanishes (ComPort::failed): kExitPort, with the lines that came
//     kept as above;
//   - a file cannot be written: kExitFile. The erase byte is then never sent.
//   Bytes that come after the end are not read.
//
//   The port is closed through FormClose, which also discards what was not
//   yet sent, except after the erase byte: written right before the end, it
//   may still wait in the line (or, on a pseudo-terminal, for its reader),
//   and discarding it would lose the erase while reporting it sent. The port
//   is then left open for its owner to close by destroying it, which lets
//   the output go (the system sends what is waiting when the device is
//   closed).
#pragma once

#include <QObject>
#include <QTimer>

#include "comport.h"
#include "feedback.h"
#include "headlesswindow.h"
#include "options.h"
#include "workflow.h"

namespace talveno::download {

class Download : public QObject {
    Q_OBJECT
public:
    // port: closed, with the settings to use. Both port and feedback must
    // outlive the download; after a successful erase the owner closes the
    // port by destroying it.
    Download(link::ComPort& port, Options options, Feedback& feedback, QObject* parent = nullptr);

    // Opens the port and sends the request. Call it from the running event
    // loop: a port that cannot be opened ends the download at once.
    void start();

signals:
    void finished(int exitCode);

private:
    void onRxChar(int count);
    void onPortFailed(const QString& message);
    void onSilence();

    void saveAndErase();
    // The download stops short: tells why and how many lines came, and keeps
    // them in the --partial file if there is one.
    void stopShort(int exitCode, const std::string& cause);
    // Closes the port and reports the exit code.
    void finish(int exitCode);
    void failUnexpectedly(const std::exception& error);

    link::ComPort& port_;
    Options options_;
    Feedback& feedback_;
    HeadlessWindow window_;
    DownloadWorkflow workflow_;
    QTimer silence_;
    bool finished_ = false;
};

}  // namespace talveno::download
