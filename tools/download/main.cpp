// talveno-download: downloads the bar's readings to a text file with no
// screen, the way the program's "CONECTAR" and "GUARDAR" (and, if asked,
// "BORRAR") do. See README.md beside this file and --help.
#include <QCoreApplication>
#include <QSerialPortInfo>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "comport.h"
#include "download.h"
#include "feedback.h"
#include "options.h"

#ifdef TALVENO_HAVE_SIMULATOR
#include "barsim.h"
#endif

using namespace talveno::download;

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

int listPorts(const Options& options) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        print(stdout,
              info.portName() + '\t' + info.description() + '\t' + info.manufacturer() + '\n');
    }
    if (ports.isEmpty()) {
        Feedback(options.quiet, false).note("no se encontró ningún puerto serie");
    }
    return kExitSuccess;
}

int download(QCoreApplication& app, Options options) {
    Feedback feedback(options.quiet, Feedback::standardErrorIsTerminal());

#ifdef TALVENO_HAVE_SIMULATOR
    // Declared before the port, so the port is closed before the bar goes.
    std::optional<talveno::sim::SimulatedBar> bar;
    if (options.simulatedBaud) {
        talveno::sim::BarOptions barOptions;
        barOptions.baud = *options.simulatedBaud;
        try {
            bar.emplace(barOptions);
            bar->start();
        } catch (const std::exception& error) {
            feedback.error(std::string("no se pudo crear la barra simulada: ") + error.what());
            return kExitPort;
        }
        options.port.port = QString::fromStdString(bar->devicePath());
    }
#endif

    // Destroyed after the run: closes the port if the run left it open.
    talveno::link::ComPort port;
    port.setSettings(options.port);
    Download run(port, std::move(options), feedback);
    QObject::connect(&run, &Download::finished, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &run, &Download::start);
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const CommandLine line = parseCommandLine(QCoreApplication::arguments());
    switch (line.action) {
        case CommandLine::Action::ShowHelp:
            print(stdout, helpText());
            return kExitSuccess;
        case CommandLine::Action::ShowVersion:
            print(stdout, versionText());
            return kExitSuccess;
        case CommandLine::Action::UsageError:
            print(stderr, "talveno-download: " + line.usageMessage +
                              "\nPruebe «talveno-download --help».\n");
            return kExitUsage;
        case CommandLine::Action::ListPorts:
            return listPorts(line.options);
        case CommandLine::Action::Download:
            return download(app, line.options);
    }
    return kExitFailure;
}
