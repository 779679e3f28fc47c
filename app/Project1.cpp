// Project1, the entry of TALVENO: creates the application, then the main
// window Form1, the Help window Form2 and the About window Form3, in that
// order, and runs the event loop until the main window closes.
//
// Options: --help and --version, answered on the terminal with no window;
// and --simulate, which plays a measuring bar on a pseudo-terminal inside the
// program (paced at 9600 bit/s) and preselects its device as the port, so
// that a whole download can be tried with no bar and no cable.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTranslator>
#include <exception>
#include <optional>

#include "ABOUTFORM.h"
#include "Unit1.h"
#include "Unit2.h"
#include "application.h"
#include "artwork.h"
#include "barsim.h"
#include "errordisplay.h"

namespace {

// The program's options; --simulate's is returned.
QCommandLineOption describeOptions(QCommandLineParser& options) {
    options.setApplicationDescription(
        QStringLiteral("Descarga las lecturas de la barra de medición de intercepción PAR."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Usa una barra simulada (en un pseudo-terminal) en lugar de una real."));
    options.addOption(simulate);
    return simulate;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("TALVENO"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1"));

    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser options;
    const QCommandLineOption simulate = describeOptions(options);
    const bool understood = options.parse(arguments);

    QTranslator qtSpanish;
    if (!understood || options.isSet(QStringLiteral("help")) ||
        options.isSet(QStringLiteral("version"))) {
        // Answered on the terminal: no window, so no display is needed. The
        // options are described again once Qt speaks Spanish.
        const QCoreApplication terminal(argc, argv);
        talveno::ui::installQtSpanish(qtSpanish);
        QCommandLineParser answer;
        describeOptions(answer);
        answer.process(terminal);  // prints the help, the version or the error and ends the program
    }

    talveno::ui::Application app(argc, argv);
    // Qt's own texts (the save dialog, the message boxes' buttons) in
    // Spanish; the port settings dialog keeps its English texts.
    talveno::ui::installQtSpanish(qtSpanish);
    QApplication::setWindowIcon(talveno::ui::programIcon());

    std::optional<talveno::sim::SimulatedBar> bar;
    if (options.isSet(simulate)) {
        try {
            talveno::sim::BarOptions paced;
            paced.baud = 9600;
            bar.emplace(paced);
            bar->start();
        } catch (const std::exception& error) {
            talveno::ui::showError(nullptr, talveno::ui::errorMessage(error));
            return 1;
        }
    }

    TForm1 Form1;
    if (bar) {
        talveno::link::PortSettings settings = Form1.comPort().settings();
        settings.port = QString::fromStdString(bar->devicePath());
        Form1.comPort().setSettings(settings);
    }
    TForm2 Form2(&Form1);
    TForm3 Form3(&Form1);
    Form1.setInformationWindows(&Form2, &Form3);

    Form1.show();
    // Window managers activate a new main window by themselves; on a display
    // without one, this is what makes it the focused window, which starts
    // the start sequence.
    Form1.activateWindow();
    return QApplication::exec();
}
