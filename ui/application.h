// The program's QApplication: a last guard that keeps errors out of Qt's
// event loop.
#pragma once

#include <QApplication>
#include <QTranslator>

namespace talveno::ui {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // Installs Qt's own Spanish texts (qtbase_es from Qt's translations
    // folder), so that the save dialog and the message boxes' buttons speak
    // Spanish. Texts of the program's own classes are not touched. False when
    // the translations are not installed; Qt's English texts stay then.
    bool installQtSpanish();

    // Delivers the event; an exception derived from std::exception that
    // escapes a receiver is shown by the error display (over the active
    // window) instead of unwinding through the event loop, and the event
    // counts as not handled. The windows' handlers catch their own errors,
    // so this only meets what slipped past them.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator qtSpanish_;
};

}  // namespace talveno::ui
