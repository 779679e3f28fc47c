#include "download.h"

#include <QString>
#include <algorithm>

#include "readinglist.h"

namespace talveno::download {

namespace {

std::string secondsText(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0).toStdString();
}

}  // namespace

Download::Download(link::ComPort& port, Options options, Feedback& feedback, QObject* parent)
    : QObject(parent),
      port_(port),
      options_(std::move(options)),
      feedback_(feedback),
      window_(options_.output),
      workflow_(window_, port_) {
    silence_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, &Download::onSilence);
    connect(&port_, &link::ComPort::rxChar, this, &Download::onRxChar);
    connect(&port_, &link::ComPort::failed, this, &Download::onPortFailed);
}

void Download::start() {
    try {
        workflow_.BitBtn1Click();
    } catch (const talveno::Error& error) {
        feedback_.error(error.what());
        finish(kExitPort);
        return;
    } catch (const std::exception& error) {
        failUnexpectedly(error);
        return;
    }
    feedback_.started();
    silence_.start(options_.timeout);
}

void Download::onRxChar(int count) {
    if (finished_) {
        return;
    }
    try {
        workflow_.ComPort1RxChar(count);
    } catch (const talveno::Error& error) {
        stopShort(kExitPort, error.what());
        return;
    } catch (const std::exception& error) {
        failUnexpectedly(error);
        return;
    }
    const ReceiveText& received = workflow_.receiveText();
    feedback_.progress(received.lineCount(), received.bytes().size());
    if (workflow_.listFinished()) {
        saveAndErase();
        return;
    }
    silence_.start(workflow_.complete() ? std::min(kLastLineSettle, options_.timeout)
                                        : options_.timeout);
}

void Download::onPortFailed(const QString& message) {
    if (!finished_) {
        stopShort(kExitPort, message.toStdString());
    }
}

void Download::onSilence() {
    if (finished_) {
        return;
    }
    if (workflow_.complete()) {
        feedback_.note("aviso: la lectura 1000 no terminó en CR LF; se guardó tal como llegó");
        saveAndErase();
        return;
    }
    stopShort(kExitBarSilent, "la barra calló durante " + secondsText(options_.timeout) + " s");
}

void Download::saveAndErase() {
    try {
        workflow_.Button1Click();
    } catch (const talveno::Error& error) {
        feedback_.error(error.what());
        feedback_.error("no se envió la orden de borrado");
        finish(kExitFile);
        return;
    } catch (const std::exception& error) {
        failUnexpectedly(error);
        return;
    }
    feedback_.note(std::to_string(kReadingCount) + " lecturas recibidas; guardado en " +
                   options_.output);
    if (options_.erase) {
        try {
            workflow_.Button4Click();
        } catch (const talveno::Error& error) {
            feedback_.error(error.what());
            feedback_.error("la memoria de la barra no se borró");
            finish(kExitPort);
            return;
        } catch (const std::exception& error) {
            failUnexpectedly(error);
            return;
        }
        feedback_.note("orden de borrado enviada a la barra");
        finish(kExitSuccess);
        return;
    }
    finish(kExitSuccess);
}

void Download::stopShort(int exitCode, const std::string& cause) {
    feedback_.error(cause);
    const ReceiveText& received = workflow_.receiveText();
    const std::size_t lines = std::min(received.lineCount(), kReadingCount);
    const std::string arrived = "llegaron " + std::to_string(lines) + " de " +
                                std::to_string(kReadingCount) + " lecturas; ";
    if (!options_.partial) {
        feedback_.error(arrived + "no se escribió ningún archivo");
        finish(exitCode);
        return;
    }
    if (lines == 0) {
        feedback_.error(arrived + "no se escribió " + *options_.partial);
        finish(exitCode);
        return;
    }
    // The lines that came, numbered as in the full list: its first lines.
    std::vector<std::string> list = buildReadingList(received);
    list.resize(lines);
    try {
        writeFileReplacing(*options_.partial, readingFileBytes(list));
    } catch (const talveno::Error& error) {
        feedback_.error(arrived + "no se pudieron guardar");
        feedback_.error(error.what());
        finish(kExitFile);
        return;
    }
    feedback_.error(arrived + "guardadas en " + *options_.partial);
    finish(exitCode);
}

void Download::failUnexpectedly(const std::exception& error) {
    feedback_.error(std::string("fallo inesperado: ") + error.what());
    finish(kExitFailure);
}

void Download::finish(int exitCode) {
    if (finished_) {
        return;
    }
    finished_ = true;
    silence_.stop();
    try {
        workflow_.FormClose();
    } catch (const talveno::Error& error) {
        feedback_.error(error.what());
        if (exitCode == kExitSuccess) {
            exitCode = kExitPort;
        }
    }
    emit finished(exitCode);
}

}  // namespace talveno::download
